// stack.h: a CE thread's stack as the system keeps it: the reserve the
// image's header asks for, [Bottom(), layout::kStackTop), committed a page
// at a time from the top down. The page below the lowest committed one is
// the guard: touching it commits it and makes the page below the guard. The
// reserve's last page is never committed, so touching it as the guard
// overflows the stack. Everything from the guard page down is unmapped.
#ifndef CE_RUNNER_STACK_H
#define CE_RUNNER_STACK_H

#include <stdint.h>

namespace ce {

class Engine;

class Stack {
public:
    // What touching one address does to the stack; grew is set when it
    // committed the guard page.
    enum Touch { kNotStack, kCommitted, kBelowGuard, kOverflow };

    // A reserve of `reserve` bytes (page-aligned) with nothing committed.
    Stack(Engine& engine, uint32_t reserve);
    // Commits the top page, as the system does when the thread starts.
    bool Start();

    Touch TouchAt(uint32_t address, bool* grew);
    // The system's own reads and writes of guest memory grow the stack as
    // the program's do: a call goes through a buffer from its start up, and
    // the system writes a callback's frame from the top down. Throws
    // GuestFault where a device would end the program.
    void TouchRange(uint32_t address, uint32_t size, bool downward);

    uint32_t Bottom() const { return bottom_; }
    uint32_t Guard() const { return guard_; }
    uint32_t Reserve() const;

private:
    Engine& engine_;
    uint32_t bottom_;
    uint32_t guard_;
};

// How a device ends a program the runner stops: the tail of every message
// for a fault a device would end the program on.
extern const char kDeviceEnds[];

}  // namespace ce

#endif
