// sh_runner.cpp: the CE runner's SH-3 side: the image, stack and trap page
// put in place through the SH engine (qemu), the run from trap to trap, and
// calls into the guest under CE's SH convention. The imports are answered by
// Runner::Dispatch, from the same bindings and stand-in as on ARM.
#include <signal.h>
#include <stdio.h>

#include <algorithm>

#include "ce_runner.h"
#include "guest_layout.h"
#include "pe_image.h"
#include "sh_engine.h"

namespace ce {

using namespace layout;

namespace {

// A guest that runs this long without reaching a trap is stuck in a loop.
const int kShRunLimitMs = 30000;
// r8-r14 of a caller of guest code: kCallerValue + the register's number.
const uint32_t kCallerValue = 0xCA11E000;

int ShProtection(uint32_t characteristics)
{
    int prot = ShEngine::kRead;
    if (characteristics & kExecute)
        prot |= ShEngine::kExecute;
    if (characteristics & kWrite)
        prot |= ShEngine::kWrite;
    return prot;
}

}  // namespace

bool Runner::LoadSh(const std::string& exePath)
{
    PeImage& im = *image_;
    sh_.reset(new ShEngine);
    std::string why;
    if (!sh_->Start(CE_QEMU_SH4, CE_SH_LOADER, &why))
        return Fail(why);
    // Every part is mapped writable, filled, then given its protection.
    const uint32_t base = im.imageBase;
    std::vector<std::pair<uint32_t, uint32_t>> mapped;  // start, end
    std::vector<std::pair<uint32_t, int>> protections;
    auto map = [&](uint32_t at, uint32_t size, int prot) {
        for (const auto& m : mapped) {
            if (at < m.second && m.first < at + size)
                return false;
        }
        if (!sh_->Map(at, size, ShEngine::kRead | ShEngine::kWrite))
            return false;
        mapped.push_back({at, at + size});
        protections.push_back({at, prot});
        return true;
    };
    const uint32_t headers = PageAlign(im.sizeOfHeaders);
    if (!map(base, headers, ShEngine::kRead) ||
        !sh_->Write(base, im.file.data(), (uint32_t)std::min<size_t>(im.sizeOfHeaders, im.file.size())))
        return Fail(exePath + ": cannot map the headers");
    for (const PeSection& s : im.sections) {
        const uint32_t size = PageAlign(std::max(s.virtualSize, s.rawSize));
        if (size == 0)
            continue;
        if (!map(base + s.rva, size, ShProtection(s.characteristics)))
            return Fail(exePath + ": section " + s.name + " overlaps another");
        if (!sh_->Write(base + s.rva, im.file.data() + s.rawOffset, std::min(s.rawSize, size)))
            return Fail(exePath + ": cannot load section " + s.name);
    }
    // The stack's reserve as the header asks, filled, then committed a page
    // at a time as CE grows it: the top page is usable, the one below is
    // the guard, and everything under it is inaccessible. A fault on the
    // guard page commits it (ShStackFault); a fault below it, as a frame
    // over a page makes, ends the run. The reserve's last page is never
    // mapped at all.
    const uint32_t reserve = PageAlign(im.stackReserve);
    shStackBottom_ = kStackTop - reserve + kPage;
    shGuardPage_ = kStackTop - 2 * kPage;
    const uint32_t committed = kStackTop - shStackBottom_;
    const std::vector<uint8_t> poison(std::max(committed, kScratchSize), kPoisonByte);
    if (!map(shStackBottom_, committed, ShEngine::kRead | ShEngine::kWrite) ||
        !map(kScratchBase, kScratchSize, ShEngine::kRead | ShEngine::kWrite) ||
        !sh_->Write(shStackBottom_, poison.data(), committed) ||
        !sh_->Write(kScratchBase, poison.data(), kScratchSize) ||
        !sh_->Protect(shStackBottom_, shGuardPage_ + kPage - shStackBottom_, 0))
        return Fail("cannot map the SH stack");
    // The trap page holds zeros, which the SH does not run: only the
    // breakpoints on its words, one per import, are ever reached.
    if (!map(kTrapBase, kTrapSize, ShEngine::kRead | ShEngine::kExecute) ||
        !sh_->SetBreakpoint(kReturnTrap))
        return Fail("cannot map the SH trap page");
    for (size_t i = 0; i < im.imports.size(); i++) {
        const uint32_t slot = base + im.imports[i].slotRva;
        const uint32_t trap = kTrapBase + 4 * (uint32_t)i;
        if (!sh_->Write(slot, &trap, 4))
            return Fail(exePath + ": the address slot of " + im.imports[i].name +
                        " is outside the image");
        if (!sh_->SetBreakpoint(trap))
            return Fail("cannot set the trap of " + im.imports[i].name);
    }
    for (size_t i = 0; i < protections.size(); i++) {
        const int prot = protections[i].second;
        if (prot != (ShEngine::kRead | ShEngine::kWrite) &&
            !sh_->Protect(mapped[i].first, mapped[i].second - mapped[i].first, prot))
            return Fail("cannot protect the SH image");
    }
    return true;
}

namespace {

// The data address an SH-3 instruction reads or writes through a register,
// as the CPU forms it before the access; false for any other instruction.
bool ShDataAddress(uint16_t op, const ShEngine& sh, uint32_t* address)
{
    const int n = (op >> 8) & 15, m = (op >> 4) & 15, low = op & 15;
    const uint32_t rn = sh.Reg(n), rm = sh.Reg(m), r0 = sh.Reg(0);
    static const uint32_t kSize[] = {1, 2, 4};
    switch (op >> 12) {
    case 0x0:  // mov.x Rm,@(R0,Rn) and mov.x @(R0,Rm),Rn
        if (low >= 4 && low <= 6)
            return *address = r0 + rn, true;
        if (low >= 12 && low <= 14)
            return *address = r0 + rm, true;
        return false;
    case 0x1:  // mov.l Rm,@(disp,Rn)
        return *address = rn + 4 * (uint32_t)low, true;
    case 0x2:  // mov.x Rm,@Rn and mov.x Rm,@-Rn
        if (low <= 2)
            return *address = rn, true;
        if (low >= 4 && low <= 6)
            return *address = rn - kSize[low - 4], true;
        return false;
    case 0x4:  // sts.l/stc.l x,@-Rn and lds.l/ldc.l @Rm+,x
        if (low == 2 || low == 3)
            return *address = rn - 4, true;
        if (low == 6 || low == 7)
            return *address = rn, true;
        return false;
    case 0x5:  // mov.l @(disp,Rm),Rn
        return *address = rm + 4 * (uint32_t)low, true;
    case 0x6:  // mov.x @Rm,Rn and mov.x @Rm+,Rn
        if (low <= 2 || (low >= 4 && low <= 6))
            return *address = rm, true;
        return false;
    case 0x8:  // mov.b/w R0,@(disp,Rn) and mov.b/w @(disp,Rm),R0
        switch (n) {
        case 0: return *address = rm + low, true;
        case 1: return *address = rm + 2 * (uint32_t)low, true;
        case 4: return *address = rm + low, true;
        case 5: return *address = rm + 2 * (uint32_t)low, true;
        }
        return false;
    }
    return false;
}

// Branches whose next instruction runs in their delay slot, where a fault
// is reported at the branch.
bool ShDelayedBranch(uint16_t op)
{
    const uint16_t top = op & 0xF000, low = op & 0xF0FF;
    return top == 0xA000 || top == 0xB000 || (op & 0xFF00) == 0x8D00 || (op & 0xFF00) == 0x8F00 ||
           op == 0x000B || op == 0x002B || low == 0x0003 || low == 0x0023 || low == 0x400B ||
           low == 0x402B;
}

std::string Hex32(uint32_t v)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%08x", v);
    return text;
}

}  // namespace

