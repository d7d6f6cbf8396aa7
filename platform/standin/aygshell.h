// aygshell.h (host): the Pocket PC shell library's full-screen dialog and
// soft-key bar calls, declared for the stand-in.
#ifndef STANDIN_AYGSHELL_H
#define STANDIN_AYGSHELL_H

#include <windows.h>

#include "aygshell_calls.h"

#endif
