// aygshell.h (host): the Pocket PC shell library's full-screen dialog and
// soft-key bar calls, declared for the host stand-in.
#ifndef HOST_AYGSHELL_H
#define HOST_AYGSHELL_H

#include <windows.h>

#include "aygshell_calls.h"

#endif
