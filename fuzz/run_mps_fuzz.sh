#!/usr/bin/env bash
# Runs the MPS reader fuzz target for a given time on a seed corpus made from the
# shared test data (every .mps file, cut to its first 32 KiB, once as a fixed-layout
# input and, for the small ones, once with other settings; see the first-byte options
# in mps_reader_fuzz.cpp).
#
# usage: fuzz/run_mps_fuzz.sh [seconds=600] [build-dir=build-fuzz] [jobs=1]
# Crashes land in <build-dir>/fuzz-artifacts/; the grown corpus in
# <build-dir>/fuzz-corpus/mps and is reused by the next run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
seconds=${1:-600}
build=${2:-$root/build-fuzz}
jobs=${3:-1}
data=${KQOPT_SHARED_DATA:-${KQOPT_DATA_DIR:-$root/../shared/data}}

if [ ! -f "$build/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DKQOPT_FUZZ=ON -DKQOPT_SANITIZE=ON \
    -DKQOPT_TESTS=OFF -DKQOPT_BENCH=OFF
fi
ninja -C "$build" fuzz_mps_reader

seeds=$build/fuzz-seeds/mps
corpus=$build/fuzz-corpus/mps
artifacts=$build/fuzz-artifacts
mkdir -p "$seeds" "$corpus" "$artifacts"
if [ -z "$(ls -A "$seeds")" ]; then
  for f in "$data"/netlib/*.mps "$data"/miplib3/*.mps; do
    name=$(basename "$f" .mps)
    { printf '\000'; head -c 32768 "$f"; } > "$seeds/$name"
    if [ "$(stat -c %s "$f")" -le 32768 ]; then
      { printf '\020'; cat "$f"; } > "$seeds/$name-ifnrw"   # IFNRW -1
      { printf '\150'; cat "$f"; } > "$seeds/$name-spare"   # spare rows, small capacities, IFNRW 0
      { printf '\001'; cat "$f"; } > "$seeds/$name-free"    # free layout
    fi
  done
fi

export KQOPT_MSG_DIR=$build/out
parallel=()
# With several jobs libFuzzer writes each job's log to fuzz-<n>.log in the current directory.
if [ "$jobs" -gt 1 ]; then parallel=(-jobs="$jobs" -workers="$jobs"); cd "$build"; fi
"$build/out/fuzz_mps_reader" "$corpus" "$seeds" -dict="$here/mps.dict" -max_len=40000 \
  -max_total_time="$seconds" -artifact_prefix="$artifacts/" -print_final_stats=1 \
  -rss_limit_mb=4096 -timeout=20 "${parallel[@]}"
