#!/usr/bin/env bash
# The DIRECTIVES command: a directives file read for p0033 (the problem's own name, and a
# named file), its warnings on the console, and the search still reaching the optimum.
set -u
host=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source_dir/tests/data/miplib3/p0033.mps" "$work/p0033.mps"
cd "$work"
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

printf ' PR  C15*               7\n UP  C157\n PX  C157\n PR  NOSUCH             3\n' > p0033.dir
out=$("$host" "INPUT p0033" DIRECTIVES "MINIM -g" STOP 2>&1)
[ $? = 70 ] || fail "search after the directives: $out"
echo "$out" | grep -q "Unknown directive type: PX" || fail "message 142: $out"
echo "$out" | grep -q "No global entity of this name: NOSUCH" || fail "message 143: $out"
echo "$out" | grep -q "3089" || fail "optimum: $out"
[ $failures = 0 ] && echo "ok directives"

out=$("$host" "INPUT p0033" "DIRECTIVES missing" QUIT 2>&1)
echo "$out" | grep -q "Required file cannot be opened" || fail "message 38: $out"
[ $failures = 0 ] && echo "ok missing file"
exit $((failures > 0))
