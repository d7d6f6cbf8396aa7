#!/usr/bin/env python3
# check_stack_selftest.py: the device build's frame check against small
# functions compiled by the device compiler: a frame within a page passes, a
# frame over a page or of unbounded size fails, naming the function.
import argparse
import os
import subprocess
import sys

CASES = [
    # (what, function body, fails, text the failure must name)
    ("frame within a page", "char b[3000]; use(b);", False, None),
    ("frame over a page", "char b[4648]; use(b);", True, "over one 4096-byte page"),
    ("frame of unbounded size", "char b[n]; use(b);", True, "unbounded"),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--checker", required=True)
    parser.add_argument("--cxx", required=True)
    parser.add_argument("--workdir", required=True)
    parser.add_argument("--cpu-flags", default="-marm -march=armv4")
    args = parser.parse_args()
    os.makedirs(args.workdir, exist_ok=True)
    passed = failed = 0
    for i, (what, body, fails, text) in enumerate(CASES):
        source = os.path.join(args.workdir, f"frame{i}.cpp")
        obj = os.path.join(args.workdir, f"frame{i}.cpp.obj")
        with open(source, "w") as f:
            f.write("void use(char*);\nvoid checked_function(int n) { %s }\n" % body)
        subprocess.run([args.cxx] + args.cpu_flags.split() + ["-Os", "-fstack-usage", "-c",
                        source, "-o", obj], check=True)
        run = subprocess.run([sys.executable, args.checker, "Probe", obj],
                             capture_output=True, text=True)
        ok = (run.returncode != 0) == fails
        if fails:
            ok = ok and "checked_function" in run.stderr and text in run.stderr
        print(("PASS " if ok else "FAIL ") + what + ": " + (run.stderr or run.stdout).strip())
        passed, failed = passed + ok, failed + (not ok)
    print(f"{passed} passed, {failed} failed")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
