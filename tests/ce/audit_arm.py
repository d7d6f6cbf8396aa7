"""audit_arm.py: the instruction audit of an ARM device image, for
check_image.py: ARMv4 in ARM state, which StrongARM runs, read from
objdump's listing of the ELF, with the mapping symbols that tell code from
data and ARM from Thumb.
"""
import itertools
import re
import subprocess

from audit_common import conclude

CONDITIONS = ['', 'eq', 'ne', 'cs', 'hs', 'cc', 'lo', 'mi', 'pl', 'vs', 'vc',
              'hi', 'ls', 'ge', 'lt', 'gt', 'le', 'al']
# ARMv4 in ARM state: the suffixes each root takes ('' for none) and the
# roots. The condition goes after the whole mnemonic (unified syntax) or
# between the root and the suffix (divided syntax); objdump writes the first.
ARMV4_FORMS = {
    ' s': 'and eor sub rsb add adc sbc rsc orr mov bic mvn lsl lsr asr ror rrx '
          'mul mla umull umlal smull smlal',
    '': 'tst teq cmp cmn push pop b bl svc swi mrs msr cdp mcr mrc',
    ' b t bt h sh sb': 'ldr',
    ' b t bt h': 'str',
    ' ia ib da db fd fa ed ea': 'ldm stm',
    ' b': 'swp',
    ' l': 'ldc stc',
}
ARMV4 = {form for suffixes, roots in ARMV4_FORMS.items() for root in roots.split()
         for suffix, cond in itertools.product(suffixes.split(' '), CONDITIONS)
         for form in (root + suffix + cond, root + cond + suffix)}
NOP_ENCODING = 0x01A00000       # mov r0, r0: ARMv6K's nop hint is another word
SHORT_MULTIPLIES = ('mul', 'mla')
LONG_MULTIPLIES = ('umull', 'umlal', 'smull', 'smlal')
INTERWORKING = {root + cond for root in ('bx', 'blx', 'bxj') for cond in CONDITIONS}
INSTRUCTION = re.compile(r'^\s*([0-9a-f]+):\t([0-9a-f ]+?) *\t(.*)$')


def refusal(mnemonic, encoding, rest):
    """Why an ARM-state instruction does not run on an ARMv4 core, or None."""
    if mnemonic in INTERWORKING:
        return 'interworking branch, which StrongARM does not have'
    if mnemonic == 'nop':
        return None if encoding & 0x0FFFFFFF == NOP_ENCODING else 'ARMv6K hint'
    if mnemonic not in ARMV4:
        return 'not an ARMv4 instruction'
    if '<UNPREDICTABLE>' in rest:
        return 'unpredictable'
    # Before ARMv6 a multiply's destination may not be its first operand, and
    # a long multiply's two halves and first operand must all differ.
    root = mnemonic[:5] if mnemonic[:5] in LONG_MULTIPLIES else mnemonic[:3]
    rm = encoding & 0xF
    if root in SHORT_MULTIPLIES and (encoding >> 16) & 0xF == rm:
        return 'destination is the first operand, unpredictable before ARMv6'
    if root in LONG_MULTIPLIES and len({(encoding >> 16) & 0xF,
                                        (encoding >> 12) & 0xF, rm}) < 3:
        return 'registers overlap, unpredictable before ARMv6'
    return None


def audit(report, image):
    result = subprocess.run([image.objdump, '-d', image.elf_path], capture_output=True, text=True)
    audited, words, thumb, refused = 0, 0, [], []
    for line in result.stdout.splitlines():
        match = INSTRUCTION.match(line)
        mnemonic = match and match.group(3).split('\t', 1)[0].strip()
        if not match or mnemonic.startswith('.'):
            # Literal pools and constant data between functions, marked $d.
            words += bool(match)
        elif not re.fullmatch(r'[0-9a-f]{8}', match.group(2)):
            thumb.append(line.strip())
        else:
            audited += 1
            why = refusal(mnemonic, int(match.group(2), 16), match.group(3)) if mnemonic \
                else 'undecodable'
            if why:
                refused.append('%s (%s)' % (re.sub(r'\s+', ' ', line.strip()), why))

    # Mapping symbols are what tell objdump code from data and ARM from
    # Thumb; without $a it decodes nothing reliably.
    thumb_marks, arm_marks = ([s[0] for s in image.symbols if s[0] == m or s[0].startswith(m + '.')]
                              for m in ('$t', '$a'))
    problems = ['%d $t mapping symbols' % len(thumb_marks)] if thumb_marks else []
    problems += ['%d Thumb instructions, first: %s' % (len(thumb), thumb[0])] if thumb else []
    if not arm_marks:
        problems.append('no $a mapping symbols, so code cannot be told from data')
    report.check('ARM state', not problems, '; '.join(problems) or
                 '%d $a mapping symbols, no Thumb' % len(arm_marks))
    failed = ['objdump failed: ' + result.stderr.strip()] if result.returncode else []
    conclude(report, 'ARMv4 instructions', failed + refused,
             '%d instructions audited, %d data words skipped' % (audited, words), audited,
             'no ARM instructions found to audit')
