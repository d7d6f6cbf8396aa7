"""check_image.py: checks a device executable as the linker left it, before
it ever reaches a device: headers the Windows CE loader accepts, imports
only the device's libraries export, code its CPU runs (one audit module per
CPU: audit_arm.py, audit_mips.py, audit_sh3.py), and its size budget. The
resources mode checks that its resources are the desktop build's, leaf for
leaf.
"""
import os
import sys
import types

import pefile

import audit_arm
import audit_mips
import audit_sh3
from audit_common import Report, arguments, file_offset, read_elf, section_holding, section_name
import make_imports  # noqa: E402  (platform/ce, put on the path by audit_common)

IMAGE_BASE = 0x10000
MACHINE = {'arm': 0x01C0, 'mips': 0x0166, 'sh3': 0x01A2}
SUBSYSTEM_WINDOWS_CE_GUI = 9
RELOCS_STRIPPED = 0x0001
AUDITS = {'arm': audit_arm, 'mips': audit_mips, 'sh3': audit_sh3}


def check_headers(report, pe, file_size, cpu='arm'):
    fh, oh = pe.FILE_HEADER, pe.OPTIONAL_HEADER
    version = lambda kind: '%d.%02d' % (getattr(oh, 'Major%sVersion' % kind),  # noqa: E731
                                        getattr(oh, 'Minor%sVersion' % kind))
    for name, value, wanted in (
            ('magic', '%#x' % oh.Magic, '0x10b'),
            ('machine', '%#06x' % fh.Machine, '%#06x' % MACHINE[cpu]),
            ('subsystem', oh.Subsystem, SUBSYSTEM_WINDOWS_CE_GUI),
            ('OS version', version('OperatingSystem'), '3.00'),
            ('subsystem version', version('Subsystem'), '3.00'),
            ('image base', '%#x' % oh.ImageBase, '%#x' % IMAGE_BASE),
            ('section alignment', '%#x' % oh.SectionAlignment, '0x1000'),
            ('file alignment', '%#x' % oh.FileAlignment, '0x200')):
        report.check(name, value == wanted, '%s%s' % (
            value, '' if value == wanted else ', expected %s' % wanted))

    entry, text = oh.AddressOfEntryPoint, next(
        (s for s in pe.sections if section_name(s) == '.text'), None)
    inside = text is not None and text.VirtualAddress <= entry < (
        text.VirtualAddress + text.Misc_VirtualSize)
    report.check('entry point', inside, 'RVA %#x%s' % (
        entry, ' in .text' if inside else ', outside .text'))

    # The loader maps each section from its file offset; a section that is
    # misaligned or runs past the end of the file loads as garbage.
    align = oh.FileAlignment or 1
    layout = ', '.join('%s at %#x+%#x' % (section_name(s), s.PointerToRawData, s.SizeOfRawData)
                       for s in pe.sections)
    faults = [fault % section_name(s) for s in pe.sections for fault, bad in (
        ('%s not on the file alignment', s.PointerToRawData % align or s.SizeOfRawData % align),
        ('%%s past the end of the file (%#x bytes)' % file_size,
         s.PointerToRawData + s.SizeOfRawData > file_size)) if bad]
    report.check('section file offsets', not faults, '; '.join([layout] + faults))

    last = max(pe.sections, key=lambda s: s.VirtualAddress)
    align = oh.SectionAlignment or 1
    end = -(-(last.VirtualAddress + last.Misc_VirtualSize) // align) * align
    ok = oh.SizeOfImage == end
    report.check('size of image', ok, '%#x%s' % (oh.SizeOfImage, ' (%s ends at %#x)' % (
        section_name(last), end) if ok else ', expected %#x: %s ends there' % (end, section_name(last))))

    # Without relocations the image loads only at its base, which is where
    # every CE process has its slot; a relocation table would be dead weight
    # and a stale one a hazard.
    report.check('relocations stripped', bool(fh.Characteristics & RELOCS_STRIPPED),
                 'Characteristics %#06x' % fh.Characteristics)
    reloc = oh.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_BASERELOC']]
    report.check('no base relocations', not reloc.VirtualAddress and not reloc.Size,
                 'directory at %#x, %d bytes' % (reloc.VirtualAddress, reloc.Size))
    for name, index in (('import directory', 'IMPORT'), ('resource directory', 'RESOURCE')):
        d = oh.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY['IMAGE_DIRECTORY_ENTRY_' + index]]
        holder = section_holding(pe, d.VirtualAddress, d.Size) if d.Size else None
        report.check(name, holder is not None, 'RVA %#x, %d bytes, %s' % (
            d.VirtualAddress, d.Size,
            'in ' + section_name(holder) if holder else 'not inside any section'))


