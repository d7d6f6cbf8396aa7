#!/usr/bin/env python3
"""treg_guard.py: compiler launcher of the SH device build. It runs the
compile it is given with GCC's RTL dumps switched on and fails it when the
SH-only pass sh_treg_combine deleted the test before a conditional branch
("removing test insn before cbranch"). Debian's sh4 GCC 12.2 does that on
paths where nothing else sets the T bit, so the branch then follows a stale
T: wrong code, with no warning. The pass runs at every optimisation level
above -O0 and no option turns it off, so every C and C++ file is checked.

usage: treg_guard.py COMPILER ARGUMENT...   (as CMake's compiler launcher)
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

MARK = 'removing test insn before cbranch'


def deleted_tests(dump_dir):
    """'function (dump file)' for each test the pass deleted."""
    hits = []
    for path in sorted(glob.glob(os.path.join(dump_dir, '*sh_treg_combine*'))):
        function = '?'
        with open(path, errors='replace') as dump:
            for line in dump:
                if line.startswith(';; Function '):
                    function = line.split()[2]
                elif MARK in line:
                    hits.append('%s (%s)' % (function, os.path.basename(path)))
    return hits


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    command = argv[1:]
    if '-c' not in command or '-o' not in command:
        return subprocess.call(command)  # not a compile: a link or a probe
    output = command[command.index('-o') + 1]
    source = next((a for a in reversed(command) if a.endswith(('.c', '.cpp', '.cc'))), output)
    dump_dir = tempfile.mkdtemp(prefix='treg-', dir=os.path.dirname(os.path.abspath(output)))
    try:
        status = subprocess.call(command + ['-fdump-rtl-all', '-dumpdir', dump_dir + '/'])
        # The dump folder takes the other files GCC writes beside the
        # object as well: the stack usage goes back where it belongs.
        for su in glob.glob(os.path.join(dump_dir, '*.su')):
            shutil.move(su, os.path.join(os.path.dirname(os.path.abspath(output)),
                                         os.path.basename(su)))
        if status != 0:
            return status
        hits = deleted_tests(dump_dir)
        for hit in hits:
            print('%s: sh_treg_combine deleted the test before a branch in %s: the '
                  'compiler makes wrong code here; rewrite the loop or build this file '
                  'at -O0' % (source, hit), file=sys.stderr)
        if hits:
            os.remove(output)
            return 1
        return 0
    finally:
        shutil.rmtree(dump_dir, ignore_errors=True)


if __name__ == '__main__':
    sys.exit(main(sys.argv))
