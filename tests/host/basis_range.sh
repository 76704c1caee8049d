#!/usr/bin/env bash
# Basis files and ranging from the command line: BASISOUT in both layouts, BASISIN
# into a fresh load, RANGE, RPRINT, FRPRINT and RTOASC; a size limit makes BASISOUT
# fail and keep the old file.
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

# The range prints and the ASCII range files from the command line.
out=$("$host" "INPUT afiro" MINIM RANGE RPRINT FRPRINT "RTOASC -sn" QUIT 2>&1)
[ $? = 0 ] || fail "range print run: $out"
grep -q '^Ranging of columns' <<<"$out" || fail "RPRINT shows no column heading: $out"
grep -q '^Ranging of columns' afiro.rrt || fail "afiro.rrt has no column heading"
[ "$(grep -c 'Ranging of' afiro.rrt)" -ge 2 ] || fail "afiro.rrt headings"
# One line per row (28, the objective with them) and per column (32).
[ "$(wc -l < afiro.rsc)" = 60 ] || fail "afiro.rsc lines $(wc -l < afiro.rsc)"
[ "$(head -n 1 afiro.rsc | tr -cd ',' | wc -c)" = 11 ] || fail "afiro.rsc fields: $(head -n 1 afiro.rsc)"
grep -q $'\r$' afiro.rsc || fail "afiro.rsc lines do not end in CR LF"
[ $failures = 0 ] && echo "ok range prints"

cp afiro.bss kept.bss
out=$(ulimit -f 0; "$host" "INPUT afiro" BASISOUT QUIT 2>&1)
grep -q 'cannot be read or written' <<<"$out" || fail "size limit not reported: $out"
cmp -s afiro.bss kept.bss || fail "size limit changed afiro.bss"
[ $failures = 0 ] && echo "ok size limit"
exit $((failures > 0))
