#!/usr/bin/env python3
"""ce_cab_reader_test.py: damaged installation data gets a clear error from
the reader, never a crash. Each row damages the built cabinet's own .000 in
one place; then every truncation and a run of seeded byte flips must either
read or fail with SetupError.

usage: ce_cab_reader_test.py CAB --cabextract CABEXTRACT
"""
import argparse
import os
import random
import struct
import subprocess
import sys
import tempfile

from ce_cab_reader import SetupError, parse_setup
from check_image import Report


def patched(data, offset, fmt, value):
    data = bytearray(data)
    struct.pack_into(fmt, data, offset, value)
    return bytes(data)


def with_length(data):
    """The length field made to agree, so the damage is met further on."""
    return patched(data, 8, '<I', len(data))


def header_u32(data, offset):
    return struct.unpack_from('<I', data, offset)[0]


def cases(good):
    strings_at, dirs_at, files_at = (header_u32(good, 60 + 4 * n) for n in range(3))
    links_at = header_u32(good, 80)
    return [
        # (what, damaged member, words the error must contain)
        ('empty member', b'', 'header: 0 bytes'),
        ('header cut short', good[:60], 'header: 60 bytes'),
        ('not MSCE', b'MSCF' + good[4:], 'signature'),
        ('member cut, length field kept', good[:-8], 'length field'),
        ('member cut inside the tables', with_length(good[:files_at + 6]), 'FILES entry 1'),
        ('files offset past the end', patched(good, 68, '<I', len(good) + 40), 'past the end'),
        ('strings count overruns', patched(good, 48, '<H', 500), 'STRINGS entry 4'),
        ('links count overruns', patched(good, 58, '<H', 2), 'LINKS entry 2'),
        ('app name offset past the end', patched(good, 84, '<H', 0xFFF0), 'APPNAME'),
        ('app name length misses its zero', patched(good, 86, '<H', 4), 'APPNAME: not a zero-terminated'),
        ('string length past its zero', patched(good, strings_at + 2, '<H', 9), 'STRINGS entry 1'),
        ('folder names an unknown string', patched(good, dirs_at + 4, '<H', 77), 'unknown string id 77'),
        ('folder list without its 0', patched(good, dirs_at + 2, '<H', 3), 'id list of 3 bytes'),
        ('file in an unknown folder', patched(good, files_at + 2, '<H', 9), 'unknown directory id 9'),
        ('shortcut to an unknown file', patched(good, links_at + 6, '<H', 7), 'unknown file id 7'),
        ('shortcut under an unknown folder', patched(good, links_at + 4, '<H', 3), 'base folder 3'),
        ('repeated string id', patched(good, strings_at + 4 + 6, '<H', 1), 'id 1 is zero or repeated'),
    ]


def outcome(data):
    """'ok', or the SetupError's text; any other exception propagates."""
    try:
        parse_setup(data)
        return 'ok'
    except SetupError as e:
        return str(e)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('cab')
    parser.add_argument('--cabextract', required=True)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as out:
        subprocess.run([args.cabextract, '-q', '-d', out, '-F', '*.000', args.cab], check=True)
        (name,) = os.listdir(out)
        with open(os.path.join(out, name), 'rb') as f:
            good = f.read()

    report = Report()
    report.check('intact member', outcome(good) == 'ok', outcome(good))
    for what, data, words in cases(good):
        got = outcome(data)
        report.check(what, words in got, got)

    crashes = []
    for n in range(len(good)):
        for data in (good[:n], with_length(good[:n]) if n >= 12 else good[:n]):
            try:
                outcome(data)
            except Exception as e:  # anything but SetupError is a fault
                crashes.append('cut at %d: %r' % (n, e))
    rng = random.Random(2577)
    for n in range(3000):
        data = bytearray(good)
        for _ in range(rng.randint(1, 4)):
            data[rng.randrange(len(data))] = rng.randrange(256)
        try:
            outcome(bytes(data))
        except Exception as e:
            crashes.append('flip run %d: %r' % (n, e))
    report.check('every cut and 3000 flip runs', not crashes,
                 '%d crashes%s' % (len(crashes), (': ' + crashes[0]) if crashes else ''))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
