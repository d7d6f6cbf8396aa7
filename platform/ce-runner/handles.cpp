// handles.cpp: the guest's values for the stand-in's handles.
#include "handles.h"

namespace ce {
namespace {

// The stand-in's handles are small numbers, so each gets the guest value
// kSharedHandles + its own; larger ones (pointers) are numbered from
// kFirstHandle.
const uint32_t kSharedHandles = 0xC0000000;
const uintptr_t kSharedHandleRange = 0x10000000;
const uint32_t kFirstHandle = 0xD0000000;
// Handles the guest never sees as anything but themselves: NULL,
// HWND_BOTTOM, HKEY_LOCAL_MACHINE.
const uintptr_t kFixedHandles[] = {0, 1, 0x80000002u};

// A value the stand-in never handed out: one that cannot be any of its own
// handles, so the model treats it as invalid.
uintptr_t Invalid(uint32_t guest)
{
    return (uintptr_t)0xBAD0000000000000ull | guest;
}

}  // namespace

uint32_t GuestWindow(uintptr_t window)
{
    for (uintptr_t h : kFixedHandles) {
        if (window == h)
            return (uint32_t)h;
    }
    return window < kSharedHandleRange ? kSharedHandles + (uint32_t)window : 0;
}

uintptr_t HostWindow(uint32_t guest)
{
    for (uintptr_t h : kFixedHandles) {
        if (guest == h)
            return h;
    }
    if (guest >= kSharedHandles && guest - kSharedHandles < kSharedHandleRange)
        return guest - kSharedHandles;
    return Invalid(guest);
}

HandleMap::HandleMap(uint32_t instance) : next_(kFirstHandle)
{
    for (uintptr_t h : kFixedHandles) {
        toGuest_[h] = (uint32_t)h;
        toHost_[(uint32_t)h] = h;
    }
    toGuest_[instance] = instance;
    toHost_[instance] = instance;
}

uint32_t HandleMap::ToGuest(uintptr_t handle)
{
    auto it = toGuest_.find(handle);
    if (it != toGuest_.end())
        return it->second;
    uint32_t guest;
    if (handle < kSharedHandleRange) {
        guest = kSharedHandles + (uint32_t)handle;
    } else {
        guest = next_;
        next_ += 4;
    }
    toGuest_[handle] = guest;
    toHost_[guest] = handle;
    return guest;
}

uintptr_t HandleMap::ToHost(uint32_t guest) const
{
    // A window's value names it in every program, handed out here or not.
    auto it = toHost_.find(guest);
    return it != toHost_.end() ? it->second : HostWindow(guest);
}

}  // namespace ce
