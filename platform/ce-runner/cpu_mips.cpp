// cpu_mips.cpp: the NEC VR4121/VR4122 of the MIPS Pocket PCs, as CE runs
// them: MIPS II in 32-bit mode, no FPU, no LL/SC. Unicorn has no VR41xx;
// its 4Kc (MIPS32) model runs the code, and every instruction executed is
// first held against the VR41xx's set, so nothing the 4Kc has and the
// VR41xx lacks can pass unnoticed.
#include <unicorn/unicorn.h>

#include "cpu.h"

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
        switch (word & 0x3F) {
        case 0x00: case 0x03: case 0x04: case 0x07: case 0x0C: case 0x0D:
        case 0x10: case 0x11: case 0x12: case 0x13: case 0x18: case 0x19: case 0x1B:
        case 0x20: case 0x21: case 0x22: case 0x23: case 0x24: case 0x25: case 0x26:
        case 0x27: case 0x2A: case 0x2B: case 0x30: case 0x31: case 0x32: case 0x33:
        case 0x34: case 0x36:
            return nullptr;
        case 0x02:
            return (word >> 21) & 0x1F ? "rotr (MIPS32r2)" : nullptr;
        case 0x06:
            return (word >> 6) & 0x1F ? "rotrv (MIPS32r2)" : nullptr;
        case 0x08: case 0x09:
            return (word >> 6) & 0x1F ? "a jump with a hazard barrier (MIPS32r2)" : nullptr;
        case 0x0A: case 0x0B: case 0x01:
            return "a conditional move (MIPS IV)";
        case 0x0F:
            return "sync";
        case 0x1A:
            return "signed div, wrong on the VR4120 core for a negative operand";
        default:
            return "a 64-bit or MIPS32 SPECIAL instruction";
        }
    }
    if (op == 1) {
        const uint32_t rt = (word >> 16) & 0x1F;
        return rt <= 0x03 || (rt >= 0x08 && rt <= 0x0C) || rt == 0x0E || (rt >= 0x10 && rt <= 0x13)
                   ? nullptr
                   : "a REGIMM instruction outside MIPS II";
    }
    if ((op >= 0x02 && op <= 0x0F) || (op >= 0x14 && op <= 0x17) || (op >= 0x20 && op <= 0x26) ||
        (op >= 0x28 && op <= 0x2B) || op == 0x2E)
        return nullptr;
    switch (op) {
    case 0x10: case 0x2F: return "a privileged instruction";
    case 0x11: case 0x13: case 0x31: case 0x35: case 0x39: case 0x3D: return "an FPU instruction";
    case 0x1C: return "a MIPS32 instruction (mul, madd, clz)";
    case 0x1F: return "a MIPS32r2 instruction (ext, ins, seb)";
    case 0x30: case 0x38: return "ll/sc, which the VR41xx lacks";
    case 0x33: return "pref (MIPS IV)";
    default: return "not a MIPS II instruction";
    }
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
