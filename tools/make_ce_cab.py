#!/usr/bin/env python3
"""make_ce_cab.py: writes one CPU's device installation cabinet: the two
device programs and the installation data (member .000) that tells the
Pocket PC's installer where they go, which Start menu shortcut to make and
what the device must be, its processor type included. The cabinet itself is
written by gcab.

usage:
  make_ce_cab.py --gcab GCAB --out CAB --provider NAME [--cpu arm|mips|sh3]
                 ForegroundDismisser.exe KeyAssigner.exe

What it installs, and nothing more:
  %CE1%\\ForegroundDismisser\\ForegroundDismisser.exe   (file 1)
  %CE1%\\ForegroundDismisser\\KeyAssigner.exe           (file 2)
  %CE11%\\KeyAssigner.lnk, a shortcut to file 2
No registry entries: only KeyAssigner writes a button's value, and only
when the user asks it to.
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

APP_NAME = 'ForegroundDismisser'
INSTALL_FOLDER = ('%CE1%', 'ForegroundDismisser')   # \Program Files\...
START_MENU_PROGRAMS = 11                           # %CE11%
# A Start-menu entry is a shortcut file; the installer writes it under this name.
SHORTCUT_NAME = 'KeyAssigner.lnk'
# The processor type the installer compares with the device's own: every ARM
# Pocket PC, StrongARM and XScale alike, reports 2577; the VR41xx ones 4000
# (MIPS R4000); the SH7709A ones 10003 (SH3). A cabinet for another CPU is
# refused, so each CPU gets its own.
PROCESSOR = {'arm': 2577, 'mips': 4000, 'sh3': 10003}
MIN_VERSION = (3, 0)
# BuildMax 0xE0000000: square, landscape and high-resolution screens are
# supported, so Windows Mobile 2003 SE and later install without warning that
# the program may not display properly.
BUILD_MIN, BUILD_MAX = 0, 0xE0000000
# Install over whatever is there, whatever its date, and fail rather than
# skip: KeyAssigner registers the closer beside it, so both must be copied.
FILE_FLAGS = 0x40000000 | 0x00000002
HEADER_SIZE = 100
MEMBER_STEM = {0: 'FOREGR~1', 1: 'FOREGR~1', 2: 'KEYASS~1'}


def ascii_z(text):
    return text.encode('ascii') + b'\0'


def id_list(ids):
    return b''.join(struct.pack('<H', i) for i in list(ids) + [0])


def align4(blob):
    return blob + b'\0' * (-len(blob) % 4)


def setup_data(provider, files, processor):
    """The .000 member. files: the installed names, file ids from 1."""
    strings = ['%CE1%', INSTALL_FOLDER[1], SHORTCUT_NAME]
    string_id = {text: n for n, text in enumerate(strings, 1)}
    install_dir = 1

    sections = {
        'strings': [struct.pack('<HH', string_id[s], len(s) + 1) + ascii_z(s)
                    for s in strings],
        'dirs': [struct.pack('<HH', install_dir, 2 * (len(INSTALL_FOLDER) + 1)) +
                 id_list(string_id[s] for s in INSTALL_FOLDER)],
        'files': [struct.pack('<HHHIH', n, install_dir, n, FILE_FLAGS, len(name) + 1) +
                  ascii_z(name) for n, name in enumerate(files, 1)],
        'reghives': [],
        'regkeys': [],
        'links': [struct.pack('<HHHHHH', 1, 0, START_MENU_PROGRAMS,
                              files.index('KeyAssigner.exe') + 1, 1, 2 * 2) +
                  id_list([string_id[SHORTCUT_NAME]])],
    }

    body = b''
    offset = HEADER_SIZE

    def place(blob):
        nonlocal body, offset
        at = offset
        blob = align4(blob)
        body += blob
        offset += len(blob)
        return at

    app_at = place(ascii_z(APP_NAME))
    provider_at = place(ascii_z(provider))
    order = ['strings', 'dirs', 'files', 'reghives', 'regkeys', 'links']
    offsets = [place(b''.join(sections[name])) for name in order]
    counts = [len(sections[name]) for name in order]

    total = HEADER_SIZE + len(body)
    if total > 0xFFFF:
        raise ValueError('installation data too long for its 16-bit offsets')
    header = struct.pack('<4sIIIII', b'MSCE', 0, total, 0, 1, processor)
    header += struct.pack('<IIII', MIN_VERSION[0], MIN_VERSION[1], 0, 0)
    header += struct.pack('<II', BUILD_MIN, BUILD_MAX)
    header += struct.pack('<6H', *counts)
    header += struct.pack('<6I', *offsets)
    header += struct.pack('<HHHHHHHH', app_at, len(APP_NAME) + 1,
                          provider_at, len(provider) + 1, 0, 0, 0, 0)
    assert len(header) == HEADER_SIZE
    return header + body


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--gcab', required=True)
    parser.add_argument('--out', required=True)
    parser.add_argument('--provider', required=True)
    parser.add_argument('--cpu', choices=sorted(PROCESSOR), default='arm')
    parser.add_argument('closer')
    parser.add_argument('assigner')
    args = parser.parse_args()

    programs = [args.closer, args.assigner]
    names = [os.path.basename(p) for p in programs]
    if names != ['ForegroundDismisser.exe', 'KeyAssigner.exe']:
        sys.exit('make_ce_cab: expected ForegroundDismisser.exe and KeyAssigner.exe, got %s'
                 % ', '.join(names))
    try:
        args.provider.encode('ascii')
    except UnicodeEncodeError:
        sys.exit('make_ce_cab: the provider name must be ASCII')

    with tempfile.TemporaryDirectory() as stage:
        members = []
        setup = os.path.join(stage, MEMBER_STEM[0] + '.000')
        with open(setup, 'wb') as f:
            f.write(setup_data(args.provider, names, PROCESSOR[args.cpu]))
        # The installation data carries the programs' date, so the same
        # programs give the same cabinet.
        newest = max(os.stat(p).st_mtime for p in programs)
        os.utime(setup, (newest, newest))
        members.append(setup)
        for number in range(len(programs), 0, -1):
            member = os.path.join(stage, '%s.%03d' % (MEMBER_STEM[number], number))
            shutil.copy2(programs[number - 1], member)
            members.append(member)
        tmp_out = args.out + '.tmp'
        subprocess.run([args.gcab, '--create', '--nopath', tmp_out] + members, check=True)
        os.replace(tmp_out, args.out)


if __name__ == '__main__':
    main()
