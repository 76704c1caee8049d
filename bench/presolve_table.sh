#!/usr/bin/env bash
# presolve_table.sh: what our presolve removes beside CLP's, per problem and in total.
# CLP's figures come from its log line "Presolve R (-dr) rows, C (-dc) columns and E (-de)
# elements" (its presolve alone: no iteration is made); ours from kqbench --presolve, less
# the free rows (objective rows), which CLP does not count as rows.
#
#   bench/presolve_table.sh [-k KQBENCH] [-i n=v]... [-t SECONDS] [FILE.mps ...] > table.csv
#
# -t bounds each of our solves (the figures are those of presolve, made before the solve).
# Columns: problem, rows/columns/elements removed by us, by CLP, and our minus CLP's.
# Without files: every shared Netlib problem. The totals close the table.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
kqbench=$here/../build/bench/kqbench
extra=()
while [ $# -gt 0 ]; do
  case $1 in
    -k) kqbench=$2; shift 2 ;;
    -i) extra+=(-i "$2"); shift 2 ;;
    -t) extra+=(-t "$2"); shift 2 ;;
    *) break ;;
  esac
done
if [ $# -eq 0 ]; then set -- "${KQOPT_SHARED_DATA:-$here/../../shared/data}"/netlib/*.mps; fi
clp_figures() {
  clp "$1" -presolve on -maxIterations 0 -dualsimplex 2>&1 |
    sed -n 's/^Presolve [0-9]* (\(-*[0-9]*\)) rows, [0-9]* (\(-*[0-9]*\)) columns and [0-9]* (\(-*[0-9]*\)) elements.*/\1 \2 \3/p' |
    head -1 | awk '{print (-$1) "," (-$2) "," (-$3)}'
}
echo "problem,rows,columns,elements,clp_rows,clp_columns,clp_elements,rows_diff,columns_diff,elements_diff"
for f in "$@"; do
  name=$(basename "$f" .mps)
  ours=$("$kqbench" --cpu --presolve "${extra[@]}" "$f" | awk -F, 'NR==2 {print $7-$11 "," $8 "," $9-$12}')
  theirs=$(clp_figures "$f")
  # CLP prints no presolve line when presolve removes everything or nothing changes.
  [ -n "$theirs" ] || theirs="0,0,0"
  echo "$name,$ours,$theirs"
done | awk -F, '{
  print $0 "," $2-$5 "," $3-$6 "," $4-$7
  fflush()
  for (k = 2; k <= 7; ++k) t[k] += $k
} END {
  printf "total"; for (k = 2; k <= 7; ++k) printf ",%d", t[k]
  printf ",%d,%d,%d\n", t[2]-t[5], t[3]-t[6], t[4]-t[7]
}'
