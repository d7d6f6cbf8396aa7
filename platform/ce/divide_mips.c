/* divide_mips.c: signed division for the VR41xx. The VR4120 core (in the
 * VR4122 and later) can give a wrong result for DIV with a negative operand;
 * -mfix-vr4120 makes the compiler call these for signed / and % instead,
 * and they divide magnitudes with DIVU. This file alone is compiled without
 * that option, so its own unsigned divisions stay inline DIVU; Debian's
 * libgcc, built for MIPS32r2, is never linked. A zero divisor reaches DIVU's
 * BREAK 7 (-mdivide-breaks), as with CE's own compiler. */
#include "divide.h"

static unsigned Magnitude(int v)
{
    return v < 0 ? 0u - (unsigned)v : (unsigned)v;
}

int __vr4120_divsi3(int n, int d)
{
    const unsigned q = Magnitude(n) / Magnitude(d);
    return (n < 0) != (d < 0) ? (int)(0u - q) : (int)q;
}

int __vr4120_modsi3(int n, int d)
{
    const unsigned r = Magnitude(n) % Magnitude(d);
    return n < 0 ? (int)(0u - r) : (int)r;
}