int Runner::TouchShStack(uint32_t address)
{
    return TouchGuardedStack(address, shStackBottom_ - kPage, kStackTop, &shGuardPage_,
                             [this](uint32_t page) {
                                 if (!sh_->Protect(page, kPage, ShEngine::kRead | ShEngine::kWrite))
                                     throw GuestFault{"cannot commit the SH stack's page at " +
                                                      Hex32(page)};
                             });
}

std::string Runner::ShStackFault(uint32_t pc, uint16_t instruction, bool* resume)
{
    *resume = false;
    uint32_t at = pc;
    uint16_t op = instruction;
    uint32_t address = 0;
    if (!ShDataAddress(op, *sh_, &address)) {
        uint16_t slot = 0;
        if (!ShDelayedBranch(op) || !sh_->Read(pc + 2, &slot, 2) ||
            !ShDataAddress(slot, *sh_, &address))
            return "";
        at = pc + 2;
        op = slot;
    }
    char code[8];
    snprintf(code, sizeof(code), "%04x", op);
    const uint32_t guard = shGuardPage_;
    std::string by = std::string(", by the instruction ") + code + " at " + Where(at) +
                     ": a device ends the program here";
    switch ((StackTouch)TouchShStack(address)) {
    case kNotStack:
        return "";
    case kCommitted:
        *resume = true;
        return "";
    case kBelowGuard:
        return "access to " + Hex32(address) + ", below the stack's guard page at " + Hex32(guard) + by;
    case kOverflow:
        return "access to " + Hex32(address) + ", in the last page of the stack's " +
               std::to_string(kStackTop - (shStackBottom_ - kPage)) + "-byte reserve" + by;
    }
    return "";
}

