#!/usr/bin/env python3
"""Mutation run: applies each one-line change of a list to the product code,
rebuilds the device (ce-arm) and host programs, runs the host test binaries
and reports which changes the tests caught.

Slow (a rebuild per change), so it is a developer's tool, not part of the
test command. It works on a copy of a commit, so the worktree may change
meanwhile:

    tests/mutants/run.py [--commit HEAD] [--list tests/mutants/changes.txt]
                         [--work /tmp/mutants] [--only N,M] [--asan]

--asan also builds and runs the host suite under ASan and UBSan.

The list holds one change per block:

    # what the change breaks
    file: closer/window_rules.cpp
    - text of the line as it is (a part of one line, found exactly once;
      -2 instead of - takes its second occurrence)
    + what it becomes (empty: the text is removed)
"""
import argparse
import os
import shutil
import subprocess
import sys
import time

TESTS = {
    "host": ["closer_tests", "assigner_tests", "report_tests", "device_tests", "heap_tests"],
    "host-asan": ["closer_tests", "assigner_tests", "report_tests", "device_tests"],
}
BUILD_TIMEOUT = 900
TEST_TIMEOUT = 300


def parse(path):
    changes = []
    current = {}
    for raw in open(path, encoding="utf-8"):
        line = raw.rstrip("\n")
        if line.startswith("#"):
            if "file" in current:
                changes.append(current)
                current = {}
            current.setdefault("what", line[1:].strip())
        elif line.startswith("file:"):
            current["file"] = line[5:].strip()
        elif line.startswith("+"):
            current["new"] = line[2:] if len(line) > 1 else ""
        elif line.startswith("-"):
            head, _, text = line.partition(" ")
            current["nth"] = int(head[1:]) if len(head) > 1 else 1
            current["unique"] = len(head) == 1
            current["old"] = text
        elif not line.strip() and "new" in current:
            changes.append(current)
            current = {}
    if "new" in current:
        changes.append(current)
    for c in changes:
        for key in ("file", "old", "new"):
            if key not in c:
                sys.exit("incomplete change: %r" % c)
    return changes


def run(cmd, cwd, timeout, log):
    log.write("$ %s\n" % " ".join(cmd))
    log.flush()
    try:
        p = subprocess.run(cmd, cwd=cwd, stdout=log, stderr=subprocess.STDOUT, timeout=timeout)
        return p.returncode
    except subprocess.TimeoutExpired:
        log.write("timed out\n")
        return "timeout"


def build(src, presets, log):
    for preset in presets:
        if run(["cmake", "--build", "build/" + preset, "-j2"], src, BUILD_TIMEOUT, log) != 0:
            return False
    return True


def run_tests(src, presets, log):
    """Names of the binaries that failed, crashed or hung."""
    failed = []
    for preset in presets:
        for t in TESTS.get(preset, []):
            rc = run([os.path.join(src, "build", preset, "tests", t), "--gtest_brief=1"], src,
                     TEST_TIMEOUT, log)
            if rc != 0:
                failed.append("%s/%s(%s)" % (preset, t, rc))
    return failed


def apply(src, change):
    path = os.path.join(src, change["file"])
    text = open(path, encoding="utf-8").read()
    count = text.count(change["old"])
    if count < change["nth"] or (change.get("unique") and count != 1):
        return None, "text found %d times" % count
    at = -1
    for _ in range(change["nth"]):
        at = text.index(change["old"], at + 1)
    mutated = text[:at] + change["new"] + text[at + len(change["old"]):]
    open(path, "w", encoding="utf-8").write(mutated)
    return text, None


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    repo = os.path.abspath(os.path.join(here, "..", ".."))
    ap = argparse.ArgumentParser()
    ap.add_argument("--commit", default="HEAD")
    ap.add_argument("--list", default=os.path.join(here, "changes.txt"))
    ap.add_argument("--work", default="/tmp/mutants")
    ap.add_argument("--only", default="")
    ap.add_argument("--asan", action="store_true")
    args = ap.parse_args()
    presets = ["ce-arm", "host"] + (["host-asan"] if args.asan else [])

    changes = parse(args.list)
    src = os.path.join(args.work, "src")
    if os.path.isdir(src):
        shutil.rmtree(src)
    os.makedirs(src)
    archive = subprocess.run(["git", "archive", args.commit], cwd=repo, stdout=subprocess.PIPE,
                             check=True).stdout
    subprocess.run(["tar", "-x", "-C", src], input=archive, check=True)
    log = open(os.path.join(args.work, "log.txt"), "w")
    for preset in presets:
        if run(["cmake", "--preset", preset], src, BUILD_TIMEOUT, log) != 0:
            sys.exit("configure %s failed, see %s" % (preset, log.name))
    if not build(src, presets, log):
        sys.exit("the unchanged commit does not build, see %s" % log.name)
    failed = run_tests(src, presets, log)
    if failed:
        sys.exit("the unchanged commit fails %s, see %s" % (failed, log.name))

    only = {int(n) for n in args.only.split(",") if n}
    caught = missed = invalid = 0
    for i, change in enumerate(changes, 1):
        if only and i not in only:
            continue
        start = time.time()
        original, problem = apply(src, change)
        if problem:
            print("%2d INVALID %s: %s" % (i, change["what"], problem), flush=True)
            invalid += 1
            continue
        try:
            log.write("\n== %d %s\n" % (i, change["what"]))
            if not build(src, presets, log):
                verdict, detail = "INVALID", "does not build"
                invalid += 1
            else:
                failed = run_tests(src, presets, log)
                if failed:
                    verdict, detail = "caught", " ".join(failed)
                    caught += 1
                else:
                    verdict, detail = "MISSED", ""
                    missed += 1
        finally:
            open(os.path.join(src, change["file"]), "w", encoding="utf-8").write(original)
        print("%2d %-7s %s [%s] %s (%ds)" % (i, verdict, change["what"], change["file"], detail,
                                             time.time() - start), flush=True)
    total = caught + missed
    print("caught %d of %d (%d%%), %d invalid" % (caught, total, 100 * caught // max(total, 1),
                                                  invalid))


if __name__ == "__main__":
    main()
