// ce_runner.cpp: the CE runner's core, the same for every CPU and engine:
// the loader, the run from trap to trap, calls into the guest, the stack and
// the marshalling the bindings use. The guest runs until it reaches a trap:
// an import's slot, or the return from a call the host made. The core then
// answers the import (which may run guest code again, for a dialog
// procedure) and runs the guest on from the return address. What differs
// per CPU is its table (cpu_*.cpp); what differs per emulator, its engine
// (engine.h).
#include "ce_runner.h"

#include <string.h>

#include <algorithm>

#include "bindings.h"
#include "cpu.h"
#include "engine.h"
#include "guest_layout.h"
#include "standin.h"
#include "pe_image.h"

namespace ce {
namespace {

using namespace layout;

const size_t kMaxImports = kTrapSize / 4 - 1;
// Handles the guest never sees as anything but themselves: NULL,
// HWND_BOTTOM, HKEY_LOCAL_MACHINE.
const uintptr_t kFixedHandles[] = {0, 1, 0x80000002u};
// A window has one handle on the whole device, the same in every process,
// and ForegroundDismisser names its locks after it. The stand-in's handles
// are small numbers, so each gets the guest value kSharedHandles + its own
// in every runner; larger ones (pointers) are numbered from kFirstHandle.
const uint32_t kSharedHandles = 0xC0000000;
const uintptr_t kSharedHandleRange = 0x10000000;
const uint32_t kFirstHandle = 0xD0000000;
// What a caller of guest code keeps in the registers a callee must give
// back: kCallerValue + the register's id.
const uint32_t kCallerValue = 0xCA11E000;

const uint16_t kSubsystemCeGui = 9;
const char kDeviceEnds[] = ": a device ends the program here";

int Protection(uint32_t characteristics)
{
    return kRead | ((characteristics & kSectionCode) ? kFetch : 0) |
           ((characteristics & kSectionWritable) ? kWrite : 0);
}

// "read of 0x...", "write to 0x...", or "access to 0x..." when the engine
// cannot tell which.
std::string Accessed(int access, uint32_t address)
{
    return std::string(access == kRead ? "read of " : access == kWrite ? "write to " : "access to ") +
           Hex(address);
}

}  // namespace

Runner::Runner() = default;
Runner::~Runner() = default;

const std::string& Runner::Error() const
{
    return error_;
}

uint64_t Runner::Instructions() const
{
    return CountsInstructions() ? (uint64_t)engine_->Instructions() : 0;
}

bool Runner::CountsInstructions() const
{
    return engine_ && engine_->Instructions() >= 0;
}

const char* Runner::InstructionSet() const
{
    return cpu_ ? cpu_->instructionSet : "";
}

void Runner::SetCallLog(std::function<void(const std::string&)> log)
{
    log_ = log;
}

uint32_t Runner::Instance() const
{
    return image_ ? image_->imageBase : 0;
}

bool Runner::Fail(const std::string& why)
{
    error_ = why;
    return false;
}

bool Runner::Load(const std::string& exePath)
{
    image_.reset(new PeImage);
    engine_.reset();
    cpu_ = NULL;
    symbols_.clear();
    functions_.clear();
    bindings_.clear();
    toGuest_.clear();
    toHost_.clear();
    nextHandle_ = kFirstHandle;
    error_.clear();

    std::string why;
    if (!LoadPeImage(exePath, image_.get(), &why))
        return Fail(exePath + ": " + why);
    PeImage& im = *image_;
    const Cpu* cpu = NULL;
    std::string known;
    const size_t cpus = sizeof(kCpus) / sizeof(kCpus[0]);
    for (size_t i = 0; i < cpus; i++) {
        if (kCpus[i]->machine == im.machine)
            cpu = kCpus[i];
        known += std::string(i == 0 ? "" : i + 1 == cpus ? " or " : ", ") + kCpus[i]->instructionSet +
                 " (" + Hex(kCpus[i]->machine, 4) + ")";
    }
    if (cpu == NULL)
        return Fail(exePath + ": machine " + Hex(im.machine, 4) + " is not " + known);
    if (im.subsystem != kSubsystemCeGui)
        return Fail(exePath + ": subsystem " + std::to_string(im.subsystem) +
                    " is not Windows CE GUI (9)");
    const uint32_t reserve = PageAlign(im.stackReserve);
    if (reserve < 2 * kPage || reserve > kMaxStackReserve)
        return Fail(exePath + ": a stack reserve of " + std::to_string(im.stackReserve) +
                    " bytes, not from two pages to 1 MB");
    if (im.imageBase != 0x10000 || im.imageBase + (uint64_t)im.sizeOfImage > kStackTop - reserve)
        return Fail(exePath + ": the image must sit at 0x10000 below the stack");
    if (im.imports.size() > kMaxImports)
        return Fail(exePath + ": too many imports");
    for (const PeImport& import : im.imports) {
        size_t found = kBindingCount;
        for (size_t b = 0; b < kBindingCount; b++) {
            if (import.name == kBindings[b].name &&
                strcasecmp(import.dll.c_str(), kBindings[b].dll) == 0)
                found = b;
        }
        if (found == kBindingCount)
            return Fail(exePath + ": import " + import.name + " from " + import.dll +
                        " is unknown to the runner");
        bindings_.push_back(found);
    }

    engine_ = cpu->start(*cpu, &why);
    if (!engine_)
        return Fail(why);
    cpu_ = cpu;
    if (!MapImage(exePath))
        return false;
    const uint32_t base = im.imageBase;
    for (uintptr_t h : kFixedHandles) {
        toGuest_[h] = (uint32_t)h;
        toHost_[(uint32_t)h] = h;
    }
    toGuest_[base] = base;
    toHost_[base] = base;

    for (const Symbol& s : ReadSymbols(exePath)) {
        symbols_[s.name] = s.address;
        if (s.function)
            functions_.push_back({s.address, s.name});
    }
    std::sort(functions_.begin(), functions_.end());

    // The system decides once, from the image, whether the program sees
    // the screen through the legacy layer.
    try {
        const bool newer = im.subsystemMajor > 4 || (im.subsystemMajor == 4 && im.subsystemMinor > 20);
        standin::SetLegacyProgram(!newer && !HasHiResAware());
    } catch (const GuestFault& fault) {
        return Fail(exePath + ": " + fault.what);
    }
    return true;
}

bool Runner::MapImage(const std::string& exePath)
{
    const PeImage& im = *image_;
    Engine& e = *engine_;
    // Every part is mapped writable and filled, and gets its own protection
    // once the import slots in it are written: an engine may refuse to
    // write read-only memory.
    struct Part {
        uint32_t at, size;
        int protection;
    };
    std::vector<Part> parts;
    auto map = [&](uint32_t at, uint32_t size, int protection) {
        for (const Part& p : parts) {
            if (at < p.at + p.size && p.at < at + size)
                return false;
        }
        parts.push_back({at, size, protection});
        return e.Map(at, size, kRead | kWrite);
    };
    // Headers read-only, then each section with its own protection. The
    // part of a section past its raw data is zero, as the loader leaves it.
    const uint32_t base = im.imageBase;
    if (!map(base, PageAlign(im.sizeOfHeaders), kRead) ||
        !e.Write(base, im.file.data(), (uint32_t)std::min<size_t>(im.sizeOfHeaders, im.file.size())))
        return Fail(exePath + ": cannot map the headers");
    for (const PeSection& s : im.sections) {
        const uint32_t size = PageAlign(std::max(s.virtualSize, s.rawSize));
        if (size == 0)
            continue;
        if (!map(base + s.rva, size, Protection(s.characteristics)))
            return Fail(exePath + ": section " + s.name + " overlaps another");
        if (!e.Write(base + s.rva, im.file.data() + s.rawOffset, std::min(s.rawSize, size)))
            return Fail(exePath + ": cannot load section " + s.name);
    }
    // The system commits the stack's top page when the thread starts.
    stackBottom_ = kStackTop - PageAlign(im.stackReserve);
    guardPage_ = kStackTop - kPage;
    bool grew = false;
    TouchStackAt(kStackTop - 1, &grew);
    const std::vector<uint8_t> poison(kScratchSize, kPoisonByte);
    if (!grew || !map(kScratchBase, kScratchSize, kRead | kWrite) ||
        !e.Write(kScratchBase, poison.data(), kScratchSize))
        return Fail("cannot map the stack");
    // Each import's slot points at its own word of the trap page; the words
    // are never run, a run stops on them first.
    if (!map(kTrapBase, kTrapSize, kRead | kFetch) || !e.SetTrap(kReturnTrap))
        return Fail("cannot map the trap page");
    for (size_t i = 0; i < im.imports.size(); i++) {
        const uint32_t slot = base + im.imports[i].slotRva;
        const uint32_t trap = kTrapBase + 4 * (uint32_t)i;
        if (!e.Write(slot, &trap, 4))
            return Fail(exePath + ": the address slot of " + im.imports[i].name +
                        " is outside the image");
        if (!e.SetTrap(trap))
            return Fail("cannot set the trap of " + im.imports[i].name);
    }
    for (const Part& p : parts) {
        if (p.protection != (kRead | kWrite) && !e.Protect(p.at, p.size, p.protection))
            return Fail(exePath + ": cannot protect the image");
    }
    return true;
}

std::string Runner::Where(uint32_t address) const
{
    std::string name = "?";
    for (const auto& f : functions_) {
        if (f.first <= address)
            name = f.second;
    }
    return Hex(address) + " (" + name + ")";
}

uint32_t Runner::GuestHandle(uintptr_t host)
{
    auto it = toGuest_.find(host);
    if (it != toGuest_.end())
        return it->second;
    uint32_t guest;
    if (host < kSharedHandleRange) {
        guest = kSharedHandles + (uint32_t)host;
    } else {
        guest = nextHandle_;
        nextHandle_ += 4;
    }
    toGuest_[host] = guest;
    toHost_[guest] = host;
    return guest;
}

uintptr_t Runner::HostHandle(uint32_t guest)
{
    auto it = toHost_.find(guest);
    if (it != toHost_.end())
        return it->second;
    // A value the stand-in never handed out: give it one that cannot be
    // any of the stand-in's own handles, so the model treats it as invalid.
    return (uintptr_t)0xBAD0000000000000ull | guest;
}

uint32_t Runner::Arg(int index)
{
    // Words 5 and later lie above the area the caller reserves for the
    // first four.
    if (index < 4)
        return engine_->Reg(cpu_->args[index]);
    return ReadU32(engine_->Reg(cpu_->sp) + cpu_->stackArgs + 4 * (uint32_t)(index - 4));
}

Runner::StackTouch Runner::TouchStackAt(uint32_t address, bool* grew)
{
    *grew = false;
    if (address < stackBottom_ || address >= kStackTop)
        return kNotStack;
    if (address >= guardPage_ + kPage)
        return kCommitted;
    if (address < guardPage_)
        return kBelowGuard;
    if (guardPage_ == stackBottom_)
        return kOverflow;
    // A device's stack holds whatever was there before, not zeros: a buffer
    // the program forgets to empty before a read that fails must not look
    // empty here.
    static const std::vector<uint8_t> poison(kPage, kPoisonByte);
    *grew = engine_->Map(guardPage_, kPage, kRead | kWrite) &&
            engine_->Write(guardPage_, poison.data(), kPage);
    guardPage_ -= kPage;
    return kCommitted;
}

// The system's own reads and writes of guest memory grow the stack as the
// program's do: a call goes through a buffer from its start up, and the
// system writes a callback's frame from the top down.
void Runner::TouchStack(uint32_t address, uint32_t size, bool downward)
{
    const uint64_t end = (uint64_t)address + size;
    if (size == 0 || address >= kStackTop || end <= stackBottom_)
        return;
    const uint32_t first = PageOf(std::max(address, stackBottom_));
    const uint32_t last = PageOf((uint32_t)(std::min<uint64_t>(end, kStackTop) - 1));
    for (uint32_t i = 0; i <= (last - first) / kPage; i++) {
        const uint32_t page = downward ? last - i * kPage : first + i * kPage;
        const uint32_t at = std::max(address, page);
        const uint32_t guard = guardPage_;
        bool grew;
        const StackTouch touch = TouchStackAt(page, &grew);
        if (touch == kBelowGuard)
            throw GuestFault{"the system's access to " + Hex(at) +
                             " lies below the stack's guard page at " + Hex(guard) + kDeviceEnds};
        if (touch == kOverflow)
            throw GuestFault{"the system's access to " + Hex(at) + " uses up the stack's " +
                             std::to_string(kStackTop - stackBottom_) + "-byte reserve" + kDeviceEnds};
    }
}

std::vector<uint8_t> Runner::ReadBytes(uint32_t address, uint32_t size)
{
    std::vector<uint8_t> out(size);
    if (size <= 0x1000000)
        TouchStack(address, size, false);
    if (size > 0x1000000 || (size > 0 && !engine_->Read(address, out.data(), size)))
        throw GuestFault{"cannot read " + std::to_string(size) + " bytes at " + Hex(address)};
    return out;
}

void Runner::WriteBytes(uint32_t address, const void* data, uint32_t size)
{
    TouchStack(address, size, false);
    if (size > 0 && !engine_->Write(address, data, size))
        throw GuestFault{"cannot write " + std::to_string(size) + " bytes at " + Hex(address)};
}

uint32_t Runner::ReadU32(uint32_t address)
{
    std::vector<uint8_t> b = ReadBytes(address, 4);
    return (uint32_t)b[0] | (uint32_t)b[1] << 8 | (uint32_t)b[2] << 16 | (uint32_t)b[3] << 24;
}

void Runner::WriteU32(uint32_t address, uint32_t value)
{
    WriteBytes(address, &value, 4);
}

std::u16string Runner::ReadText(uint32_t address, uint32_t maxChars)
{
    std::u16string text;
    // In pieces, none crossing a page, so that only an unmapped page stops
    // it: through qemu's stub each read is a round trip.
    uint16_t piece[128];
    uint32_t pieceAt = 0, pieceChars = 0;
    for (uint32_t i = 0; i < maxChars; i++) {
        const uint32_t at = address + 2 * i;
        if (i == 0 || (at & (kPage - 1)) == 0)
            TouchStack(at, 2, false);
        if (pieceChars == 0 || at < pieceAt || at >= pieceAt + 2 * pieceChars) {
            pieceAt = at;
            pieceChars = std::max<uint32_t>(std::min<uint32_t>(256, kPage - (at & (kPage - 1))) / 2, 1);
            if (!engine_->Read(at, piece, 2 * pieceChars))
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

uint32_t Runner::WriteScratchText(const char16_t* text)
{
    std::u16string copy(text);
    copy += u'\0';
    const uint32_t bytes = (uint32_t)copy.size() * 2;
    if (bytes > kScratchSize)
        throw GuestFault{"command line longer than the scratch page"};
    WriteBytes(kScratchBase, copy.data(), bytes);
    return kScratchBase;
}

bool Runner::Execute(uint32_t pc, uint32_t* result)
{
    // An access to the stack's guard page commits it and goes ahead; one
    // below it, or into the last page, is noted for the fault's message.
    const Engine::Grow grow = [this](uint32_t address) {
        bool grew;
        const StackTouch touch = TouchStackAt(address, &grew);
        if (touch == kBelowGuard || touch == kOverflow) {
            stackFault_ = touch;
            stackFaultAddress_ = address;
        }
        return grew;
    };
    for (;;) {
        stackFault_ = kNotStack;
        const Stop stop = engine_->Run(pc, grow);
        if (stop.kind != Stop::kTrap)
            return Fail(FaultMessage(stop));
        const uint32_t caller = engine_->Reg(cpu_->returnAddress);
        if (stop.pc == kReturnTrap) {
            *result = engine_->Reg(cpu_->result);
            return true;
        }
        const size_t import = (stop.pc - kTrapBase) / 4;
        if (stop.pc < kTrapBase || stop.pc % 4 != 0 || import >= bindings_.size())
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
std::string Runner::InstructionAt(uint32_t pc)
{
    const uint32_t size = cpu_->instructionBytes;
    uint32_t word = 0;
    uint64_t offset = 0;
    if (!engine_->Read(pc, &word, size)) {
        if (pc < image_->imageBase || !FileOffset(*image_, pc - image_->imageBase, size, &offset))
            return "";
        memcpy(&word, image_->file.data() + offset, size);
    }
    return size == 4 ? Hex(word) : Hex(word, 2 * size).substr(2);
}

std::string Runner::FaultMessage(const Stop& stop)
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
            return "the program jumped to address 0 from " + Where(engine_->Reg(cpu_->returnAddress));
        if (stackFault_ == kBelowGuard)
            return Accessed(stop.access, stackFaultAddress_) + ", below the stack's guard page at " +
                   Hex(guardPage_) + ", " + by + kDeviceEnds;
        if (stackFault_ == kOverflow)
            return Accessed(stop.access, stackFaultAddress_) + ", in the last page of the stack's " +
                   std::to_string(kStackTop - stackBottom_) + "-byte reserve, " + by + kDeviceEnds;
        return stop.why + (stop.addressKnown ? " at " + Hex(stop.address) + "," : "") + " " + by;
    case Stop::kRefused:
        return std::string("the ") + cpu_->name + " has no such instruction: " + word + ", " +
               stop.why + ", " + at;
    case Stop::kRejected:
        return std::string("the ") + cpu_->name + " rejects the instruction " + word + " " + at;
    case Stop::kStuck:
        return "ran " + stop.why + " without returning, " + at;
    default:
        return stop.why + ", " + at;
    }
}

bool Runner::Dispatch(size_t import)
{
    const Binding& b = kBindings[bindings_[import]];
    const Cpu& cpu = *cpu_;
    const uint32_t caller = engine_->Reg(cpu.returnAddress);
    std::vector<uint32_t> args;
    uint32_t result;
    try {
        for (int i = 0; i < b.arity; i++)
            args.push_back(Arg(i));
        // A CE callee may keep its register arguments in the area its caller
        // reserved for them: the runner does, so a caller that reserved none
        // finds its own frame overwritten, as on a device.
        uint32_t area[4];
        for (uint32_t i = 0; i < cpu.stackArgs / 4 && i < 4; i++)
            area[i] = engine_->Reg(cpu.args[i]);
        WriteBytes(engine_->Reg(cpu.sp), area, std::min<uint32_t>(cpu.stackArgs, sizeof(area)));
        result = b.call(*this);
    } catch (const GuestFault& fault) {
        // A fault deeper down (in a dialog procedure the call ran) has
        // already said where it was; keep that.
        return Fail(error_.empty() ? std::string(b.name) + " called from " + Where(caller) + ": " +
                                         fault.what
                                   : error_);
    }
    // COREDLL keeps only what the CPU's calling convention preserves.
    cpu.clobber(*engine_);
    engine_->SetReg(cpu.result, result);
    if (log_) {
        std::string line = std::string(b.name) + "(";
        for (size_t i = 0; i < args.size(); i++)
            line += (i ? ", " : "") + Hex(args[i], 0);
        log_(line + ") = " + Hex(result, 0));
    }
    return true;
}

uint32_t Runner::CallGuest(uint32_t address, const std::vector<uint32_t>& args)
{
    const Cpu& cpu = *cpu_;
    // As a CE caller does: below whatever the interrupted code has on its
    // stack, 8-byte aligned, the area for the first four words and then
    // words 5 and later.
    const uint32_t interrupted = engine_->Reg(cpu.sp);
    const uint32_t extra = args.size() > 4 ? 4 * (uint32_t)(args.size() - 4) : 0;
    const uint32_t sp = ((interrupted - 64) & ~7u) - ((cpu.stackArgs + extra + 7) & ~7u);
    if (interrupted > kStackTop || sp < stackBottom_ || sp > interrupted)
        throw GuestFault{"the guest's stack pointer " + Hex(interrupted) + " is outside its stack"};
    TouchStack(sp, interrupted - sp, true);
    for (size_t i = 4; i < args.size(); i++)
        WriteU32(sp + cpu.stackArgs + 4 * (uint32_t)(i - 4), args[i]);
    engine_->SaveRegisters();
    for (size_t i = 0; i < args.size() && i < 4; i++)
        engine_->SetReg(cpu.args[i], args[i]);
    engine_->SetReg(cpu.sp, sp);
    engine_->SetReg(cpu.returnAddress, kReturnTrap);
    // The caller's own values, in the registers a callee gives back.
    for (const Cpu::Kept& k : cpu.kept) {
        if (k.name != NULL && k.reg != cpu.sp)
            engine_->SetReg(k.reg, kCallerValue + (uint32_t)k.reg);
    }
    uint32_t result = 0;
    bool ok = Execute(address, &result);
    for (const Cpu::Kept& k : cpu.kept) {
        const uint32_t expected = k.reg == cpu.sp ? sp : kCallerValue + (uint32_t)k.reg;
        if (ok && k.name != NULL && engine_->Reg(k.reg) != expected)
            ok = Fail(Where(address) + " returned with " + k.name +
                      " changed: CE's caller keeps its own value there");
    }
    engine_->RestoreRegisters();
    if (!ok)
        throw GuestFault{error_};
    return result;
}

bool Runner::RunProgram(const char16_t* commandLine, int* status)
{
    if (!engine_)
        return Fail("no program loaded");
    error_.clear();
    try {
        const uint32_t line = commandLine == NULL ? 0 : WriteScratchText(commandLine);
        const uint32_t showWindow = 5;  // SW_SHOW
        engine_->SetReg(cpu_->sp, kStackTop);
        const uint32_t r0 = CallGuest(image_->imageBase + image_->entryRva,
                                      {image_->imageBase, 0, line, showWindow});
        *status = (int)r0;
        return true;
    } catch (const GuestFault& fault) {
        return Fail(fault.what);
    }
}

bool Runner::CallFunction(const std::string& name, const std::vector<uint32_t>& args,
                          uint32_t* result)
{
    if (!engine_)
        return Fail("no program loaded");
    error_.clear();
    auto it = symbols_.find(name);
    if (it == symbols_.end())
        return Fail("the program has no function " + name);
    try {
        engine_->SetReg(cpu_->sp, kStackTop);
        *result = CallGuest(it->second, args);
        return true;
    } catch (const GuestFault& fault) {
        return Fail(fault.what);
    }
}

bool Runner::WriteText(const std::string& symbol, const std::u16string& text)
{
    auto it = symbols_.find(symbol);
    if (it == symbols_.end())
        return Fail("the program has no global " + symbol);
    std::u16string copy = text + u'\0';
    try {
        WriteBytes(it->second, copy.data(), (uint32_t)copy.size() * 2);
        return true;
    } catch (const GuestFault& fault) {
        return Fail(fault.what);
    }
}

}  // namespace ce
