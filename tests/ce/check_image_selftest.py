#!/usr/bin/env python3
"""check_image_selftest.py: proves that check_image.py fails where it should,
on any CPU's closer. Each case damages one thing in copies of a real image
and its ELF (a header field, an import, one instruction, a resource) or in
what the image is held to (allowed DLLs, imports.list, budget), runs the
checker, and expects exactly the checks that guard that thing to fail,
naming the fault; the untouched copies and the instructions the CPU runs
must pass. The rows for every CPU come first, then the CPU's own.

usage: check_image_selftest.py EXE ELF --cpu arm|mips|sh3 --imports-list LIST
                               --exports DIR --objdump OBJDUMP [--as AS] --workdir DIR
"""
import argparse
import os
import re
import shutil
import struct
import subprocess
import sys

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_image  # noqa: E402
from audit_common import read_elf  # noqa: E402

CHECKER = os.path.join(HERE, 'check_image.py')


class Case:
    """Fresh copies of the inputs for one case, and the ways to damage them."""

    def __init__(self, args, directory):
        os.makedirs(directory, exist_ok=True)
        self.tools, self.dir = args, directory
        self.exe = shutil.copy(args.exe, os.path.join(directory, os.path.basename(args.exe)))
        self.elf = shutil.copy(args.elf, os.path.join(directory, os.path.basename(args.elf)))
        # The SH-3 audit reads the link map beside the ELF.
        link_map = os.path.splitext(args.elf)[0] + '.map'
        if os.path.exists(link_map):
            shutil.copy(link_map, os.path.splitext(self.elf)[0] + '.map')
        self.list = shutil.copy(args.imports_list, os.path.join(directory, 'imports.list'))
        self.desktop = shutil.copy(args.exe, os.path.join(directory, 'desktop.exe'))
        self.objdump = args.objdump
        self.exports = args.exports
        self.dlls = ['COREDLL.dll']
        self.budget = 12288
        self.cpu = args.cpu
        self.pe = pefile.PE(data=open(self.exe, 'rb').read())

    def poke(self, path, offset, fmt, value):
        with open(path, 'r+b') as f:
            f.seek(offset)
            f.write(struct.pack(fmt, value) if isinstance(value, int) else value)

    def header(self, part, field, fmt, value):
        structure = getattr(self.pe, part) if isinstance(part, str) else part(self.pe)
        old = getattr(structure, field)
        self.poke(self.exe, structure.get_field_absolute_offset(field), fmt,
                  value(old) if callable(value) else value)

    def assemble(self, source, name='case'):
        path = os.path.join(self.dir, name)
        open(path + '.s', 'w').write('        .syntax unified\n' + source + '\n')
        subprocess.run([self.tools.as_, '-o', path + '.o', path + '.s'], check=True)
        return path + '.o'

    def code(self, data, at=0):
        # The same bytes over the start of .text (the entry point) in both
        # the .exe and the .elf, so that only the audit of the code can object.
        _, sections, _ = read_elf(self.elf)
        _, _, elf_text, _, _ = next(s for s in sections if s[0] == '.text')
        self.poke(self.elf, elf_text + at, '', data)
        text_section = next(s for s in self.pe.sections if s.Name.startswith(b'.text'))
        self.poke(self.exe, text_section.PointerToRawData + at, '', data)

    def instruction(self, text, arch='armv7-a'):
        obj = self.assemble('        .arch %s\n        .arm\n        %s' % (arch, text))
        data, sections, _ = read_elf(obj)
        _, _, offset, size, _ = next(s for s in sections if s[0] == '.text')
        assert size == 4, text
        self.code(data[offset:offset + 4])

    def wrap_objdump(self, body):
        self.objdump = os.path.join(self.dir, 'objdump')
        open(self.objdump, 'w').write('#!/bin/sh\n' + body.replace(
            'OBJDUMP', self.tools.objdump) + '\n')
        os.chmod(self.objdump, 0o755)

    def first_import(self, shortest=0):
        return next(i for entry in self.pe.DIRECTORY_ENTRY_IMPORT for i in entry.imports
                    if len(i.name) >= shortest)

    def rename_import(self, new):
        imp = self.first_import(len(new))
        self.poke(self.exe, imp.name_offset, '', new.encode().ljust(len(imp.name), b'\0'))
        self.edit_list(lambda line: re.sub(r'(\s)%s(\s)' % imp.name.decode(), r'\g<1>%s\2' % new,
                                           line))

    def edit_list(self, change):
        lines = open(self.list).readlines()
        open(self.list, 'w').writelines(filter(None, map(change, lines)))

    def first_leaf(self):
        kind = self.pe.DIRECTORY_ENTRY_RESOURCE.entries[0]
        name = kind.directory.entries[0]
        return kind, name, name.directory.entries[0]


