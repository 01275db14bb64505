#!/usr/bin/env bash
# Times one logistic picture (fixed formula 1, the default AB-sequence, 10000 iterations) four
# ways and prints the per-core speed and the efficiency of MPI processes against threads:
#   one process of vantorel-render with 1 and with 2 computing threads,
#   mpirun -n 1 vantorel-render-mpi with 2 threads, mpirun -n 2 with 1 thread each
#   (--bind-to none: Open MPI would bind a single process to one core).
# Efficiency = time of 1 process x 2 threads / time of 2 processes x 1 thread (1 is perfect).
# Usage: bench/mpi-efficiency.sh [BUILD_DIR] [WIDTHxHEIGHT]
set -euo pipefail
build=${1:-build}
size=${2:-1600x1200}
render=$build/cli/vantorel-render
mpi=$build/cli/vantorel-render-mpi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Open MPI: allow root, and more processes than cores.
export OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 OMPI_MCA_rmaps_base_oversubscribe=1
args=(--fixed 1 --size "$size" --iterations 10000 -q --project)
seconds() {  # runs the command, prints its wall time in seconds
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}
one1=$(seconds "$render" "${args[@]}" "$work/one1.LPr" --threads 1)
one2=$(seconds "$render" "${args[@]}" "$work/one2.LPr" --threads 2)
mpi12=$(seconds mpirun -n 1 --bind-to none "$mpi" "${args[@]}" "$work/mpi12.LPr" --threads 2 --work "$work")
mpi21=$(seconds mpirun -n 2 --bind-to none "$mpi" "${args[@]}" "$work/mpi21.LPr" --threads 1 --work "$work")
start=$(seconds mpirun -n 2 --bind-to none "$mpi" --fixed 1 --size 10x10 -q --project "$work/s.LPr" --work "$work")
for f in one2 mpi12 mpi21; do cmp -s "$work/one1.LPr" "$work/$f.LPr" || echo "$f differs!" >&2; done
w=${size%x*}
h=${size#*x}
iterations=$(( (10000 - 10000 % 12 + 12) ))
echo "picture $size, $iterations iterations (logistic, AAAAAABBBBBB)"
echo "vantorel-render, 1 thread:              $one1 s"
echo "vantorel-render, 2 threads:             $one2 s"
echo "mpirun -n 1, 2 threads:                 $mpi12 s"
echo "mpirun -n 2, 1 thread each:             $mpi21 s"
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }
echo "mpirun -n 2 of a 10 x 10 picture:       $start s (starting and ending the job)"
echo "per core: $(calc "$w * $h / $one1 / 1e3") thousand pixels/s ($(calc "$w * $h * $iterations / $one1 / 1e6") million iterations/s)"
echo "efficiency 2 processes x 1 against 1 process x 2: $(calc "$one2 / $mpi21")"
echo "                        (against mpirun -n 1 x 2): $(calc "$mpi12 / $mpi21")"
echo "            without the job's start and end: $(calc "$one2 / ($mpi21 - $start)")"
