// ce_runner.cpp: the loader and the host loop of the CE runner, the same for
// every CPU (cpu.h holds what differs). Unicorn runs the guest until it
// reaches a trap: an import's slot, or the return from a call the host made.
// The hook only notes the trap and stops the engine; the host loop then
// answers the import (which may run guest code again, for a dialog
// procedure) and starts the engine anew from the return address. On MIPS the
// stub's jump to the trap has its delay slot inside the program, so the trap
// word itself is the first thing the hook sees there. SH-3 programs run on
// qemu instead (sh_runner.cpp), through the same loader checks, bindings and
// marshalling.
#include "ce_runner.h"

#include <stdio.h>
#include <string.h>
#include <unicorn/unicorn.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "bindings.h"
#include "cpu.h"
#include "guest_layout.h"
#include "host_scene.h"
#include "pe_image.h"
#include "sh_engine.h"

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
// A guest that runs this long without returning is stuck in a loop.
const uint64_t kInstructionLimit = 200000000;

const uint16_t kMachineSh3 = 0x01A2;
const uint16_t kSubsystemCeGui = 9;

std::string Hex(uint32_t v)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08x", v);
    return text;
}

}  // namespace

// The emulated CPU and what its hooks saw.
class Engine {
public:
    const Cpu* cpu = NULL;
    uc_engine* uc = NULL;
    uc_hook trapHook = 0, countHook = 0, faultHook = 0, alignHook = 0;
    uint32_t trapAddress = 0;
    uint64_t instructions = 0;
    bool overLimit = false;
    uint32_t faultAddress = 0;
    int faultType = 0;
    // An executed instruction the device CPU does not have: its address.
    const char* refused = NULL;
    uint32_t refusedPc = 0;
    // A misaligned access: its size, address and the instruction's.
    int misalignedSize = 0;
    bool misalignedWrite = false;
    uint32_t misalignedAddress = 0, misalignedPc = 0;
    // The stack as CE keeps a thread's: the reserve [stackBottom, stackTop),
    // committed a page at a time from the top down. The page below the
    // lowest committed one is the guard: touching it commits it and makes
    // the page below the guard. The reserve's last page is never committed,
    // so touching it as the guard overflows the stack.
    uint32_t stackBottom = 0, stackTop = 0, guardPage = 0;
    // An access by the program below the guard page, or into the last page.
    bool stackFault = false, stackFaultWrite = false, stackOverflow = false;
    uint32_t stackFaultAddress = 0, stackFaultPc = 0;

    ~Engine()
    {
        if (uc != NULL)
            uc_close(uc);
    }

    uint32_t Reg(int reg)
    {
        uint32_t v = 0;
        uc_reg_read(uc, reg, &v);
        return v;
    }
    void SetReg(int reg, uint32_t v) { uc_reg_write(uc, reg, &v); }

    // What touching one address does to the stack.
    StackTouch TouchStack(uint32_t address)
    {
        return TouchGuardedStack(address, stackBottom, stackTop, &guardPage,
                                 [this](uint32_t page) { CommitPage(page); });
    }
    // A device's stack holds whatever was there before, not zeros: a buffer
    // the program forgets to empty before a read that fails must not look
    // empty here.
    void CommitPage(uint32_t page)
    {
        static const std::vector<uint8_t> poison(kPage, kPoisonByte);
        uc_mem_map(uc, page, kPage, UC_PROT_READ | UC_PROT_WRITE);
        uc_mem_write(uc, page, poison.data(), kPage);
    }
};