def leaf_label(case):
    kind, name, lang = case.first_leaf()
    return 'data of ' + check_image.resource_label((
        check_image.resource_key(kind), check_image.resource_key(name), lang.id))


def section(pe, name):
    return next(s for s in pe.sections if s.Name.rstrip(b'\0') == name)


def directory(index):
    return lambda pe: pe.OPTIONAL_HEADER.DATA_DIRECTORY[index]


def flip_leaf_byte(c):
    _, _, lang = c.first_leaf()
    offset = c.pe.get_offset_from_rva(lang.data.struct.OffsetToData)
    c.poke(c.desktop, offset, 'B', c.pe.__data__[offset] ^ 0xFF)


def drop_leaf(c, path):
    _, name, _ = c.first_leaf()
    languages = name.directory.struct
    c.poke(path, languages.get_field_absolute_offset('NumberOfIdEntries'), '<H',
           languages.NumberOfIdEntries - 1)


def by_ordinal(c):
    imp = c.first_import()
    c.poke(c.exe, imp.struct_table.get_file_offset(), '<I', 0x80000005)
    iat = c.pe.get_offset_from_rva(imp.address - c.pe.OPTIONAL_HEADER.ImageBase)
    c.poke(c.exe, iat, '<I', 0x80000005)


def thumb_object(c):
    c.elf = c.assemble('''        .arch armv4t
        .arm
        .global f
        .type f, %function
f:      mov pc, lr
        .thumb
        .thumb_func
        .global g
        .type g, %function
g:      movs r0, #1
        mov pc, lr''')


HEADER = 'OPTIONAL_HEADER'
ARMV4 = 'ARMv4 instructions'
MIPS = 'MIPS II instructions'
SH3 = 'SH-3 instructions'
# (what is damaged, how, the checks that must fail, text the report must hold);
# a check or a text may be worked out from the case.
CASES = [
    ('nothing: the real image', lambda c: None, set(), '0 failed'),
    ('budget one byte short', lambda c: setattr(c, 'budget', os.path.getsize(c.exe) - 1),
     {'size budget'}, 'bytes (budget'),

    ('machine Thumb (0x1c2)', lambda c: c.header('FILE_HEADER', 'Machine', '<H', 0x1C2),
     {'machine'}, '0x01c2'),
    ('subsystem Windows GUI', lambda c: c.header(HEADER, 'Subsystem', '<H', 2),
     {'subsystem'}, 'expected 9'),
    ('OS version 4.00', lambda c: c.header(HEADER, 'MajorOperatingSystemVersion', '<H', 4),
     {'OS version'}, '4.00'),
    # The MIPS audit finds its functions through the image base as well.
    ('image base 0x400000', lambda c: c.header(HEADER, 'ImageBase', '<I', 0x400000),
     {'image base', 'shipped code', lambda c: MIPS if c.cpu == 'mips' else None}, '0x400000'),
    ('.rsrc raw size past the end of the file', lambda c: c.header(
        lambda pe: section(pe, b'.rsrc'), 'SizeOfRawData', '<I', lambda v: v + 0x200),
     {'section file offsets'}, '.rsrc past the end of the file'),
    ('RELOCS_STRIPPED cleared', lambda c: c.header(
        'FILE_HEADER', 'Characteristics', '<H', lambda v: v & ~1), {'relocations stripped'},
     lambda c: '%#06x' % (c.pe.FILE_HEADER.Characteristics & ~1)),
    ('a base relocation directory', lambda c: c.header(
        directory(5), 'Size', '<I', 8), {'no base relocations'}, '8 bytes'),

    ('only aygshell.dll allowed', lambda c: setattr(c, 'dlls', ['aygshell.dll']),
     {'imported DLLs'}, 'not allowed: COREDLL.dll'),
    ('an import by ordinal', by_ordinal, {'imports by name'}, 'by ordinal: COREDLL.dll #5'),
    ('an import missing from imports.list', lambda c: c.edit_list(
        lambda line: None if line.split()[1:2] == [c.first_import().name.decode()] else line),
     {'imports listed'}, 'not listed for their DLL'),
    ('DialogBoxParamW imported (and listed)', lambda c: c.rename_import('DialogBoxParamW'),
     {'no DialogBoxParamW', 'exported by CE 3.0'}, 'imported from COREDLL.dll'),
    # Listed, and a desktop name, but CE 3.0's COREDLL has no such export.
    ('an import CE 3.0 lacks (listed)', lambda c: c.rename_import('ExitProcess'),
     {'exported by CE 3.0'}, 'not exported: COREDLL.dll ExitProcess'),

    ('resources: the same file', lambda c: None, set(), '0 failed'),
    ('resources: one byte of a leaf', flip_leaf_byte, {leaf_label}, 'first difference'),
    # Named types sort first, so the first leaf is ForegroundDismisser's HI_RES_AWARE.
    ('resources: a leaf the device lacks', lambda c: drop_leaf(c, c.exe),
     {'resource leaves', 'HI_RES_AWARE resource'}, 'only on the desktop'),
    ('resources, legacy expected: the same file', lambda c: None,
     {'no HI_RES_AWARE resource'}, '"CEUX"/"HI_RES_AWARE"/0x0'),
    ('resources: no desktop build', lambda c: os.remove(c.desktop), {'desktop build'},
     'build the win64 preset first'),
]

