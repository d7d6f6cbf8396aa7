#!/usr/bin/env python3
"""check_image.py: checks a device executable as the linker left it, before
it ever reaches a device: headers the Windows CE loader accepts, imports
only the device's libraries export, code its CPU runs (one audit module per
CPU: audit_arm.py, audit_mips.py, audit_sh3.py), and its size budget. The
resources mode checks that its resources are the desktop build's, leaf for
leaf.

usage:
  check_image.py image EXE ELF --objdump OBJDUMP --imports-list LIST
                 --dlls DLL... --budget BYTES --exports DIR [--cpu arm|mips|sh3]
  check_image.py resources EXE DESKTOP-EXE

Prints one line per check and ends with "N passed, M failed"; the exit
status is non-zero when any check failed.
"""
import argparse
import os
import sys
import types

import pefile

import audit_arm
import audit_mips
import audit_sh3
from audit_common import read_elf, section_holding, section_name

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                '..', '..', 'platform', 'ce'))
import make_imports  # noqa: E402

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

AUDITS = {'arm': audit_arm, 'mips': audit_mips, 'sh3': audit_sh3}


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
    AUDITS[cpu].audit(report, types.SimpleNamespace(
        objdump=objdump, elf_path=elf_path, sections=sections, symbols=symbols,
        pe=pe, exe_bytes=exe_bytes))


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
