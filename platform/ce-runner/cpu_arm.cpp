// cpu_arm.cpp: StrongARM SA-1110 (ARMv4), the CPU of the ARM Pocket PCs.
// Unicorn's SA-1110 model has no BX and no Thumb, so it refuses by itself
// what that core lacks.
#include "cpu.h"

namespace ce {
namespace {

// COREDLL keeps only what the ARM calling convention preserves: r1-r3, r12
// and the condition flags come back as whatever its code left there. Fixed
// garbage, unmapped and word-aligned, and the flags inverted, so that code
// relying on them goes wrong here as on a device.
void ClobberArm(uc_engine* uc)
{
    const struct {
        int reg;
        uint32_t value;
    } garbage[] = {
        {UC_ARM_REG_R1, 0xBAD1BAD0}, {UC_ARM_REG_R2, 0xBAD2BAD0},
        {UC_ARM_REG_R3, 0xBAD3BAD0}, {UC_ARM_REG_R12, 0xBADCBAD0},
    };
    for (const auto& g : garbage)
        uc_reg_write(uc, g.reg, &g.value);
    uint32_t cpsr = 0;
    uc_reg_read(uc, UC_ARM_REG_CPSR, &cpsr);
    cpsr ^= 0xF0000000u;
    uc_reg_write(uc, UC_ARM_REG_CPSR, &cpsr);
}

}  // namespace

const Cpu kCpuArm = {
    "SA-1110 (ARMv4)", 0x01C0, UC_ARCH_ARM, UC_MODE_ARM, UC_CPU_ARM_SA1110,
    UC_ARM_REG_PC, UC_ARM_REG_SP, UC_ARM_REG_LR, UC_ARM_REG_R0,
    {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3},
    0, ClobberArm, nullptr,
};

const Cpu* CpuForMachine(uint16_t machine)
{
    if (machine == kCpuArm.machine)
        return &kCpuArm;
    if (machine == kCpuMips.machine)
        return &kCpuMips;
    return nullptr;
}

}  // namespace ce
