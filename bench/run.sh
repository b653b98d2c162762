#!/usr/bin/env bash
# Benchmark of report kind 1 against the Python peers; see bench/run.py.
set -euo pipefail
cd "$(dirname "$0")/.."
exec /usr/bin/python3 bench/run.py --n "${1:-200}" "${@:2}"