namespace {

void OnTrap(uc_engine* uc, uint64_t address, uint32_t, void* data)
{
    Engine* e = (Engine*)data;
    e->trapAddress = (uint32_t)address;
    uc_emu_stop(uc);
}

void OnInstruction(uc_engine* uc, uint64_t address, uint32_t size, void* data)
{
    Engine* e = (Engine*)data;
    if (e->cpu->refusal != NULL && e->refused == NULL) {
        uint32_t word = 0;
        if (size == 4 && uc_mem_read(uc, address, &word, 4) == UC_ERR_OK &&
            (e->refused = e->cpu->refusal(word)) != NULL) {
            e->refusedPc = (uint32_t)address;
            uc_emu_stop(uc);
            return;
        }
    }
    if (++e->instructions > kInstructionLimit && !e->overLimit) {
        e->overLimit = true;
        uc_emu_stop(uc);
    }
}

bool OnBadAccess(uc_engine*, uc_mem_type type, uint64_t address, int, int64_t, void* data)
{
    Engine* e = (Engine*)data;
    if (type == UC_MEM_READ_UNMAPPED || type == UC_MEM_WRITE_UNMAPPED) {
        const StackTouch touch = e->TouchStack((uint32_t)address);
        if (touch == kCommitted)
            return true;  // the guard page, now committed: the access goes on
        if (touch != kNotStack) {
            e->stackFault = true;
            e->stackFaultWrite = type == UC_MEM_WRITE_UNMAPPED;
            e->stackOverflow = touch == kOverflow;
            e->stackFaultAddress = (uint32_t)address;
            e->stackFaultPc = e->Reg(e->cpu->pc);
            return false;
        }
    }
    e->faultAddress = (uint32_t)address;
    e->faultType = type;
    return false;
}

// ARM, MIPS and SH CE devices fault on a halfword or word access that is not
// aligned to its size and end the program; Unicorn's ARM models just do it.
// Its MIPS model raises an address error, but this hook sees the access
// first and names it.
void OnAccess(uc_engine* uc, uc_mem_type type, uint64_t address, int size, int64_t, void* data)
{
    Engine* e = (Engine*)data;
    if (size <= 1 || (address & (uint64_t)(size - 1)) == 0 || e->misalignedSize != 0)
        return;
    e->misalignedSize = size;
    e->misalignedWrite = type == UC_MEM_WRITE;
    e->misalignedAddress = (uint32_t)address;
    e->misalignedPc = e->Reg(e->cpu->pc);
    uc_emu_stop(uc);
}

const char* AccessName(int type)
{
    switch (type) {
    case UC_MEM_READ_UNMAPPED: return "read of unmapped memory";
    case UC_MEM_WRITE_UNMAPPED: return "write to unmapped memory";
    case UC_MEM_FETCH_UNMAPPED: return "jump to unmapped memory";
    case UC_MEM_WRITE_PROT: return "write to read-only memory";
    case UC_MEM_READ_PROT: return "read of unreadable memory";
    case UC_MEM_FETCH_PROT: return "jump into memory that is not code";
    default: return "bad memory access";
    }
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
    return engine_ ? engine_->instructions : 0;
}

bool Runner::CountsInstructions() const
{
    return engine_ != NULL;
}

const char* Runner::InstructionSet() const
{
    if (!engine_)
        return "SH-3";
    return engine_->cpu == &kCpuMips ? "MIPS" : "ARM";
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
    sh_.reset();
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
    const Cpu* cpu = CpuForMachine(im.machine);
    if (cpu == NULL && im.machine != kMachineSh3)
        return Fail(exePath + ": machine " + Hex(im.machine) +
                    " is not ARM (0x01c0), MIPS (0x0166) or SH-3 (0x01a2)");
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

    if (!(cpu != NULL ? LoadUnicorn(exePath, cpu) : LoadSh(exePath)))
        return false;
    const uint32_t base = im.imageBase;
    for (uintptr_t h : kFixedHandles) {
        toGuest_[h] = (uint32_t)h;
        toHost_[(uint32_t)h] = h;
    }
    toGuest_[base] = base;
    toHost_[base] = base;

    // NAME.syms: "address size type name(arguments)" per line, from nm -S -C.
    // Symbols without a size are the linker script's layout marks, not
    // functions or globals.
    std::string syms = exePath;
    if (syms.size() > 4 && syms.compare(syms.size() - 4, 4, ".exe") == 0)
        syms.replace(syms.size() - 4, 4, ".syms");
    std::ifstream in(syms);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string address, size, type, name;
        if (!(fields >> address >> size >> type) || type.size() != 1 ||
            !std::getline(fields >> std::ws, name))
            continue;
        const uint32_t at = (uint32_t)strtoul(address.c_str(), NULL, 16);
        const std::string anonymous = "(anonymous namespace)::";
        if (name.compare(0, anonymous.size(), anonymous) == 0)
            name.erase(0, anonymous.size());
        const std::string shortName = name.substr(0, name.find('('));
        symbols_[shortName] = at;
        if (type == "T" || type == "t")
            functions_.push_back({at, shortName});
    }
    std::sort(functions_.begin(), functions_.end());

