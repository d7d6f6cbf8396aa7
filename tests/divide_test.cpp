// divide_test.cpp: the device build's own division helpers (ARMv4 has no
// divide instruction; the VR41xx's signed one is avoided) give the quotients
// and remainders C does, across the edges of both ranges.
#include <gtest/gtest.h>

#include <limits.h>

#include "platform/ce/divide.h"

namespace {

TEST(DivisionHelpers, MatchCDivisionAndRemainder)
{
    const struct {
        int n;
        int d;
    } cases[] = {
        {0, 1}, {7, 2}, {-7, 2}, {7, -2}, {-7, -2}, {1, 7}, {240, 12}, {INT_MAX, 1},
        {INT_MAX, INT_MAX}, {INT_MIN + 1, -1}, {INT_MIN, 1}, {INT_MIN, 2}, {INT_MIN, INT_MAX},
        {123456789, 1000}, {-123456789, 1000},
    };
    for (const auto& c : cases) {
        const unsigned long long qr = __aeabi_idivmod(c.n, c.d);
        EXPECT_EQ(c.n / c.d, __aeabi_idiv(c.n, c.d)) << c.n << " / " << c.d;
        EXPECT_EQ(c.n / c.d, (int)(unsigned)qr) << c.n << " / " << c.d;
        EXPECT_EQ(c.n % c.d, (int)(unsigned)(qr >> 32)) << c.n << " % " << c.d;
        EXPECT_EQ(c.n / c.d, __vr4120_divsi3(c.n, c.d)) << c.n << " / " << c.d << " (MIPS)";
        EXPECT_EQ(c.n % c.d, __vr4120_modsi3(c.n, c.d)) << c.n << " % " << c.d << " (MIPS)";
        const unsigned un = (unsigned)c.n, ud = (unsigned)c.d;
        const unsigned long long uqr = __aeabi_uidivmod(un, ud);
        EXPECT_EQ(un / ud, __aeabi_uidiv(un, ud)) << un << " / " << ud;
        EXPECT_EQ(un / ud, (unsigned)uqr) << un << " / " << ud;
        EXPECT_EQ(un % ud, (unsigned)(uqr >> 32)) << un << " % " << ud;
    }
    EXPECT_EQ(0xFFFFFFFFu, __aeabi_uidiv(5, 0)) << "no trap for a zero divisor";
    EXPECT_EQ(5u, (unsigned)(__aeabi_uidivmod(5, 0) >> 32));
}

}  // namespace
