// aygshell.cpp (win32): the shell library's dialog services as far as a
// desktop window manager can give them.
#include "aygshell.h"

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi)
{
    if (pshidi == NULL || pshidi->hDlg == NULL)
        return FALSE;
    if ((pshidi->dwMask & SHIDIM_FLAGS) && (pshidi->dwFlags & SHIDIF_SIZEDLGFULLSCREEN)) {
        // On the device "full screen" is everything between the navigation
        // bar and the soft-key bar; the desktop's nearest equivalent is the
        // work area, which leaves the task bar uncovered.
        RECT workArea;
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
        SetWindowPos(pshidi->hDlg, NULL, workArea.left, workArea.top,
                     workArea.right - workArea.left, workArea.bottom - workArea.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return TRUE;
}

BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi)
{
    if (pmbi == NULL)
        return FALSE;
    // Desktop Win32 has no soft-key bar, so no window is created. An empty
    // bar carries no commands, so the dialog loses nothing and the call
    // succeeds; a bar built from a toolbar resource can't be given here, and
    // failing says so rather than pretending it exists.
    pmbi->hwndMB = NULL;
    return (pmbi->dwFlags & SHCMBF_EMPTYBAR) ? TRUE : FALSE;
}
