#!/usr/bin/env bash
# Converts every bundled example workbook of examples/kindN/ with report kind N into
# out/examples/kindN/ (every visible worksheet of each workbook).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-out/examples}
status=0
for dir in examples/kind[1-9]; do
  [ -d "$dir" ] || continue
  kind=${dir#examples/kind}
  mkdir -p "$out/kind$kind"
  echo "== 报表类型 $kind → $out/kind$kind"
  ./build/ledgerix-cli convert --kind "$kind" --source "$dir" --save "$out/kind$kind" \
    --sheets all || status=1
done
exit $status
