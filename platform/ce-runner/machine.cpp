// machine.cpp: one loaded program running: the run from trap to trap,
// dispatch, calls into guest code, marshalling and the fault messages.
#include "machine.h"

#include <string.h>

#include <algorithm>

#include "bindings.h"
#include "cpu.h"
#include "engine.h"
#include "guest_layout.h"
#include "pe_image.h"

namespace ce {
namespace {

using namespace layout;

// What a caller of guest code keeps in the registers a callee must give
// back: kCallerValue + the register's id.
const uint32_t kCallerValue = 0xCA11E000;

// "read of 0x...", "write to 0x...", or "access to 0x..." when the engine
// cannot tell which.
std::string Accessed(int access, uint32_t address)
{
    return std::string(access == kRead ? "read of " : access == kWrite ? "write to " : "access to ") +
           Hex(address);
}

}  // namespace

Machine::Machine(Program program)
    : program_(std::move(program)),
      engine_(*program_.engine),
      cpu_(*program_.cpu),
      stack_(engine_, program_.StackReserve()),
      handles_(program_.Instance()),
      resources_(*this, program_.Instance(), program_.image->resourceRva, program_.image->resourceSize)
{
}

bool Machine::Start()
{
    return stack_.Start() || Fail("cannot map the stack");
}

bool Machine::Fail(const std::string& why)
{
    error_ = why;
    return false;
}

ResourceTree& Machine::Resources()
{
    return resources_;
}

std::string Machine::Where(uint32_t address) const
{
    std::string name = "?";
    for (const auto& f : program_.functions) {
        if (f.first <= address)
            name = f.second;
    }
    return Hex(address) + " (" + name + ")";
}

uint32_t Machine::GuestHandle(uintptr_t handle)
{
    return handles_.ToGuest(handle);
}

uintptr_t Machine::HostHandle(uint32_t guest)
{
    return handles_.ToHost(guest);
}

uint32_t Machine::Arg(int index)
{
    // Words 5 and later lie above the area the caller reserves for the
    // first four.
    if (index < 4)
        return engine_.Reg(cpu_.args[index]);
    return ReadU32(engine_.Reg(cpu_.sp) + cpu_.stackArgs + 4 * (uint32_t)(index - 4));
}

std::vector<uint8_t> Machine::ReadBytes(uint32_t address, uint32_t size)
{
    std::vector<uint8_t> out(size);
    if (size <= 0x1000000)
        stack_.TouchRange(address, size, false);
    if (size > 0x1000000 || (size > 0 && !engine_.Read(address, out.data(), size)))
        throw GuestFault{"cannot read " + std::to_string(size) + " bytes at " + Hex(address)};
    return out;
}

void Machine::WriteBytes(uint32_t address, const void* data, uint32_t size)
{
    stack_.TouchRange(address, size, false);
    if (size > 0 && !engine_.Write(address, data, size))
        throw GuestFault{"cannot write " + std::to_string(size) + " bytes at " + Hex(address)};
}

uint32_t Machine::ReadU32(uint32_t address)
{
    std::vector<uint8_t> b = ReadBytes(address, 4);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

void Machine::WriteU32(uint32_t address, uint32_t value)
{
    WriteBytes(address, &value, 4);
}

std::u16string Machine::ReadText(uint32_t address, uint32_t maxChars)
{
    std::u16string text;
    // In pieces, none crossing a page, so that only an unmapped page stops
    // it: through qemu's stub each read is a round trip.
    uint16_t piece[128];
    uint32_t pieceAt = 0, pieceChars = 0;
    for (uint32_t i = 0; i < maxChars; i++) {
        const uint32_t at = address + 2 * i;
        if (i == 0 || (at & (kPage - 1)) == 0)
            stack_.TouchRange(at, 2, false);
        if (pieceChars == 0 || at < pieceAt || at >= pieceAt + 2 * pieceChars) {
            pieceAt = at;
            pieceChars = std::max<uint32_t>(std::min<uint32_t>(256, kPage - (at & (kPage - 1))) / 2, 1);
            if (!engine_.Read(at, piece, 2 * pieceChars))
                throw GuestFault{"text at " + Hex(address) + " runs into unmapped memory"};
        }
        const uint16_t c = piece[(at - pieceAt) / 2];
        if (c == 0)
            return text;
        text += (char16_t)c;
    }
    if (maxChars == 0x10000)
        throw GuestFault{"text at " + Hex(address) + " has no terminator"};
    return text;
}

uint32_t Machine::WriteScratchText(const char16_t* text)
{
    std::u16string copy(text);
    copy += u'\0';
    const uint32_t bytes = (uint32_t)copy.size() * 2;
    if (bytes > kScratchSize)
        throw GuestFault{"command line longer than the scratch page"};
    WriteBytes(kScratchBase, copy.data(), bytes);
    return kScratchBase;
}

bool Machine::Execute(uint32_t pc, uint32_t* result)
{
    // An access to the stack's guard page commits it and goes ahead; one
    // below it, or into the last page, is noted for the fault's message.
    const Engine::Grow grow = [this](uint32_t address) {
        bool grew;
        const Stack::Touch touch = stack_.TouchAt(address, &grew);
        if (touch == Stack::kBelowGuard || touch == Stack::kOverflow) {
            stackFault_ = touch;
            stackFaultAddress_ = address;
        }
        return grew;
    };
    for (;;) {
        stackFault_ = Stack::kNotStack;
        const Stop stop = engine_.Run(pc, grow);
        if (stop.kind != Stop::kTrap)
            return Fail(FaultMessage(stop));
        const uint32_t caller = engine_.Reg(cpu_.returnAddress);
        if (stop.pc == kReturnTrap) {
            *result = engine_.Reg(cpu_.result);
            return true;
        }
        const size_t import = (stop.pc - kTrapBase) / 4;
        if (stop.pc < kTrapBase || stop.pc % 4 != 0 || import >= program_.bindings.size())
            return Fail("stopped at " + Where(stop.pc) + " in the trap page outside any import, from " +
                        Where(caller));
        if (!Dispatch(import))
            return false;
        pc = caller;
    }
}

// The instruction word at pc, read from memory or, once the emulator has
// ended (qemu does on an undefined instruction), from the file; "" when
// neither holds it. SH instructions are written as its manuals write them.
std::string Machine::InstructionAt(uint32_t pc)
{
    const PeImage& image = *program_.image;
    const uint32_t size = cpu_.instructionBytes;
    uint32_t word = 0;
    uint64_t offset = 0;
    if (!engine_.Read(pc, &word, size)) {
        if (pc < image.imageBase || !FileOffset(image, pc - image.imageBase, size, &offset))
            return "";
        memcpy(&word, image.file.data() + offset, size);
    }
    return size == 4 ? Hex(word) : Hex(word, 2 * size).substr(2);
}

std::string Machine::FaultMessage(const Stop& stop)
{
    const std::string word = InstructionAt(stop.pc);
    const std::string at = "at " + Where(stop.pc);
    const std::string by = (word.empty() ? "" : "by the instruction " + word + " ") + at;
    switch (stop.kind) {
    case Stop::kMisaligned:
        return "misaligned " +
               (stop.size != 0 ? std::to_string(stop.size) + "-byte " + Accessed(stop.access, stop.address)
                               : std::string("access")) +
               " " + by + kDeviceEnds;
    case Stop::kAccess:
        if (stop.pc == 0)
            return "the program jumped to address 0 from " + Where(engine_.Reg(cpu_.returnAddress));
        if (stackFault_ == Stack::kBelowGuard)
            return Accessed(stop.access, stackFaultAddress_) + ", below the stack's guard page at " +
                   Hex(stack_.Guard()) + ", " + by + kDeviceEnds;
        if (stackFault_ == Stack::kOverflow)
            return Accessed(stop.access, stackFaultAddress_) + ", in the last page of the stack's " +
                   std::to_string(stack_.Reserve()) + "-byte reserve, " + by + kDeviceEnds;
        return stop.why + (stop.addressKnown ? " at " + Hex(stop.address) + "," : "") + " " + by;
    case Stop::kRefused:
        return std::string("the ") + cpu_.name + " has no such instruction: " + word + ", " + stop.why +
               ", " + at;
    case Stop::kRejected:
        return std::string("the ") + cpu_.name + " rejects the instruction " + word + " " + at;
    case Stop::kStuck:
        return "ran " + stop.why + " without returning, " + at;
    default:
        return stop.why + ", " + at;
    }
}

bool Machine::Dispatch(size_t import)
{
    const Binding& b = kBindings[program_.bindings[import]];
    const uint32_t caller = engine_.Reg(cpu_.returnAddress);
    std::vector<uint32_t> args;
    uint32_t result;
    try {
        for (int i = 0; i < b.arity; i++)
            args.push_back(Arg(i));
        // A CE callee may keep its register arguments in the area its caller
        // reserved for them: the runner does, so a caller that reserved none
        // finds its own frame overwritten, as on a device.
        uint32_t area[4];
        for (uint32_t i = 0; i < cpu_.stackArgs / 4 && i < 4; i++)
            area[i] = engine_.Reg(cpu_.args[i]);
        WriteBytes(engine_.Reg(cpu_.sp), area, std::min<uint32_t>(cpu_.stackArgs, sizeof(area)));
        result = b.call(*this);
    } catch (const GuestFault& fault) {
        // A fault deeper down (in a dialog procedure the call ran) has
        // already said where it was; keep that.
        return Fail(error_.empty() ? std::string(b.name) + " called from " + Where(caller) + ": " + fault.what
                                   : error_);
    }
    // COREDLL keeps only what the CPU's calling convention preserves.
    cpu_.clobber(engine_);
    engine_.SetReg(cpu_.result, result);
    if (log_) {
        std::string line = std::string(b.name) + "(";
        for (size_t i = 0; i < args.size(); i++)
            line += (i ? ", " : "") + Hex(args[i], 0);
        log_(line + ") = " + Hex(result, 0));
    }
    return true;
}

uint32_t Machine::CallGuest(uint32_t address, const std::vector<uint32_t>& args)
{
    // As a CE caller does: below whatever the interrupted code has on its
    // stack, 8-byte aligned, the area for the first four words and then
    // words 5 and later.
    const uint32_t interrupted = engine_.Reg(cpu_.sp);
    const uint32_t extra = args.size() > 4 ? 4 * (uint32_t)(args.size() - 4) : 0;
    const uint32_t sp = ((interrupted - 64) & ~7u) - ((cpu_.stackArgs + extra + 7) & ~7u);
    if (interrupted > kStackTop || sp < stack_.Bottom() || sp > interrupted)
        throw GuestFault{"the guest's stack pointer " + Hex(interrupted) + " is outside its stack"};
    stack_.TouchRange(sp, interrupted - sp, true);
    for (size_t i = 4; i < args.size(); i++)
        WriteU32(sp + cpu_.stackArgs + 4 * (uint32_t)(i - 4), args[i]);
    engine_.SaveRegisters();
    for (size_t i = 0; i < args.size() && i < 4; i++)
        engine_.SetReg(cpu_.args[i], args[i]);
    engine_.SetReg(cpu_.sp, sp);
    engine_.SetReg(cpu_.returnAddress, kReturnTrap);
    // The caller's own values, in the registers a callee gives back.
    for (const Cpu::Kept& k : cpu_.kept) {
        if (k.name != NULL && k.reg != cpu_.sp)
            engine_.SetReg(k.reg, kCallerValue + (uint32_t)k.reg);
    }
    uint32_t result = 0;
    bool ok = Execute(address, &result);
    for (const Cpu::Kept& k : cpu_.kept) {
        const uint32_t expected = k.reg == cpu_.sp ? sp : kCallerValue + (uint32_t)k.reg;
        if (ok && k.name != NULL && engine_.Reg(k.reg) != expected)
            ok = Fail(Where(address) + " returned with " + k.name +
                      " changed: CE's caller keeps its own value there");
    }
    engine_.RestoreRegisters();
    if (!ok)
        throw GuestFault{error_};
    return result;
}

bool Machine::Call(uint32_t address, const std::vector<uint32_t>& args, uint32_t* result)
{
    error_.clear();
    try {
        engine_.SetReg(cpu_.sp, kStackTop);
        *result = CallGuest(address, args);
        return true;
    } catch (const GuestFault& fault) {
        return Fail(fault.what);
    }
}

}  // namespace ce
