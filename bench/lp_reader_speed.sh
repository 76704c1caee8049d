#!/usr/bin/env bash
# Times reading the largest shared problem as LP text and as MPS with reader_bench, and
# `glpsol --lp FILE --check` (and --mps) on the same files, in one run: CPU time (user +
# system) of whole processes, best of N, so that both sides pay their start-up; plus the
# in-process best CPU time of the reads alone that reader_bench prints.
#
# usage: bench/lp_reader_speed.sh [reader_bench=build/bench/reader_bench] [file.lp] [file.mps] [runs=7]
# The LP file can be written by the round-trip test (KQOPT_LP_OUT=<dir>); the default MPS
# file is the largest Netlib file and the LP file the one of the same name in $KQOPT_LP_OUT.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
bench=${1:-$root/build/bench/reader_bench}
data=${KQOPT_DATA_DIR:-$root/../shared/data}
mps=${3:-$(ls -S "$data"/netlib/*.mps | head -1)}
lp=${2:-${KQOPT_LP_OUT:-/tmp}/$(basename "$mps" .mps).lp}
runs=${4:-7}

command -v glpsol > /dev/null || { echo "glpsol not found (apt-get install glpk-utils)"; exit 2; }
[ -x "$bench" ] || { echo "$bench not built"; exit 2; }
[ -f "$lp" ] || { echo "$lp missing: write it with the round-trip test and KQOPT_LP_OUT"; exit 2; }

best() {  # best user+system CPU seconds of "$@" over $runs runs
  local best="" t
  for _ in $(seq "$runs"); do
    t=$( { TIMEFORMAT='%3U %3S'; time "$@" > /dev/null 2>&1; } 2>&1 | awk '{print $1 + $2}')
    if [ -z "$best" ] || awk -v a="$t" -v b="$best" 'BEGIN{exit !(a < b)}'; then best=$t; fi
  done
  echo "$best"
}

printf 'files  %s (%s bytes), %s (%s bytes)\n' "$(basename "$lp")" "$(stat -c %s "$lp")" "$(basename "$mps")" \
  "$(stat -c %s "$mps")"
"$bench" -r "$runs" "$lp" "$mps" | sed 's/^/in-process  /'
printf 'process CPU, best of %s:\n' "$runs"
printf '  kqopt  lp   %s s\n' "$(best "$bench" -r 1 "$lp")"
printf '  kqopt  mps  %s s\n' "$(best "$bench" -r 1 "$mps")"
printf '  glpsol lp   %s s\n' "$(best glpsol --lp "$lp" --check)"
printf '  glpsol mps  %s s\n' "$(best glpsol --mps "$mps" --check)"
