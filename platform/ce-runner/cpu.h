// cpu.h: what the CE runner needs to know of each CPU a device program may
// be built for, whatever emulator runs it: where the calling convention
// keeps arguments, results and the return address, what a callee must give
// back, what a call to the system leaves as garbage, what the device CPU
// lacks, and how to start an engine (engine.h) for it. The core is the same
// for all; a new CPU is one cpu_*.cpp and its line in kCpus below.
#ifndef CE_RUNNER_CPU_H
#define CE_RUNNER_CPU_H

#include <stdint.h>

#include <memory>
#include <string>

#include "engine.h"

namespace ce {

struct Cpu {
    const char* name;            // the device CPU, for messages: "SA-1110 (ARMv4)"
    const char* instructionSet;  // what Runner::Instructions counts: "ARM"
    uint16_t machine;            // the PE header's Machine field
    uint32_t instructionBytes;   // the size of an instruction word
    // Register ids, as the CPU's engine numbers them.
    int pc, sp, returnAddress, result;
    int args[4];  // the first four argument words
    // The area a caller reserves at the stack pointer for the first four
    // words, which a callee may keep them in; argument 5 lies above it.
    // ARM has none; MIPS and SH keep 16 bytes.
    uint32_t stackArgs;
    // The registers a callee gives back as it found them, sp among them,
    // with their names for messages (the unnamed rest of the array unused).
    struct Kept {
        int reg;
        const char* name;
    } kept[12];
    // Puts garbage in every register the convention lets a callee change,
    // apart from the result.
    void (*clobber)(Engine& engine);
    // Why an executed instruction word is one the device CPU does not have,
    // or NULL; NULL as a whole when the emulator's model refuses it itself.
    const char* (*refusal)(uint32_t word);
    // An engine modelling the CPU, or NULL with *why.
    std::unique_ptr<Engine> (*start)(const Cpu& cpu, std::string* why);
};

extern const Cpu kCpuArm;
extern const Cpu kCpuMips;
extern const Cpu kCpuSh3;
const Cpu* const kCpus[] = {&kCpuArm, &kCpuMips, &kCpuSh3};

}  // namespace ce

#endif
