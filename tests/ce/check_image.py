#!/usr/bin/env python3
"""check_image.py: checks a device executable as the linker left it, before
it ever reaches a device: headers the Windows CE loader accepts, imports
only the device's libraries export, code its CPU runs (ARMv4 in ARM state,
which StrongARM runs; MIPS II as the NEC VR41xx runs it; or SH-3 code:
sh3_audit.py), and its size budget. The resources mode checks that its resources are the desktop
build's, leaf for leaf.

usage:
  check_image.py image EXE ELF --objdump OBJDUMP --imports-list LIST
                 --dlls DLL... --budget BYTES --exports DIR [--cpu arm|mips|sh3]
  check_image.py resources EXE DESKTOP-EXE

Prints one line per check and ends with "N passed, M failed"; the exit
status is non-zero when any check failed.
"""
import argparse
import itertools
import os
import re
import struct
import subprocess
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                '..', '..', 'platform', 'ce'))
import make_imports  # noqa: E402
import sh3_audit  # noqa: E402

IMAGE_BASE = 0x10000
MACHINE = {'arm': 0x01C0, 'mips': 0x0166, 'sh3': 0x01A2}
SUBSYSTEM_WINDOWS_CE_GUI = 9
RELOCS_STRIPPED = 0x0001
DIR_IMPORT = pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_IMPORT']
DIR_RESOURCE = pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_RESOURCE']
DIR_BASERELOC = pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_BASERELOC']


class Report:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, name, ok, detail):
        # The self-test reads the name back: it must not contain ': '.
        print('%s  %s: %s' % ('PASS' if ok else 'FAIL', name, detail))
        if ok:
            self.passed += 1
        else:
            self.failed += 1

    def finish(self):
        print('%d passed, %d failed' % (self.passed, self.failed))
        return 1 if self.failed else 0


def section_name(section):
    return section.Name.rstrip(b'\0').decode('ascii', 'replace')


def section_holding(pe, rva, size=1, extent=lambda s: s.Misc_VirtualSize):
    for s in pe.sections:
        if s.VirtualAddress <= rva and rva + size <= s.VirtualAddress + extent(s):
            return s
    return None


# --- headers ---------------------------------------------------------------

def version(major, minor):
    return '%d.%02d' % (major, minor)