bool Runner::ExecuteSh(uint32_t pc, uint32_t* r0)
{
    for (;;) {
        const ShEngine::Stop stop = sh_->Run(pc, kShRunLimitMs);
        uint16_t instruction = 0;
        // After an illegal instruction qemu has ended: the instruction is
        // read from the file instead.
        if (stop.kind == ShEngine::kFault && !sh_->Read(stop.pc, &instruction, 2)) {
            for (const PeSection& s : image_->sections) {
                const uint32_t at = stop.pc - image_->imageBase - s.rva;
                if (stop.pc >= image_->imageBase + s.rva && at + 2 <= s.rawSize &&
                    s.rawOffset + at + 2 <= image_->file.size())
                    instruction = (uint16_t)(image_->file[s.rawOffset + at] |
                                             image_->file[s.rawOffset + at + 1] << 8);
            }
        }
        char code[8];
        snprintf(code, sizeof(code), "%04x", instruction);
        switch (stop.kind) {
        case ShEngine::kTimeout:
            return Fail("ran " + std::to_string(kShRunLimitMs / 1000) +
                        " seconds without returning, at " + Where(stop.pc));
        case ShEngine::kExited:
        case ShEngine::kLost:
            return Fail("qemu running the SH code went away, near " + Where(stop.pc));
        case ShEngine::kFault:
            if (stop.signal == SIGBUS)
                return Fail(std::string("misaligned access by the instruction ") + code + " at " +
                            Where(stop.pc) + ": a device ends the program here");
            if (stop.signal == SIGSEGV) {
                bool resume = false;
                const std::string fault = ShStackFault(stop.pc, instruction, &resume);
                if (resume) {
                    pc = stop.pc;  // the guard page is committed now: run it again
                    continue;
                }
                if (!fault.empty())
                    return Fail(fault);
            }
            if (stop.signal == SIGSEGV)
                return Fail(std::string("access to unmapped or protected memory by the "
                                        "instruction ") + code + " at " + Where(stop.pc) +
                            (stop.pc == 0 ? ", a jump to address 0 from " + Where(sh_->Reg(kShPr))
                                          : std::string()));
            if (stop.signal == SIGILL)
                return Fail(std::string("the SH CPU rejects the instruction ") + code + " at " +
                            Where(stop.pc));
            return Fail("signal " + std::to_string(stop.signal) + " at " + Where(stop.pc));
        case ShEngine::kBreakpoint:
            break;
        }
        if (stop.pc == kReturnTrap) {
            *r0 = sh_->Reg(kShR0);
            return true;
        }
        const size_t import = (stop.pc - kTrapBase) / 4;
        if (stop.pc < kTrapBase || stop.pc % 4 != 0 || import >= bindings_.size())
            return Fail("stopped at " + Where(stop.pc) + " outside any import, from " +
                        Where(sh_->Reg(kShPr)));
        if (!Dispatch(import))
            return false;
        pc = sh_->Reg(kShPr);
    }
}

uint32_t Runner::CallGuestSh(uint32_t address, const std::vector<uint32_t>& args)
{
    const std::vector<uint32_t> saved = sh_->Registers();
    // As a CE caller does: the 16-byte argument area the callee may spill
    // r4-r7 into, then words 5 and later, below what the interrupted code
    // has on its stack.
    const uint32_t extra = args.size() > 4 ? (uint32_t)args.size() - 4 : 0;
    const uint32_t sp = ((sh_->Reg(kShR15) - 64) & ~7u) - ((16 + 4 * extra + 7) & ~7u);
    if (sp < shStackBottom_ + 256 || sp > sh_->Reg(kShR15))
        throw GuestFault{"the guest's stack pointer " + Where(sh_->Reg(kShR15)) +
                         " leaves no room on its stack"};
    TouchStack(sp, sh_->Reg(kShR15) - sp, true);
    for (uint32_t i = 0; i < extra; i++)
        WriteU32(sp + 16 + 4 * i, args[4 + i]);
    for (size_t i = 0; i < args.size() && i < 4; i++)
        sh_->SetReg(kShR4 + (int)i, args[i]);
    sh_->SetReg(kShR15, sp);
    sh_->SetReg(kShPr, kReturnTrap);
    // The caller's own values in r8-r14, which CE's SH convention has the
    // callee give back as it found them.
    for (int r = 8; r <= 14; r++)
        sh_->SetReg(r, kCallerValue + (uint32_t)r);
    uint32_t r0 = 0;
    bool ok = Execute(address, &r0);
    for (int r = 8; r <= 15 && ok; r++) {
        const uint32_t expected = r == 15 ? sp : kCallerValue + (uint32_t)r;
        if (sh_->Reg(r) != expected)
            ok = Fail(Where(address) + " returned with r" + std::to_string(r) +
                      " changed: CE's caller keeps its own value there");
    }
    sh_->SetRegisters(saved);
    if (!ok)
        throw GuestFault{error_};
    return r0;
}

}  // namespace ce
