// aygshell.h (host): the Pocket PC shell library's full-screen dialog and
// soft-key bar calls, declared for the host stand-in.
#ifndef HOST_AYGSHELL_H
#define HOST_AYGSHELL_H

#include <windows.h>

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHCMBF_EMPTYBAR 0x0001

typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB;
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

BOOL SHInitDialog(PSHINITDLGINFO info);
BOOL SHCreateMenuBar(SHMENUBARINFO* info);

#endif
