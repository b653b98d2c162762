#!/usr/bin/env bash
# Every test: the main build under ctest (unit, golden, corpus, CLI and GUI smoke tests), then
# the engine tests and the fuzz-corpus replay under AddressSanitizer/UBSan, then a short
# libFuzzer run of each reader.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
corpus=$(cd .. && pwd)/shared/corpus

echo "== main build and tests"
bash scripts/build.sh
(cd build && ctest -j"$jobs" --output-on-failure --timeout 900)

echo "== engine tests and corpus replay under ASan/UBSan"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLEDGERIX_SANITIZE=ON -DLEDGERIX_GUI=OFF \
  >/dev/null
cmake --build build-asan -j"$jobs" --target engine_tests fuzz_xlsx fuzz_xls
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-asan && ./engine_tests --gtest_brief=1)
if [ -d "$corpus" ]; then
  ./build-asan/fuzz_xlsx "$corpus/xlsx" tests/data
  ./build-asan/fuzz_xls "$corpus/xls" tests/data
fi

echo "== short libFuzzer runs (clang)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLEDGERIX_FUZZ=ON -DLEDGERIX_SANITIZE=ON -DLEDGERIX_GUI=OFF -DLEDGERIX_TESTS=OFF >/dev/null
cmake --build build-fuzz -j"$jobs" --target fuzz_xlsx fuzz_xls
for t in fuzz_xlsx fuzz_xls; do
  work=$(mktemp -d)
  seeds=()
  [ -d "$corpus" ] && seeds+=("$corpus/${t#fuzz_}")
  # Encrypted with the default password: the seeds that take the fuzzer into decryption.
  seeds+=(tests/data/encrypted)
  ./build-fuzz/$t -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=2048 -timeout=10 \
    "$work" "${seeds[@]}" 2>&1 | tail -n 3
  rm -rf "$work"
done
echo "all tests passed"
