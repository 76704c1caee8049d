#!/usr/bin/env bash
# Basis files and ranging from the command line: BASISOUT in both layouts, BASISIN
# into a fresh load, RANGE; a size limit makes BASISOUT fail and keep the old file.
set -u
host=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source_dir/tests/data/netlib/afiro.mps" "$work/afiro.mps"
cd "$work"
failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }

out=$("$host" "INPUT afiro" MINIM BASISOUT "BASISOUT compact -t" RANGE QUIT 2>&1)
[ $? = 0 ] || fail "write run: $out"
[ "$(tail -n 1 afiro.bss)" = ENDATA ] && grep -q '^ X[LU] ' afiro.bss || fail "afiro.bss: $(cat afiro.bss)"
# afiro: 28 rows with the objective, 32 columns; a count line and one line of 60.
[ "$(head -n 1 compact.bss)" = "afiro             28          32" ] || fail "compact count line: $(head -n 1 compact.bss)"
[ "$(sed -n 2p compact.bss | tr -d '\n' | wc -c)" = 60 ] || fail "compact statuses"
[ "$(stat -c %s afiro.rng)" = $((256 + 64 * 60)) ] || fail "afiro.rng size $(stat -c %s afiro.rng)"
[ $failures = 0 ] && echo "ok write"

# The basis read back is optimal as it stands: STOP reports an optimal LP and the
# iteration log shows no iteration.
out=$("$host" "INPUT afiro" BASISIN MINIM STOP 2>&1)
[ $? = 64 ] || fail "read run: $out"
[ $failures = 0 ] && echo "ok read"
out=$("$host" "INPUT afiro" "BASISIN compact -t" MINIM STOP 2>&1)
[ $? = 64 ] || fail "compact read run: $out"
[ $failures = 0 ] && echo "ok compact read"

cp afiro.bss kept.bss
out=$(ulimit -f 0; "$host" "INPUT afiro" BASISOUT QUIT 2>&1)
grep -q 'cannot be read or written' <<<"$out" || fail "size limit not reported: $out"
cmp -s afiro.bss kept.bss || fail "size limit changed afiro.bss"
[ $failures = 0 ] && echo "ok size limit"
exit $((failures > 0))
