// aygshell.h (win32): the Pocket PC shell library's full-screen dialog set-up
// and soft-key menu bar, declared with the device's names and record layouts.
#ifndef CE_PLATFORM_WIN32_AYGSHELL_H
#define CE_PLATFORM_WIN32_AYGSHELL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#include "aygshell_calls.h"

#ifdef __cplusplus
}
#endif

#endif
