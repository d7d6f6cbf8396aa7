// cpu_mips.cpp: the NEC VR4121/VR4122 of the MIPS Pocket PCs, as CE runs
// them: MIPS II in 32-bit mode, no FPU, no LL/SC. Unicorn has no VR41xx;
// its 4Kc (MIPS32) model runs the code, and every instruction executed is
// first held against the VR41xx's set, so nothing the 4Kc has and the
// VR41xx lacks can pass unnoticed.
#include <unicorn/unicorn.h>

#include "cpu.h"
#include "vr41xx_set.h"  // generated from platform/ce/vr41xx_set.py

namespace ce {
namespace {

// o32, CE's MIPS convention: a callee may change at, v0-v1, a0-a3, t0-t9
// and hi/lo; s0-s7, s8, gp, sp and ra are kept. v0 carries the result.
void ClobberMips(Engine& engine)
{
    const int scratch[] = {
        UC_MIPS_REG_AT, UC_MIPS_REG_V1, UC_MIPS_REG_A0, UC_MIPS_REG_A1, UC_MIPS_REG_A2,
        UC_MIPS_REG_A3, UC_MIPS_REG_T0, UC_MIPS_REG_T1, UC_MIPS_REG_T2, UC_MIPS_REG_T3,
        UC_MIPS_REG_T4, UC_MIPS_REG_T5, UC_MIPS_REG_T6, UC_MIPS_REG_T7, UC_MIPS_REG_T8,
        UC_MIPS_REG_T9, UC_MIPS_REG_HI, UC_MIPS_REG_LO,
    };
    // Unmapped, word-aligned, and telling which register it was.
    for (int reg : scratch)
        engine.SetReg(reg, 0xBAD00000u | (uint32_t)(reg - UC_MIPS_REG_0) << 4);
}

// By major opcode, SPECIAL function and REGIMM rt field; the same set the
// image check audits statically.
const char* RefusalMips(uint32_t word)
{
    const uint32_t op = word >> 26;
    if (op == 0) {
        const uint32_t funct = word & 0x3F;
        for (const Vr41xxField& field : kVr41xxNonzeroField)
            if (field.funct == funct && (word >> field.shift) & 0x1F)
                return field.why;
        return kVr41xxSpecial[funct];
    }
    if (op == 1)
        return kVr41xxRegimm[(word >> 16) & 0x1F];
    return kVr41xxOpcode[op];
}

std::unique_ptr<Engine> StartMips(const Cpu& cpu, std::string* why)
{
    return StartUnicorn(cpu, UC_ARCH_MIPS, UC_MODE_MIPS32 | UC_MODE_LITTLE_ENDIAN,
                        UC_CPU_MIPS32_4KC, why);
}

}  // namespace

const Cpu kCpuMips = {
    "VR41xx (MIPS II)", "MIPS", 0x0166, 4,
    UC_MIPS_REG_PC, UC_MIPS_REG_SP, UC_MIPS_REG_RA, UC_MIPS_REG_V0,
    {UC_MIPS_REG_A0, UC_MIPS_REG_A1, UC_MIPS_REG_A2, UC_MIPS_REG_A3}, 16,
    {{UC_MIPS_REG_S0, "s0"}, {UC_MIPS_REG_S1, "s1"}, {UC_MIPS_REG_S2, "s2"},
     {UC_MIPS_REG_S3, "s3"}, {UC_MIPS_REG_S4, "s4"}, {UC_MIPS_REG_S5, "s5"},
     {UC_MIPS_REG_S6, "s6"}, {UC_MIPS_REG_S7, "s7"}, {UC_MIPS_REG_S8, "s8"},
     {UC_MIPS_REG_GP, "gp"}, {UC_MIPS_REG_SP, "sp"}},
    ClobberMips, RefusalMips, StartMips,
};

}  // namespace ce
