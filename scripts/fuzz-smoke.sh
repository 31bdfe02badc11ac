#!/usr/bin/env bash
# Builds the libFuzzer targets of the loaders with clang (ASan + UBSan) in build-fuzz/ and runs
# each on a scratch copy of its committed seed corpus for SECONDS seconds (default 60).
# Any crash, leak, sanitizer report or time-out fails the script; the input is left in
# build-fuzz/findings/<target>/. Usage: scripts/fuzz-smoke.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_tga fuzz_3ds fuzz_module)
declare -A corpus=([fuzz_tga]=tga [fuzz_3ds]=3ds [fuzz_module]=module)

cc="$(command -v clang-14 || command -v clang)"
cxx="$(command -v clang++-14 || command -v clang++)"
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER="$cc" \
      -DCMAKE_CXX_COMPILER="$cxx" -DTARVOLA_FUZZ=ON -DTARVOLA_TESTS=OFF -DTARVOLA_BENCH=OFF >/dev/null
cmake --build build-fuzz -j2 --target "${targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
status=0
for target in "${targets[@]}"; do
  work="build-fuzz/corpus/$target"
  findings="build-fuzz/findings/$target"
  rm -rf "$work" && mkdir -p "$work" "$findings"
  cp tests/fuzz/corpus/"${corpus[$target]}"/* "$work"/
  echo "== $target: ${seconds}s on $(ls "$work" | wc -l) seeds"
  # The module target renders audio per input, so inputs are kept small; a damaged header
  # may still make a loader try a large allocation, which libFuzzer reports above 2 GiB.
  if ! "build-fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
       -max_len=4096 -print_final_stats=1 -artifact_prefix="$findings/" "$work" \
       2>"build-fuzz/$target.log"; then
    echo "!! $target failed; see build-fuzz/$target.log and $findings/"
    tail -n 40 "build-fuzz/$target.log"
    status=1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^#[0-9]+ +DONE' "build-fuzz/$target.log" || true
  echo "corpus: $(ls "$work" | wc -l) inputs"
done
exit $status
