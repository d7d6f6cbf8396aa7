// aygshell.h (ce): the Pocket PC shell library, in the device's 32-bit
// record layout.
#ifndef CE_PLATFORM_CE_AYGSHELL_H
#define CE_PLATFORM_CE_AYGSHELL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#include "aygshell_calls.h"

#ifdef __cplusplus
}
static_assert(sizeof(SHINITDLGINFO) == 12, "the shell reads a 12-byte record");
static_assert(sizeof(SHMENUBARINFO) == 36, "the shell checks cbSize against its 36-byte record");
#endif

#endif
