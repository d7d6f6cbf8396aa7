// pe_image.cpp: the PE32 reader behind the CE runner's loader, and the
// reader of the symbols list beside it.
#include "pe_image.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace ce {
namespace {

const uint32_t kImportByOrdinal = 0x80000000u;
const size_t kMaxImports = 1000;

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}
    bool Has(uint64_t offset, uint64_t size) const { return offset + size <= bytes_.size(); }
    uint16_t U16(uint64_t offset) const
    {
        return Has(offset, 2) ? (uint16_t)(bytes_[offset] | bytes_[offset + 1] << 8) : 0;
    }
    uint32_t U32(uint64_t offset) const
    {
        return Has(offset, 4) ? (uint32_t)U16(offset) | (uint32_t)U16(offset + 2) << 16 : 0;
    }
    // A zero-terminated ASCII name wholly inside the file, or false.
    bool Name(uint64_t offset, std::string* out) const
    {
        out->clear();
        for (uint64_t at = offset; at < bytes_.size() && at < offset + 256; at++) {
            if (bytes_[at] == 0)
                return true;
            *out += (char)bytes_[at];
        }
        return false;
    }

private:
    const std::vector<uint8_t>& bytes_;
};

bool Fail(std::string* error, const std::string& why)
{
    *error = why;
    return false;
}

bool ReadImports(const Reader& in, uint32_t directoryRva, PeImage* image, std::string* error)
{
    for (uint32_t d = directoryRva;; d += 20) {
        uint64_t at;
        if (!FileOffset(*image, d, 20, &at))
            return Fail(error, "import directory runs past its section at RVA " + Hex(d));
        const uint32_t lookupRva = in.U32(at), nameRva = in.U32(at + 12), slotsRva = in.U32(at + 16);
        if (lookupRva == 0 && nameRva == 0 && slotsRva == 0)
            return true;
        uint64_t nameAt;
        std::string dll;
        if (!FileOffset(*image, nameRva, 1, &nameAt) || !in.Name(nameAt, &dll) || dll.empty())
            return Fail(error, "import directory names a library outside the file, or none");
        const uint32_t tableRva = lookupRva != 0 ? lookupRva : slotsRva;
        for (uint32_t i = 0;; i++) {
            uint64_t entryAt;
            if (!FileOffset(*image, tableRva + 4 * i, 4, &entryAt))
                return Fail(error, "import table of " + dll + " runs past its section");
            const uint32_t entry = in.U32(entryAt);
            if (entry == 0)
                break;
            if (entry & kImportByOrdinal)
                return Fail(error, "ordinal " + std::to_string(entry & 0xFFFF) + " of " + dll +
                                       ": imports must be by name");
            uint64_t hintAt, slotAt;
            PeImport import;
            if (!FileOffset(*image, entry, 3, &hintAt) || !in.Name(hintAt + 2, &import.name) ||
                import.name.empty())
                return Fail(error, "an import name of " + dll + " lies outside the file, or is empty");
            if (!FileOffset(*image, slotsRva + 4 * i, 4, &slotAt))
                return Fail(error, "the address table of " + dll + " lies outside the image");
            import.dll = dll;
            import.slotRva = slotsRva + 4 * i;
            image->imports.push_back(import);
            if (image->imports.size() > kMaxImports)
                return Fail(error, "more imports than any program of this size could have");
        }
    }
}

}  // namespace

bool FileOffset(const PeImage& image, uint32_t rva, uint32_t size, uint64_t* offset)
{
    for (const PeSection& s : image.sections) {
        if (rva >= s.rva && (uint64_t)rva + size <= (uint64_t)s.rva + s.rawSize) {
            *offset = (uint64_t)s.rawOffset + (rva - s.rva);
            return true;
        }
    }
    if ((uint64_t)rva + size <= image.sizeOfHeaders) {
        *offset = rva;
        return true;
    }
    return false;
}