    // The system decides once, from the image, whether the program sees
    // the screen through the legacy layer.
    try {
        const bool newer = im.subsystemMajor > 4 || (im.subsystemMajor == 4 && im.subsystemMinor > 20);
        host::SetLegacyProgram(!newer && !HasHiResAware());
    } catch (const GuestFault& fault) {
        return Fail(exePath + ": " + fault.what);
    }
    return true;
}

bool Runner::LoadUnicorn(const std::string& exePath, const Cpu* cpu)
{
    PeImage& im = *image_;
    const uint32_t reserve = PageAlign(im.stackReserve);
    // The CPU model is chosen before anything else is set up.
    engine_.reset(new Engine);
    Engine& e = *engine_;
    e.cpu = cpu;
    if (uc_open(cpu->arch, (uc_mode)cpu->mode, &e.uc) != UC_ERR_OK)
        return Fail(std::string("cannot start the emulator for the ") + cpu->name);
    if (uc_ctl_set_cpu_model(e.uc, cpu->model) != UC_ERR_OK)
        return Fail(std::string("the emulator has no model for the ") + cpu->name);

    // Headers read-only, then each section with its own protection. The
    // part of a section past its raw data is zero, as the loader leaves it.
    const uint32_t base = im.imageBase;
    uc_mem_map(e.uc, base, PageAlign(im.sizeOfHeaders), UC_PROT_READ);
    uc_mem_write(e.uc, base, im.file.data(), std::min<size_t>(im.sizeOfHeaders, im.file.size()));
    for (const PeSection& s : im.sections) {
        const uint32_t size = PageAlign(std::max(s.virtualSize, s.rawSize));
        uint32_t prot = UC_PROT_READ;
        if (s.characteristics & kExecute)
            prot |= UC_PROT_EXEC;
        if (s.characteristics & kWrite)
            prot |= UC_PROT_WRITE;
        if (size == 0)
            continue;
        if (uc_mem_map(e.uc, base + s.rva, size, prot) != UC_ERR_OK)
            return Fail(exePath + ": section " + s.name + " overlaps another");
        uc_mem_write(e.uc, base + s.rva, im.file.data() + s.rawOffset, std::min(s.rawSize, size));
        if (prot & UC_PROT_EXEC) {
            uc_hook_add(e.uc, &e.countHook, UC_HOOK_CODE, (void*)OnInstruction, &e,
                        base + s.rva, base + s.rva + size - 1);
        }
    }
    // The system commits the stack's top page when the thread starts; the
    // rest of the reserve stays unmapped until the program grows into it.
    e.stackTop = kStackTop;
    e.stackBottom = kStackTop - reserve;
    e.CommitPage(kStackTop - kPage);
    e.guardPage = kStackTop - 2 * kPage;
    uc_mem_map(e.uc, kScratchBase, kScratchSize, UC_PROT_READ | UC_PROT_WRITE);
    const std::vector<uint8_t> poison(kScratchSize, kPoisonByte);
    uc_mem_write(e.uc, kScratchBase, poison.data(), kScratchSize);
    // Each import's slot points at its own word of the trap page; the words
    // are never run, the hook stops the engine on them first.
    uc_mem_map(e.uc, kTrapBase, kTrapSize, UC_PROT_READ | UC_PROT_EXEC);
    for (size_t i = 0; i < im.imports.size(); i++) {
        const uint32_t slot = base + im.imports[i].slotRva;
        const uint32_t trap = kTrapBase + 4 * (uint32_t)i;
        if (uc_mem_write(e.uc, slot, &trap, 4) != UC_ERR_OK)
            return Fail(exePath + ": the address slot of " + im.imports[i].name +
                        " is outside the image");
    }
    uc_hook_add(e.uc, &e.trapHook, UC_HOOK_CODE, (void*)OnTrap, &e, kTrapBase,
                kTrapBase + kTrapSize - 1);
    uc_hook_add(e.uc, &e.faultHook, UC_HOOK_MEM_INVALID, (void*)OnBadAccess, &e, 1, 0);
    uc_hook_add(e.uc, &e.alignHook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, (void*)OnAccess, &e, 1,
                0);
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
    // CE's SH callee finds words 5 and later above its 16-byte argument area.
    if (sh_)
        return index < 4 ? sh_->Reg(kShR4 + index)
                         : ReadU32(sh_->Reg(kShR15) + 16 + 4 * (uint32_t)(index - 4));
    Engine& e = *engine_;
    if (index < 4)
        return e.Reg(e.cpu->args[index]);
    return ReadU32(e.Reg(e.cpu->sp) + e.cpu->stackArgs + 4 * (uint32_t)(index - 4));
}

