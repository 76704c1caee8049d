#!/usr/bin/env bash
# clp_objectives.sh: the objectives of CLP's dual simplex for a set of MPS files, in the CSV
# form of run-peers, for `kqbench -c`. Without arguments: every shared Netlib problem.
#
#   bench/clp_objectives.sh [-t SECONDS] [FILE.mps ...] > clp_dual.csv
#   build/bench/kqbench --cpu -c clp_dual.csv --check FILE.mps ...
#
# CLP prints ten significant digits, enough to tell differences above 1e-9 relative.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
peers=${RUN_PEERS:-$here/../../shared/tools/run-peers}
limit=300
if [ "${1:-}" = "-t" ]; then limit=$2; shift 2; fi
if [ $# -eq 0 ]; then set -- "${KQOPT_SHARED_DATA:-$here/../../shared/data}"/netlib/*.mps; fi
exec "$peers" -t "$limit" -p clp:dual "$@"
