// engine.h: what the CE runner's core asks of the emulator that runs a
// guest's code, the same for every CPU: memory, registers by the ids of the
// CPU's table (cpu.h), traps, and a run from a pc to the next trap or fault.
// Each backend answers it for its emulator (Unicorn for ARM and MIPS,
// qemu-sh4 over its debugger stub for SH-3); the core never asks which.
#ifndef CE_RUNNER_ENGINE_H
#define CE_RUNNER_ENGINE_H

#include <stdint.h>

#include <functional>
#include <memory>
#include <string>

namespace ce {

struct Cpu;

// How memory may be used, and how the guest used it when it faulted.
enum Access { kRead = 1, kWrite = 2, kFetch = 4 };

// Why a run stopped: at a trap, or at a fault that ends the program.
struct Stop {
    enum Kind {
        kTrap,        // pc is a trap
        kAccess,      // memory the access is not allowed on; pc 0: a jump to 0
        kMisaligned,  // a halfword or word access not aligned to its size
        kRefused,     // an instruction the model runs and the device CPU lacks
        kRejected,    // an instruction the model itself does not have
        kStuck,       // ran too long without reaching a trap
        kLost,        // the emulator failed or went away
    };
    Kind kind = kLost;
    uint32_t pc = 0;  // the trap, or the instruction that faulted
    // What the engine can tell of a faulting access (kRead, kWrite or
    // kFetch, its size and data address); 0 and false where it cannot.
    int access = 0;
    uint32_t size = 0, address = 0;
    bool addressKnown = false;
    // kAccess: what was done to what memory ("write to read-only memory");
    // kRefused: what the device CPU lacks; kStuck: how long it ran; kLost:
    // what the emulator said.
    std::string why;
};

class Engine {
public:
    // Asked on an access to memory that is not mapped, with its address:
    // true when the core has just committed it (a stack page), so that the
    // access goes ahead.
    typedef std::function<bool(uint32_t address)> Grow;

    virtual ~Engine() = default;

    // Fresh memory at a page-aligned address, and its protection (kRead,
    // kWrite, kFetch). Read and Write fail when any byte is not there; Write
    // may refuse memory without kWrite, so the loader protects parts last.
    virtual bool Map(uint32_t address, uint32_t size, int protection) = 0;
    virtual bool Protect(uint32_t address, uint32_t size, int protection) = 0;
    virtual bool Read(uint32_t address, void* data, uint32_t size) = 0;
    virtual bool Write(uint32_t address, const void* data, uint32_t size) = 0;

    virtual uint32_t Reg(int reg) = 0;
    virtual void SetReg(int reg, uint32_t value) = 0;
    // Every register; saves nest, each restore taking back the latest.
    virtual void SaveRegisters() = 0;
    virtual void RestoreRegisters() = 0;

    // A run stops before it would execute the instruction at `address`.
    virtual bool SetTrap(uint32_t address) = 0;
    // Runs from pc until a trap or a fault.
    virtual Stop Run(uint32_t pc, const Grow& grow) = 0;
    // Instructions run outside the traps so far, or -1 where the emulator
    // counts none.
    virtual int64_t Instructions() const = 0;
};

// The backends, for the CPU tables' start: Unicorn's model of the CPU
// (its uc_arch, uc_mode and cpu model), and qemu-sh4 running SH code.
std::unique_ptr<Engine> StartUnicorn(const Cpu& cpu, int arch, int mode, int model,
                                     std::string* why);
std::unique_ptr<Engine> StartQemuSh(const Cpu& cpu, std::string* why);

}  // namespace ce

#endif
