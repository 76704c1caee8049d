#!/usr/bin/env bash
# A long solve stops cleanly at the time limit and at the console break, with the LP
# left unfinished, and the command loop goes on.
set -u
host=$1
source_dir=$2
# A problem long enough to be stopped (over a minute by the primal): qap12 from the Netlib
# test set, when it is there.
shared=${KQOPT_SHARED_DATA:-$source_dir/../shared/data}
data="$shared/netlib/qap12.mps"
if [ ! -f "$data" ]; then
  echo "skipped: no test sets in $shared (set KQOPT_SHARED_DATA)"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$data" "$work/long.mps"
cd "$work"

out=$(printf 'INPUT long\nMAXTIM=-1\nMINIM\nQUIT\n' | timeout 60 "$host" 2>&1)
rc=$?
if [ "$rc" != 0 ] || ! grep -q 'LP stopped' <<<"$out"; then
  echo "FAIL time limit: exit $rc"; echo "$out"; exit 1
fi
echo "ok time limit"

mkfifo commands
timeout 60 "$host" < commands > interrupted.log 2>&1 &
pid=$!
exec 3>commands
printf 'INPUT long\nMINIM\n' >&3
sleep 2
kill -INT "$pid"
sleep 1
printf 'QUIT\n' >&3
exec 3>&-
wait "$pid"
rc=$?
if [ "$rc" != 0 ] || ! grep -q 'LP stopped' interrupted.log; then
  echo "FAIL interrupt: exit $rc"; cat interrupted.log; exit 1
fi
echo "ok interrupt"
