#!/usr/bin/env bash
# The cost of supersampling, two timed commands with /usr/bin/time -v:
#   time:   --supersample 3 at WxH against the plain picture of 3W x 3H (the same sub-pixels;
#           the supersampled run also colours and averages them, but writes no data files);
#   memory: the peak resident size of --supersample 4 at SIDExSIDE against the plain SIDExSIDE
#           picture (the supersampled run must not hold its 4·SIDE x 4·SIDE sub-pixels).
# Low iteration counts keep the runs short; the ratios are what matter.
# Usage: [ITERATIONS=10] bench/supersample.sh [BUILD_DIR] [WxH] [SIDE]
set -euo pipefail
build=${1:-build}
size=${2:-800x600}
side=${3:-4000}
render=$build/cli/vantorel-render
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
w=${size%x*}
h=${size#*x}
common=(--fixed 1 --sequence AB --iterations "${ITERATIONS:-10}" --calm-down 0 -q)
measure() {  # runs the command; prints "wall-seconds peak-kB cpu-seconds"
  /usr/bin/time -v "$@" 2>"$work/time.txt" >/dev/null
  awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + t[i] }
              /Maximum resident set size/ { kb = $2 }
              /(User|System) time \(seconds\)/ { cpu += $2 }
              END { printf "%.2f %d %.2f\n", s, kb, cpu }' "$work/time.txt"
}
read -r plainT plainM plainC < <(measure "$render" "${common[@]}" --size "$((3 * w))x$((3 * h))" -o "$work/plain.bmp")
read -r ssT ssM ssC < <(measure "$render" "${common[@]}" --size "$size" --supersample 3 -o "$work/ss.bmp")
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }
echo "time: plain $((3 * w))x$((3 * h)) ${plainT}s wall ${plainC}s cpu, --supersample 3 at $size" \
  "${ssT}s wall ${ssC}s cpu; ratio $(ratio "$ssT" "$plainT") wall, $(ratio "$ssC" "$plainC") cpu"
read -r plainT plainM plainC < <(measure "$render" "${common[@]}" --size "${side}x${side}" -o "$work/plain.bmp")
read -r ssT ssM ssC < <(measure "$render" "${common[@]}" --size "${side}x${side}" --supersample 4 -o "$work/ss.bmp")
echo "memory: plain ${side}x${side} ${plainM} kB (${plainT}s), --supersample 4 ${ssM} kB (${ssT}s)"
