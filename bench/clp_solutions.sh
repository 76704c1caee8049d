#!/usr/bin/env bash
# clp_solutions.sh: CLP's dual-simplex solutions, full precision, for `kqbench --peer-solutions DIR`,
# which measures their primal and dual infeasibilities in the caller's units as --check
# measures ours. Without files: every shared Netlib problem. A problem CLP does not finish
# within the limit gets no file.
#
#   bench/clp_solutions.sh [-t SECONDS] DIR [FILE.mps ...]
#   build/bench/kqbench --check --peer-solutions DIR FILE.mps ...
set -eu
here=$(cd "$(dirname "$0")" && pwd)
limit=300
if [ "${1:-}" = "-t" ]; then limit=$2; shift 2; fi
dir=${1:?usage: clp_solutions.sh [-t SECONDS] DIR [FILE.mps ...]}
shift
if [ $# -eq 0 ]; then set -- "${KQOPT_SHARED_DATA:-$here/../../shared/data}"/netlib/*.mps; fi
mkdir -p "$dir"
for file in "$@"; do
  name=$(basename "$file")
  name=${name%.mps}
  rm -f "$dir/$name.bin"
  if ! timeout "$limit" clp "$file" -dualsimplex -saveSolution "$dir/$name.bin" > /dev/null 2>&1; then
    rm -f "$dir/$name.bin"
    echo "clp_solutions: $name not solved within $limit s" >&2
  fi
done