def read_imports_list(path):
    """imports.list as {dll in lower case: set of names}, read by the same
    code that writes the import tables from it."""
    exports = {}
    for name, dll in make_imports.read_list(path)[0].items():
        exports.setdefault(dll.lower(), set()).add(name)
    return exports


def read_exports(directory, dlls):
    """{dll in lower case: set of names} from DIR/<dll>.txt, one name a line."""
    return {dll.lower(): set(open(os.path.join(directory, dll + '.txt'), encoding='ascii')
                             .read().split()) for dll in dlls}


# What takes memory from a heap (or maps fresh pages): COREDLL's allocators
# and operator new and new[] as MSVC (later COREDLLs) and GCC name them.
HEAP_ALLOCATORS = frozenset((
    'malloc', 'calloc', 'realloc', '_strdup', '_wcsdup',
    'LocalAlloc', 'LocalReAlloc', 'LocalAllocInProcess', 'RemoteLocalAlloc', 'RemoteLocalReAlloc',
    'HeapCreate', 'HeapAlloc', 'HeapReAlloc', 'VirtualAlloc', 'GetClipboardDataAlloc',
    '??2@YAPAXI@Z', '??_U@YAPAXI@Z', '_Znwj', '_Znaj'))


def check_imports(report, pe, allowed_dlls, exports, device_exports):
    imports = [(entry.dll.decode('ascii', 'replace'),
                [(i.name.decode('ascii', 'replace') if i.name is not None else None, i.ordinal)
                 for i in entry.imports]) for entry in getattr(pe, 'DIRECTORY_ENTRY_IMPORT', [])]
    for dll, names in imports:
        print('  imports from %s: %s' % (dll, ', '.join(
            n if n is not None else '#%d' % o for n, o in names)))
    named = [(dll, n) for dll, names in imports for n, _ in names if n is not None]
    allowed = {d.lower() for d in allowed_dlls}
    report.refuse('imported DLLs', [dll for dll, _ in imports if dll.lower() not in allowed],
                  ', '.join(dll for dll, _ in imports) or 'none', 'not allowed:')
    # An ordinal picks whatever that build of the DLL has at that number.
    report.refuse('imports by name', ['%s #%d' % (dll, o) for dll, names in imports
                                      for n, o in names if n is None],
                  '%d imports' % sum(len(names) for _, names in imports), 'by ordinal:')
    report.refuse('imports listed', ['%s %s' % (dll, n) for dll, n in named
                                     if n not in exports.get(dll.lower(), ())],
                  'each name against imports.list', 'not listed for their DLL:')
    # CE 3.0's loader leaves a name its DLL lacks as a zero slot, and the
    # program crashes at that call: every name must be one CE 3.0 exports.
    report.refuse('exported by CE 3.0', ['%s %s' % (dll, n) for dll, n in named
                                         if n not in device_exports.get(dll.lower(), {n})],
                  'each name against CE 3.0\'s export lists', 'not exported:')
    # DialogBoxParamW is a macro over DialogBoxIndirectParamW on CE; COREDLL
    # has no export of that name and the program would not load.
    report.refuse('no DialogBoxParamW', [dll for dll, n in named if n == 'DialogBoxParamW'],
                  'a macro over DialogBoxIndirectParamW on CE', 'imported from')
    # The programs keep what they need on the stack or in their own image:
    # on a device short of memory nothing can fail to be allocated or leak.
    report.refuse('no heap allocation', ['%s %s' % (dll, n) for dll, n in named
                                         if n in HEAP_ALLOCATORS],
                  'no allocator imported', 'allocates:')


