"""sh_imports.py: the SH call stubs for make_imports.py.

GCC's SH convention and CE's differ for calls with more than four argument
words. Both pass words 1-4 in r4-r7, but CE's caller also reserves a 16-byte
argument area at @(0,r15), which the callee may spill r4-r7 into, and CE
finds word 5 and later at @(16,r15); GCC reserves no area and puts word 5 at
@(0,r15). So every import goes through its stub: it loads the slot's address
into r0 and the count of words past the fourth into r1, and enters one shared
bridge. The bridge builds CE's frame below the caller's (the area, then a
copy of those words), calls through the slot and unwinds. It touches only
r0-r3, which both conventions leave to the callee, and r14, which it saves;
the callee's result comes back in r0.
"""

BRIDGE = '__ce_sh_call'


def bridge():
    return [
        '        .section .text.stub, "ax", @progbits',
        '        .p2align 2',
        '        .type %s, @function' % BRIDGE,
        '%s:' % BRIDGE,
        '        sts.l   pr, @-r15',
        '        mov.l   r14, @-r15',
        '        mov.l   r0, @-r15           ! the slot, at @(0,r14)',
        '        mov     r15, r14            ! the caller\'s word 5 is at @(12,r14)',
        '        shll2   r1                  ! bytes past the fourth word',
        '        mov     r14, r2',
        '        add     #12, r2             ! from: the caller\'s word 5',
        '        sub     r1, r15',
        '        add     #-16, r15           ! the argument area for r4-r7',
        '        mov     r15, r3',
        '        add     #16, r3             ! to: @(16,r15)',
        '        bra     2f',
        '        add     r2, r1              ! end of the words to copy',
        '1:      mov.l   @r2+, r0',
        '        mov.l   r0, @r3',
        '        add     #4, r3',
        '2:      cmp/hi  r2, r1',
        '        bt      1b',
        '        mov.l   @r14, r0',
        '        mov.l   @r0, r0             ! the function the loader put in the slot',
        '        jsr     @r0',
        '        nop',
        '        mov     r14, r15',
        '        add     #4, r15',
        '        mov.l   @r15+, r14',
        '        lds.l   @r15+, pr',
        '        rts',
        '        nop',
        '        .size %s, . - %s' % (BRIDGE, BRIDGE),
    ]


def stub(name, words):
    if not 0 <= words <= 127 + 4:
        raise ValueError('%s: %d argument words' % (name, words))
    return [
        '        .section .text.stub, "ax", @progbits',
        '        .p2align 2', '        .global %s' % name,
        '        .type %s, @function' % name, '%s:' % name,
        '        mov.l   1f, r0',
        '        bra     %s' % BRIDGE,
        '        mov     #%d, r1' % max(words - 4, 0),
        '        .p2align 2',
        '1:      .long   __imp_%s' % name,
        '        .size %s, . - %s' % (name, name),
    ]
