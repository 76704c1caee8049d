#!/usr/bin/env bash
# Times reading one MPS file with the host program's INPUT command against
# `glpsol --mps FILE --check` on the same file, in one run, best of N for each, and
# prints the ratio (ours / glpsol). Both times include starting the process. That the
# file loads is checked by the InstanceLoad tests.
#
# usage: tests/input/reader_speed.sh [host=build/out/kqopt] [file=largest Netlib file] [runs=7]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
host=${1:-$root/build/out/kqopt}
data=${KQOPT_SHARED_DATA:-${KQOPT_DATA_DIR:-$root/../shared/data}}
file=${2:-$(ls -S "$data"/netlib/*.mps | head -1)}
runs=${3:-7}

command -v glpsol > /dev/null || { echo "glpsol not found (apt-get install glpk-utils)"; exit 2; }
[ -x "$host" ] || { echo "host program $host not built"; exit 2; }

best() {  # best wall time in seconds of running "$@" $runs times
  local best=""
  for _ in $(seq "$runs"); do
    local start end t
    start=$(date +%s.%N)
    "$@" > /dev/null 2>&1 || true
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

ours() { printf 'PRNLVL=0\nINPUT %s\nQUIT\n' "$file" | "$host"; }

t_ours=$(best ours)
t_glpk=$(best glpsol --mps "$file" --check)
printf 'file   %s (%s bytes)\n' "$(basename "$file")" "$(stat -c %s "$file")"
printf 'kqopt  %.4f s\nglpsol %.4f s\nratio  %.2f\n' "$t_ours" "$t_glpk" "$(echo "$t_ours / $t_glpk" | bc -l)"
