#!/usr/bin/env bash
# Converts every bundled example workbook of examples/kindN/ with report kind N into
# out/examples/kindN/ (every visible worksheet of each workbook), and prints each example to PDF
# into out/examples/pdf/kindN/ as its own page setup says.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-out/examples}
status=0
for dir in examples/kind[1-9]; do
  [ -d "$dir" ] || continue
  kind=${dir#examples/kind}
  mkdir -p "$out/kind$kind" "$out/pdf/kind$kind"
  echo "== 报表类型 $kind → $out/kind$kind"
  ./build/ledgerix-cli convert --kind "$kind" --source "$dir" --save "$out/kind$kind" \
    --sheets all || status=1
  echo "== 打印 $dir → $out/pdf/kind$kind"
  ./build/ledgerix-cli print --source "$dir" --pdf "$out/pdf/kind$kind" --sheets all || status=1
done
exit $status
