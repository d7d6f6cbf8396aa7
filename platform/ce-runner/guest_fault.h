// guest_fault.h: a fault that ends a run: a bad guest pointer or a record of
// the wrong size in a call's arguments, or a scene's own step that cannot
// be done while the program runs. Thrown from inside a modelled call; the
// run ends there and its message says which call and why.
#ifndef CE_RUNNER_GUEST_FAULT_H
#define CE_RUNNER_GUEST_FAULT_H

#include <string>

namespace ce {

struct GuestFault {
    std::string what;
};

}  // namespace ce

#endif
