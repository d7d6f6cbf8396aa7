// windows.h (win32): the desktop Windows headers, plus the few things the
// Windows CE core library has that desktop Win32 lacks.
#ifndef CE_PLATFORM_WIN32_WINDOWS_H
#define CE_PLATFORM_WIN32_WINDOWS_H

// CE has no narrow-character API; without these, TEXT() and the unsuffixed
// names would quietly pick the ANSI forms on the desktop.
#ifndef UNICODE
#define UNICODE 1
#endif
#ifndef _UNICODE
#define _UNICODE 1
#endif

#include_next <windows.h>

// The resource compiler reads this header too; it must see macros only.
#ifndef RC_INVOKED

// CE's windows.h brings the wide-string routines along with the core library
// that exports them; desktop code would otherwise need its own include.
#include <wchar.h>

// Asks which platform the device is ("PocketPC", ...). A desktop system does
// not know the request and fails it, so callers must start from an empty buffer.
#ifndef SPI_GETPLATFORMTYPE
#define SPI_GETPLATFORMTYPE 257
#endif

// A window that shows OK rather than X in the Pocket PC shell's bar.
#ifndef WS_EX_CAPTIONOKBTN
#define WS_EX_CAPTIONOKBTN 0x80000000L
#endif
#ifndef VER_PLATFORM_WIN32_CE
#define VER_PLATFORM_WIN32_CE 3
#endif

#endif  // RC_INVOKED

#endif
