// resources.cpp: the loaded image's resource tree, as FindResourceW and
// LoadResource see it on CE, and the HI_RES_AWARE resource that keeps a
// program out of the legacy screen layer.
#include <stdint.h>

#include <string>
#include <vector>

#include "ce_runner.h"
#include "pe_image.h"

namespace ce {
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


}  // namespace ce
