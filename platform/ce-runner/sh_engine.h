// sh_engine.h: an SH CPU for the CE runner. Unicorn has no SuperH, so the
// program's code runs on qemu's SH-4 model in user mode: qemu-sh4 starts a
// loader of a few instructions and waits for a debugger, and this engine is
// that debugger, over qemu's GDB remote protocol. It maps memory (through the
// loader's system call), reads and writes memory and registers, plants
// breakpoints on the runner's trap addresses and runs until one is reached
// or the CPU faults. qemu's SH model faults on a misaligned access, as the
// SH-3 does, and the fault comes back as the signal a device would raise.
#ifndef CE_RUNNER_SH_ENGINE_H
#define CE_RUNNER_SH_ENGINE_H

#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace ce {

// Register numbers of qemu's SH-4 GDB register file.
enum ShRegister {
    kShR0 = 0,
    kShR4 = 4,
    kShR15 = 15,
    kShPc = 16,
    kShPr = 17,
    kShGbr = 18,
    kShMach = 20,
    kShMacl = 21,
    kShSr = 22,
};
const uint32_t kShSrT = 1;  // the T bit, SR bit 0

class ShEngine {
public:
    enum StopKind { kBreakpoint, kFault, kExited, kTimeout, kLost };
    struct Stop {
        StopKind kind = kLost;
        int signal = 0;  // the fault's signal (Linux numbering): SIGBUS, SIGSEGV, SIGILL
        uint32_t pc = 0;
    };
    enum { kRead = 1, kWrite = 2, kExecute = 4 };

    ShEngine() = default;
    ~ShEngine();
    ShEngine(const ShEngine&) = delete;
    ShEngine& operator=(const ShEngine&) = delete;

    // Starts qemu on the loader and attaches; false with *why on failure.
    bool Start(const std::string& qemu, const std::string& loader, std::string* why);

    // Fresh anonymous memory at a fixed address, and its protection.
    bool Map(uint32_t address, uint32_t size, int protection);
    bool Protect(uint32_t address, uint32_t size, int protection);

    // False when any byte is unmapped (or, for a write, read-only).
    bool Read(uint32_t address, void* data, uint32_t size);
    bool Write(uint32_t address, const void* data, uint32_t size);

    uint32_t Reg(int reg) const { return regs_[reg]; }
    void SetReg(int reg, uint32_t value) { regs_[reg] = value; }
    std::vector<uint32_t> Registers() const { return regs_; }
    void SetRegisters(const std::vector<uint32_t>& regs) { regs_ = regs; }

    bool SetBreakpoint(uint32_t address);
    // What qemu wrote on its way out, once it has ended.
    std::string Diagnostics();
    // Runs from pc until a breakpoint or a fault, for at most timeoutMs.
    Stop Run(uint32_t pc, int timeoutMs);

private:
    bool Send(const std::string& packet);
    bool Receive(std::string* reply, int timeoutMs);
    bool Transact(const std::string& packet, std::string* reply, int timeoutMs = 10000);
    bool ReadRegisters();
    bool WriteRegisters();
    bool Syscall(uint32_t number, const std::vector<uint32_t>& args, uint32_t* result);

    pid_t qemu_ = -1;
    int socket_ = -1;
    int errors_ = -1;  // qemu's standard error
    bool lost_ = false;
    std::string socketPath_;
    std::string pending_;
    uint32_t entry_ = 0;  // the loader's system call; entry_ + 2 is its breakpoint
    std::vector<uint32_t> regs_;
};

}  // namespace ce

#endif
