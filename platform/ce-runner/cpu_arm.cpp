// cpu_arm.cpp: StrongARM SA-1110 (ARMv4), the CPU of the ARM Pocket PCs, on
// Unicorn's SA-1110 model. That model has no BX and no Thumb, so it refuses
// by itself what the core lacks.
#include <unicorn/unicorn.h>

#include "cpu.h"

namespace ce {
namespace {

// COREDLL keeps only what the ARM calling convention preserves: r1-r3, r12
// and the condition flags come back as whatever its code left there. Fixed
// garbage, unmapped and word-aligned, and the flags inverted, so that code
// relying on them goes wrong here as on a device.
void ClobberArm(Engine& engine)
{
    const struct {
        int reg;
        uint32_t value;
    } garbage[] = {
        {UC_ARM_REG_R1, 0xBAD1BAD0}, {UC_ARM_REG_R2, 0xBAD2BAD0},
        {UC_ARM_REG_R3, 0xBAD3BAD0}, {UC_ARM_REG_R12, 0xBADCBAD0},
    };
    for (const auto& g : garbage)
        engine.SetReg(g.reg, g.value);
    engine.SetReg(UC_ARM_REG_CPSR, engine.Reg(UC_ARM_REG_CPSR) ^ 0xF0000000u);
}

std::unique_ptr<Engine> StartArm(const Cpu& cpu, std::string* why)
{
    return StartUnicorn(cpu, UC_ARCH_ARM, UC_MODE_ARM, UC_CPU_ARM_SA1110, why);
}

}  // namespace

const Cpu kCpuArm = {
    "SA-1110 (ARMv4)", "ARM", 0x01C0, 4,
    UC_ARM_REG_PC, UC_ARM_REG_SP, UC_ARM_REG_LR, UC_ARM_REG_R0,
    {UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3}, 0,
    {{UC_ARM_REG_R4, "r4"}, {UC_ARM_REG_R5, "r5"}, {UC_ARM_REG_R6, "r6"}, {UC_ARM_REG_R7, "r7"},
     {UC_ARM_REG_R8, "r8"}, {UC_ARM_REG_R9, "r9"}, {UC_ARM_REG_R10, "r10"},
     {UC_ARM_REG_R11, "r11"}, {UC_ARM_REG_SP, "sp"}},
    ClobberArm, nullptr, StartArm,
};

}  // namespace ce
