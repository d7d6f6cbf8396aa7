// shell.cpp: the shell library's dialog calls: full-screen dialog set-up and
// the menu bar.
#include <aygshell.h>

#include "model.h"

using namespace standin;
using namespace standin::detail;

BOOL SHInitDialog(PSHINITDLGINFO info)
{
    PlatformCall scope("SHInitDialog", {Given(info)});
    if (info == NULL)
        Unmodelled("SHInitDialog without its record");
    Record(kInitDialog, info->hDlg, info->dwMask, info->dwFlags);
    return TRUE;
}

BOOL SHCreateMenuBar(SHMENUBARINFO* info)
{
    PlatformCall scope("SHCreateMenuBar", {Given(info)});
    if (info == NULL || info->cbSize != sizeof(SHMENUBARINFO))
        Unmodelled("SHCreateMenuBar without a sized record");
    // Every field but the owner and the flags must be left zero.
    const bool othersZero = info->nToolBarId == 0 && info->hInstRes == NULL &&
                            info->nBmpId == 0 && info->cBmpImages == 0 &&
                            info->hwndMB == NULL && info->clrBk == 0;
    Record(kMenuBar, info->hwndParent, othersZero ? 0 : 1, info->dwFlags);
    return TRUE;
}
