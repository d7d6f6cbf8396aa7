// pe_image.h: reads a Windows CE executable (ARM, MIPS or SH-3) as the
// device's loader sees it: headers, sections, imports by name and the
// resource tree, every offset checked against the file, so that a damaged
// file is refused with a reason; and the symbols list the build puts beside
// it. Also the one way the runner writes numbers in its messages.
#ifndef CE_RUNNER_PE_IMAGE_H
#define CE_RUNNER_PE_IMAGE_H

#include <stdint.h>

#include <string>
#include <vector>

namespace ce {

struct PeSection {
    std::string name;
    uint32_t rva = 0;
    uint32_t virtualSize = 0;
    uint32_t rawOffset = 0;
    uint32_t rawSize = 0;
    uint32_t characteristics = 0;
};

struct PeImport {
    std::string dll;
    std::string name;
    uint32_t slotRva = 0;  // the import address table entry the loader fills
};

struct PeImage {
    std::vector<uint8_t> file;
    uint16_t machine = 0;
    uint16_t subsystem = 0;
    uint16_t subsystemMajor = 0;
    uint16_t subsystemMinor = 0;
    uint32_t imageBase = 0;
    uint32_t sizeOfImage = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t entryRva = 0;
    // What the system reserves for the main thread's stack; CE commits its
    // stack a page at a time whatever the header's commit says.
    uint32_t stackReserve = 0;
    uint32_t resourceRva = 0;
    uint32_t resourceSize = 0;
    std::vector<PeSection> sections;
    std::vector<PeImport> imports;
};

// Reads and checks the file; false with *error set when it is not a PE32
// image whose every table lies inside it.
bool LoadPeImage(const std::string& path, PeImage* image, std::string* error);
bool ParsePeImage(std::vector<uint8_t> file, PeImage* image, std::string* error);

// The file offset of an RVA, if the headers or some section's raw data hold
// `size` bytes there.
bool FileOffset(const PeImage& image, uint32_t rva, uint32_t size, uint64_t* offset);

// NAME.syms beside NAME.exe: "address size type name(arguments)" per line,
// from nm -S -C. Only sized symbols count: the others are the linker
// script's layout marks, not functions or globals. Names lose their
// argument lists and "(anonymous namespace)::".
struct Symbol {
    uint32_t address;
    std::string name;
    bool function;
};
std::string SymbolsPath(const std::string& exePath);
std::vector<Symbol> ReadSymbols(const std::string& exePath);  // none without the file

// "0x" and `digits` hex digits, for messages.
std::string Hex(uint32_t value, int digits = 8);

}  // namespace ce

#endif
