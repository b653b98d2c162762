#!/usr/bin/env bash
# Printing benchmark: 200 workbooks to PDF, ours against LibreOffice headless; see bench/print_bench.py.
set -euo pipefail
cd "$(dirname "$0")/.."
LC_ALL=C.UTF-8 exec /usr/bin/python3 bench/print_bench.py --n "${1:-200}" "${@:2}"