ARM_CASES = [
    ('a Thumb function', thumb_object, {'ARM state', 'shipped code'}, '$t mapping symbols'),
    ('objdump printing nothing', lambda c: c.wrap_objdump('exit 0'), {ARMV4},
     'no ARM instructions found'),
] + [
    # ARMv4 forms, which must pass, among them the ones closest to refused ones.
    ('ARMv4 ' + text, lambda c, text=text: c.instruction(text, 'armv4'), set(), '0 failed')
    for text in ('mov pc, lr', 'ldrsh r0, [r1, #2]', 'umull r0, r1, r2, r3',
                 'ldc p6, c0, [r0]')
] + [
    # Instructions StrongARM lacks, as the first word of the real code.
    (text, lambda c, text=text, arch=arch: c.instruction(text, arch), {ARMV4}, refused)
    for text, arch, refused in (
        ('bx lr', 'armv4t', 'interworking'),
        ('blx r3', 'armv5t', 'interworking'),
        ('clz r0, r1', 'armv5t', ' clz '),
        ('ldrd r0, r1, [r2]', 'armv5te', ' ldrd '),
        ('smulbb r0, r1, r2', 'armv5te', ' smulbb '),
        ('qadd r0, r1, r2', 'armv5te', ' qadd '),
        ('ldc2 p1, c0, [r0]', 'armv5t', ' ldc2 '),
        ('rev r0, r1', 'armv6', ' rev '),
        ('mul r0, r0, r1', 'armv6', 'destination is the first operand'),
        ('.inst 0xe6100010', 'armv4', 'undecodable'),       # no instruction at all
    )
]

# One word over the entry point: what the VR41xx lacks is refused with its
# reason, what it runs passes.
MIPS_CASES = [
    (text, lambda c, word=word: c.code(struct.pack('<I', word)),
     {MIPS} if refused else set(), '%08x (%s' % (word, refused) if refused else '0 failed')
    for text, word, refused in (
        ('mul $v0,$a0,$a1', 0x70851002, 'a MIPS32 instruction (mul, madd, clz)'),
        ('madd $a0,$a1', 0x70850000, 'a MIPS32 instruction'),
        ('clz $v0,$a0', 0x70821020, 'a MIPS32 instruction'),
        ('ext $v0,$a0,0,8', 0x7C823800, 'a MIPS32r2 instruction (ext, ins, seb)'),
        ('ins $v0,$a0,0,8', 0x7C823804, 'a MIPS32r2 instruction'),
        ('seb $v0,$a0', 0x7C041420, 'a MIPS32r2 instruction'),
        ('rotr $v0,$a0,3', 0x002410C2, 'rotr (MIPS32r2)'),
        ('movn $v0,$a0,$a1', 0x0085100B, 'a conditional move (MIPS IV)'),
        ('movz $v0,$a0,$a1', 0x0085100A, 'a conditional move (MIPS IV)'),
        ('pref 0,0($a0)', 0xCC800000, 'pref (MIPS IV)'),
        ('ll $v0,0($a0)', 0xC0820000, 'll/sc, which the VR41xx lacks'),
        ('sc $v0,0($a0)', 0xE0820000, 'll/sc, which the VR41xx lacks'),
        ('sync', 0x0000000F, 'sync'),
        ('lwc1 $f0,0($a0)', 0xC4800000, 'an FPU instruction'),
        ('add.s $f0,$f1,$f2', 0x46020800, 'an FPU instruction'),
        ('daddiu $v0,$a0,1', 0x64820001, 'a 64-bit instruction'),
        ('ld $v0,0($a0)', 0xDC820000, 'a 64-bit instruction'),
        ('dsll $v0,$a0,1', 0x00041078, 'a 64-bit or MIPS32 SPECIAL instruction'),
        ('div $zero,$a0,$a1', 0x0085001A, 'signed div'),
        ('lw $v0,0($gp)', 0x8F820000, 'uses $gp'),
        ('addu $v0,$gp,$a0', 0x03841021, 'uses $gp'),
        ('addiu $sp,$sp,-8', 0x27BDFFF8, None),
        ('divu $zero,$a0,$a1', 0x0085001B, None),
        ('mult $a0,$a1', 0x00850018, None),
        ('beql $a0,$a1,.', 0x5085FFFF, None),
        ('teq $a1,$zero,7', 0x00A001F4, None),
        ('break 7', 0x0007000D, None),
        ('lwl $v0,3($a0)', 0x88820003, None),
    )
]