def check_headers(report, pe, file_size, cpu='arm'):
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    for name, value, wanted in (
            ('magic', '%#x' % oh.Magic, '0x10b'),
            ('machine', '%#06x' % fh.Machine, '%#06x' % MACHINE[cpu]),
            ('subsystem', oh.Subsystem, SUBSYSTEM_WINDOWS_CE_GUI),
            ('OS version', version(oh.MajorOperatingSystemVersion,
                                   oh.MinorOperatingSystemVersion), '3.00'),
            ('subsystem version', version(oh.MajorSubsystemVersion,
                                          oh.MinorSubsystemVersion), '3.00'),
            ('image base', '%#x' % oh.ImageBase, '%#x' % IMAGE_BASE),
            ('section alignment', '%#x' % oh.SectionAlignment, '0x1000'),
            ('file alignment', '%#x' % oh.FileAlignment, '0x200')):
        report.check(name, value == wanted, '%s%s' % (
            value, '' if value == wanted else ', expected %s' % wanted))

    text = next((s for s in pe.sections if section_name(s) == '.text'), None)
    entry = oh.AddressOfEntryPoint
    inside = text is not None and text.VirtualAddress <= entry < (
        text.VirtualAddress + text.Misc_VirtualSize)
    report.check('entry point', inside, 'RVA %#x%s' % (
        entry, ' in .text' if inside else ', outside .text'))

    # The loader maps each section from its file offset; a section that is
    # misaligned or runs past the end of the file loads as garbage.
    align = oh.FileAlignment or 1
    layout, faults = [], []
    for s in pe.sections:
        layout.append('%s at %#x+%#x' % (section_name(s), s.PointerToRawData, s.SizeOfRawData))
        if s.PointerToRawData % align or s.SizeOfRawData % align:
            faults.append('%s not on the file alignment' % section_name(s))
        if s.PointerToRawData + s.SizeOfRawData > file_size:
            faults.append('%s past the end of the file (%#x bytes)' % (
                section_name(s), file_size))
    report.check('section file offsets', not faults, '; '.join([', '.join(layout)] + faults))

    last = max(pe.sections, key=lambda s: s.VirtualAddress)
    align = oh.SectionAlignment or 1
    end = -(-(last.VirtualAddress + last.Misc_VirtualSize) // align) * align
    report.check('size of image', oh.SizeOfImage == end, '%#x%s' % (
        oh.SizeOfImage, ' (%s ends at %#x)' % (section_name(last), end)
        if oh.SizeOfImage == end else ', expected %#x: %s ends there' % (
            end, section_name(last))))

    # Without relocations the image loads only at its base, which is where
    # every CE process has its slot; a relocation table would be dead weight
    # and a stale one a hazard.
    report.check('relocations stripped', bool(fh.Characteristics & RELOCS_STRIPPED),
                 'Characteristics %#06x' % fh.Characteristics)
    reloc = oh.DATA_DIRECTORY[DIR_BASERELOC]
    report.check('no base relocations', not reloc.VirtualAddress and not reloc.Size,
                 'directory at %#x, %d bytes' % (reloc.VirtualAddress, reloc.Size))

    for name, index in (('import directory', DIR_IMPORT),
                        ('resource directory', DIR_RESOURCE)):
        d = oh.DATA_DIRECTORY[index]
        holder = section_holding(pe, d.VirtualAddress, d.Size) if d.Size else None
        report.check(name, holder is not None, 'RVA %#x, %d bytes, %s' % (
            d.VirtualAddress, d.Size,
            'in ' + section_name(holder) if holder else 'not inside any section'))


# --- imports ---------------------------------------------------------------

def read_imports_list(path):
    """imports.list as {dll in lower case: set of names}, read by the same
    code that writes the import tables from it."""
    exports = {}
    for name, dll in make_imports.read_list(path)[0].items():
        exports.setdefault(dll.lower(), set()).add(name)
    return exports


def read_exports(directory, dlls):
    """{dll in lower case: set of names} from DIR/<dll>.txt, one name a line."""
    exports = {}
    for dll in dlls:
        with open(os.path.join(directory, dll + '.txt'), encoding='ascii') as f:
            exports[dll.lower()] = {line.strip() for line in f if line.strip()}
    return exports


def check_imports(report, pe, allowed_dlls, exports, device_exports):
    imports = []
    for entry in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', []):
        dll = entry.dll.decode('ascii', 'replace')
        names = [(i.name.decode('ascii', 'replace') if i.name is not None else None,
                  i.ordinal) for i in entry.imports]
        imports.append((dll, names))
        print('  imports from %s: %s' % (dll, ', '.join(
            n if n is not None else '#%d' % o for n, o in names)))

    allowed = {d.lower() for d in allowed_dlls}
    outside = [dll for dll, _ in imports if dll.lower() not in allowed]
    report.check('imported DLLs', not outside, '%s%s' % (
        ', '.join(dll for dll, _ in imports) or 'none',
        '; not allowed: ' + ', '.join(outside) if outside else ''))

    # An ordinal picks whatever that build of the DLL has at that number.
    by_ordinal = ['%s #%d' % (dll, o) for dll, names in imports
                  for n, o in names if n is None]
    count = sum(len(names) for _, names in imports)
    report.check('imports by name', not by_ordinal, '%d imports%s' % (
        count, '; by ordinal: ' + ', '.join(by_ordinal) if by_ordinal else ''))

    unlisted = ['%s %s' % (dll, n) for dll, names in imports for n, _ in names
                if n is not None and n not in exports.get(dll.lower(), ())]
    report.check('imports listed', not unlisted, 'every name in imports.list'
                 if not unlisted else 'not listed for their DLL: ' + ', '.join(unlisted))

    # CE 3.0's loader leaves a name its DLL lacks as a zero slot, and the
    # program crashes at that call: every name must be one CE 3.0 exports.
    missing = ['%s %s' % (dll, n) for dll, names in imports for n, _ in names
               if n is not None and dll.lower() in device_exports
               and n not in device_exports[dll.lower()]]
    report.check('exported by CE 3.0', not missing, 'every name in CE 3.0\'s export lists'
                 if not missing else 'not exported: ' + ', '.join(missing))

    # DialogBoxParamW is a macro over DialogBoxIndirectParamW on CE; COREDLL
    # has no export of that name and the program would not load.
    dialog = [dll for dll, names in imports for n, _ in names if n == 'DialogBoxParamW']
    report.check('no DialogBoxParamW', not dialog,
                 'not imported' if not dialog else 'imported from ' + ', '.join(dialog))


# --- instruction set ---------------------------------------------------------

SHT_SYMTAB = 2
SHF_EXECINSTR = 0x4


def read_elf(path):
    """Sections as (name, address, file offset, size, executable) and symbol
    names and values from a little-endian ELF32 file."""
    data = open(path, 'rb').read()
    if data[:4] != b'\x7fELF' or data[4:6] != b'\x01\x01':
        raise ValueError('%s is not a little-endian ELF32 file' % path)
    shoff, = struct.unpack_from('<I', data, 0x20)
    shentsize, shnum, shstrndx = struct.unpack_from('<HHH', data, 0x2E)
    headers = [struct.unpack_from('<10I', data, shoff + i * shentsize)
               for i in range(shnum)]

    def string(table, offset):
        start = headers[table][4] + offset
        return data[start:data.index(b'\0', start)].decode('ascii', 'replace')

    sections = [(string(shstrndx, h[0]), h[3], h[4], h[5], bool(h[2] & SHF_EXECINSTR))
                for h in headers]
    symbols = []
    for h in headers:
        if h[1] == SHT_SYMTAB:
            for at in range(h[4], h[4] + h[5], 16):
                name, value = struct.unpack_from('<II', data, at)
                symbols.append((string(h[6], name), value))
    return data, sections, symbols


CONDITIONS = ['', 'eq', 'ne', 'cs', 'hs', 'cc', 'lo', 'mi', 'pl', 'vs', 'vc',
              'hi', 'ls', 'ge', 'lt', 'gt', 'le', 'al']
# ARMv4 in ARM state, as roots and the suffixes each takes. The condition
# goes after the whole mnemonic (unified syntax) or between the root and the
# suffix (divided syntax); objdump writes the first.
ARMV4_FORMS = [
    ('and eor sub rsb add adc sbc rsc orr mov bic mvn lsl lsr asr ror rrx', ['', 's']),
    ('tst teq cmp cmn', ['']),
    ('mul mla umull umlal smull smlal', ['', 's']),
    ('ldr', ['', 'b', 't', 'bt', 'h', 'sh', 'sb']),
    ('str', ['', 'b', 't', 'bt', 'h']),
    ('ldm stm', ['', 'ia', 'ib', 'da', 'db', 'fd', 'fa', 'ed', 'ea']),
    ('push pop', ['']),
    ('swp', ['', 'b']),
    ('b bl', ['']),
    ('svc swi mrs msr', ['']),
    ('cdp mcr mrc', ['']),
    ('ldc stc', ['', 'l']),
]
ARMV4 = {form for roots, suffixes in ARMV4_FORMS for root in roots.split()
         for suffix, cond in itertools.product(suffixes, CONDITIONS)
         for form in (root + suffix + cond, root + cond + suffix)}
NOP_ENCODING = 0x01A00000       # mov r0, r0: ARMv6K's nop hint is another word
SHORT_MULTIPLIES = ('mul', 'mla')
LONG_MULTIPLIES = ('umull', 'umlal', 'smull', 'smlal')
INTERWORKING = {root + cond for root in ('bx', 'blx', 'bxj') for cond in CONDITIONS}
INSTRUCTION = re.compile(r'^\s*([0-9a-f]+):\t([0-9a-f ]+?) *\t(.*)$')


def refusal(mnemonic, encoding, rest):
    """Why an ARM-state instruction does not run on an ARMv4 core, or None."""
    if mnemonic in INTERWORKING:
        return 'interworking branch, which StrongARM does not have'
    if mnemonic == 'nop':
        return None if encoding & 0x0FFFFFFF == NOP_ENCODING else 'ARMv6K hint'
    if mnemonic not in ARMV4:
        return 'not an ARMv4 instruction'
    if '<UNPREDICTABLE>' in rest:
        return 'unpredictable'
    # Before ARMv6 a multiply's destination may not be its first operand, and
    # a long multiply's two halves and first operand must all differ.
    root = mnemonic[:5] if mnemonic[:5] in LONG_MULTIPLIES else mnemonic[:3]
    rm = encoding & 0xF
    if root in SHORT_MULTIPLIES and (encoding >> 16) & 0xF == rm:
        return 'destination is the first operand, unpredictable before ARMv6'
    if root in LONG_MULTIPLIES and len({(encoding >> 16) & 0xF,
                                        (encoding >> 12) & 0xF, rm}) < 3:
        return 'registers overlap, unpredictable before ARMv6'
    return None


def audit_code(report, objdump, elf_path, pe, exe_bytes, cpu='arm'):
    try:
        elf, sections, symbols = read_elf(elf_path)
    except (OSError, ValueError) as error:
        report.check('shipped code', False, str(error))
        return
    code = [s for s in sections if s[4] and s[3]]

    # The audit is worth something only if the .elf is what the .exe holds.
    differ = []
    for name, address, offset, size, _ in code:
        # The ELF section carries the padding to the file alignment as well.
        rva = address - pe.OPTIONAL_HEADER.ImageBase
        holder = section_holding(pe, rva, size, lambda s: s.SizeOfRawData)
        at = holder.PointerToRawData + rva - holder.VirtualAddress if holder else 0
        if holder is None or elf[offset:offset + size] != exe_bytes[at:at + size]:
            differ.append(name)
    listing = ', '.join('%s %d bytes' % (s[0], s[3]) for s in code) or 'no code'
    if differ:
        listing += '; not as in the .exe: ' + ', '.join(differ)
    elif code:
        listing += ', same as in the .exe'
    report.check('shipped code', bool(code) and not differ, listing)
    if cpu == 'mips':
        audit_mips(report, elf, sections, pe, exe_bytes)
        return
    if cpu == 'sh3':
        map_path = os.path.splitext(elf_path)[0] + '.map'
        try:
            audited, skipped, refused = sh3_audit.audit(objdump, elf_path, map_path)
        except (OSError, subprocess.CalledProcessError) as error:
            audited, skipped, refused = 0, 0, [str(error)]
        if not audited:
            refused.insert(0, 'no SH instructions found to audit')
        report.check('SH-3 instructions', not refused, '%d instructions audited, %d data '
                     'halfwords skipped%s' % (audited, skipped,
                                              '; refused %d:' % len(refused) if refused else ''))
        for line in refused[:40]:
            print('    ' + line)
        return

    result = subprocess.run([objdump, '-d', elf_path], capture_output=True, text=True)
    audited, words, thumb, refused = 0, 0, [], []
    for line in result.stdout.splitlines():
        match = INSTRUCTION.match(line)
        if not match:
            continue
        address, encoding, rest = match.groups()
        mnemonic = rest.split('\t', 1)[0].strip()
        # Literal pools and constant data between functions, marked $d.
        if mnemonic.startswith('.'):
            words += 1
            continue
        if not re.fullmatch(r'[0-9a-f]{8}', encoding):
            thumb.append(line.strip())
            continue
        audited += 1
        why = refusal(mnemonic, int(encoding, 16), rest) if mnemonic else 'undecodable'
        if why:
            refused.append('%s (%s)' % (re.sub(r'\s+', ' ', line.strip()), why))

    # Mapping symbols are what tell objdump code from data and ARM from
    # Thumb; without $a it decodes nothing reliably.
    thumb_marks = [n for n, _ in symbols if n == '$t' or n.startswith('$t.')]
    arm_marks = [n for n, _ in symbols if n == '$a' or n.startswith('$a.')]
    problems = []
    if thumb_marks:
        problems.append('%d $t mapping symbols' % len(thumb_marks))
    if thumb:
        problems.append('%d Thumb instructions, first: %s' % (len(thumb), thumb[0]))
    if not arm_marks:
        problems.append('no $a mapping symbols, so code cannot be told from data')
    report.check('ARM state', not problems, '; '.join(problems) or
                 '%d $a mapping symbols, no Thumb' % len(arm_marks))

    if result.returncode:
        refused.insert(0, 'objdump failed: ' + result.stderr.strip())
    if not audited:
        refused.insert(0, 'no ARM instructions found to audit')
    report.check('ARMv4 instructions', not refused, '%d instructions audited, %d data words '
                 'skipped%s' % (audited, words, '; refused %d:' % len(refused) if refused else ''))
    for line in refused[:40]:
        print('    ' + line)


# MIPS II as the NEC VR4121/VR4122 runs it for CE: a MIPS III core used in
# 32-bit mode, without FPU and without LL/SC. By major opcode, SPECIAL
# function and REGIMM rt field, what is allowed; everything else is refused
# with the reason.
MIPS_OPCODES = set(range(0x02, 0x10)) | {0x14, 0x15, 0x16, 0x17} | {
    0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x28, 0x29, 0x2A, 0x2B, 0x2E}
# sll srl sra sllv srlv srav jr jalr syscall break mfhi mthi mflo mtlo mult
# multu divu add addu sub subu and or xor nor slt sltu tge tgeu tlt tltu
# teq tne. Signed DIV (0x1A) is left out: the VR4120 core's erratum.
MIPS_SPECIAL = {0x00, 0x02, 0x03, 0x04, 0x06, 0x07, 0x08, 0x09, 0x0C, 0x0D, 0x10, 0x11,
                0x12, 0x13, 0x18, 0x19, 0x1B, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
                0x27, 0x2A, 0x2B, 0x30, 0x31, 0x32, 0x33, 0x34, 0x36}
MIPS_REGIMM = {0x00, 0x01, 0x02, 0x03, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0E,
               0x10, 0x11, 0x12, 0x13}
MIPS_OPCODE_WHY = {
    0x10: 'coprocessor 0, privileged', 0x11: 'FPU, which the VR41xx lacks', 0x12: 'coprocessor 2',
    0x13: 'MIPS IV FPU', 0x18: '64-bit', 0x19: '64-bit', 0x1A: '64-bit', 0x1B: '64-bit',
    0x1C: 'MIPS32 (mul, madd, clz)', 0x1D: 'jalx, a MIPS16 switch', 0x1F: 'MIPS32r2 (ext, ins, seb)',
    0x27: '64-bit', 0x2C: '64-bit', 0x2D: '64-bit', 0x2F: 'cache, privileged',
    0x30: 'll, which the VR41xx lacks', 0x33: 'pref, MIPS IV', 0x34: '64-bit', 0x37: '64-bit',
    0x38: 'sc, which the VR41xx lacks', 0x3C: '64-bit', 0x3F: '64-bit'}
MIPS_SPECIAL_WHY = {
    0x01: 'movf/movt, MIPS IV', 0x0A: 'movz, MIPS IV', 0x0B: 'movn, MIPS IV', 0x0F: 'sync',
    0x1A: 'signed div, wrong on the VR4120 core for a negative operand',
    0x28: 'VR4120 multiply-accumulate', 0x29: 'VR4120 multiply-accumulate'}


GP = 28
# Opcodes whose rs and rt fields are registers: the immediate ALU forms,
# loads and stores (the branches and jumps carry no $gp use GCC would make).
MIPS_IMMEDIATE = set(range(0x08, 0x10)) | set(range(0x20, 0x2F))


def mips_refusal(word):
    """Why a MIPS instruction word does not run on a VR41xx under CE, or None.
    Code that names $gp is refused too: the programs are built to address
    everything absolutely (-G0, -mno-abicalls), and nothing sets $gp for them."""
    op = word >> 26
    rs, rt, rd = (word >> 21) & 0x1F, (word >> 16) & 0x1F, (word >> 11) & 0x1F
    if (op == 0 and GP in (rs, rt, rd)) or (op in MIPS_IMMEDIATE and GP in (rs, rt)):
        return 'uses $gp, which nothing sets for the program'
    if op == 0:
        funct = word & 0x3F
        if funct not in MIPS_SPECIAL:
            return MIPS_SPECIAL_WHY.get(funct, 'SPECIAL function %#x: 64-bit or MIPS32' % funct)
        # MIPS32r2 hides rotr in srl's rs field, rotrv in srlv's sa field and
        # the hazard-barrier jumps in jr's and jalr's hint field.
        if funct == 0x02 and (word >> 21) & 0x1F:
            return 'rotr, MIPS32r2'
        if funct == 0x06 and (word >> 6) & 0x1F:
            return 'rotrv, MIPS32r2'
        if funct in (0x08, 0x09) and (word >> 6) & 0x1F:
            return 'jump with a hazard barrier, MIPS32r2'
        return None
    if op == 1:
        rt = (word >> 16) & 0x1F
        return None if rt in MIPS_REGIMM else 'REGIMM %#x: not MIPS II' % rt
    if op in MIPS_OPCODES:
        return None
    return MIPS_OPCODE_WHY.get(op, 'opcode %#x: not MIPS II' % op)


STT_FUNC = 2


def elf_functions(data, sections):
    """(name, address, size) of every sized function symbol in an executable
    section: the code, where .text also holds read-only data."""
    shoff, = struct.unpack_from('<I', data, 0x20)
    shentsize, shnum, _ = struct.unpack_from('<HHH', data, 0x2E)
    functions = []
    for i in range(shnum):
        h = struct.unpack_from('<10I', data, shoff + i * shentsize)
        if h[1] != SHT_SYMTAB:
            continue
        strings = struct.unpack_from('<10I', data, shoff + h[6] * shentsize)[4]
        for at in range(h[4], h[4] + h[5], 16):
            name, value, size, info, _, shndx = struct.unpack_from('<IIIBBH', data, at)
            if info & 0xF == STT_FUNC and size and shndx < len(sections) and sections[shndx][4]:
                end = data.index(b'\0', strings + name)
                functions.append((data[strings + name:end].decode('ascii', 'replace'), value, size))
    return sorted(set(functions), key=lambda f: f[1])


def audit_mips(report, elf, sections, pe, exe_bytes):
    """Each word of each function, as the .exe holds it, against MIPS II."""
    functions = elf_functions(elf, sections)
    audited, refused = 0, []
    for name, address, size in functions:
        rva = address - pe.OPTIONAL_HEADER.ImageBase
        holder = section_holding(pe, rva, size, lambda s: s.SizeOfRawData)
        if holder is None or size % 4:
            refused.append('%s at %#x: %d bytes outside the code' % (name, address, size))
            continue
        at = holder.PointerToRawData + rva - holder.VirtualAddress
        for i in range(0, size, 4):
            word, = struct.unpack_from('<I', exe_bytes, at + i)
            audited += 1
            why = mips_refusal(word)
            if why:
                refused.append('%#x in %s: %08x (%s)' % (address + i, name, word, why))
    if not audited:
        refused.insert(0, 'no MIPS functions found to audit')
    report.check('MIPS II instructions', not refused, '%d instructions audited in %d functions%s'
                 % (audited, len(functions), '; refused %d:' % len(refused) if refused else ''))
    for line in refused[:40]:
        print('    ' + line)


# --- size --------------------------------------------------------------------

def check_size(report, exe_path, size, budget):
    report.check('size budget', size <= budget, '%s: %d bytes (budget %d)' % (
        os.path.basename(exe_path), size, budget))


# --- resources ---------------------------------------------------------------

def resource_label(key):
    kind, name, lang = key

    def part(value, names=None):
        if isinstance(value, str):
            return '"%s"' % value
        return names.get(value, str(value)) if names else str(value)
    types = {k: v[3:] for k, v in pefile.RESOURCE_TYPE.items() if isinstance(k, int)}
    return '%s/%s/%#x' % (part(kind, types), part(name), lang)


def resource_key(entry):
    """A resource directory entry's id, or its name when it has one."""
    return str(entry.name) if entry.name is not None else entry.id


def resource_leaves(pe):
    """{(type, name, language): data bytes}; a type or name is an int id or a string."""
    leaves = {}
    root = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    for kind in root.entries if root else []:
        for name in kind.directory.entries:
            for lang in name.directory.entries:
                data = lang.data.struct
                leaves[(resource_key(kind), resource_key(name), lang.id)] = pe.get_data(
                    data.OffsetToData, data.Size)
    return leaves


HI_RES_AWARE = ('CEUX', 'HI_RES_AWARE', 0)


def check_hi_res_aware(report, leaves, expected):
    """The system reads screens unscaled for a program with this resource:
    type CEUX, name HI_RES_AWARE, language neutral so that it is found on a
    device of any language, data the WORD 1."""
    copies = [key for key in leaves if key[:2] == HI_RES_AWARE[:2]]
    if not expected:
        report.check('no HI_RES_AWARE resource', not copies,
                     ', '.join(map(resource_label, copies)) or 'none')
        return
    data = leaves.get(HI_RES_AWARE)
    report.check('HI_RES_AWARE resource', copies == [HI_RES_AWARE] and data == b'\x01\x00',
                 'copies %s, data %s' % (', '.join(map(resource_label, copies)) or 'none',
                                          data.hex() if data is not None else 'missing'))


def compare_resources(report, device_exe, desktop_exe, hi_res_aware):
    if not os.path.exists(desktop_exe):
        report.check('desktop build', False, '%s does not exist: build the win64 preset '
                     'first (cmake --preset win64 && cmake --build --preset win64)'
                     % desktop_exe)
        return
    report.check('desktop build', True, desktop_exe)
    device = resource_leaves(pefile.PE(device_exe))
    desktop = resource_leaves(pefile.PE(desktop_exe))
    check_hi_res_aware(report, device, hi_res_aware)
    only_device = sorted(set(device) - set(desktop), key=str)
    only_desktop = sorted(set(desktop) - set(device), key=str)
    detail = '%d leaves' % len(device)
    if only_device:
        detail += '; only on the device: ' + ', '.join(map(resource_label, only_device))
    if only_desktop:
        detail += '; only on the desktop: ' + ', '.join(map(resource_label, only_desktop))
    report.check('resource leaves', bool(device) and not only_device and not only_desktop,
                 detail)
    for key in sorted(set(device) & set(desktop), key=str):
        a, b = device[key], desktop[key]
        first = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), None)
        same = a == b
        report.check('data of ' + resource_label(key), same, '%d bytes%s' % (
            len(a), ', same' if same else ' against %d%s' % (
                len(b), ', first difference at byte %d' % first if first is not None else '')))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    modes = parser.add_subparsers(dest='mode', required=True)
    image = modes.add_parser('image')
    image.add_argument('exe')
    image.add_argument('elf')
    image.add_argument('--objdump', required=True)
    image.add_argument('--imports-list', required=True)
    image.add_argument('--dlls', nargs='+', required=True)
    image.add_argument('--budget', type=int, required=True)
    image.add_argument('--exports', required=True,
                       help='folder of DLL.txt lists of the names CE 3.0 exports')
    image.add_argument('--cpu', choices=sorted(MACHINE), default='arm')
    resources = modes.add_parser('resources')
    resources.add_argument('exe')
    resources.add_argument('desktop')
    resources.add_argument('--hi-res-aware', choices=('yes', 'no'), required=True)
    args = parser.parse_args()

    report = Report()
    print('%s %s' % (args.mode, args.exe))
    try:
        if args.mode == 'resources':
            compare_resources(report, args.exe, args.desktop, args.hi_res_aware == 'yes')
        else:
            exe_bytes = open(args.exe, 'rb').read()
            pe = pefile.PE(data=exe_bytes)
            check_headers(report, pe, len(exe_bytes), args.cpu)
            check_imports(report, pe, args.dlls, read_imports_list(args.imports_list),
                          read_exports(args.exports, args.dlls))
            audit_code(report, args.objdump, args.elf, pe, exe_bytes, args.cpu)
            check_size(report, args.exe, len(exe_bytes), args.budget)
    except (OSError, pefile.PEFormatError) as error:
        report.check('readable image', False, str(error))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
