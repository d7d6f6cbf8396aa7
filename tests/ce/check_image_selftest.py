"""check_image_selftest.py: proves that check_image.py fails where it should,
on any CPU's closer. Each case damages one thing in copies of a real image
and its ELF (a header field, an import, one instruction, a resource) or in
what the image is held to (allowed DLLs, imports.list, budget), runs the
checker, and expects exactly the checks that guard that thing to fail,
naming the fault; the untouched copies and the instructions the CPU runs
must pass. The rows for every CPU come first, then the CPU's own.
"""
import os
import re
import shutil
import struct
import subprocess
import sys

import pefile

import check_image
from audit_common import Report, arguments, elf_text


class Case:
    """Fresh copies of the inputs for one case, and the ways to damage them."""

    def __init__(self, args, directory):
        os.makedirs(directory, exist_ok=True)
        self.tools, self.dir, self.cpu = args, directory, args.cpu
        copy = lambda path, name=None: shutil.copy(  # noqa: E731
            path, os.path.join(directory, name or os.path.basename(path)))
        self.exe, self.elf, self.list, self.desktop = (copy(args.exe), copy(args.elf),
            copy(args.imports_list, 'imports.list'), copy(args.exe, 'desktop.exe'))
        # The SH-3 audit reads the link map beside the ELF.
        if os.path.exists(os.path.splitext(args.elf)[0] + '.map'):
            copy(os.path.splitext(args.elf)[0] + '.map')
        self.objdump, self.exports, self.dlls, self.budget = (
            args.objdump, args.exports, ['COREDLL.dll'], 12288)
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
        self.poke(self.elf, elf_text(self.elf)[1] + at, '', data)
        text_section = next(s for s in self.pe.sections if s.Name.startswith(b'.text'))
        self.poke(self.exe, text_section.PointerToRawData + at, '', data)

    def instruction(self, text, arch='armv7-a'):
        data, _ = elf_text(self.assemble('        .arch %s\n        .arm\n        %s' % (arch, text)))
        assert len(data) == 4, text
        self.code(data)

    def silent_objdump(self):
        self.objdump = os.path.join(self.dir, 'objdump')
        open(self.objdump, 'w').write('#!/bin/sh\nexit 0\n')
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
        """The first resource's name directory and language entry."""
        name = self.pe.DIRECTORY_ENTRY_RESOURCE.entries[0].directory.entries[0]
        return name, name.directory.entries[0]

    def command(self, mode, legacy):
        if mode == 'resources':
            return [self.desktop, '--hi-res-aware', 'no' if legacy else 'yes']
        return [self.elf, '--objdump', self.objdump, '--imports-list', self.list,
                '--dlls'] + self.dlls + ['--budget', str(self.budget), '--exports',
                                         self.exports, '--cpu', self.cpu]


def leaf_label(c):
    return 'data of ' + check_image.resource_label(next(iter(check_image.resource_leaves(c.pe))))


def flip_leaf_byte(c):
    offset = c.pe.get_offset_from_rva(c.first_leaf()[1].data.struct.OffsetToData)
    c.poke(c.desktop, offset, 'B', c.pe.__data__[offset] ^ 0xFF)


