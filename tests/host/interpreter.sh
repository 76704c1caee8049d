#!/usr/bin/env bash
# The host program's command loop: exit codes, control lines, unknown lines, arguments
# run before standard input, and end of input.
set -u
host=$1
failures=0
expect() {  # expect NAME WANTED_EXIT OUTPUT_PATTERN -- command...
  local name=$1 want=$2 pattern=$3
  shift 4
  local out rc
  out=$("$@" 2>&1)
  rc=$?
  if [ "$rc" != "$want" ]; then
    echo "FAIL $name: exit $rc, wanted $want"; echo "$out"; failures=$((failures + 1)); return
  fi
  if [ -n "$pattern" ] && ! grep -q -E -- "$pattern" <<<"$out"; then
    echo "FAIL $name: output lacks /$pattern/"; echo "$out"; failures=$((failures + 1)); return
  fi
  echo "ok $name"
}
expect quit 0 "" -- bash -c "printf 'QUIT\n' | '$host'"
expect stop 63 "" -- bash -c "printf 'STOP\n' | '$host'"
expect eof 16 '\?EOF on read: fatal' -- bash -c "printf '' | '$host'"
expect unknown-continues 0 "" -- bash -c "printf 'NOSUCHTHING\nQUIT\n' | '$host'"
expect control-set-and-query 0 '^>* {9}500$' -- bash -c "printf 'ITRLIM=500\nITRLIM\nQUIT\n' | '$host'"
expect lower-case-control 0 '^>* {9}321$' -- bash -c "printf 'itrlim=321\nITRLIM\nQUIT\n' | '$host'"
expect real-field 0 '^>* 1\.00000E-05$' -- bash -c "printf 'ZTOLPZ\nQUIT\n' | '$host'"
expect arguments-first 0 '^>* {9}777$' -- bash -c "printf 'ITRLIM\nQUIT\n' | '$host' 'ITRLIM = 777'"
expect arguments-then-quit 0 "" -- "$host" "ITRLIM=5" QUIT
expect help 0 '10\.63' -- bash -c "printf 'HELP\nQUIT\n' | '$host'"
expect no-problem 0 "" -- bash -c "printf 'MINIM\nQUIT\n' | '$host'"
tmp=$(mktemp -d)
printf 'ITRLIM=999\n' > "$tmp/rb-opt.ini"
expect startup-file 0 '^>* {9}999$' -- bash -c "cd '$tmp' && printf 'ITRLIM\nQUIT\n' | '$host'"
printf 'ITRLIM=444\n' > "$tmp/commands"
expect command-file 0 '^>* {9}444$' -- bash -c "cd '$tmp' && printf '@commands\nITRLIM\nQUIT\n' | '$host'"
rm -rf "$tmp"
exit $((failures > 0))
