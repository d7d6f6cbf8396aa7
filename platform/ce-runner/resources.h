// resources.h: the loaded image's resource tree, as FindResourceW and
// LoadResource see it on CE, and the HI_RES_AWARE resource that keeps a
// program out of the legacy screen layer. Read from guest memory, where the
// loader put the image.
#ifndef CE_RUNNER_RESOURCES_H
#define CE_RUNNER_RESOURCES_H

#include <stdint.h>

#include <string>

namespace ce {

class Guest;

class ResourceTree {
public:
    // The tree at `rva` (0: the image has none), `size` bytes long, of the
    // image whose instance (base) is `instance`.
    ResourceTree(Guest& guest, uint32_t instance, uint32_t rva, uint32_t size);

    // FindResourceW: the data entry of resource `name` of `type` (both
    // numbers), 0 when there is none. Throws GuestFault on names given as text.
    uint32_t Find(uint32_t module, uint32_t name, uint32_t type);
    // LoadResource: the data's address. Throws GuestFault on a handle Find
    // did not give.
    uint32_t Load(uint32_t module, uint32_t resource);
    // The CEUX resource HI_RES_AWARE, neutral language, holding 1.
    bool HasHiResAware();

private:
    uint32_t Entry(uint32_t directory, uint32_t id, bool first);
    uint32_t NamedEntry(uint32_t directory, const std::u16string& text);

    Guest& guest_;
    uint32_t instance_;
    uint32_t root_;  // 0 for none
    uint32_t size_;
};

}  // namespace ce

#endif