def drop_leaf(c):
    languages = c.first_leaf()[0].directory.struct
    c.poke(c.exe, languages.get_field_absolute_offset('NumberOfIdEntries'), '<H',
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


def instruction_rows(check, damage, said, rows):
    """Rows that put one instruction over the code: (name, what is put,
    None if the CPU runs it, else the reason the audit must give)."""
    return [(name, lambda c, value=value: damage(c, value), {check} if why else set(),
             said(value, why) if why else '0 failed') for name, value, why in rows]


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
] + [(what, lambda c, h=(part, field, fmt, value): c.header(*h), {check}, text)
     for what, part, field, fmt, value, check, text in (
    ('machine Thumb (0x1c2)', 'FILE_HEADER', 'Machine', '<H', 0x1C2, 'machine', '0x01c2'),
    ('subsystem Windows GUI', HEADER, 'Subsystem', '<H', 2, 'subsystem', 'expected 9'),
    ('OS version 4.00', HEADER, 'MajorOperatingSystemVersion', '<H', 4, 'OS version', '4.00'),
)] + [
    # The MIPS audit finds its functions through the image base as well.
    ('image base 0x400000', lambda c: c.header(HEADER, 'ImageBase', '<I', 0x400000),
     {'image base', 'shipped code', lambda c: MIPS if c.cpu == 'mips' else None}, '0x400000'),
    ('.rsrc raw size past the end of the file', lambda c: c.header(lambda pe: next(
        s for s in pe.sections if s.Name.startswith(b'.rsrc')), 'SizeOfRawData', '<I',
        lambda v: v + 0x200),
     {'section file offsets'}, '.rsrc past the end of the file'),
    ('RELOCS_STRIPPED cleared', lambda c: c.header(
        'FILE_HEADER', 'Characteristics', '<H', lambda v: v & ~1), {'relocations stripped'},
     lambda c: '%#06x' % (c.pe.FILE_HEADER.Characteristics & ~1)),
    ('a base relocation directory', lambda c: c.header(
        lambda pe: pe.OPTIONAL_HEADER.DATA_DIRECTORY[5], 'Size', '<I', 8), {'no base relocations'}, '8 bytes'),

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
] + [
    # An allocator, listed; operator new as MSVC names it CE 3.0 lacks too.
    ('%s imported (and listed)' % name, lambda c, name=name: c.rename_import(name),
     {'no heap allocation'} | extra, 'allocates: COREDLL.dll ' + name)
    for name, extra in (('malloc', set()), ('realloc', set()), ('LocalAlloc', set()),
                        ('HeapAlloc', set()), ('VirtualAlloc', set()),
                        ('??2@YAPAXI@Z', {'exported by CE 3.0'}))
] + [
    ('resources: the same file', lambda c: None, set(), '0 failed'),
    ('resources: one byte of a leaf', flip_leaf_byte, {leaf_label}, 'first difference'),
    # Named types sort first, so the first leaf is ForegroundDismisser's HI_RES_AWARE.
    ('resources: a leaf the device lacks', drop_leaf,
     {'resource leaves', 'HI_RES_AWARE resource'}, 'only on the desktop'),
    ('resources, legacy expected: the same file', lambda c: None,
     {'no HI_RES_AWARE resource'}, '"CEUX"/"HI_RES_AWARE"/0x0'),
    ('resources: no desktop build', lambda c: os.remove(c.desktop), {'desktop build'},
     'build the win64 preset first'),
]

