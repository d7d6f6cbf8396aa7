// machine.h: one loaded program running, the same for every CPU and engine:
// the run from trap to trap, each import's dispatch to its binding, calls
// into guest code, the stack, the handles and the fault messages. The guest
// runs until it reaches a trap: an import's slot, or the return from a call
// the runner made. The machine then answers the import (which may run guest
// code again, for a dialog procedure) and runs the guest on from the return
// address. What the bindings see of it is Guest; the runner (ce_runner.h)
// drives it for tests and tools.
#ifndef CE_RUNNER_MACHINE_H
#define CE_RUNNER_MACHINE_H

#include <stdint.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "guest.h"
#include "handles.h"
#include "loader.h"
#include "resources.h"
#include "stack.h"

namespace ce {

struct Stop;

class Machine : public Guest {
public:
    explicit Machine(Program program);
    // Commits the stack's top page; false, with Error(), when it cannot.
    bool Start();

    uint32_t Arg(int index) override;
    uint32_t ReadU32(uint32_t address) override;
    void WriteU32(uint32_t address, uint32_t value) override;
    std::vector<uint8_t> ReadBytes(uint32_t address, uint32_t size) override;
    void WriteBytes(uint32_t address, const void* data, uint32_t size) override;
    std::u16string ReadText(uint32_t address, uint32_t maxChars = 0x10000) override;
    uint32_t GuestHandle(uintptr_t handle) override;
    uintptr_t HostHandle(uint32_t guest) override;
    uint32_t CallGuest(uint32_t address, const std::vector<uint32_t>& args) override;
    ResourceTree& Resources() override;
    std::string Where(uint32_t address) const override;

    // Calls guest code from a fresh stack, as the system starts a thread;
    // false, with Error(), on a fault.
    bool Call(uint32_t address, const std::vector<uint32_t>& args, uint32_t* result);
    // UTF-16 text and its terminator on the scratch page; its address.
    uint32_t WriteScratchText(const char16_t* text);
    const Program& Loaded() const { return program_; }
    const std::string& Error() const { return error_; }
    void SetCallLog(std::function<void(const std::string&)> log) { log_ = log; }

private:
    bool Execute(uint32_t pc, uint32_t* result);
    bool Dispatch(size_t import);
    std::string FaultMessage(const Stop& stop);
    std::string InstructionAt(uint32_t pc);
    bool Fail(const std::string& why);

    Program program_;
    Engine& engine_;
    const Cpu& cpu_;
    Stack stack_;
    HandleMap handles_;
    ResourceTree resources_;
    // The run's access below the stack's guard page or into its last page,
    // if any, for the fault's message.
    Stack::Touch stackFault_ = Stack::kNotStack;
    uint32_t stackFaultAddress_ = 0;
    std::string error_;
    std::function<void(const std::string&)> log_;
};

}  // namespace ce

#endif
