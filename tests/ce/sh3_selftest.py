"""sh3_selftest.py: proves that the SH-3 build's two guards fail where they
should. The instruction audit (audit_sh3.py) gets small linked programs, each
with one thing an SH-3 must not run, and must refuse exactly that one, while
literal pools and a case table pass as data. The compiler guard
(platform/ce/sh3/treg_guard.py) must fail the compile of a file in which the
faulty pass deletes a test, and let the same file through at -O0.
"""
import os
import subprocess
import sys

import audit_sh3
from audit_common import Report, arguments

# A function with a literal pool and a GCC-style case table, all SH-3.
CLEAN = '''
        .text
        .global f
        .type f, @function
f:      mov.l   1f, r0
        mova    2f, r0
        mov.w   @(r0,r4), r1
        braf    r1
        nop
        .p2align 2
2:      .short  3f - 2b, 4f - 2b
3:      rts
        mov     #1, r0
4:      rts
        mov     #2, r0
        .p2align 2
1:      .long   0xF00DF00D
        .size f, . - f
'''

# (case, the instruction added to the clean function, what must be refused);
# in the clean function the pool's word and the table's two entries are
# data, the rest code.
CASES = [
    ('clean function', None, None),
    ('an SH-4 cache instruction', 'movca.l r0, @r1', 'not an SH-3 instruction'),
    ('an FPU instruction', 'fadd fr0, fr1', 'not an SH-3 instruction'),
    ('a privileged instruction', 'ldc r0, sr', 'system register'),
    ('a system call', 'trapa #1', 'system call'),
    ('a halfword that is no instruction', '.short 0xfffd', 'not an SH-3 instruction'),
]


def main():
    args = arguments('--as --ld --cc --objdump --guard --workdir')
    os.makedirs(args.workdir, exist_ok=True)
    report = Report()

    for number, (case, extra, reason) in enumerate(CASES):
        base = os.path.join(args.workdir, 'case%d' % number)
        open(base + '.s', 'w').write(CLEAN.replace('f:      mov.l', 'f:      %s\n        mov.l'
                                                   % extra) if extra else CLEAN)
        subprocess.run([args.as_, '-little', '-isa=any', '-o', base + '.o', base + '.s'],
                       check=True)
        subprocess.run([args.ld, '-EL', '-Ttext=0x11000', '-e', 'f', '-Map', base + '.map',
                        '-o', base + '.elf', base + '.o'], check=True)
        audited, skipped, refused = audit_sh3.refusals(args.objdump, base + '.elf', base + '.map')
        ok = (len(refused) == 1 and reason in refused[0]) if extra else (
            not refused and skipped == 4 and audited > 0)
        report.check(case, ok, '%d audited, %d data, refused %s' % (audited, skipped, refused))

    repro = os.path.join(os.path.dirname(os.path.abspath(__file__)), 'sh3', 'treg_repro.c')
    for level, should_pass in (('-O1', False), ('-Os', False), ('-O0', True)):
        out = os.path.join(args.workdir, 'repro%s.o' % level)
        result = subprocess.run([sys.executable, args.guard, args.cc, '-m4-nofpu', '-ml', level,
                                 '-c', repro, '-o', out], capture_output=True, text=True)
        report.check('compiler guard at ' + level, (result.returncode == 0) == should_pass and (
            should_pass or ('Unlock' in result.stderr and not os.path.exists(out))),
            'status %d %s' % (result.returncode, result.stderr.strip()))
    return report.finish()


if __name__ == '__main__':
    sys.exit(main())
