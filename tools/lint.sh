#!/usr/bin/env bash
# make lint / make format: the layout (.clang-format) over the project's own sources (core/
# formula/ colour/ app/ cli/ gui/ tests/ bench/) and the checks (.clang-tidy) over the Qt-free
# folders, where the logic is (TIDY_FOLDERS): a window or test source costs clang-tidy ten times
# a Qt-free one (it matches through all of Qt's or GoogleTest's headers), which CI cannot afford.
#   tools/lint.sh BUILD_DIR JOBS          clang-format --dry-run --Werror, then clang-tidy
#   tools/lint.sh BUILD_DIR JOBS format   reformats the sources in place
# clang-tidy runs in parallel over BUILD_DIR/compile_commands.json (a configured build tree).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
jobs=${2:-2}
mode=${3:-lint}
folders=(core formula colour app cli gui tests bench)
mapfile -t sources < <(git ls-files -- "${folders[@]/%//*.cpp}" "${folders[@]/%//*.cxx}" "${folders[@]/%//*.h}")
format=$(command -v clang-format-14 || command -v clang-format)
if [ "$mode" = format ]; then
  "$format" -i "${sources[@]}"
  exit 0
fi
# Both halves run and report; the lint fails when either finds something.
failed=0
start=$SECONDS
if "$format" --dry-run --Werror "${sources[@]}" > "$build/clang-format.log" 2>&1; then
  echo "clang-format: ${#sources[@]} files clean in $((SECONDS - start)) s"
else
  failed=1
  places=$(grep -c 'error:' "$build/clang-format.log")
  files=$(grep 'error:' "$build/clang-format.log" | cut -d: -f1 | sort -u | wc -l)
  echo "clang-format: $places places in $files files differ from .clang-format" \
    "(make format mends them; whole log: $build/clang-format.log)"
fi
tidy=$(command -v run-clang-tidy-14 || command -v run-clang-tidy)
[ -f "$build/compile_commands.json" ] || { echo "$build/compile_commands.json is missing: configure first" >&2; exit 1; }
# Only the project's sources, not the generated ones (meta-object code, layer probes).
read -r -a tidy_folders <<< "${TIDY_FOLDERS:-core formula colour app cli cli/mpi}"
root=$(pwd)
pattern="^${root}/($(IFS='|'; echo "${tidy_folders[*]}"))/[^/]+\.cpp$"
start=$SECONDS
if "$tidy" -p "$build" -j "$jobs" -quiet "$pattern" > "$build/clang-tidy.log" 2>&1; then
  echo "clang-tidy: clean in $((SECONDS - start)) s"
else
  failed=1
  grep -E '(warning|error):' -A3 "$build/clang-tidy.log" | head -200
  echo "clang-tidy: findings above, after $((SECONDS - start)) s (whole log: $build/clang-tidy.log)"
fi
exit $failed
