#!/usr/bin/env python3
"""vr41xx_set.py: the instructions the NEC VR4121/VR4122 runs for CE (MIPS II
in 32-bit mode, no FPU, no LL/SC), the one table behind both the image
check's static audit (tests/ce/audit_mips.py) and the CE runner's guard on
every instruction executed (RefusalMips, which includes the header this
writes).

usage: vr41xx_set.py HEADER
"""
import sys

# By major opcode, SPECIAL function (op 0) and REGIMM rt field (op 1), what
# runs; every other code is refused with the reason given here or, failing
# that, the field's default.
ALLOWED = {
    'opcode': [*range(0x02, 0x10), *range(0x14, 0x18), *range(0x20, 0x27),
               *range(0x28, 0x2C), 0x2E],
    # sll srl sra sllv srlv srav jr jalr syscall break mfhi mthi mflo mtlo
    # mult multu divu add addu sub subu and or xor nor slt sltu tge tgeu tlt
    # tltu teq tne
    'special': [0x00, 0x02, 0x03, 0x04, 0x06, 0x07, 0x08, 0x09, 0x0C, 0x0D, 0x10, 0x11,
                0x12, 0x13, 0x18, 0x19, 0x1B, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
                0x27, 0x2A, 0x2B, 0x30, 0x31, 0x32, 0x33, 0x34, 0x36],
    'regimm': [0x00, 0x01, 0x02, 0x03, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0E,
               0x10, 0x11, 0x12, 0x13],
}
DEFAULT = {
    'opcode': 'not a MIPS II instruction',
    'special': 'a 64-bit or MIPS32 SPECIAL instruction',
    'regimm': 'a REGIMM instruction outside MIPS II',
}
REFUSED = [
    ('opcode', [0x10], 'a privileged instruction (coprocessor 0)'),
    ('opcode', [0x2F], 'a privileged instruction (cache)'),
    ('opcode', [0x11, 0x13, 0x31, 0x35, 0x39, 0x3D], 'an FPU instruction, which the VR41xx lacks'),
    ('opcode', [0x12], 'a coprocessor 2 instruction'),
    ('opcode', [0x18, 0x19, 0x1A, 0x1B, 0x27, 0x2C, 0x2D, 0x34, 0x37, 0x3C, 0x3F],
     'a 64-bit instruction'),
    ('opcode', [0x1C], 'a MIPS32 instruction (mul, madd, clz)'),
    ('opcode', [0x1D], 'jalx, a switch to MIPS16'),
    ('opcode', [0x1F], 'a MIPS32r2 instruction (ext, ins, seb)'),
    ('opcode', [0x30, 0x38], 'll/sc, which the VR41xx lacks'),
    ('opcode', [0x33], 'pref (MIPS IV)'),
    ('special', [0x01, 0x0A, 0x0B], 'a conditional move (MIPS IV)'),
    ('special', [0x0F], 'sync'),
    # The VR4120 core's erratum.
    ('special', [0x1A], 'signed div, wrong on the VR4120 core for a negative operand'),
    ('special', [0x28, 0x29], 'a VR4120 multiply-accumulate'),
]
# MIPS32r2 hides instructions in fields MIPS II leaves zero: rotr in srl's
# rs field, rotrv in srlv's sa field, the hazard-barrier jumps in jr's and
# jalr's hint field. (SPECIAL function, shift of the 5-bit field, reason.)
NONZERO_FIELD = [
    (0x02, 21, 'rotr (MIPS32r2)'),
    (0x06, 6, 'rotrv (MIPS32r2)'),
    (0x08, 6, 'a jump with a hazard barrier (MIPS32r2)'),
    (0x09, 6, 'a jump with a hazard barrier (MIPS32r2)'),
]
SIZES = {'opcode': 64, 'special': 64, 'regimm': 32}


def reasons(field):
    """Each code of the field: None where it runs, else why it is refused."""
    table = [DEFAULT[field]] * SIZES[field]
    for code in ALLOWED[field]:
        table[code] = None
    for kind, codes, why in REFUSED:
        for code in codes if kind == field else ():
            assert table[code] is not None, '%s %#x both allowed and refused' % (field, code)
            table[code] = why
    return table


OPCODE, SPECIAL, REGIMM = reasons('opcode'), reasons('special'), reasons('regimm')


def refusal(word):
    """Why the VR41xx does not run this instruction word, or None."""
    op = word >> 26
    if op == 0:
        funct = word & 0x3F
        for code, shift, why in NONZERO_FIELD:
            if funct == code and (word >> shift) & 0x1F:
                return why
        return SPECIAL[funct]
    if op == 1:
        return REGIMM[(word >> 16) & 0x1F]
    return OPCODE[op]


def header():
    def array(name, table):
        rows = ['    %s,  // %#04x' % ('"%s"' % why if why else 'nullptr', code)
                for code, why in enumerate(table)]
        return 'const char* const %s[%d] = {\n%s\n};\n' % (name, len(table), '\n'.join(rows))
    fields = ''.join('    {%#04x, %d, "%s"},\n' % f for f in NONZERO_FIELD)
    return ('// vr41xx_set.h: written by platform/ce/vr41xx_set.py from its table of the\n'
            '// VR41xx instruction set; edit the table, not this file.\n'
            '#pragma once\n#include <cstdint>\n\n'
            + array('kVr41xxOpcode', OPCODE) + array('kVr41xxSpecial', SPECIAL)
            + array('kVr41xxRegimm', REGIMM)
            + 'struct Vr41xxField { uint32_t funct; uint32_t shift; const char* why; };\n'
            'const Vr41xxField kVr41xxNonzeroField[] = {\n' + fields + '};\n')


if __name__ == '__main__':
    with open(sys.argv[1], 'w') as out:
        out.write(header())
