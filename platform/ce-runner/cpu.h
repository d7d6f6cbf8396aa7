// cpu.h: what the CE runner needs to know of each CPU a device program may
// be built for: the emulator's model of it, where the calling convention
// keeps arguments, results and the return address, and which registers a
// call to the system leaves as garbage. The host loop is the same for all.
#ifndef CE_RUNNER_CPU_H
#define CE_RUNNER_CPU_H

#include <stdint.h>
#include <unicorn/unicorn.h>

namespace ce {

struct Cpu {
    const char* name;   // the device CPU the model stands for, for messages
    uint16_t machine;   // the PE header's Machine field
    uc_arch arch;
    int mode;
    int model;
    int pc, sp, returnAddress, result;
    int args[4];        // the first four argument words
    // Where argument 5 lies above the stack pointer at a call: ARM puts it
    // right there; MIPS keeps a 16-byte home area for the first four below it.
    uint32_t stackArgs;
    // Puts garbage in every register the convention lets a callee change,
    // apart from the result.
    void (*clobber)(uc_engine* uc);
    // Why an executed instruction word is one the device CPU does not have,
    // or NULL; NULL as a whole when the emulator's model refuses it itself.
    const char* (*refusal)(uint32_t word);
};

extern const Cpu kCpuArm;
extern const Cpu kCpuMips;

// The CPU of an image with that Machine field, or NULL.
const Cpu* CpuForMachine(uint16_t machine);

}  // namespace ce

#endif
