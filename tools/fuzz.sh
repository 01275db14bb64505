#!/usr/bin/env bash
# Runs fuzz targets for a bounded time each, starting from the corpus kept in tests/fuzz/corpus:
#   [FUZZ_JOBS=N] tools/fuzz.sh BUILD_DIR SECONDS TARGET...
# N targets (default 1) run side by side, each fuzzer on one thread; the reports come in the
# order of the targets. New inputs go to BUILD_DIR/fuzz-corpus (the stored corpus stays as it
# is), a failing input to BUILD_DIR/fuzz-failures. Exits 1 when a target fails.
set -uo pipefail
build=$1 seconds=$2
shift 2
jobs=${FUZZ_JOBS:-1}
cd "$(dirname "$0")/.."
mkdir -p "$build/fuzz-failures"

fuzz_one() {
  local target=$1
  local found="$build/fuzz-corpus/$target"
  mkdir -p "$found"
  ASAN_OPTIONS=detect_leaks=0 "$build/tests/fuzz_$target" -max_total_time="$seconds" \
    -timeout=30 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/fuzz-failures/$target-" "$found" "tests/fuzz/corpus/$target" \
    >"$build/fuzz-$target.log" 2>&1
  echo $? >"$build/fuzz-$target.status"
}

running=0
for target in "$@"; do
  rm -f "$build/fuzz-$target.status"
  fuzz_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
done
wait

failed=0
for target in "$@"; do
  log="$build/fuzz-$target.log"
  if [ "$(cat "$build/fuzz-$target.status" 2>/dev/null)" = 0 ]; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "fuzz $target: ${runs:-?} executions in $seconds s, no failure"
  else
    failed=1
    echo "fuzz $target: FAILED; the input is in $build/fuzz-failures, the log follows"
    tail -n 60 "$log"
  fi
done
exit $failed
