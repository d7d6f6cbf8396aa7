// resources.cpp: the loaded image's resource tree, as FindResourceW and
// LoadResource see it on CE.
#include "resources.h"

#include <vector>

#include "guest.h"
#include "pe_image.h"

namespace ce {

ResourceTree::ResourceTree(Guest& guest, uint32_t instance, uint32_t rva, uint32_t size)
    : guest_(guest), instance_(instance), root_(rva == 0 ? 0 : instance + rva), size_(size)
{
}

// One level of the tree: the entry whose id matches, or the first entry
// (language level). Returns its offset field, or 0.
uint32_t ResourceTree::Entry(uint32_t directory, uint32_t id, bool first)
{
    const uint32_t named = guest_.ReadU32(directory + 12) & 0xFFFF;
    const uint32_t ids = guest_.ReadU32(directory + 12) >> 16;
    for (uint32_t i = 0; i < named + ids && i < 4096; i++) {
        const uint32_t entry = directory + 16 + 8 * i;
        const uint32_t name = guest_.ReadU32(entry);
        if (first || ((name & 0x80000000u) == 0 && name == id))
            return guest_.ReadU32(entry + 4);
    }
    return 0;
}

// One level of the tree: the entry named by that text, matched without case
// as the system matches resource names; its offset field, or 0.
uint32_t ResourceTree::NamedEntry(uint32_t directory, const std::u16string& text)
{
    const uint32_t named = guest_.ReadU32(directory + 12) & 0xFFFF;
    for (uint32_t i = 0; i < named && i < 4096; i++) {
        const uint32_t entry = directory + 16 + 8 * i;
        const uint32_t name = guest_.ReadU32(entry);
        if ((name & 0x80000000u) == 0)
            continue;
        const uint32_t at = root_ + (name & 0x7FFFFFFF);
        const uint32_t length = guest_.ReadU32(at) & 0xFFFF;
        std::vector<uint8_t> chars = guest_.ReadBytes(at + 2, 2 * length);
        std::u16string found;
        for (uint32_t c = 0; c < length; c++) {
            char16_t ch = (char16_t)(chars[2 * c] | chars[2 * c + 1] << 8);
            found += (ch >= u'a' && ch <= u'z') ? (char16_t)(ch - 32) : ch;
        }
        if (found == text)
            return guest_.ReadU32(entry + 4);
    }
    return 0;
}

bool ResourceTree::HasHiResAware()
{
    if (root_ == 0)
        return false;
    const uint32_t byType = NamedEntry(root_, u"CEUX");
    if ((byType & 0x80000000u) == 0)
        return false;
    const uint32_t byName = NamedEntry(root_ + (byType & 0x7FFFFFFF), u"HI_RES_AWARE");
    if ((byName & 0x80000000u) == 0)
        return false;
    // Only the neutral language is found whatever the device's own language
    // is; a copy under one language would be missed on devices of another.
    const uint32_t leaf = Entry(root_ + (byName & 0x7FFFFFFF), 0, false);
    if (leaf == 0 || (leaf & 0x80000000u) != 0)
        return false;
    const uint32_t data = root_ + leaf;
    return guest_.ReadU32(data + 4) >= 2 && (guest_.ReadU32(instance_ + guest_.ReadU32(data)) & 0xFFFF) == 1;
}

uint32_t ResourceTree::Find(uint32_t module, uint32_t name, uint32_t type)
{
    // CE looks only in the module it is given; NULL is no module there.
    if (module != instance_ || root_ == 0)
        return 0;
    if ((name >> 16) != 0 || (type >> 16) != 0)
        throw GuestFault{"resources named by text are not modelled"};
    const uint32_t byType = Entry(root_, type, false);
    if ((byType & 0x80000000u) == 0)
        return 0;
    const uint32_t byName = Entry(root_ + (byType & 0x7FFFFFFF), name, false);
    if ((byName & 0x80000000u) == 0)
        return 0;
    const uint32_t leaf = Entry(root_ + (byName & 0x7FFFFFFF), 0, true);
    if (leaf == 0 || (leaf & 0x80000000u) != 0)
        return 0;
    return root_ + leaf;  // the data entry itself is the handle
}

uint32_t ResourceTree::Load(uint32_t module, uint32_t resource)
{
    if ((module != 0 && module != instance_) || resource == 0)
        return 0;
    if (root_ == 0 || resource < root_ || resource >= root_ + size_)
        throw GuestFault{"not a resource handle: " + Hex(resource)};
    // CE's resources are already in memory: the address is the data's.
    return instance_ + guest_.ReadU32(resource);
}

}  // namespace ce
