#!/usr/bin/env python3
"""A mutation pass by hand: makes each small fault of a list in turn, rebuilds,
runs the tests, and says which faults the tests did not see.

    tools/mutation_pass.py MUTANTS.json [--build DIR] [--jobs N] [--only NAME]

MUTANTS.json is a list of objects:
    {"name": "...", "file": "src/...", "original": "...", "mutated": "...",
     "tests": "ctest regular expression (optional: every test but the slow ones)"}
"original" must occur exactly once in the file. Each fault is made in the
working tree, the build directory is rebuilt incrementally and ctest runs;
a fault is killed when the build or a test fails. The file is restored after
each fault, whatever happens (an error, Ctrl-C, a timeout). A developer tool,
not part of continuous integration.
"""

import argparse
import json
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
SLOW = r"^(runs|workflow|cluster)\."


class Restore:
    """Keeps a file's bytes and puts them back on exit from the block."""

    def __init__(self, path):
        self.path = path
        self.original = path.read_bytes()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.path.write_bytes(self.original)
        return False


def run(command, timeout):
    try:
        done = subprocess.run(command, cwd=ROOT, capture_output=True, text=True, timeout=timeout)
        return done.returncode, done.stdout[-2000:] + done.stderr[-2000:]
    except subprocess.TimeoutExpired:
        return -1, "timed out"


def try_mutant(mutant, build, jobs, timeout):
    path = ROOT / mutant["file"]
    text = path.read_text()
    found = text.count(mutant["original"])
    if found != 1:
        return "invalid", f"the original text occurs {found} times in {mutant['file']}"
    with Restore(path):
        path.write_text(text.replace(mutant["original"], mutant["mutated"]))
        code, output = run(["cmake", "--build", str(build), "-j", str(jobs)], timeout)
        if code != 0:
            return "killed", "the build failed"
        tests = ["ctest", "--test-dir", str(build), "-j", str(jobs), "--stop-on-failure", "--timeout", "300"]
        tests += ["-R", mutant["tests"]] if "tests" in mutant else ["-E", SLOW]
        code, output = run(tests, timeout)
        failed = [line.strip() for line in output.splitlines() if "***Failed" in line or "(Failed)" in line]
        return ("killed", failed[0] if failed else "a test failed") if code != 0 else ("survived", "")


def stop(*_):
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("mutants", type=Path)
    parser.add_argument("--build", type=Path, default=ROOT / "build" / "release")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--timeout", type=int, default=1800, help="seconds for one build or one test run")
    parser.add_argument("--only", help="run only the mutant of this name")
    args = parser.parse_args()
    mutants = json.loads(args.mutants.read_text())
    if args.only:
        mutants = [m for m in mutants if m["name"] == args.only]
    # SIGTERM ends the pass like Ctrl-C, so that the file in hand is restored.
    signal.signal(signal.SIGTERM, stop)
    # A tree that does not build or pass as it is would count every fault killed.
    code, output = run(["cmake", "--build", str(args.build), "-j", str(args.jobs)], args.timeout)
    if code != 0:
        sys.exit(f"the tree as it is does not build; nothing to compare against:\n{output}")
    results = []
    try:
        for mutant in mutants:
            start = time.monotonic()
            verdict, detail = try_mutant(mutant, args.build, args.jobs, args.timeout)
            results.append((mutant["name"], verdict))
            print(f"{verdict:9} {mutant['name']} ({time.monotonic() - start:.0f} s) {detail}", flush=True)
    except KeyboardInterrupt:
        print("stopped; the file in hand is restored", file=sys.stderr)
    finally:
        # Rebuild the tree as it is, so that the build directory holds no fault.
        run(["cmake", "--build", str(args.build), "-j", str(args.jobs)], args.timeout)
    valid = [verdict for _, verdict in results if verdict != "invalid"]
    killed = valid.count("killed")
    if valid:
        print(f"{killed} of {len(valid)} killed ({100 * killed / len(valid):.0f}%)")
    survivors = [name for name, verdict in results if verdict == "survived"]
    if survivors:
        print("survived: " + ", ".join(survivors))
    return 1 if any(verdict == "invalid" for _, verdict in results) else 0


if __name__ == "__main__":
    sys.exit(main())
