#!/usr/bin/env bash
# Runs the LP-text reader fuzz target for a given time on a seed corpus: the files of
# fuzz/lp_seeds and, when a directory of LP files is given (for instance the files the
# round-trip test keeps with KQOPT_LP_OUT), those of them up to 32 KiB.
#
# usage: fuzz/run_lp_fuzz.sh [seconds=600] [build-dir=build-fuzz] [lp-dir]
# Crashes land in <build-dir>/fuzz-artifacts/; the grown corpus in
# <build-dir>/fuzz-corpus/lp and is reused by the next run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-600}
build=${2:-$root/build-fuzz}
lpdir=${3:-}

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKQOPT_FUZZ=ON -DKQOPT_SANITIZE=ON \
    -DKQOPT_TESTS=OFF -DKQOPT_BENCH=OFF
fi
ninja -C "$build" fuzz_lp_reader

seeds=$build/fuzz-seeds/lp
corpus=$build/fuzz-corpus/lp
artifacts=$build/fuzz-artifacts
mkdir -p "$seeds" "$corpus" "$artifacts"
for f in "$here"/lp_seeds/*.lp ${lpdir:+"$lpdir"/*.lp}; do
  [ -f "$f" ] || continue
  [ "$(stat -c %s "$f")" -le 32768 ] || continue
  name=$(basename "$f" .lp)
  { printf '\000'; cat "$f"; } > "$seeds/$name"
  { printf '\002'; cat "$f"; } > "$seeds/$name-ignore"
done

export KQOPT_MSG_DIR=$build/out
"$build/out/fuzz_lp_reader" "$corpus" "$seeds" -dict="$here/lp.dict" -max_len=40000 \
  -max_total_time="$seconds" -artifact_prefix="$artifacts/" -print_final_stats=1 \
  -rss_limit_mb=4096 -timeout=20
