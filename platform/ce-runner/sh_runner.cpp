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
    // The stack's reserve as the header asks, committed at once but for its
    // last page, which stays unmapped: a device ends the program that
    // reaches it, and so does qemu. (On ARM and MIPS the runner commits a
    // page at a time behind a guard page, so an access that skips the
    // guard faults there; qemu's stub offers no fault to resume from, so on
    // SH-3 only the last page is enforced.)
    const uint32_t reserve = PageAlign(im.stackReserve);
    shStackBottom_ = kStackTop - reserve + kPage;
    const uint32_t committed = kStackTop - shStackBottom_;
    const std::vector<uint8_t> poison(std::max(committed, kScratchSize), kPoisonByte);
    if (!map(shStackBottom_, committed, ShEngine::kRead | ShEngine::kWrite) ||
        !map(kScratchBase, kScratchSize, ShEngine::kRead | ShEngine::kWrite) ||
        !sh_->Write(shStackBottom_, poison.data(), committed) ||
        !sh_->Write(kScratchBase, poison.data(), kScratchSize))
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
