#!/usr/bin/env bash
# The host cannot start without its message file, and says so.
set -u
host=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
libdir=$(dirname "$host")
cp "$host" "$tmp/kqopt"
cp -L "$libdir"/libkqopt.so.* "$tmp/" 2>/dev/null
# The copied host runs from a directory without rb-opt.msg, with its library beside it.
out=$(cd "$tmp" && env -u TARKEN LD_LIBRARY_PATH="$tmp" ./kqopt QUIT 2>&1)
rc=$?
if [ "$rc" != 8 ]; then echo "FAIL: exit $rc, wanted 8"; echo "$out"; exit 1; fi
echo "ok missing message file: exit 8"
# TARKEN pointing at the real file lets it start.
out=$(cd "$tmp" && TARKEN="$libdir" LD_LIBRARY_PATH="$tmp" ./kqopt QUIT 2>&1)
rc=$?
if [ "$rc" != 0 ]; then echo "FAIL with TARKEN: exit $rc"; echo "$out"; exit 1; fi
echo "ok TARKEN"
