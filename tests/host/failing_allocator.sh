#!/usr/bin/env bash
# Out of memory at every allocation of a host run ("INPUT afiro", MINIM, QUIT): the k-th
# malloc/calloc/realloc of the process fails, for every k. No run may abort (signal,
# uncaught exception, time-out): each ends with a message and an exit code.
# Skipped for sanitizer builds, whose runtime must come first and owns malloc.
set -u
host=$1
source_dir=$2
if ldd "$host" 2>/dev/null | grep -q -E 'libasan|libtsan|libubsan'; then
  echo "skipped: the host is built with a sanitizer runtime"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cc -O1 -shared -fPIC "$source_dir/tests/host/failing_allocator.c" -o "$work/failalloc.so" || exit 1
cp "$source_dir/examples/afiro.mps" "$work/afiro.mps"
cd "$work"
run() { LD_PRELOAD="$work/failalloc.so" timeout 20 "$host" "INPUT afiro" MINIM QUIT 2>&1 >/dev/null; }
n=$(FAILALLOC_COUNT=1 run | sed -n 's/^failalloc calls //p' | tail -1)
[ -n "$n" ] || { echo "FAIL: no allocation count"; exit 1; }
aborts=0
for ((k = 1; k <= n; ++k)); do
  out=$(FAILALLOC_AT=$k run)
  rc=$?
  if [ $rc -ge 124 ] || grep -q -E 'terminate called|runtime error|AddressSanitizer' <<<"$out"; then
    aborts=$((aborts + 1))
    [ $aborts -le 5 ] && echo "abort at k=$k: exit $rc ${out:0:200}"
  fi
done
echo "allocations: $n; aborts: $aborts"
[ $aborts -eq 0 ]
