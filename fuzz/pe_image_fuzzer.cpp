// pe_image_fuzzer.cpp: any file given to the CE runner's loader. Checks on
// every input: a file it accepts has its sections' raw data inside the file
// and their memory inside the image, and every import slot inside the image;
// a file it refuses comes with a reason.
#include <stdio.h>
#include <stdlib.h>

#include "pe_image.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    fprintf(stderr, "invariant broken: %s\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ce::PeImage image;
    std::string error;
    if (!ce::ParsePeImage(std::vector<uint8_t>(data, data + size), &image, &error)) {
        if (error.empty())
            Fail("a refusal says why");
        return 0;
    }
    for (const ce::PeSection& s : image.sections) {
        if ((uint64_t)s.rawOffset + s.rawSize > size)
            Fail("raw data inside the file");
        if ((uint64_t)s.rva + s.virtualSize > image.sizeOfImage ||
            (uint64_t)s.rva + s.rawSize > image.sizeOfImage)
            Fail("sections inside the image");
    }
    for (const ce::PeImport& import : image.imports) {
        if ((uint64_t)import.slotRva + 4 > image.sizeOfImage)
            Fail("import slots inside the image");
        if (import.name.empty() || import.dll.empty())
            Fail("imports are named");
    }
    return 0;
}
