/* sh_loader.S: what qemu-sh4 runs for the CE runner's SH engine. qemu stops
 * before the first instruction and waits for the engine, which sets the
 * registers of a Linux system call (number in r3, arguments in r4-r7, r0,
 * r1) and lets the loader make it; a breakpoint on the nop hands control
 * back. Everything else (the image, the stack, the program's own code) the
 * engine puts in place through the debugger. */
        .text
        .global _start
_start:
        trapa   #0x16
        nop
        bra     _start
        nop
        .section .note.GNU-stack, "", @progbits
