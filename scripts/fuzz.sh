#!/usr/bin/env bash
# A longer, time-based search with every fuzz target: scripts/fuzz.sh SECONDS [TARGET...].
# What it finds (crash-*, leak-*, timeout-*, oom-*) and the inputs it grew are kept under
# fuzz/findings/TARGET/ for triage; a finding worth keeping becomes a hostile fixture in
# tests/data/FORMAT/hostile/ named for its cause, its exact error asserted by the reader's tests.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:?usage: scripts/fuzz.sh SECONDS [TARGET...]}
shift
jobs=$(nproc 2>/dev/null || echo 2)
corpus=$(cd .. && pwd)/shared/corpus
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
export ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0:allocator_may_return_null=1
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLEDGERIX_FUZZ=ON -DLEDGERIX_SANITIZE=ON -DLEDGERIX_GUI=OFF -DLEDGERIX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target "${targets[@]}" || exit 1
found=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  out=fuzz/findings/$t
  mkdir -p "$out/corpus"
  seeds=()
  case $name in xls | xlsx) formats=("$name") ;; *) formats=(xls xlsx) ;; esac
  for f in "${formats[@]}"; do
    [ -d "tests/data/$f" ] && seeds+=("tests/data/$f")
    [ -d "$corpus/$f" ] && seeds+=("$corpus/$f")
  done
  echo "== $t for $seconds s"
  # -fork keeps searching after a finding; each one is written to $out.
  "./build-fuzz/$t" -fork=1 -ignore_crashes=1 -ignore_ooms=1 -ignore_timeouts=1 \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -artifact_prefix="$out/" \
    "$out/corpus" "${seeds[@]}" 2>&1 | grep -v -e 'WARNING \*\*' -e '^$' | tail -n 5
  n=$(find "$out" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) | wc -l)
  echo "$t: $n findings in $out"
  found=$((found + n))
done
[ $found -eq 0 ]
