// bindings.h: the table that answers a CE program's imports: for each export
// of COREDLL and aygshell the runner knows, how its arguments are carried
// from the guest to the stand-in and its result back.
#ifndef CE_RUNNER_BINDINGS_H
#define CE_RUNNER_BINDINGS_H

#include <stddef.h>
#include <stdint.h>

namespace ce {

class Guest;

struct Binding {
    const char* dll;
    const char* name;
    int arity;  // word arguments shown in the call log
    uint32_t (*call)(Guest& guest);
};

extern const Binding kBindings[];
extern const size_t kBindingCount;

}  // namespace ce

#endif
