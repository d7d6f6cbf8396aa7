#!/usr/bin/env python3
"""check_image_mips_selftest.py: proves that check_image.py's MIPS audit
refuses what a VR41xx cannot run. Each case writes one instruction word over
the first instruction of a real image's entry point, in copies of both its
.exe and its .elf, runs the whole image check and expects exactly the MIPS
II check to fail, naming that word; the words a VR41xx runs must pass.

usage: check_image_mips_selftest.py EXE ELF --imports-list LIST --exports DIR
                                    --objdump OBJDUMP --workdir DIR
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys

import pefile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import check_image  # noqa: E402

# (instruction, word, refused)
WORDS = [
    ('mul $v0,$a0,$a1', 0x70851002, True),
    ('madd $a0,$a1', 0x70850000, True),
    ('clz $v0,$a0', 0x70821020, True),
    ('ext $v0,$a0,0,8', 0x7C823800, True),
    ('ins $v0,$a0,0,8', 0x7C823804, True),
    ('seb $v0,$a0', 0x7C041420, True),
    ('rotr $v0,$a0,3', 0x002410C2, True),
    ('movn $v0,$a0,$a1', 0x0085100B, True),
    ('movz $v0,$a0,$a1', 0x0085100A, True),
    ('pref 0,0($a0)', 0xCC800000, True),
    ('ll $v0,0($a0)', 0xC0820000, True),
    ('sc $v0,0($a0)', 0xE0820000, True),
    ('sync', 0x0000000F, True),
    ('lwc1 $f0,0($a0)', 0xC4800000, True),
    ('add.s $f0,$f1,$f2', 0x46020800, True),
    ('daddiu $v0,$a0,1', 0x64820001, True),
    ('ld $v0,0($a0)', 0xDC820000, True),
    ('dsll $v0,$a0,1', 0x00041078, True),
    ('div $zero,$a0,$a1', 0x0085001A, True),
    ('lw $v0,0($gp)', 0x8F820000, True),
    ('addu $v0,$gp,$a0', 0x03841021, True),
    ('addiu $sp,$sp,-8', 0x27BDFFF8, False),
    ('divu $zero,$a0,$a1', 0x0085001B, False),
    ('mult $a0,$a1', 0x00850018, False),
    ('beql $a0,$a1,.', 0x5085FFFF, False),
    ('teq $a1,$zero,7', 0x00A001F4, False),
    ('break 7', 0x0007000D, False),
    ('lwl $v0,3($a0)', 0x88820003, False),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('exe')
    parser.add_argument('elf')
    parser.add_argument('--imports-list', required=True)
    parser.add_argument('--exports', required=True)
    parser.add_argument('--objdump', required=True)
    parser.add_argument('--workdir', required=True)
    args = parser.parse_args()
    os.makedirs(args.workdir, exist_ok=True)

    elf, sections, _ = check_image.read_elf(args.elf)
    entry = next(f for f in check_image.elf_functions(elf, sections)
                 if f[0] == 'WinMainCRTStartup')
    index, elf_at = next((i, s[2] + entry[1] - s[1]) for i, s in enumerate(sections)
                         if s[4] and s[1] <= entry[1] < s[1] + s[3])
    # The .text section's RVA and file offset, from the image itself.
    pe = pefile.PE(args.exe)
    text = next(s for s in pe.sections if s.Name.startswith(b'.text'))
    exe_at = text.PointerToRawData + entry[1] - 0x10000 - text.VirtualAddress

    failures = 0
    for text_form, word, refused in WORDS:
        exe = shutil.copy(args.exe, os.path.join(args.workdir, 'case.exe'))
        elf_copy = shutil.copy(args.elf, os.path.join(args.workdir, 'case.elf'))
        for path, at in ((exe, exe_at), (elf_copy, elf_at)):
            with open(path, 'r+b') as f:
                f.seek(at)
                f.write(struct.pack('<I', word))
        out = subprocess.run(
            [sys.executable, os.path.join(HERE, 'check_image.py'), 'image', exe, elf_copy,
             '--objdump', args.objdump, '--imports-list', args.imports_list,
             '--dlls', 'COREDLL.dll', '--budget', '12288', '--exports', args.exports,
             '--cpu', 'mips'], capture_output=True, text=True).stdout
        failed = [line for line in out.splitlines() if line.startswith('FAIL')]
        if refused:
            ok = (len(failed) == 1 and failed[0].startswith('FAIL  MIPS II instructions')
                  and '%08x' % word in out)
        else:
            ok = not failed
        print('%s  %s (%08x) %s' % ('PASS' if ok else 'FAIL', text_form, word,
                                    'refused' if refused else 'allowed'))
        if not ok:
            failures += 1
            print('\n'.join('    ' + line for line in failed))
    print('%d passed, %d failed' % (len(WORDS) - failures, failures))
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
