// loader.cpp: a device .exe checked, mapped and bound, as CE's loader does.
#include "loader.h"

#include <string.h>
#include <strings.h>

#include <algorithm>

#include "bindings.h"
#include "cpu.h"
#include "engine.h"
#include "guest_layout.h"
#include "pe_image.h"

namespace ce {
namespace {

using namespace layout;

const size_t kMaxImports = kTrapSize / 4 - 1;
const uint16_t kSubsystemCeGui = 9;

int Protection(uint32_t characteristics)
{
    return kRead | ((characteristics & kSectionCode) ? kFetch : 0) |
           ((characteristics & kSectionWritable) ? kWrite : 0);
}

bool Fail(std::string* why, const std::string& text)
{
    *why = text;
    return false;
}

// Every part is mapped writable and filled, and gets its own protection
// once the import slots in it are written: an engine may refuse to write
// read-only memory.
bool MapImage(const std::string& exePath, const PeImage& im, Engine& e, std::string* why)
{
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
        return Fail(why, exePath + ": cannot map the headers");
    for (const PeSection& s : im.sections) {
        const uint32_t size = PageAlign(std::max(s.virtualSize, s.rawSize));
        if (size == 0)
            continue;
        if (!map(base + s.rva, size, Protection(s.characteristics)))
            return Fail(why, exePath + ": section " + s.name + " overlaps another");
        if (!e.Write(base + s.rva, im.file.data() + s.rawOffset, std::min(s.rawSize, size)))
            return Fail(why, exePath + ": cannot load section " + s.name);
    }
    const std::vector<uint8_t> poison(kScratchSize, kPoisonByte);
    if (!map(kScratchBase, kScratchSize, kRead | kWrite) || !e.Write(kScratchBase, poison.data(), kScratchSize))
        return Fail(why, "cannot map the scratch page");
    // Each import's slot points at its own word of the trap page; the words
    // are never run, a run stops on them first.
    if (!map(kTrapBase, kTrapSize, kRead | kFetch) || !e.SetTrap(kReturnTrap))
        return Fail(why, "cannot map the trap page");
    for (size_t i = 0; i < im.imports.size(); i++) {
        const uint32_t slot = base + im.imports[i].slotRva;
        const uint32_t trap = kTrapBase + 4 * (uint32_t)i;
        if (!e.Write(slot, &trap, 4))
            return Fail(why, exePath + ": the address slot of " + im.imports[i].name + " is outside the image");
        if (!e.SetTrap(trap))
            return Fail(why, "cannot set the trap of " + im.imports[i].name);
    }
    for (const Part& p : parts) {
        if (p.protection != (kRead | kWrite) && !e.Protect(p.at, p.size, p.protection))
            return Fail(why, exePath + ": cannot protect the image");
    }
    return true;
}

}  // namespace

Program::Program() = default;
Program::~Program() = default;
Program::Program(Program&&) = default;
Program& Program::operator=(Program&&) = default;

uint32_t Program::Instance() const
{
    return image ? image->imageBase : 0;
}

uint32_t Program::StackReserve() const
{
    return PageAlign(image->stackReserve);
}

bool LoadProgram(const std::string& exePath, Program* program, std::string* why)
{
    Program p;
    p.image.reset(new PeImage);
    if (!LoadPeImage(exePath, p.image.get(), why))
        return Fail(why, exePath + ": " + *why);
    PeImage& im = *p.image;
    std::string known;
    const size_t cpus = sizeof(kCpus) / sizeof(kCpus[0]);
    for (size_t i = 0; i < cpus; i++) {
        if (kCpus[i]->machine == im.machine)
            p.cpu = kCpus[i];
        known += std::string(i == 0 ? "" : i + 1 == cpus ? " or " : ", ") + kCpus[i]->instructionSet +
                 " (" + Hex(kCpus[i]->machine, 4) + ")";
    }
    if (p.cpu == NULL)
        return Fail(why, exePath + ": machine " + Hex(im.machine, 4) + " is not " + known);
    if (im.subsystem != kSubsystemCeGui)
        return Fail(why, exePath + ": subsystem " + std::to_string(im.subsystem) + " is not Windows CE GUI (9)");
    const uint32_t reserve = PageAlign(im.stackReserve);
    if (reserve < 2 * kPage || reserve > kMaxStackReserve)
        return Fail(why, exePath + ": a stack reserve of " + std::to_string(im.stackReserve) +
                             " bytes, not from two pages to 1 MB");
    if (im.imageBase != 0x10000 || im.imageBase + (uint64_t)im.sizeOfImage > kStackTop - reserve)
        return Fail(why, exePath + ": the image must sit at 0x10000 below the stack");
    if (im.imports.size() > kMaxImports)
        return Fail(why, exePath + ": too many imports");
    for (const PeImport& import : im.imports) {
        size_t found = kBindingCount;
        for (size_t b = 0; b < kBindingCount; b++) {
            if (import.name == kBindings[b].name && strcasecmp(import.dll.c_str(), kBindings[b].dll) == 0)
                found = b;
        }
        if (found == kBindingCount)
            return Fail(why, exePath + ": import " + import.name + " from " + import.dll +
                                 " is unknown to the runner");
        p.bindings.push_back(found);
    }

    p.engine = p.cpu->start(*p.cpu, why);
    if (!p.engine)
        return false;
    if (!MapImage(exePath, im, *p.engine, why))
        return false;
    for (const Symbol& s : ReadSymbols(exePath)) {
        p.symbols[s.name] = s.address;
        if (s.function)
            p.functions.push_back({s.address, s.name});
    }
    std::sort(p.functions.begin(), p.functions.end());
    *program = std::move(p);
    return true;
}

}  // namespace ce
