"""audit_common.py: what the per-CPU instruction audits (audit_arm.py,
audit_mips.py, audit_sh3.py) and check_image.py share: the ELF reader, the
image section that holds an address, and the report of an audit's refusals.
"""
import struct

SHT_SYMTAB = 2
SHF_EXECINSTR = 0x4
STT_FUNC = 2


def section_name(section):
    return section.Name.rstrip(b'\0').decode('ascii', 'replace')


def section_holding(pe, rva, size=1, extent=lambda s: s.Misc_VirtualSize):
    for s in pe.sections:
        if s.VirtualAddress <= rva and rva + size <= s.VirtualAddress + extent(s):
            return s
    return None


def read_elf(path):
    """Sections as (name, address, file offset, size, executable) and
    symbols as (name, value, size, type, section index) from a little-endian
    ELF32 file."""
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
                name, value, size, info, _, shndx = struct.unpack_from('<IIIBBH', data, at)
                symbols.append((string(h[6], name), value, size, info & 0xF, shndx))
    return data, sections, symbols


def elf_functions(sections, symbols):
    """(name, address, size) of every sized function symbol in an executable
    section: the code, where .text also holds read-only data."""
    functions = {(name, value, size) for name, value, size, kind, shndx in symbols
                 if kind == STT_FUNC and size and shndx < len(sections) and sections[shndx][4]}
    return sorted(functions, key=lambda f: f[1])


def conclude(report, name, refused, detail):
    """The audit's one check, and the first refusals under it."""
    report.check(name, not refused, detail + ('; refused %d:' % len(refused) if refused else ''))
    for line in refused[:40]:
        print('    ' + line)
