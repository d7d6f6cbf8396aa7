#!/usr/bin/env python3
# check_stack.py: fails the device build when any function's stack frame is
# larger than one page. CE grows a thread's stack one page at a time and
# allows no frame over a page; GCC does not probe large frames, so such a
# frame would fault on the device where the runner's flat stack hides it.
#
# Usage: check_stack.py PROGRAM OBJECT.o...   (reads each OBJECT.su from
# -fstack-usage beside the object)
import os
import sys

PAGE = 4096


def frames(su_path):
    """(function, bytes, kind) for each line GCC wrote for one object."""
    with open(su_path, encoding="utf-8", errors="replace") as su:
        for line in su:
            fields = line.rstrip("\n").split("\t")
            if len(fields) != 3 or not fields[1].isdigit():
                raise ValueError(f"{su_path}: unreadable line {line!r}")
            yield fields[0], int(fields[1]), fields[2]


def main(argv):
    if len(argv) < 3:
        print("usage: check_stack.py PROGRAM OBJECT.o...", file=sys.stderr)
        return 2
    program, objects = argv[1], argv[2:]
    faults = []
    deepest = ("", 0)
    for obj in objects:
        su_path = os.path.splitext(obj)[0] + ".su"
        if not os.path.exists(su_path):
            faults.append(f"{obj}: no stack usage (built without -fstack-usage?)")
            continue
        try:
            for function, size, kind in frames(su_path):
                # "dynamic" without "bounded" means alloca or a variable
                # array: no size can be promised.
                if kind == "dynamic":
                    faults.append(f"{function}: frame of unbounded size")
                elif size > PAGE:
                    faults.append(f"{function}: {size}-byte frame, over one {PAGE}-byte page")
                if size > deepest[1]:
                    deepest = (function, size)
        except ValueError as error:
            faults.append(str(error))
    if faults:
        for fault in faults:
            print(f"{program}: {fault}", file=sys.stderr)
        return 1
    print(f"{program}: largest frame {deepest[1]} bytes ({deepest[0]})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