# One halfword over the entry's delay slot (its first instruction loads the
# jump's target from a pool, which must stay data).
SH3_CASES = [
    (text, lambda c, half=half: c.code(struct.pack('<H', half), 4),
     {SH3} if refused else set(), refused or '0 failed')
    for text, half, refused in (
        ('trapa #1', 0xC301, 'trapa #1 (privileged or a system call'),
        ('ldc r0,sr', 0x400E, '(reaches a system register'),
        ('fadd fr0,fr1', 0xF100, '(not an SH-3 instruction'),
        ('nop', 0x0009, None),
    )
] + [
    ('objdump printing nothing', lambda c: c.wrap_objdump('exit 0'), {SH3},
     'no SH instructions found'),
]


def run(case_args, mode, legacy=False):
    command = [sys.executable, CHECKER, mode, case_args.exe]
    if mode == 'resources':
        command += [case_args.desktop, '--hi-res-aware', 'no' if legacy else 'yes']
    else:
        command += [case_args.elf, '--objdump', case_args.objdump,
                    '--imports-list', case_args.list, '--dlls'] + case_args.dlls + [
                    '--budget', str(case_args.budget), '--exports', case_args.exports,
                    '--cpu', case_args.cpu]
    return subprocess.run(command, capture_output=True, text=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('exe')
    parser.add_argument('elf')
    parser.add_argument('--imports-list', required=True)
    parser.add_argument('--exports', required=True)
    parser.add_argument('--objdump', required=True)
    parser.add_argument('--cpu', choices=('arm', 'mips', 'sh3'), required=True)
    parser.add_argument('--as', dest='as_', help='the ARM assembler, for the ARM rows')
    parser.add_argument('--workdir', required=True)
    args = parser.parse_args()

    shutil.rmtree(args.workdir, ignore_errors=True)
    report = check_image.Report()
    own = {'arm': ARM_CASES, 'mips': MIPS_CASES, 'sh3': SH3_CASES}[args.cpu]
    for number, (what, damage, expected, text) in enumerate(CASES + own):
        case = Case(args, os.path.join(args.workdir, 'case%02d' % number))
        expected = {e(case) if callable(e) else e for e in expected} - {None}
        text = text(case) if callable(text) else text
        damage(case)
        result = run(case, 'resources' if what.startswith('resources') else 'image',
                     what.startswith('resources, legacy'))
        lines = result.stdout.splitlines()
        failing = {line.split('  ', 1)[1].split(': ', 1)[0]
                   for line in lines if line.startswith('FAIL  ')}
        summary = re.fullmatch(r'(\d+) passed, (\d+) failed', lines[-1]) if lines else None
        problems = []
        if failing != expected:
            problems.append('failing checks %s, expected %s' % (
                sorted(failing) or 'none', sorted(expected) or 'none'))
        if not summary or int(summary.group(2)) != len(failing):
            problems.append('no summary line counting the failures')
        if (result.returncode != 0) != bool(expected):
            problems.append('exit status %d' % result.returncode)
        if text not in result.stdout:
            problems.append('report does not say "%s"' % text)
        if result.stderr:
            problems.append('stderr: ' + result.stderr.strip())
        report.check(what, not problems, '; '.join(problems) or (
            'fails ' + ', '.join(sorted(expected)) if expected else 'passes'))
        if problems:
            print('\n'.join('    | ' + line for line in lines))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
