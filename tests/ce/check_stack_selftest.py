# check_stack_selftest.py: the device build's frame check against small
# functions compiled by the device compiler: a frame within a page passes, a
# frame over a page or of unbounded size fails, naming the function.
import os
import subprocess
import sys

from audit_common import Report, arguments

CASES = [
    # (what, function body, fails, text the failure must name)
    ("frame within a page", "char b[3000]; use(b);", False, None),
    ("frame over a page", "char b[4648]; use(b);", True, "over one 4096-byte page"),
    ("frame of unbounded size", "char b[n]; use(b);", True, "unbounded"),
]


def main():
    args = arguments("--checker --cxx --workdir --flags", flags=dict(
        default="-marm -march=armv4", help="the device CPU's compiler flags, as one word"))
    os.makedirs(args.workdir, exist_ok=True)
    report = Report()
    for i, (what, body, fails, text) in enumerate(CASES):
        source = os.path.join(args.workdir, f"frame{i}.cpp")
        obj = os.path.join(args.workdir, f"frame{i}.cpp.obj")
        open(source, "w").write("void use(char*);\nvoid checked_function(int n) { %s }\n" % body)
        subprocess.run([args.cxx] + args.flags.split() + ["-Os", "-fstack-usage", "-c",
                        source, "-o", obj], check=True)
        run = subprocess.run([sys.executable, args.checker, "Probe", obj],
                             capture_output=True, text=True)
        ok = (run.returncode != 0) == fails and (
            not fails or "checked_function" in run.stderr and text in run.stderr)
        report.check(what, ok, (run.stderr or run.stdout).strip())
    return report.finish()


if __name__ == "__main__":
    sys.exit(main())
