#!/usr/bin/env bash
# Every test, in stages that all run even when an earlier one fails: formatting, the main build
# under ctest (unit, golden, corpus, CLI and GUI tests), the engine tests and the fuzz inputs
# under AddressSanitizer/UBSan with leak checks, and a short deterministic libFuzzer run of each
# target. Failures are listed at the end and make the exit status non-zero.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)
corpus=$(cd .. && pwd)/shared/corpus
fuzz_targets=(fuzz_xlsx fuzz_xls fuzz_layout)
# Run by libFuzzer only: the ASan stage already draws every corpus sheet, paginating it.
fuzz_only_targets=(fuzz_paginate)
# Replayed under the sanitizers only: each input is written, saved and reopened, too slow for
# the libFuzzer stage.
replay_targets=("${fuzz_targets[@]}" fuzz_xls_writer)
# Leaks wholly inside third-party libraries, each with its reason and input.
export LSAN_OPTIONS=suppressions=$root/fuzz/lsan.supp:print_suppressions=0
# Full stacks at every allocation: the libraries are built without frame pointers, and a
# suppression can only recognise a leak by the frames it sees.
asan=detect_leaks=1:fast_unwind_on_malloc=0:allocator_may_return_null=1
failed=()

stage() {  # stage NAME FUNCTION
  echo "== $1"
  if "$2"; then echo "-- $1: passed"; else echo "-- $1: FAILED"; failed+=("$1"); fi
}

# The seed inputs of a fuzz target: our fixtures (the hostile ones included) and, when present,
# the corpus beside the checkout. The writer target saves and reopens every input, six minutes
# over the corpus under the sanitizers: it replays our fixtures only.
seeds_of() {
  local name=${1#fuzz_} formats
  case $name in
    xls | xlsx) formats=("$name") ;;
    xls_writer)
      printf "%s\n" tests/data/xls tests/data/xls_writer
      return
      ;;
    *) formats=(xls xlsx) ;;
  esac
  for f in "${formats[@]}"; do
    [ -d "tests/data/$f" ] && echo "tests/data/$f"
    [ -d "$corpus/$f" ] && echo "$corpus/$f"
  done
  # Encrypted with the default password too: seeds that take a reader into decryption.
  echo tests/data/encrypted
  # Workbooks with print setups for the pagination target; header and footer pictures for both.
  if [ "$name" = paginate ]; then echo tests/data/print/fixtures; fi
  if [ "$name" = paginate ] || [ "$name" = layout ]; then echo tests/data/header_picture; fi
}

# The inputs of a libFuzzer run: a target that measures and paginates every sheet runs some
# corpus workbooks for seconds each, so it starts from the fixtures alone.
fuzz_seeds_of() {
  if [ "$1" = fuzz_paginate ]; then
    seeds_of "$1" | grep -v -F "$corpus"
  else
    seeds_of "$1"
  fi
}

# Runs per target: pagination measures and breaks every sheet of an input twice, about 25 inputs
# a second under ASan against hundreds for the readers, so it gets fewer to stay near 2 minutes.
fuzz_runs_of() {
  case $1 in
    fuzz_paginate) echo "${FUZZ_PAGINATE_RUNS:-4000}" ;;
    *) echo "${FUZZ_RUNS:-20000}" ;;
  esac
}

format_check() {
  command -v clang-format >/dev/null || { echo "clang-format is not installed"; return 1; }
  git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
}

main_tests() {
  bash scripts/build.sh && (cd build && ctest -j"$jobs" --output-on-failure --timeout 900)
}

sanitizer_tests() {
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DLEDGERIX_SANITIZE=ON -DLEDGERIX_GUI=OFF \
    >/dev/null || return 1
  local targets=(engine_tests)
  local libgsf_leak=XlsFixtures.ACompoundFileWhoseRootIsItsOwnSiblingIsNoWorkbook
  for t in "${replay_targets[@]}"; do [ -f "fuzz/$t.cpp" ] && targets+=("$t"); done
  cmake --build build-asan -j"$jobs" --target "${targets[@]}" print_corpus_tests || return 1
  local ok=0
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    bash -c "cd build-asan && ./engine_tests --gtest_brief=1 --gtest_filter=-$libgsf_leak" || ok=1
  # The one input that makes libgsf leak, with the full stacks its suppression needs (too slow
  # for every engine test: about 3 times as long).
  ASAN_OPTIONS=$asan UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    bash -c "cd build-asan && ./engine_tests --gtest_brief=1 --gtest_filter=$libgsf_leak" || ok=1
  # Every corpus worksheet drawn as PDF pages (a few pages each; skipped without the corpus).
  # Fast unwinding: pango and cairo allocate so often that full stacks would take it from
  # about 2 minutes past 10.
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ./build-asan/print_corpus_tests --gtest_brief=1 2>&1 | grep -v -e '^$' -e 'CRITICAL \*\*'
  [ "${PIPESTATUS[0]}" -eq 0 ] || ok=1
  for t in "${targets[@]:1}"; do
    mapfile -t seeds < <(seeds_of "$t")
    echo "replaying ${seeds[*]} with $t"
    ASAN_OPTIONS=$asan UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "./build-asan/$t" "${seeds[@]}" 2>&1 | grep -v -e '^$' -e 'WARNING \*\*' -e '^Header is' -e '^Expected 0x'
    [ "${PIPESTATUS[0]}" -eq 0 ] || ok=1
  done
  return $ok
}

# A fixed number of inputs from a fixed seed over the seed inputs: the same tree executes the
# same inputs and gives the same result every time. scripts/fuzz.sh searches for longer.
fuzz_runs() {
  command -v clang++ >/dev/null || { echo "clang is not installed"; return 1; }
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DLEDGERIX_FUZZ=ON -DLEDGERIX_SANITIZE=ON -DLEDGERIX_GUI=OFF -DLEDGERIX_TESTS=OFF >/dev/null ||
    return 1
  local targets=()
  for t in "${fuzz_targets[@]}" "${fuzz_only_targets[@]}"; do
    [ -f "fuzz/$t.cpp" ] && targets+=("$t")
  done
  cmake --build build-fuzz -j"$jobs" --target "${targets[@]}" || return 1
  local ok=0
  for t in "${targets[@]}"; do
    local work
    work=$(mktemp -d)
    mapfile -t seeds < <(fuzz_seeds_of "$t")
    ASAN_OPTIONS=$asan "./build-fuzz/$t" -seed=1 -runs="$(fuzz_runs_of "$t")" -reload=0 -detect_leaks=1 \
      -rss_limit_mb=2048 -timeout=120 -artifact_prefix="$work/" "$work" "${seeds[@]}" \
      >"$work.log" 2>&1
    local status=$?
    grep -E '^Done [0-9]+ runs' "$work.log" | sed "s/^/$t: /"
    if [ $status -ne 0 ]; then
      grep -v -e 'WARNING \*\*' -e '^$' "$work.log" | tail -n 60
      echo "$t failed; the input is kept in fuzz/findings/"
      mkdir -p fuzz/findings && cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* \
        fuzz/findings/ 2>/dev/null
      ok=1
    fi
    rm -rf "$work" "$work.log"
  done
  return $ok
}

stage "formatting" format_check
stage "main build and tests" main_tests
stage "engine tests and fuzz inputs under ASan/UBSan" sanitizer_tests
stage "short libFuzzer runs" fuzz_runs

if [ ${#failed[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failed[@]}"
  exit 1
fi
echo "all tests passed"
