// stack.cpp: a CE thread's stack, committed a page at a time.
#include "stack.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine.h"
#include "guest.h"
#include "guest_layout.h"
#include "pe_image.h"

namespace ce {

using namespace layout;

const char kDeviceEnds[] = ": a device ends the program here";

Stack::Stack(Engine& engine, uint32_t reserve)
    : engine_(engine), bottom_(kStackTop - reserve), guard_(kStackTop - kPage)
{
}

bool Stack::Start()
{
    bool grew = false;
    TouchAt(kStackTop - 1, &grew);
    return grew;
}

uint32_t Stack::Reserve() const
{
    return kStackTop - bottom_;
}

Stack::Touch Stack::TouchAt(uint32_t address, bool* grew)
{
    *grew = false;
    if (address < bottom_ || address >= kStackTop)
        return kNotStack;
    if (address >= guard_ + kPage)
        return kCommitted;
    if (address < guard_)
        return kBelowGuard;
    if (guard_ == bottom_)
        return kOverflow;
    // A device's stack holds whatever was there before, not zeros: a buffer
    // the program forgets to empty before a read that fails must not look
    // empty here.
    static const std::vector<uint8_t> poison(kPage, kPoisonByte);
    *grew = engine_.Map(guard_, kPage, kRead | kWrite) && engine_.Write(guard_, poison.data(), kPage);
    guard_ -= kPage;
    return kCommitted;
}

void Stack::TouchRange(uint32_t address, uint32_t size, bool downward)
{
    const uint64_t end = (uint64_t)address + size;
    if (size == 0 || address >= kStackTop || end <= bottom_)
        return;
    const uint32_t first = PageOf(std::max(address, bottom_));
    const uint32_t last = PageOf((uint32_t)(std::min<uint64_t>(end, kStackTop) - 1));
    for (uint32_t i = 0; i <= (last - first) / kPage; i++) {
        const uint32_t page = downward ? last - i * kPage : first + i * kPage;
        const uint32_t at = std::max(address, page);
        const uint32_t guard = guard_;
        bool grew;
        const Touch touch = TouchAt(page, &grew);
        if (touch == kBelowGuard)
            throw GuestFault{"the system's access to " + Hex(at) +
                             " lies below the stack's guard page at " + Hex(guard) + kDeviceEnds};
        if (touch == kOverflow)
            throw GuestFault{"the system's access to " + Hex(at) + " uses up the stack's " +
                             std::to_string(Reserve()) + "-byte reserve" + kDeviceEnds};
    }
}

}  // namespace ce
