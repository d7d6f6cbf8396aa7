// qemu_sh_engine.h: the register ids of the SH engine (qemu_sh_engine.cpp),
// the numbers of qemu's SH-4 GDB register file, for the SH CPU's table.
#ifndef CE_RUNNER_QEMU_SH_ENGINE_H
#define CE_RUNNER_QEMU_SH_ENGINE_H

#include <stdint.h>

namespace ce {

enum ShRegister {
    kShR0 = 0,
    kShR4 = 4,
    kShR15 = 15,
    kShPc = 16,
    kShPr = 17,
    kShMach = 20,
    kShMacl = 21,
    kShSr = 22,
};
const uint32_t kShSrT = 1;  // the T bit, SR bit 0

}  // namespace ce

#endif
