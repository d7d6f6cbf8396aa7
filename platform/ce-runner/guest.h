// guest.h: what the import bindings see of the running program: its call's
// arguments, its memory, the handles it holds, its resources, and calls
// back into its code. Bindings use this and nothing else of the runner;
// tests and tools use ce_runner.h.
#ifndef CE_RUNNER_GUEST_H
#define CE_RUNNER_GUEST_H

#include <stdint.h>

#include <string>
#include <vector>

#include "guest_fault.h"

namespace ce {

class ResourceTree;

class Guest {
public:
    virtual ~Guest() = default;

    // Word argument `index` of the import being answered, where the CPU's
    // convention puts it.
    virtual uint32_t Arg(int index) = 0;

    // Guest memory, as the system reaches it: it grows the stack as the
    // program's own accesses do. Each throws GuestFault on memory that is
    // not there.
    virtual uint32_t ReadU32(uint32_t address) = 0;
    virtual void WriteU32(uint32_t address, uint32_t value) = 0;
    virtual std::vector<uint8_t> ReadBytes(uint32_t address, uint32_t size) = 0;
    virtual void WriteBytes(uint32_t address, const void* data, uint32_t size) = 0;
    // UTF-16 text up to its terminator; with maxChars given, at most that
    // many characters and no terminator needed.
    virtual std::u16string ReadText(uint32_t address, uint32_t maxChars = 0x10000) = 0;

    // The guest's value for one of the stand-in's handles, and back.
    virtual uint32_t GuestHandle(uintptr_t handle) = 0;
    virtual uintptr_t HostHandle(uint32_t guest) = 0;

    // Runs guest code at `address` with word arguments, as a CE caller
    // calls it, and returns its result: a dialog procedure, called from a
    // modelled call.
    virtual uint32_t CallGuest(uint32_t address, const std::vector<uint32_t>& args) = 0;

    // The loaded image's resources, as FindResourceW and LoadResource see them.
    virtual ResourceTree& Resources() = 0;

    // Name of the function holding a guest address, for messages.
    virtual std::string Where(uint32_t address) const = 0;
};

}  // namespace ce

#endif
