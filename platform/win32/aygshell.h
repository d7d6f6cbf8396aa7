// aygshell.h (win32): the Pocket PC shell library's full-screen dialog set-up
// and soft-key menu bar, declared with the device's names and record layouts.
#ifndef CE_PLATFORM_WIN32_AYGSHELL_H
#define CE_PLATFORM_WIN32_AYGSHELL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#define SHIDIM_FLAGS 0x0001

#define SHIDIF_SIZEDLGFULLSCREEN 0x0004

typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

#define SHCMBF_EMPTYBAR 0x0001

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

BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi);

#ifdef __cplusplus
}
#endif

#endif
