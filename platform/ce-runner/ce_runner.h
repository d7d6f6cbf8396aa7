// ce_runner.h: what tests and tools use to run a Windows CE program's own
// machine code on an emulated CPU, the one its header names (cpu.h: ARM,
// MIPS or SH-3), with each of its imports answered by the stand-in: the
// same model of windows, registry and dialogs that the host build's tests
// drive, and the same trace of effects. Inside: the loader (loader.h), the
// running program (machine.h), which the import bindings see as a Guest
// (guest.h), and its resource tree (resources.h).
#ifndef CE_RUNNER_H
#define CE_RUNNER_H

#include <stdint.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ce {

class Machine;

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

private:
    bool Fail(const std::string& why);

    std::unique_ptr<Machine> machine_;
    std::string error_;
    std::function<void(const std::string&)> log_;
};

}  // namespace ce

#endif
