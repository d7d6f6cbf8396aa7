// cpu_sh3.cpp: the Hitachi SH7709A (SH-3) of the SH Pocket PCs, under CE's
// SH convention. Unicorn has no SuperH: the code runs on qemu's SH-4 model
// (qemu_sh_engine.cpp), and what the SH-3 lacks of the SH-4 is held off by
// the build's static checks, not here.
#include "cpu.h"

namespace ce {
namespace {

// qemu's SH-4 GDB register numbers, the SH engine's ids.
enum {
    kShR0 = 0,
    kShR4 = 4,
    kShR15 = 15,
    kShPc = 16,
    kShPr = 17,
    kShMach = 20,
    kShMacl = 21,
    kShSr = 22,
};
const uint32_t kShSrT = 1;  // the T bit, SR bit 0

// CE's SH convention keeps r8-r15 (and PR, for the return); r1-r7, MACH,
// MACL and the T bit come back as whatever COREDLL left there.
void ClobberSh3(Engine& engine)
{
    for (int r = 1; r <= 7; r++)
        engine.SetReg(kShR0 + r, 0xBAD0BAD0u | (uint32_t)r << 16);
    engine.SetReg(kShMach, 0xBADABAD0);
    engine.SetReg(kShMacl, 0xBADBBAD0);
    engine.SetReg(kShSr, engine.Reg(kShSr) ^ kShSrT);
}

}  // namespace

const Cpu kCpuSh3 = {
    "SH7709A (SH-3)", "SH-3", 0x01A2, 2,
    kShPc, kShR15, kShPr, kShR0,
    {kShR4, kShR4 + 1, kShR4 + 2, kShR4 + 3}, 16,
    {{kShR0 + 8, "r8"}, {kShR0 + 9, "r9"}, {kShR0 + 10, "r10"}, {kShR0 + 11, "r11"},
     {kShR0 + 12, "r12"}, {kShR0 + 13, "r13"}, {kShR0 + 14, "r14"}, {kShR15, "r15"}},
    ClobberSh3, nullptr, StartQemuSh,
};

}  // namespace ce
