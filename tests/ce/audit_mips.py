"""audit_mips.py: the instruction audit of a MIPS device image, for
check_image.py: every word of every function, as the .exe holds it, against
the VR41xx's set (platform/ce/vr41xx_set.py, the table the CE runner's guard
is built from), and no use of $gp.
"""
import struct

from audit_common import conclude, elf_functions, file_offset
import vr41xx_set  # noqa: E402  (platform/ce, put on the path by audit_common)

GP = 28
# Opcodes whose rs and rt fields are registers: the immediate ALU forms,
# loads and stores (the branches and jumps carry no $gp use GCC would make).
IMMEDIATE = set(range(0x08, 0x10)) | set(range(0x20, 0x2F))


def refusal(word):
    """Why a MIPS instruction word does not run on a VR41xx under CE, or None.
    Code that names $gp is refused too: the programs are built to address
    everything absolutely (-G0, -mno-abicalls), and nothing sets $gp for them."""
    op = word >> 26
    rs, rt, rd = (word >> 21) & 0x1F, (word >> 16) & 0x1F, (word >> 11) & 0x1F
    if (op == 0 and GP in (rs, rt, rd)) or (op in IMMEDIATE and GP in (rs, rt)):
        return 'uses $gp, which nothing sets for the program'
    return vr41xx_set.refusal(word)


def audit(report, image):
    functions = elf_functions(image.sections, image.symbols)
    audited, refused = 0, []
    for name, address, size in functions:
        at = file_offset(image.pe, address, size)
        if at is None or size % 4:
            refused.append('%s at %#x: %d bytes outside the code' % (name, address, size))
            continue
        for i, (word,) in enumerate(struct.iter_unpack('<I', image.exe_bytes[at:at + size])):
            audited += 1
            why = refusal(word)
            if why:
                refused.append('%#x in %s: %08x (%s)' % (address + 4 * i, name, word, why))
    conclude(report, 'MIPS II instructions', refused, '%d instructions audited in %d functions'
             % (audited, len(functions)), audited, 'no MIPS functions found to audit')