// The system's own reads and writes of guest memory grow the stack as the
// program's do: a call goes through a buffer from its start up, and the
// system writes a callback's frame from the top down.
void Runner::TouchStack(uint32_t address, uint32_t size, bool downward)
{
    const uint32_t top = sh_ ? kStackTop : engine_->stackTop;
    const uint32_t bottom = sh_ ? shStackBottom_ - kPage : engine_->stackBottom;
    const uint64_t end = (uint64_t)address + size;
    if (size == 0 || address >= top || end <= bottom)
        return;
    const uint32_t first = PageOf(std::max(address, bottom));
    const uint32_t last = PageOf((uint32_t)(std::min<uint64_t>(end, top) - 1));
    for (uint32_t i = 0; i <= (last - first) / kPage; i++) {
        const uint32_t page = downward ? last - i * kPage : first + i * kPage;
        const uint32_t at = std::max(address, page);
        const uint32_t guard = sh_ ? shGuardPage_ : engine_->guardPage;
        bool below = false, overflow = false;
        if (sh_) {
            const StackTouch touch = (StackTouch)TouchShStack(page);
            below = touch == kBelowGuard;
            overflow = touch == kOverflow;
        } else {
            const StackTouch touch = engine_->TouchStack(page);
            below = touch == kBelowGuard;
            overflow = touch == kOverflow;
        }
        if (below)
            throw GuestFault{"the system's access to " + Hex(at) + " lies below the stack's guard page at " +
                             Hex(guard) + ": a device ends the program here"};
        if (overflow)
            throw GuestFault{"the system's access to " + Hex(at) + " uses up the stack's " +
                             std::to_string(top - bottom) +
                             "-byte reserve: a device ends the program here"};
    }
}

std::vector<uint8_t> Runner::ReadBytes(uint32_t address, uint32_t size)
{
    std::vector<uint8_t> out(size);
    if (size <= 0x1000000)
        TouchStack(address, size, false);
    if (size > 0x1000000 ||
        (size > 0 && !(sh_ ? sh_->Read(address, out.data(), size)
                           : uc_mem_read(engine_->uc, address, out.data(), size) == UC_ERR_OK)))
        throw GuestFault{"cannot read " + std::to_string(size) + " bytes at " + Hex(address)};
    return out;
}

