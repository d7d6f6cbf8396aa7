// handles.h: the guest's values for the stand-in's handles. A window has one
// handle on the whole device, the same in every process, and
// ForegroundDismisser names its locks after it; so a window's guest value
// is the same in every runner, and a test can name it without one.
#ifndef CE_RUNNER_HANDLES_H
#define CE_RUNNER_HANDLES_H

#include <stdint.h>

#include <map>

namespace ce {

// A window's guest value, and the window a guest value names (a value no
// runner hands out for a window gives one the stand-in treats as invalid).
uint32_t GuestWindow(uintptr_t window);
uintptr_t HostWindow(uint32_t guest);

// One program's handles: windows as above; NULL, HWND_BOTTOM,
// HKEY_LOCAL_MACHINE and the instance as themselves; anything else (the
// stand-in's pointers) numbered in the order the program first sees it.
class HandleMap {
public:
    explicit HandleMap(uint32_t instance);
    uint32_t ToGuest(uintptr_t handle);
    uintptr_t ToHost(uint32_t guest) const;

private:
    std::map<uintptr_t, uint32_t> toGuest_;
    std::map<uint32_t, uintptr_t> toHost_;
    uint32_t next_;
};

}  // namespace ce

#endif
