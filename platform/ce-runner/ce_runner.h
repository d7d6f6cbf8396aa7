// ce_runner.h: runs a Windows CE program's own machine code on an emulated
// CPU, the one its header names: StrongARM SA-1110 (ARMv4) or the VR41xx
// (MIPS II, on Unicorn's 4Kc under a guard), with each of its imports
// answered by the host stand-in: the same model of windows, registry and dialogs that
// the host tests drive, and the same trace of effects.
#ifndef CE_RUNNER_H
#define CE_RUNNER_H

#include <stdint.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ce {

struct PeImage;
struct Cpu;
class Engine;
class ShEngine;

class Runner {
public:
    Runner();
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // Maps the image at its base and binds every import by name. Reads
    // NAME.syms beside NAME.exe, when there is one, for function names.
    // False, with Error() naming the culprit, for a file the device would
    // not run or an import the runner does not know.
    bool Load(const std::string& exePath);

    // Starts the program as the CE loader does: the entry point gets the
    // instance (the image base), no previous instance, the arguments alone
    // (or NULL) and SW_SHOW; *status is what it returns.
    bool RunProgram(const char16_t* commandLine, int* status);

    // Calls a function of the program by name (as NAME.syms spells it, up to
    // its argument list) with word arguments, for tests that reach a part.
    bool CallFunction(const std::string& name, const std::vector<uint32_t>& args,
                      uint32_t* result);
    // Writes UTF-16 text and its terminator into a global of the program.
    bool WriteText(const std::string& symbol, const std::u16string& text);

    // Why the last call failed.
    const std::string& Error() const;
    // Instructions executed inside the program's image so far (on SH-3,
    // where qemu counts nothing the runner can read, always 0).
    uint64_t Instructions() const;
    // Whether Instructions() counts at all: false for SH-3.
    bool CountsInstructions() const;
    // What it counts, for people: "ARM", "MIPS" or "SH-3".
    const char* InstructionSet() const;
    // Receives one line per import called: name, arguments, result.
    void SetCallLog(std::function<void(const std::string&)> log);

    // The guest's value for one of the stand-in's handles, and back. A
    // window (any small handle) has the same guest value in every runner.
    uint32_t GuestHandle(uintptr_t host);
    uintptr_t HostHandle(uint32_t guest);

    // Marshalling helpers for the import bindings (coredll.cpp).
    uint32_t Arg(int index);
    uint32_t ReadU32(uint32_t address);
    void WriteU32(uint32_t address, uint32_t value);
    std::vector<uint8_t> ReadBytes(uint32_t address, uint32_t size);
    void WriteBytes(uint32_t address, const void* data, uint32_t size);
    std::u16string ReadText(uint32_t address, uint32_t maxChars = 0x10000);
    // Runs guest code at `address` with word arguments and returns its
    // result (r0, v0); used
    // for dialog procedures, from the host loop, never inside a hook.
    uint32_t CallGuest(uint32_t address, const std::vector<uint32_t>& args);
    // Resources of the loaded image, as FindResourceW/LoadResource see them.
    uint32_t FindResource(uint32_t module, uint32_t name, uint32_t type);
    uint32_t LoadResource(uint32_t module, uint32_t resource);
    uint32_t Instance() const;
    // Name of the function holding a guest address, for messages.
    std::string Where(uint32_t address) const;

private:
    bool Execute(uint32_t pc, uint32_t* r0);
    bool Dispatch(size_t import);
    bool Fail(const std::string& why);
    uint32_t WriteScratchText(const char16_t* text);
    void TouchStack(uint32_t address, uint32_t size, bool downward);
    // The image's CEUX resource HI_RES_AWARE, neutral language, holding 1.
    bool HasHiResAware();
    // ARM and MIPS programs run on Unicorn, with the CPU's descriptor.
    bool LoadUnicorn(const std::string& exePath, const Cpu* cpu);
    // SH-3 programs run on qemu (sh_engine.h) under CE's SH convention.
    bool LoadSh(const std::string& exePath);
    bool ExecuteSh(uint32_t pc, uint32_t* r0);
    uint32_t CallGuestSh(uint32_t address, const std::vector<uint32_t>& args);
    void ResetStack();

    std::unique_ptr<PeImage> image_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<ShEngine> sh_;
    // The SH stack's lowest usable address (the reserve's last page is
    // never committed) and its guard page: everything from the guard page
    // down is mapped but inaccessible until the stack grows into it.
    uint32_t shStackBottom_ = 0;
    uint32_t shGuardPage_ = 0;
    // What touching one address of the SH stack does (a layout::StackTouch).
    int TouchShStack(uint32_t address);
    // The stack fault an SH access fault stands for, or "" when it is none.
    std::string ShStackFault(uint32_t pc, uint16_t instruction, bool* resume);
    std::map<std::string, uint32_t> symbols_;
    std::vector<std::pair<uint32_t, std::string>> functions_;  // by address
    std::vector<size_t> bindings_;  // per import: index into the binding table
    std::map<uintptr_t, uint32_t> toGuest_;
    std::map<uint32_t, uintptr_t> toHost_;
    uint32_t nextHandle_ = 0;
    std::string error_;
    std::function<void(const std::string&)> log_;
};

// A fault in marshalling a call (a bad guest pointer, a record of the wrong
// size): it ends the run, and its message says which call and why.
struct GuestFault {
    std::string what;
};

}  // namespace ce

#endif
