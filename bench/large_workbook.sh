#!/usr/bin/env bash
# Peak memory and time of `ledgerix-cli convert` over large generated workbooks: one sheet of
# ROWS rows (a number, a text and a date each), four sheets of 300,000 rows under --sheets all,
# a 35 MB shared-string part, and eight sheets whose cells all show one 16 KB shared string.
# Figures are printed, never asserted.
#   bash bench/large_workbook.sh [ROWS] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
rows=${1:-1048576}
build=${2:-build}
cli="$build/ledgerix-cli"
[ -x "$cli" ] || { echo "no $cli: build ledgerix-cli first" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
gen=tests/tools/make_large_workbook.py

run() {  # label generator-args...
  local label=$1
  shift
  rm -rf "$work/src" "$work/save"
  mkdir -p "$work/src" "$work/save"
  /usr/bin/python3 "$gen" "$1" "$work/src/book.xlsx" "${@:2}"
  local size
  size=$(stat -c %s "$work/src/book.xlsx")
  /usr/bin/time -f "%e %M" -o "$work/time" "$cli" convert --kind 1 --source "$work/src" \
    --save "$work/save" --sheets all >"$work/out" 2>&1 || true
  read -r secs kib <"$work/time"
  local result
  result=$(grep -q '文件内容过大' "$work/out" && echo "refused" || echo "opened")
  printf '%-34s %9.1f MB file %8.1f MB peak %7.2f s  %s\n' "$label" \
    "$(echo "$size / 1048576" | bc -l)" "$(echo "$kib / 1024" | bc -l)" "$secs" "$result"
}

run "one sheet of $rows rows" rows "$rows"
run "4 sheets x 300000 rows" sheets 4 300000
run "35 MB shared-string part" strings 35
run "8 sheets x 4000 cells, one 16 KB" shared 8 4000 16
