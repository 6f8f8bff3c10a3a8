#!/usr/bin/env bash
# Builds the fuzz targets into ./build-fuzz (clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a bounded time on a seed corpus.
#   tools/fuzz.sh [SECONDS]   each target for SECONDS (60 by default)
# Exits non-zero when a target crashes, hangs, runs out of memory or a sanitizer reports;
# the input that did it is left in build-fuzz/artifacts/ and its log is shown.
# The build and every run hold the build lock (TUSHU_BUILD_LOCK, /tmp/tushu-build.lock by
# default; empty when the caller holds it already) and the runs go at a lower priority.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
lock=${TUSHU_BUILD_LOCK-/tmp/tushu-build.lock}
locked() { if [ -n "$lock" ]; then flock -o "$lock" "$@"; else "$@"; fi; }
targets=(settings xlsx xls csv catalogue marc)

gen=()
command -v ninja >/dev/null && gen=(-G Ninja)
command -v ccache >/dev/null && gen+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
if [ ! -f "$build/CMakeCache.txt" ]; then
  locked cmake -S fuzz -B "$build" "${gen[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTUSHU_FUZZ=ON
fi
locked cmake --build "$build" -j"$(nproc)"

# Seeds: the generated ones, the workbooks of the spreadsheet tests and every input a
# fuzzer once found (kept as regression tests under tests/data/fuzz/TARGET).
seeds=$build/seeds
rm -rf "$seeds"
"$build/fuzz_seeds" "$seeds"
mkdir -p "$seeds/xls"
cp tests/data/fixtures/*.xls "$seeds/xls/"
for t in "${targets[@]}"; do
  mkdir -p "$seeds/$t"
  if [ -d "tests/data/fuzz/$t" ]; then cp tests/data/fuzz/"$t"/* "$seeds/$t/"; fi
done

failed=()
mkdir -p "$build/artifacts" "$build/logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/fuzz/lsan.supp}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
for t in "${targets[@]}"; do
  corpus=$build/corpus/$t # grows from run to run; the seeds are read each time
  mkdir -p "$corpus"
  log=$build/logs/$t.log
  echo "fuzz_$t: ${seconds}s"
  # TUSHU_FUZZ_SEED fixes libFuzzer's random seed, so that a short run is repeatable.
  # Inputs as large as the format needs: a compound file with 64 KiB sectors has its first
  # DIFAT sector at 128 KiB. Every input may allocate at most malloc_limit_mb at once and
  # the process keep rss_limit_mb, so that a count taken from a file and allocated as it
  # stands is a finding, not a slow run.
  case $t in
    xls | xlsx | csv) max_len=1048576 ;;
    *) max_len=65536 ;;
  esac
  if ! locked nice -n 10 "$build/fuzz_$t" ${TUSHU_FUZZ_SEED:+-seed="$TUSHU_FUZZ_SEED"} \
      -max_total_time="$seconds" -timeout=10 \
      -malloc_limit_mb=512 -rss_limit_mb=1024 -max_len="$max_len" \
      -artifact_prefix="$build/artifacts/$t-" \
      "$corpus" "$seeds/$t" >"$log" 2>&1; then
    failed+=("$t")
    echo "fuzz_$t FAILED:"
    grep -E "ERROR|SUMMARY|runtime error|Test unit written|==[0-9]+==" "$log" | head -20 || true
    tail -40 "$log"
  else
    tail -1 "$log"
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz failures: ${failed[*]} (inputs in $build/artifacts/)"
  exit 1
fi
echo "fuzz: no crash, hang or sanitizer report"