def audit_code(report, objdump, elf_path, pe, exe_bytes, cpu='arm'):
    try:
        elf, sections, symbols = read_elf(elf_path)
    except (OSError, ValueError) as error:
        report.check('shipped code', False, str(error))
        return
    code = [s for s in sections if s[4] and s[3]]
    # The audit is worth something only if the .elf is what the .exe holds
    # (the ELF section carries the padding to the file alignment as well).
    differ = [name for name, address, offset, size, _ in code
              for at in [file_offset(pe, address, size)]
              if at is None or elf[offset:offset + size] != exe_bytes[at:at + size]]
    listing = ', '.join('%s %d bytes' % (s[0], s[3]) for s in code) or 'no code'
    report.check('shipped code', bool(code) and not differ, listing + (
        '; not as in the .exe: ' + ', '.join(differ) if differ
        else ', same as in the .exe' if code else ''))
    AUDITS[cpu].audit(report, types.SimpleNamespace(
        objdump=objdump, elf_path=elf_path, sections=sections, symbols=symbols,
        pe=pe, exe_bytes=exe_bytes))


# --- resources ---------------------------------------------------------------

RESOURCE_TYPES = {k: v[3:] for k, v in pefile.RESOURCE_TYPE.items() if isinstance(k, int)}
HI_RES_AWARE = ('CEUX', 'HI_RES_AWARE', 0)


def resource_label(key):
    kind, name, lang = ('"%s"' % part if isinstance(part, str) else part for part in key)
    return '%s/%s/%#x' % (RESOURCE_TYPES.get(kind, kind), name, lang)


def resource_leaves(pe):
    """{(type, name, language): data bytes}; a type or name is its int id, or
    its string name when it has one."""
    root = getattr(pe, 'DIRECTORY_ENTRY_RESOURCE', None)
    key = lambda entry: str(entry.name) if entry.name is not None else entry.id  # noqa: E731
    return {(key(kind), key(name), lang.id): pe.get_data(
                lang.data.struct.OffsetToData, lang.data.struct.Size)
            for kind in (root.entries if root else []) for name in kind.directory.entries
            for lang in name.directory.entries}


def check_hi_res_aware(report, leaves, expected):
    """The system reads screens unscaled for a program with this resource:
    type CEUX, name HI_RES_AWARE, language neutral so that it is found on a
    device of any language, data the WORD 1."""
    copies = [key for key in leaves if key[:2] == HI_RES_AWARE[:2]]
    labels = ', '.join(map(resource_label, copies)) or 'none'
    if not expected:
        report.check('no HI_RES_AWARE resource', not copies, labels)
        return
    data = leaves.get(HI_RES_AWARE)
    report.check('HI_RES_AWARE resource', copies == [HI_RES_AWARE] and data == b'\x01\x00',
                 'copies %s, data %s' % (labels, data.hex() if data is not None else 'missing'))


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
    detail = '%d leaves' % len(device)
    for where, only in (('device', set(device) - set(desktop)),
                        ('desktop', set(desktop) - set(device))):
        if only:
            detail += '; only on the %s: %s' % (where, ', '.join(
                map(resource_label, sorted(only, key=str))))
    report.check('resource leaves', bool(device) and set(device) == set(desktop), detail)
    for key in sorted(set(device) & set(desktop), key=str):
        a, b = device[key], desktop[key]
        first = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), None)
        report.check('data of ' + resource_label(key), a == b, '%d bytes%s' % (
            len(a), ', same' if a == b else ' against %d%s' % (
                len(b), ', first difference at byte %d' % first if first is not None else '')))


def main():
    args = arguments(
        'mode exe desktop --hi-res-aware' if sys.argv[1:2] == ['resources'] else
        'mode exe elf --objdump --imports-list --dlls... --budget --exports --cpu',
        mode=dict(choices=('image', 'resources')), hi_res_aware=dict(choices=('yes', 'no')),
        budget=dict(type=int), cpu=dict(choices=sorted(MACHINE), default='arm'))
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
            report.check('size budget', len(exe_bytes) <= args.budget, '%s: %d bytes (budget %d)'
                         % (os.path.basename(args.exe), len(exe_bytes), args.budget))
    except (OSError, pefile.PEFormatError) as error:
        report.check('readable image', False, str(error))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
