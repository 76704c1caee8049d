#!/usr/bin/env bash
# The command IIS on a problem with two disjoint infeasible pairs of rows: both sets
# reported with their members marked, the option f copying the output into
# "<problem>.iis" (and ending the analysis when it cannot be opened), the option o
# showing the simplex log, and no problem left afterwards.
set -u
host=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
cat >two.mps <<'MPS'
NAME          TWO
ROWS
 N  COST
 L  LIM1
 G  LIM2
 L  LIM3
 G  LIM4
 L  SLACK
COLUMNS
    X1        COST               1.0   LIM1               1.0
    X1        LIM2               1.0   SLACK              1.0
    X2        LIM3               1.0   LIM4               1.0
    X2        SLACK              1.0
RHS
    RHS       LIM1               1.0   LIM2               2.0
    RHS       LIM3               1.0   LIM4               2.0
    RHS       SLACK            100.0
BOUNDS
 FR BND       X1
 FR BND       X2
ENDATA
MPS
fail() {
  echo "FAIL: $1"
  echo "$out"
  exit 1
}
out=$(timeout 20 "$host" "INPUT two" "IIS -f" MINIM QUIT 2>&1) || fail "exit code $?"
grep -q "Problem feasible after removing infeasible sets:      2" <<<"$out" || fail "no message 335"
[ "$(grep -c '^Infeasible set ' <<<"$out")" -eq 2 ] || fail "not two sets"
[ "$(grep -c '^  \*  ' <<<"$out")" -eq 4 ] || fail "not four marked members"
grep -q "^  \*       1 LIM1" <<<"$out" || fail "LIM1 not listed"
grep -q "No problem or solution available" <<<"$out" || fail "a problem is still loaded"
[ -f two.iis ] || fail "no print file"
[ "$(grep -c '^Infeasible set ' two.iis)" -eq 2 ] || fail "print file without the report"
grep -q "No problem or solution" two.iis && fail "the print file holds output after the analysis"
out=$(timeout 20 "$host" "INPUT two" "IIS -o" QUIT 2>&1) || fail "exit code $?"
grep -q "Its .*Objective" <<<"$out" || fail "option o shows no simplex log"
out=$(timeout 20 "$host" "INPUT two" "IIS" QUIT 2>&1) || fail "exit code $?"
grep -q "Its .*Objective" <<<"$out" && fail "the simplex log shows without option o"
rm -f two.iis
out=$(timeout 20 "$host" "INPUT two" "NIIS=1" "IIS" QUIT 2>&1) || fail "exit code $?"
[ "$(grep -c '^Infeasible set ' <<<"$out")" -eq 1 ] || fail "NIIS=1 gave other than one set"
[ -f two.iis ] && fail "a print file without option f"
# A print file that cannot be opened ends the analysis before it starts; the problem
# goes all the same.
mkdir two.iis
out=$(timeout 20 "$host" "INPUT two" "IIS -f" MINIM QUIT 2>&1) || fail "exit code $?"
grep -q "Print file cannot be opened" <<<"$out" || fail "no message 80"
grep -q "Infeasible set\|Row in infeasible set" <<<"$out" && fail "the analysis ran without its print file"
grep -q "No problem or solution available" <<<"$out" || fail "a problem is still loaded"
echo "ok"
