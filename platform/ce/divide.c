/* divide.c: integer division for ARMv4, which has no divide instruction.
 * The compiler calls these by their ABI names for / and %; libgcc's own
 * return with BX, which StrongARM does not have, so it is never linked.
 * The *divmod forms return the quotient in r0 and the remainder in r1. */
#include "divide.h"

static unsigned DivideUnsigned(unsigned n, unsigned d, unsigned* remainder)
{
    unsigned quotient = 0, bit = 1;
    /* CE raises no exception for a zero divisor in these helpers either;
     * the caller gets all ones and the dividend back. */
    if (d == 0) {
        *remainder = n;
        return 0xFFFFFFFFu;
    }
    while (d < n && (d & 0x80000000u) == 0) {
        d <<= 1;
        bit <<= 1;
    }
    while (bit != 0) {
        if (n >= d) {
            n -= d;
            quotient |= bit;
        }
        d >>= 1;
        bit >>= 1;
    }
    *remainder = n;
    return quotient;
}

static unsigned Magnitude(int v)
{
    return v < 0 ? 0u - (unsigned)v : (unsigned)v;
}

unsigned __aeabi_uidiv(unsigned n, unsigned d)
{
    unsigned r;
    return DivideUnsigned(n, d, &r);
}

unsigned long long __aeabi_uidivmod(unsigned n, unsigned d)
{
    unsigned r;
    unsigned q = DivideUnsigned(n, d, &r);
    return (unsigned long long)r << 32 | q;
}

int __aeabi_idiv(int n, int d)
{
    unsigned r;
    unsigned q = DivideUnsigned(Magnitude(n), Magnitude(d), &r);
    return (n < 0) != (d < 0) ? (int)(0u - q) : (int)q;
}

unsigned long long __aeabi_idivmod(int n, int d)
{
    unsigned r;
    unsigned q = DivideUnsigned(Magnitude(n), Magnitude(d), &r);
    unsigned quotient = (n < 0) != (d < 0) ? 0u - q : q;
    unsigned remainder = n < 0 ? 0u - r : r;
    return (unsigned long long)remainder << 32 | quotient;
}
