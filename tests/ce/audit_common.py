"""audit_common.py: what the device checks share: the report every check
prints to, the ELF reader, the image section that holds an address, and the
report of an audit's refusals. Importing it puts platform/ce on the path.
"""
import argparse
import keyword
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                '..', '..', 'platform', 'ce'))
SHT_SYMTAB, SHF_EXECINSTR, STT_FUNC = 2, 0x4, 2


class Report:
    """One line per check, then "N passed, M failed"; finish() is the exit status."""

    def __init__(self):
        self.results = []

    def check(self, name, ok, detail=''):
        # The self-tests read the name back: it must not contain ': '.
        print('%s  %s%s' % ('PASS' if ok else 'FAIL', name, ': %s' % detail if detail else ''))
        self.results.append(bool(ok))

    def refuse(self, name, found, detail, label):
        """A check that anything `found` fails, listed after `label`."""
        self.check(name, not found, detail + ('; %s %s' % (label, ', '.join(found))
                                              if found else ''))

    def finish(self):
        failed = self.results.count(False)
        print('%d passed, %d failed' % (len(self.results) - failed, failed))
        return 1 if failed else 0


def arguments(usage, **settings):
    """The command line as its usage line gives it: NAME positional, --NAME
    required, either with ... taking one or more words; `settings` are an
    argument's other argparse settings by its name (a default makes an
    option optional). An option named by a Python keyword is read as NAME_."""
    parser = argparse.ArgumentParser()
    for word in usage.split():
        name = word.rstrip('.')
        dest = name.lstrip('-').replace('-', '_')
        given = dict(nargs='+') if word.endswith('...') else {}
        if name.startswith('--'):
            given.update(required='default' not in settings.get(dest, {}),
                         dest=dest + '_' if keyword.iskeyword(dest) else dest)
        parser.add_argument(name, **given, **settings.get(dest, {}))
    return parser.parse_args()


def section_name(section):
    return section.Name.rstrip(b'\0').decode('ascii', 'replace')


def section_holding(pe, rva, size=1, extent=lambda s: s.Misc_VirtualSize):
    return next((s for s in pe.sections
                 if s.VirtualAddress <= rva and rva + size <= s.VirtualAddress + extent(s)), None)


def file_offset(pe, address, size):
    """Where the image file holds `size` bytes loaded at `address`, or None."""
    rva = address - pe.OPTIONAL_HEADER.ImageBase
    s = section_holding(pe, rva, size, lambda s: s.SizeOfRawData)
    return None if s is None else s.PointerToRawData + rva - s.VirtualAddress


def read_elf(path):
    """Sections as (name, address, file offset, size, executable) and
    symbols as (name, value, size, type, section index) from a little-endian
    ELF32 file."""
    data = open(path, 'rb').read()
    if data[:4] != b'\x7fELF' or data[4:6] != b'\x01\x01':
        raise ValueError('%s is not a little-endian ELF32 file' % path)
    shoff, = struct.unpack_from('<I', data, 0x20)
    shentsize, shnum, shstrndx = struct.unpack_from('<HHH', data, 0x2E)
    headers = [struct.unpack_from('<10I', data, shoff + i * shentsize) for i in range(shnum)]

    def string(table, offset):
        start = headers[table][4] + offset
        return data[start:data.index(b'\0', start)].decode('ascii', 'replace')

    sections = [(string(shstrndx, h[0]), h[3], h[4], h[5], bool(h[2] & SHF_EXECINSTR))
                for h in headers]
    symbols = [(string(h[6], name), value, size, info & 0xF, shndx)
               for h in headers if h[1] == SHT_SYMTAB for at in range(h[4], h[4] + h[5], 16)
               for name, value, size, info, _, shndx in [struct.unpack_from('<IIIBBH', data, at)]]
    return data, sections, symbols


def elf_text(path):
    """The bytes of an ELF file's .text and their file offset."""
    data, sections, _ = read_elf(path)
    _, _, offset, size, _ = next(s for s in sections if s[0] == '.text')
    return data[offset:offset + size], offset


def elf_functions(sections, symbols):
    """(name, address, size) of every sized function symbol in an executable
    section: the code, where .text also holds read-only data."""
    functions = {(name, value, size) for name, value, size, kind, shndx in symbols
                 if kind == STT_FUNC and size and shndx < len(sections) and sections[shndx][4]}
    return sorted(functions, key=lambda f: f[1])


def conclude(report, name, refused, detail, audited, nothing):
    """The audit's one check, and the first refusals under it; `nothing`
    is refused first when no instruction was audited."""
    refused = ([] if audited else [nothing]) + refused
    report.check(name, not refused, detail + ('; refused %d:' % len(refused) if refused else ''))
    for line in refused[:40]:
        print('    ' + line)
