// guest_layout.h: where the CE runner puts things in a guest's address
// space, on every CPU, besides the image (which sits at its own base).
#ifndef CE_RUNNER_GUEST_LAYOUT_H
#define CE_RUNNER_GUEST_LAYOUT_H

#include <stdint.h>

namespace ce {
namespace layout {

// The stack's reserve, as the image's header asks, ends at kStackTop.
const uint32_t kStackTop = 0x00D00000;
const uint32_t kPage = 0x1000;
// CE 3.0's own default reserve is 1 MB; anything larger is a damaged header.
const uint32_t kMaxStackReserve = 0x00100000;
const uint32_t kScratchBase = 0x00E00000;
const uint32_t kScratchSize = 0x00010000;
const uint32_t kTrapBase = 0x00F00000;
const uint32_t kTrapSize = 0x1000;
// Fresh stack and scratch memory is filled with this, never zero.
const uint8_t kPoisonByte = 0xA5;
// Where guest code returns to when the host called it.
const uint32_t kReturnTrap = kTrapBase + kTrapSize - 4;
// Section characteristics: code, and writable data.
const uint32_t kSectionCode = 0x20000000, kSectionWritable = 0x80000000u;

inline uint32_t PageAlign(uint32_t v)
{
    return (v + 0xFFF) & ~0xFFFu;
}

inline uint32_t PageOf(uint32_t v)
{
    return v & ~(kPage - 1);
}

}  // namespace layout
}  // namespace ce

#endif