void Runner::WriteBytes(uint32_t address, const void* data, uint32_t size)
{
    TouchStack(address, size, false);
    if (size > 0 && !(sh_ ? sh_->Write(address, data, size)
                          : uc_mem_write(engine_->uc, address, data, size) == UC_ERR_OK))
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
    // Through qemu's stub a read is a round trip: SH text comes in pieces,
    // none crossing a page, so that only an unmapped page stops it.
    std::vector<uint16_t> piece;
    uint32_t pieceAt = 0;
    for (uint32_t i = 0; i < maxChars; i++) {
        uint16_t c = 0;
        const uint32_t at = address + 2 * i;
        if (i == 0 || (at & (kPage - 1)) == 0)
            TouchStack(at, 2, false);
        if (sh_ && (piece.empty() || at < pieceAt || at >= pieceAt + 2 * piece.size())) {
            const uint32_t bytes = std::min<uint32_t>(256, kPage - (at & (kPage - 1))) & ~1u;
            piece.assign(std::max<uint32_t>(bytes, 2) / 2, 0);
            pieceAt = at;
            if (!sh_->Read(at, piece.data(), 2 * (uint32_t)piece.size()))
                piece.clear();
        }
        const bool ok = sh_ ? !piece.empty() : uc_mem_read(engine_->uc, at, &c, 2) == UC_ERR_OK;
        if (ok && sh_)
            c = piece[(at - pieceAt) / 2];
        if (!ok)
            throw GuestFault{"text at " + Hex(address) + " runs into unmapped memory"};
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

bool Runner::Execute(uint32_t pc, uint32_t* r0)
{
    if (sh_)
        return ExecuteSh(pc, r0);
    Engine& e = *engine_;
    for (;;) {
        e.trapAddress = 0;
        e.faultType = 0;
        e.stackFault = false;
        e.refused = NULL;
        const uc_err err = uc_emu_start(e.uc, pc, 0, 0, 0);
        const uint32_t at = e.Reg(e.cpu->pc);
        if (e.misalignedSize != 0) {
            uint32_t word = 0;
            uc_mem_read(e.uc, e.misalignedPc, &word, 4);
            return Fail("misaligned " + std::to_string(e.misalignedSize) + "-byte " +
                        (e.misalignedWrite ? "write to " : "read of ") +
                        Hex(e.misalignedAddress) + " by the instruction " + Hex(word) + " at " +
                        Where(e.misalignedPc) + ": a device ends the program here");
        }
        if (e.stackFault) {
            uint32_t word = 0;
            uc_mem_read(e.uc, e.stackFaultPc, &word, 4);
            const std::string access = std::string(e.stackFaultWrite ? "write to " : "read of ") +
                                       Hex(e.stackFaultAddress) + ", ";
            const std::string by = ", by the instruction " + Hex(word) + " at " +
                                   Where(e.stackFaultPc) + ": a device ends the program here";
            if (e.stackOverflow)
                return Fail(access + "in the last page of the stack's " +
                            std::to_string(e.stackTop - e.stackBottom) + "-byte reserve" + by);
            return Fail(access + "below the stack's guard page at " + Hex(e.guardPage) + by);
        }
        if (e.refused != NULL) {
            uint32_t word = 0;
            uc_mem_read(e.uc, e.refusedPc, &word, 4);
            return Fail(std::string("the ") + e.cpu->name + " has no such instruction: " +
                        Hex(word) + ", " + e.refused + ", at " + Where(e.refusedPc));
        }
        if (e.overLimit)
            return Fail("ran " + std::to_string(kInstructionLimit) +
                        " instructions without returning, at " + Where(at));
        if (err == UC_ERR_INSN_INVALID) {
            uint32_t word = 0;
            uc_mem_read(e.uc, at, &word, 4);
            return Fail(std::string("the ") + e.cpu->name + " rejects the instruction " + Hex(word) +
                        " at " + Where(at));
        }
        if (err != UC_ERR_OK && e.faultType != 0)
            return Fail(std::string(AccessName(e.faultType)) + " at " + Hex(e.faultAddress) +
                        ", pc " + Where(at));
        if (err != UC_ERR_OK)
            return Fail(std::string("emulation stopped: ") + uc_strerror(err) + " at " + Where(at));
        if (e.trapAddress == kReturnTrap) {
            *r0 = e.Reg(e.cpu->result);
            return true;
        }
        if (e.trapAddress == 0)
            return Fail("the program jumped to address 0 from " + Where(e.Reg(e.cpu->returnAddress)));
        const size_t import = (e.trapAddress - kTrapBase) / 4;
        if (import >= bindings_.size())
            return Fail("jump into the trap page outside any import, from " +
                        Where(e.Reg(e.cpu->returnAddress)));
        if (!Dispatch(import))
            return false;
        pc = e.Reg(e.cpu->returnAddress);
    }
}

bool Runner::Dispatch(size_t import)
{
    const Binding& b = kBindings[bindings_[import]];
    const uint32_t caller = sh_ ? sh_->Reg(kShPr) : engine_->Reg(engine_->cpu->returnAddress);
    std::vector<uint32_t> args;
    uint32_t result;
    try {
        for (int i = 0; i < b.arity; i++)
            args.push_back(Arg(i));
        if (sh_) {
            // A CE callee may keep r4-r7 in the argument area its caller
            // reserved: the runner does, so a caller that reserved none
            // finds its own frame overwritten, as on a device.
            const uint32_t area[4] = {sh_->Reg(kShR4), sh_->Reg(kShR4 + 1), sh_->Reg(kShR4 + 2),
                                      sh_->Reg(kShR4 + 3)};
            WriteBytes(sh_->Reg(kShR15), area, sizeof(area));
        }
        result = b.call(*this);
    } catch (const GuestFault& fault) {
        // A fault deeper down (in a dialog procedure the call ran) has
        // already said where it was; keep that.
        return Fail(error_.empty() ? std::string(b.name) + " called from " + Where(caller) + ": " +
                                         fault.what
                                   : error_);
    }
    // COREDLL keeps only what the CPU's calling convention preserves.
    if (sh_) {
        // SH: r8-r15 (and PR, for the return); r1-r7, MACH, MACL and the T
        // bit come back as whatever COREDLL left there.
        sh_->SetReg(kShR0, result);
        for (int r = 1; r <= 7; r++)
            sh_->SetReg(kShR0 + r, 0xBAD0BAD0u | (uint32_t)r << 16);
        sh_->SetReg(kShMach, 0xBADABAD0);
        sh_->SetReg(kShMacl, 0xBADBBAD0);
        sh_->SetReg(kShSr, sh_->Reg(kShSr) ^ kShSrT);
    } else {
        engine_->cpu->clobber(engine_->uc);
        engine_->SetReg(engine_->cpu->result, result);
    }
    if (log_) {
        std::string line = std::string(b.name) + "(";
        for (size_t i = 0; i < args.size(); i++) {
            char text[16];
            snprintf(text, sizeof(text), "%s0x%x", i ? ", " : "", args[i]);
            line += text;
        }
        char text[32];
        snprintf(text, sizeof(text), ") = 0x%x", result);
        log_(line + text);
    }
    return true;
}

uint32_t Runner::CallGuest(uint32_t address, const std::vector<uint32_t>& args)
{
    if (sh_)
        return CallGuestSh(address, args);
    Engine& e = *engine_;
    // Below whatever the interrupted code has on its stack, 8-byte aligned,
    // with the CPU's home area and the arguments past the fourth above it.
    const uint32_t interrupted = e.Reg(e.cpu->sp);
    uint32_t sp = (interrupted - 64) & ~7u;
    const uint32_t home = e.cpu->stackArgs;
    const uint32_t extra = args.size() > 4 ? 4 * (uint32_t)(args.size() - 4) : 0;
    if (home + extra != 0) {
        sp -= home + extra;
        sp &= ~7u;
    }
    if (interrupted > e.stackTop || sp < e.stackBottom || sp > interrupted)
        throw GuestFault{"the guest's stack pointer " + Hex(interrupted) + " is outside its stack"};
    TouchStack(sp, interrupted - sp, true);
    for (size_t i = 4; i < args.size(); i++)
        WriteU32(sp + home + 4 * (uint32_t)(i - 4), args[i]);
    uc_context* saved = NULL;
    uc_context_alloc(e.uc, &saved);
    uc_context_save(e.uc, saved);
    for (size_t i = 0; i < args.size() && i < 4; i++)
        e.SetReg(e.cpu->args[i], args[i]);
    e.SetReg(e.cpu->sp, sp);
    e.SetReg(e.cpu->returnAddress, kReturnTrap);
    uint32_t r0 = 0;
    const bool ok = Execute(address, &r0);
    uc_context_restore(e.uc, saved);
    uc_context_free(saved);
    if (!ok)
        throw GuestFault{error_};
    return r0;
}

bool Runner::RunProgram(const char16_t* commandLine, int* status)
{
    if (!engine_ && !sh_)
        return Fail("no program loaded");
    error_.clear();
    try {
        const uint32_t line = commandLine == NULL ? 0 : WriteScratchText(commandLine);
        const uint32_t showWindow = 5;  // SW_SHOW
        ResetStack();
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
    if (!engine_ && !sh_)
        return Fail("no program loaded");
    error_.clear();
    auto it = symbols_.find(name);
    if (it == symbols_.end())
        return Fail("the program has no function " + name);
    try {
        ResetStack();
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

// ---- Resources of the image ---------------------------------------------

namespace {

// One level of the resource tree: the entry whose id matches, or the first
// entry (language level). Returns its offset field, or 0.
uint32_t ResourceEntry(Runner& r, uint32_t directory, uint32_t id, bool first)
{
    const uint32_t named = r.ReadU32(directory + 12) & 0xFFFF;
    const uint32_t ids = r.ReadU32(directory + 12) >> 16;
    for (uint32_t i = 0; i < named + ids && i < 4096; i++) {
        const uint32_t entry = directory + 16 + 8 * i;
        const uint32_t name = r.ReadU32(entry);
        if (first || ((name & 0x80000000u) == 0 && name == id))
            return r.ReadU32(entry + 4);
    }
    return 0;
}

// One level of the resource tree: the entry named by that text, matched
// without case as the system matches resource names; its offset field, or 0.
uint32_t NamedResourceEntry(Runner& r, uint32_t root, uint32_t directory, const std::u16string& text)
{
    const uint32_t named = r.ReadU32(directory + 12) & 0xFFFF;
    for (uint32_t i = 0; i < named && i < 4096; i++) {
        const uint32_t entry = directory + 16 + 8 * i;
        const uint32_t name = r.ReadU32(entry);
        if ((name & 0x80000000u) == 0)
            continue;
        const uint32_t at = root + (name & 0x7FFFFFFF);
        const uint32_t length = r.ReadU32(at) & 0xFFFF;
        std::vector<uint8_t> chars = r.ReadBytes(at + 2, 2 * length);
        std::u16string found;
        for (uint32_t c = 0; c < length; c++) {
            char16_t ch = (char16_t)(chars[2 * c] | chars[2 * c + 1] << 8);
            found += (ch >= u'a' && ch <= u'z') ? (char16_t)(ch - 32) : ch;
        }
        if (found == text)
            return r.ReadU32(entry + 4);
    }
    return 0;
}

}  // namespace

bool Runner::HasHiResAware()
{
    if (image_->resourceRva == 0)
        return false;
    const uint32_t root = Instance() + image_->resourceRva;
    const uint32_t byType = NamedResourceEntry(*this, root, root, u"CEUX");
    if ((byType & 0x80000000u) == 0)
        return false;
    const uint32_t byName = NamedResourceEntry(*this, root, root + (byType & 0x7FFFFFFF), u"HI_RES_AWARE");
    if ((byName & 0x80000000u) == 0)
        return false;
    // Only the neutral language is found whatever the device's own language
    // is; a copy under one language would be missed on devices of another.
    const uint32_t leaf = ResourceEntry(*this, root + (byName & 0x7FFFFFFF), 0, false);
    if (leaf == 0 || (leaf & 0x80000000u) != 0)
        return false;
    const uint32_t data = root + leaf;
    return ReadU32(data + 4) >= 2 && (ReadU32(Instance() + ReadU32(data)) & 0xFFFF) == 1;
}

uint32_t Runner::FindResource(uint32_t module, uint32_t name, uint32_t type)
{
    // CE looks only in the module it is given; NULL is no module there.
    if (module != Instance() || image_->resourceRva == 0)
        return 0;
    if ((name >> 16) != 0 || (type >> 16) != 0)
        throw GuestFault{"resources named by text are not modelled"};
    const uint32_t root = Instance() + image_->resourceRva;
    const uint32_t byType = ResourceEntry(*this, root, type, false);
    if ((byType & 0x80000000u) == 0)
        return 0;
    const uint32_t byName = ResourceEntry(*this, root + (byType & 0x7FFFFFFF), name, false);
    if ((byName & 0x80000000u) == 0)
        return 0;
    const uint32_t leaf = ResourceEntry(*this, root + (byName & 0x7FFFFFFF), 0, true);
    if (leaf == 0 || (leaf & 0x80000000u) != 0)
        return 0;
    return root + leaf;  // the data entry itself is the handle
}

uint32_t Runner::LoadResource(uint32_t module, uint32_t resource)
{
    if ((module != 0 && module != Instance()) || resource == 0)
        return 0;
    const uint32_t root = Instance() + image_->resourceRva;
    if (resource < root || resource >= root + image_->resourceSize)
        throw GuestFault{"not a resource handle: " + Hex(resource)};
    // CE's resources are already in memory: the address is the data's.
    return Instance() + ReadU32(resource);
}

void Runner::ResetStack()
{
    if (sh_)
        sh_->SetReg(kShR15, kStackTop);
    else
        engine_->SetReg(engine_->cpu->sp, engine_->stackTop);
}

}  // namespace ce
