"""audit_sh3.py: the instruction audit of an SH-3 device image, for
check_image.py. Debian's compiler knows only SH-4 models; the SH-3 lacks
the FPU and the SH-4's additions (movca.l, ocbi, fsca, the double-precision
moves...). The assembler was told to refuse those, and this audit checks the
image itself: every halfword of code must decode as an SH-3 instruction
(objdump -m sh3), and none may be one a user program has no business
running (privileged or system-call instructions: COREDLL is the only way
into the system).

Code is what the link map puts in .text input sections; read-only data that
shares the output section is not code. Inside code, the constants that
PC-relative loads read (literal pools) and the jump tables that mova
addresses are data; a jump table is read up to the first case it jumps to.
"""
import os
import re
import subprocess

from audit_common import conclude

INSTRUCTION = re.compile(r'\s+([0-9a-f]+):\s+([0-9a-f]{2}) ([0-9a-f]{2})\s+\t(\S+)\s*(.*)')
# An input section of .text in the link map; a long name puts the rest on
# the next line.
MAP_SECTION = re.compile(
    r'^ (\.text[\w.$]*)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)[ \t]*$', re.M)
# Instructions of the SH-3 that a CE program never runs in user mode.
PRIVILEGED = {'rte', 'sleep', 'ldtlb', 'trapa'}
SYSTEM_REGISTERS = ('sr', 'vbr', 'ssr', 'spc', 'dbr', 'sgr', '_bank')


def code_ranges(map_path):
    """(start, end, input section) for each non-empty .text input section.
    The sections the linker discarded (listed first, at address 0) are not
    in the image: only the memory map after them counts."""
    text = open(map_path, encoding='utf-8', errors='replace').read()
    memory_map = text.find('Linker script and memory map')
    text = text[memory_map:] if memory_map >= 0 else text
    return [(int(start, 16), int(start, 16) + int(size, 16), name)
            for name, start, size, _ in MAP_SECTION.findall(text) if int(size, 16)]


def disassemble(objdump, elf_path):
    """{address: (halfword, mnemonic, operands)} as the SH-3 decoder reads it."""
    out = subprocess.run([objdump, '-m', 'sh3', '-d', '-z', elf_path],
                         capture_output=True, text=True, check=True).stdout
    return {int(m.group(1), 16): (int(m.group(3) + m.group(2), 16), m.group(4), m.group(5))
            for m in map(INSTRUCTION.match, out.splitlines()) if m}


def target(operands):
    m = re.match(r'(?:0x)?([0-9a-f]+)\b', operands)
    return int(m.group(1), 16) if m else None


def data_in_code(listing):
    """Addresses of the halfwords that are constants, and jump tables whose
    end could not be found (as their start addresses)."""
    data, unread = set(), []
    for address, (_, mnemonic, operands) in listing.items():
        at = target(operands)
        if mnemonic in ('mov.l', 'mov.w') and not operands.startswith(('@', 'r')) and at is not None:
            data.update(range(at, at + (4 if mnemonic == 'mov.l' else 2), 2))
        elif mnemonic == 'mova':
            # GCC's case tables: mova, then mov.w @(r0,rN) and braf, each
            # entry an offset from the table to its case.
            following = [listing.get(address + 2 * i, (0, '', ''))[1:] for i in (1, 2)]
            if not any(m == 'mov.w' and o.startswith('@(r0,') for m, o in following):
                unread.append(at)
                continue
            table, end = at, at + 0x10000
            while at < end and at in listing:
                offset = listing[at][0] - (0x10000 if listing[at][0] & 0x8000 else 0)
                if table < table + offset < end:
                    end = table + offset
                data.add(at)
                at += 2
    return data, unread


def refusal(mnemonic, operands):
    return next((why for why, hit in (
        ('not an SH-3 instruction', mnemonic.startswith('.')),
        ('an FPU instruction', mnemonic.startswith('f')),
        ('privileged or a system call', mnemonic in PRIVILEGED),
        ('reaches a system register', mnemonic.startswith(('ldc', 'stc')) and
         any(r in operands for r in SYSTEM_REGISTERS))) if hit), None)


def refusals(objdump, elf_path, map_path):
    """(instructions audited, data halfwords skipped, refusals)."""
    ranges = code_ranges(map_path)
    listing = disassemble(objdump, elf_path)
    data, unread = data_in_code(listing)
    refused = [] if ranges else ['no .text input sections in the link map']
    refused += ['a jump table at %#x that is not a mov.w/braf table' % t for t in unread]
    audited = skipped = 0
    for start, end, section in ranges:
        for address in range(start, end, 2):
            if address in data:
                skipped += 1
            elif address not in listing:
                refused.append('%#x in %s: not disassembled' % (address, section))
            else:
                halfword, mnemonic, operands = listing[address]
                audited += 1
                why = refusal(mnemonic, operands)
                if why:
                    refused.append('%#x: %04x %s %s (%s, in %s)' % (
                        address, halfword, mnemonic, operands, why, section))
    return audited, skipped, refused


def audit(report, image):
    try:
        audited, skipped, refused = refusals(image.objdump, image.elf_path,
                                             os.path.splitext(image.elf_path)[0] + '.map')
    except (OSError, subprocess.CalledProcessError) as error:
        audited, skipped, refused = 0, 0, [str(error)]
    conclude(report, 'SH-3 instructions', refused, '%d instructions audited, %d data halfwords '
             'skipped' % (audited, skipped), audited, 'no SH instructions found to audit')
