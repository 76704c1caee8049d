#!/usr/bin/env python3
"""Mutation run of the host over MPS files: each mutant is read and minimised with an
iteration limit and a time limit; a run that dies by a signal, reports a sanitizer
error or an uncaught exception, or outruns the time-out is kept as a failure.

usage: fuzz/mutate_mps.py HOST SECONDS OUT_DIR FILE_OR_DIR...
  HOST      the host program (an ASan/UBSan build finds the most)
  SECONDS   length of the run
  OUT_DIR   failing mutants and a summary land here
Mutations: byte flips, truncations, duplicated, deleted and swapped lines, odd numbers
(NaN, infinities, huge, tiny, malformed) and odd names (empty, long, blanks, bytes
outside ASCII), repeated entries of one column, and random control settings
(IGNORE, FREFMT, NAMLEN, NRXTRA/NCXTRA). The seed is printed so that a run can be
repeated.
"""
import os
import random
import subprocess
import sys
import time

ODD_NUMBERS = [b"nan", b"NaN", b"inf", b"-inf", b"1e308", b"-1e308", b"1e-320", b"0", b"-0", b"1e30",
               b"-1e30", b"9.99e29", b"2147483648", b"-2147483649", b"1e", b"--1", b"1.2.3", b"+", b".", b"e5",
               b"1d5", b"0x10", b"999999999999999999999999"]
ODD_NAMES = [b"", b" ", b"X" * 40, b"\t", b"\xff\xfe", b"RHS", b"BND", b"MARKER", b"'MARKER'", b"ROWS",
             b"ENDATA", b"*", b"$", b"COLUMNS", b"N"]
CONTROLS = [[], [], [], ["IGNORE=1000"], ["IFNRW=0"], ["IFNRW=-1"], ["NRXTRA=3", "NCXTRA=2"], ["NAMLEN=16"],
            ["FREFMT=1"], ["LENDBL=15"], ["IGNORE=1000", "IFNRW=-1"], ["NRXTRA=2147483647"],
            ["NCXTRA=2147483647"], ["IFSCAL=0"], ["ICRASH=0"]]


def mutate_lines(lines, rng):
    kind = rng.randrange(9)
    n = len(lines)
    if n == 0:
        return lines
    i = rng.randrange(n)
    if kind == 0:  # duplicate a line (a column holding a row twice, a row declared twice)
        lines.insert(i, lines[i])
    elif kind == 1:
        del lines[i]
    elif kind == 2:
        j = rng.randrange(n)
        lines[i], lines[j] = lines[j], lines[i]
    elif kind == 3:  # odd number in a field
        fields = lines[i].split()
        if fields:
            k = rng.randrange(len(fields))
            fields[k] = rng.choice(ODD_NUMBERS)
            lines[i] = b" " + b"  ".join(fields)
    elif kind == 4:  # odd name
        fields = lines[i].split()
        if fields:
            k = rng.randrange(len(fields))
            fields[k] = rng.choice(ODD_NAMES)
            lines[i] = b"    " + b"  ".join(fields)
    elif kind == 5:  # repeated entries of one column: duplicate a run of lines
        k = rng.randrange(1, 6)
        lines[i:i] = lines[i:i + k]
    elif kind == 6:  # many added lines
        lines[i:i] = [lines[i]] * rng.choice([10, 100, 1000])
    elif kind == 7:  # a header line moved
        headers = [h for h, line in enumerate(lines) if line[:1] not in (b" ", b"*", b"")]
        if headers:
            h = rng.choice(headers)
            line = lines.pop(h)
            lines.insert(rng.randrange(len(lines) + 1), line)
    else:  # a line cut short
        lines[i] = lines[i][:rng.randrange(len(lines[i]) + 1)]
    return lines


def mutate(data, rng):
    for _ in range(rng.choice([1, 1, 1, 2, 3, 5])):
        kind = rng.randrange(4)
        if kind == 0 and data:  # byte flips
            b = bytearray(data)
            for _ in range(rng.choice([1, 2, 8])):
                p = rng.randrange(len(b))
                b[p] = rng.choice([b[p] ^ (1 << rng.randrange(8)), rng.randrange(256), 32, 10, 48 + rng.randrange(10)])
            data = bytes(b)
        elif kind == 1 and data:  # truncation
            data = data[:rng.randrange(len(data))]
        else:
            data = b"\n".join(mutate_lines(data.split(b"\n"), rng))
    return data


def main():
    host, seconds, out_dir = sys.argv[1], float(sys.argv[2]), sys.argv[3]
    sources = []
    for arg in sys.argv[4:]:
        if os.path.isdir(arg):
            sources += [os.path.join(arg, f) for f in sorted(os.listdir(arg)) if f.endswith(".mps")]
        else:
            sources.append(arg)
    seed = int(os.environ.get("MUTATE_SEED", time.time()))
    rng = random.Random(seed)
    print("seed", seed, "files", len(sources), flush=True)
    os.makedirs(out_dir, exist_ok=True)
    work = os.path.join(out_dir, "work")
    os.makedirs(work, exist_ok=True)
    texts = {}
    end = time.time() + seconds
    runs = failures = slow = 0
    outcomes = {}
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:abort_on_error=0",
               UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1")
    while time.time() < end:
        source = rng.choice(sources)
        if source not in texts:
            with open(source, "rb") as f:
                texts[source] = f.read()
        data = mutate(texts[source], rng)
        controls = rng.choice(CONTROLS)
        path = os.path.join(work, "m.mps")
        with open(path, "wb") as f:
            f.write(data)
        args = [host] + controls + ["ITRLIM=2000", "MAXTIM=-10", "INPUT m", "MINIM", "QUIT"]
        started = time.time()
        try:
            r = subprocess.run(args, cwd=work, env=env, stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
            output = r.stdout + r.stderr
            code = r.returncode
        except subprocess.TimeoutExpired as e:
            output = (e.stdout or b"") + (e.stderr or b"")
            code = "timeout"
        took = time.time() - started
        runs += 1
        if took > 20:
            slow += 1
        bad = (code == "timeout" or (isinstance(code, int) and code < 0) or b"AddressSanitizer" in output or
               b"runtime error" in output or b"terminate called" in output or b"LeakSanitizer" in output)
        key = "failure" if bad else "exit %s" % code
        outcomes[key] = outcomes.get(key, 0) + 1
        if bad:
            failures += 1
            name = os.path.join(out_dir, "fail-%04d" % failures)
            with open(name + ".mps", "wb") as f:
                f.write(data)
            with open(name + ".txt", "wb") as f:
                f.write(("source %s controls %s code %s took %.1f\n" % (source, controls, code, took)).encode())
                f.write(output[-6000:])
            print("FAIL", name, os.path.basename(source), controls, code, flush=True)
        if runs % 200 == 0:
            print("runs", runs, "failures", failures, "slow", slow, outcomes, flush=True)
    print("done: runs", runs, "failures", failures, "slow (over 20 s)", slow, outcomes, flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
