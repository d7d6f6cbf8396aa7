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
MAP_SECTION = re.compile(r'^ (\.text[\w.$]*)(?:\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+))?\s*$')
MAP_CONTINUED = re.compile(r'^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S+)\s*$')
# Instructions of the SH-3 that a CE program never runs in user mode.
PRIVILEGED = {'rte', 'sleep', 'ldtlb', 'trapa'}
SYSTEM_REGISTERS = ('sr', 'vbr', 'ssr', 'spc', 'dbr', 'sgr', '_bank')


def code_ranges(map_path):
    """(start, end, input section) for each non-empty .text input section."""
    ranges, pending = [], None
    for line in open(map_path, encoding='utf-8', errors='replace'):
        if pending is not None:
            m = MAP_CONTINUED.match(line)
            if m and int(m.group(2), 16):
                start = int(m.group(1), 16)
                ranges.append((start, start + int(m.group(2), 16), pending))
            pending = None
            continue
        m = MAP_SECTION.match(line)
        if not m:
            continue
        if m.group(2) is None:
            pending = m.group(1)
        elif int(m.group(3), 16):
            start = int(m.group(2), 16)
            ranges.append((start, start + int(m.group(3), 16), m.group(1)))
    return ranges


def disassemble(objdump, elf_path):
    """{address: (halfword, mnemonic, operands)} as the SH-3 decoder reads it."""
    out = subprocess.run([objdump, '-m', 'sh3', '-d', '-z', elf_path],
                         capture_output=True, text=True, check=True).stdout
    listing = {}
    for line in out.splitlines():
        m = INSTRUCTION.match(line)
        if m:
            address = int(m.group(1), 16)
            listing[address] = (int(m.group(3) + m.group(2), 16), m.group(4), m.group(5))
    return listing


def target(operands):
    m = re.match(r'(?:0x)?([0-9a-f]+)\b', operands)
    return int(m.group(1), 16) if m else None


def data_in_code(listing):
    """Addresses of the halfwords that are constants, and jump tables whose
    end could not be found (as their start addresses)."""
    data, unread = set(), []
    for address, (_, mnemonic, operands) in listing.items():
        if mnemonic in ('mov.l', 'mov.w') and not operands.startswith(('@', 'r')):
            at = target(operands)
            if at is not None:
                data.update(range(at, at + (4 if mnemonic == 'mov.l' else 2), 2))
        elif mnemonic == 'mova':
            table = target(operands)
            # GCC's case tables: mova, then mov.w @(r0,rN) and braf, each
            # entry an offset from the table to its case.
            following = [listing.get(address + 2 * i, (0, '', ''))[1:] for i in (1, 2)]
            if not any(m == 'mov.w' and o.startswith('@(r0,') for m, o in following):
                unread.append(table)
                continue
            end = table + 0x10000
            at = table
            while at < end and at in listing:
                offset = listing[at][0]
                offset -= 0x10000 if offset & 0x8000 else 0
                if table < table + offset < end:
                    end = table + offset
                data.add(at)
                at += 2
    return data, unread


def refusal(mnemonic, operands):
    if mnemonic.startswith('.'):
        return 'not an SH-3 instruction'
    if mnemonic.startswith('f'):
        return 'an FPU instruction'
    if mnemonic in PRIVILEGED:
        return 'privileged or a system call'
    if mnemonic.startswith(('ldc', 'stc')) and any(r in operands for r in SYSTEM_REGISTERS):
        return 'reaches a system register'
    return None


def refusals(objdump, elf_path, map_path):
    """(instructions audited, data halfwords skipped, refusals)."""
    ranges = code_ranges(map_path)
    listing = disassemble(objdump, elf_path)
    data, unread = data_in_code(listing)
    refused = ['a jump table at %#x that is not a mov.w/braf table' % t for t in unread]
    audited = skipped = 0
    for start, end, section in ranges:
        for address in range(start, end, 2):
            if address in data:
                skipped += 1
                continue
            if address not in listing:
                refused.append('%#x in %s: not disassembled' % (address, section))
                continue
            halfword, mnemonic, operands = listing[address]
            audited += 1
            why = refusal(mnemonic, operands)
            if why:
                refused.append('%#x: %04x %s %s (%s, in %s)' % (
                    address, halfword, mnemonic, operands, why, section))
    if not ranges:
        refused.insert(0, 'no .text input sections in the link map')
    return audited, skipped, refused


def audit(report, image):
    map_path = os.path.splitext(image.elf_path)[0] + '.map'
    try:
        audited, skipped, refused = refusals(image.objdump, image.elf_path, map_path)
    except (OSError, subprocess.CalledProcessError) as error:
        audited, skipped, refused = 0, 0, [str(error)]
    if not audited:
        refused.insert(0, 'no SH instructions found to audit')
    conclude(report, 'SH-3 instructions', refused,
             '%d instructions audited, %d data halfwords skipped' % (audited, skipped))