ARM_CASES = [
    ('a Thumb function', thumb_object, {'ARM state', 'shipped code'}, '$t mapping symbols'),
    ('objdump printing nothing', Case.silent_objdump, {ARMV4}, 'no ARM instructions found'),
] + instruction_rows(ARMV4, lambda c, text_arch: c.instruction(*text_arch), lambda _, why: why, [
    # ARMv4 forms, which must pass, among them the ones closest to refused ones.
    ('ARMv4 ' + text, (text, 'armv4'), None) for text in (
        'mov pc, lr', 'ldrsh r0, [r1, #2]', 'umull r0, r1, r2, r3', 'ldc p6, c0, [r0]')
] + [
    # Instructions StrongARM lacks, as the first word of the real code.
    (text, (text, arch), refused) for text, arch, refused in (
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
])

# One word over the entry point: what the VR41xx lacks is refused with its
# reason, what it runs passes.
MIPS_CASES = instruction_rows(
    MIPS, lambda c, word: c.code(struct.pack('<I', word)),
    lambda word, why: '%08x (%s' % (word, why),
    [(text, word, why) for why, words in (
        ('a MIPS32 instruction (mul, madd, clz)', {'mul $v0,$a0,$a1': 0x70851002}),
        ('a MIPS32 instruction', {'madd $a0,$a1': 0x70850000, 'clz $v0,$a0': 0x70821020}),
        ('a MIPS32r2 instruction (ext, ins, seb)', {'ext $v0,$a0,0,8': 0x7C823800}),
        ('a MIPS32r2 instruction', {'ins $v0,$a0,0,8': 0x7C823804, 'seb $v0,$a0': 0x7C041420}),
        ('rotr (MIPS32r2)', {'rotr $v0,$a0,3': 0x002410C2}),
        ('a conditional move (MIPS IV)', {'movn $v0,$a0,$a1': 0x0085100B,
                                          'movz $v0,$a0,$a1': 0x0085100A}),
        ('pref (MIPS IV)', {'pref 0,0($a0)': 0xCC800000}),
        ('ll/sc, which the VR41xx lacks', {'ll $v0,0($a0)': 0xC0820000,
                                           'sc $v0,0($a0)': 0xE0820000}),
        ('sync', {'sync': 0x0000000F}),
        ('an FPU instruction', {'lwc1 $f0,0($a0)': 0xC4800000, 'add.s $f0,$f1,$f2': 0x46020800}),
        ('a 64-bit instruction', {'daddiu $v0,$a0,1': 0x64820001, 'ld $v0,0($a0)': 0xDC820000}),
        ('a 64-bit or MIPS32 SPECIAL instruction', {'dsll $v0,$a0,1': 0x00041078}),
        ('signed div', {'div $zero,$a0,$a1': 0x0085001A}),
        ('uses $gp', {'lw $v0,0($gp)': 0x8F820000, 'addu $v0,$gp,$a0': 0x03841021}),
        # What the VR41xx runs.
        (None, {'addiu $sp,$sp,-8': 0x27BDFFF8, 'divu $zero,$a0,$a1': 0x0085001B,
                'mult $a0,$a1': 0x00850018, 'beql $a0,$a1,.': 0x5085FFFF,
                'teq $a1,$zero,7': 0x00A001F4, 'break 7': 0x0007000D,
                'lwl $v0,3($a0)': 0x88820003}),
    ) for text, word in words.items()])

# One halfword over the entry's delay slot (its first instruction loads the
# jump's target from a pool, which must stay data).
SH3_CASES = instruction_rows(
    SH3, lambda c, half: c.code(struct.pack('<H', half), 4), lambda _, why: why, [
        ('trapa #1', 0xC301, 'trapa #1 (privileged or a system call'),
        ('ldc r0,sr', 0x400E, '(reaches a system register'),
        ('fadd fr0,fr1', 0xF100, '(not an SH-3 instruction'),
        ('nop', 0x0009, None),
    ]) + [('objdump printing nothing', Case.silent_objdump, {SH3}, 'no SH instructions found')]


def main():
    args = arguments('exe elf --imports-list --exports --objdump --workdir --cpu --as',
                     cpu=dict(choices=('arm', 'mips', 'sh3')),
                     **{'as': dict(default=None, help='the ARM assembler, for the ARM rows')})

    shutil.rmtree(args.workdir, ignore_errors=True)
    report = Report()
    own = {'arm': ARM_CASES, 'mips': MIPS_CASES, 'sh3': SH3_CASES}[args.cpu]
    for number, (what, damage, expected, text) in enumerate(CASES + own):
        case = Case(args, os.path.join(args.workdir, 'case%02d' % number))
        expected = {e(case) if callable(e) else e for e in expected} - {None}
        text = text(case) if callable(text) else text
        damage(case)
        mode = 'resources' if what.startswith('resources') else 'image'
        result = subprocess.run([sys.executable, check_image.__file__, mode, case.exe] +
                                case.command(mode, what.startswith('resources, legacy')),
                                capture_output=True, text=True)
        lines = result.stdout.splitlines()
        failing = {line[6:].split(': ', 1)[0] for line in lines if line.startswith('FAIL  ')}
        summary = re.fullmatch(r'(\d+) passed, (\d+) failed', lines[-1]) if lines else None
        problems = [problem for problem, bad in (
            ('failing checks %s, expected %s' % (sorted(failing) or 'none',
                                                 sorted(expected) or 'none'), failing != expected),
            ('no summary line counting the failures',
             not summary or int(summary.group(2)) != len(failing)),
            ('exit status %d' % result.returncode, (result.returncode != 0) != bool(expected)),
            ('report does not say "%s"' % text, text not in result.stdout),
            ('stderr: ' + result.stderr.strip(), result.stderr)) if bad]
        report.check(what, not problems, '; '.join(problems) or (
            'fails ' + ', '.join(sorted(expected)) if expected else 'passes'))
        if problems:
            print('\n'.join('    | ' + line for line in lines))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