bool ParsePeImage(std::vector<uint8_t> file, PeImage* image, std::string* error)
{
    *image = PeImage();
    image->file.swap(file);
    Reader in(image->file);
    if (!in.Has(0, 64) || in.U16(0) != 0x5A4D)
        return Fail(error, "not an executable: no MZ header");
    const uint32_t pe = in.U32(0x3C);
    if (!in.Has(pe, 24) || in.U32(pe) != 0x00004550)
        return Fail(error, "no PE signature where the header points");
    image->machine = in.U16(pe + 4);
    const uint16_t sectionCount = in.U16(pe + 6);
    const uint16_t optionalSize = in.U16(pe + 20);
    const uint64_t opt = pe + 24;
    if (optionalSize < 96 + 16 * 8 || !in.Has(opt, optionalSize) || in.U16(opt) != 0x10B)
        return Fail(error, "not a PE32 optional header");
    image->entryRva = in.U32(opt + 16);
    image->imageBase = in.U32(opt + 28);
    image->sizeOfImage = in.U32(opt + 56);
    image->sizeOfHeaders = in.U32(opt + 60);
    image->subsystem = in.U16(opt + 68);
    image->stackReserve = in.U32(opt + 72);
    image->subsystemMajor = in.U16(opt + 48);
    image->subsystemMinor = in.U16(opt + 50);
    if (in.U32(opt + 92) < 3)
        return Fail(error, "the optional header has no import or resource directory");
    const uint32_t importRva = in.U32(opt + 96 + 8);
    image->resourceRva = in.U32(opt + 96 + 16);
    image->resourceSize = in.U32(opt + 96 + 20);

    const uint64_t table = opt + optionalSize;
    if (sectionCount == 0 || sectionCount > 16 || !in.Has(table, 40ull * sectionCount))
        return Fail(error, "section table missing or cut short");
    for (uint16_t i = 0; i < sectionCount; i++) {
        const uint64_t at = table + 40ull * i;
        PeSection s;
        for (int c = 0; c < 8 && image->file[at + c] != 0; c++)
            s.name += (char)image->file[at + c];
        s.virtualSize = in.U32(at + 8);
        s.rva = in.U32(at + 12);
        s.rawSize = in.U32(at + 16);
        s.rawOffset = in.U32(at + 20);
        s.characteristics = in.U32(at + 36);
        if (!in.Has(s.rawOffset, s.rawSize))
            return Fail(error, "section " + s.name + " runs past the end of the file");
        if ((uint64_t)s.rva + std::max(s.virtualSize, s.rawSize) > image->sizeOfImage)
            return Fail(error, "section " + s.name + " lies outside the image");
        image->sections.push_back(s);
    }
    if (image->sizeOfImage == 0 || image->sizeOfImage > 0x1000000)
        return Fail(error, "image size " + Hex(image->sizeOfImage) + " is not plausible");
    if (image->sizeOfHeaders > image->sizeOfImage || !in.Has(0, image->sizeOfHeaders))
        return Fail(error, "the headers' size runs past the image or the file");
    return ReadImports(in, importRva, image, error);
}

bool LoadPeImage(const std::string& path, PeImage* image, std::string* error)
{
    FILE* f = fopen(path.c_str(), "rb");
    if (f == NULL)
        return Fail(error, "cannot open " + path);
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof(chunk), f)) > 0 && bytes.size() < 0x1000000)
        bytes.insert(bytes.end(), chunk, chunk + n);
    fclose(f);
    return ParsePeImage(bytes, image, error);
}

std::string SymbolsPath(const std::string& exePath)
{
    std::string syms = exePath;
    if (syms.size() > 4 && syms.compare(syms.size() - 4, 4, ".exe") == 0)
        syms.erase(syms.size() - 4);
    return syms + ".syms";
}

std::vector<Symbol> ReadSymbols(const std::string& exePath)
{
    std::vector<Symbol> symbols;
    std::ifstream in(SymbolsPath(exePath));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string address, size, type, name;
        if (!(fields >> address >> size >> type) || type.size() != 1 ||
            !std::getline(fields >> std::ws, name))
            continue;
        const std::string anonymous = "(anonymous namespace)::";
        if (name.compare(0, anonymous.size(), anonymous) == 0)
            name.erase(0, anonymous.size());
        symbols.push_back({(uint32_t)strtoul(address.c_str(), NULL, 16), name.substr(0, name.find('(')),
                           type == "T" || type == "t"});
    }
    return symbols;
}

std::string Hex(uint32_t value, int digits)
{
    char text[16];
    snprintf(text, sizeof(text), "0x%0*x", digits, value);
    return text;
}

}  // namespace ce
