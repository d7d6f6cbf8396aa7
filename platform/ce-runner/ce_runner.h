// ce_runner.h: runs a Windows CE program's own machine code on an emulated
// CPU, the one its header names (cpu.h: ARM, MIPS or SH-3), with each of its
// imports answered by the stand-in: the same model of windows, registry
// and dialogs that the host tests drive, and the same trace of effects.
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
struct Stop;
class Engine;

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
    // Instructions executed inside the program's image so far (0 where the
    // engine counts none: qemu, for SH-3).
    uint64_t Instructions() const;
    // Whether Instructions() counts at all.
    bool CountsInstructions() const;
    // What it counts, for people: "ARM", "MIPS" or "SH-3".
    const char* InstructionSet() const;
    // Receives one line per import called: name, arguments, result.
    void SetCallLog(std::function<void(const std::string&)> log);

    // The guest's value for one of the stand-in's handles, and back. A
    // window (any small handle) has the same guest value in every runner.
    uint32_t GuestHandle(uintptr_t host);
    uintptr_t HostHandle(uint32_t guest);

    // Marshalling helpers for the import bindings (bindings.cpp).
    uint32_t Arg(int index);
    uint32_t ReadU32(uint32_t address);
    void WriteU32(uint32_t address, uint32_t value);
    std::vector<uint8_t> ReadBytes(uint32_t address, uint32_t size);
    void WriteBytes(uint32_t address, const void* data, uint32_t size);
    std::u16string ReadText(uint32_t address, uint32_t maxChars = 0x10000);
    // Runs guest code at `address` with word arguments, as a CE caller
    // calls it, and returns its result; used for dialog procedures, from the
    // host loop, never from inside a run.
    uint32_t CallGuest(uint32_t address, const std::vector<uint32_t>& args);
    // Resources of the loaded image, as FindResourceW/LoadResource see them
    // (resources.cpp).
    uint32_t FindResource(uint32_t module, uint32_t name, uint32_t type);
    uint32_t LoadResource(uint32_t module, uint32_t resource);
    uint32_t Instance() const;
    // Name of the function holding a guest address, for messages.
    std::string Where(uint32_t address) const;

private:
    bool Execute(uint32_t pc, uint32_t* result);
    std::string FaultMessage(const Stop& stop);
    std::string InstructionAt(uint32_t pc);
    bool Dispatch(size_t import);
    bool Fail(const std::string& why);
    bool MapImage(const std::string& exePath);
    uint32_t WriteScratchText(const char16_t* text);
    // The system's own access to guest memory, which grows the stack as the
    // program's does.
    void TouchStack(uint32_t address, uint32_t size, bool downward);
    // What touching one address does to the stack; *grew when it
    // committed the guard page.
    enum StackTouch { kNotStack, kCommitted, kBelowGuard, kOverflow };
    StackTouch TouchStackAt(uint32_t address, bool* grew);
    // The image's CEUX resource HI_RES_AWARE, neutral language, holding 1.
    bool HasHiResAware();

    std::unique_ptr<PeImage> image_;
    const Cpu* cpu_ = nullptr;
    std::unique_ptr<Engine> engine_;
    // The stack as CE keeps a thread's: the reserve [stackBottom_,
    // layout::kStackTop), committed a page at a time from the top down. The
    // page below the lowest committed one is the guard: touching it commits
    // it and makes the page below the guard. The reserve's last page is
    // never committed, so touching it as the guard overflows the stack.
    // Everything from the guard page down is unmapped.
    uint32_t stackBottom_ = 0;
    uint32_t guardPage_ = 0;
    // The run's access below the guard page or into the last page, if any.
    StackTouch stackFault_ = kNotStack;
    uint32_t stackFaultAddress_ = 0;
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
