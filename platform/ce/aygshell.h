// aygshell.h (ce): the Pocket PC shell library's full-screen dialog set-up and
// soft-key menu bar, in the device's 32-bit record layout.
#ifndef CE_PLATFORM_CE_AYGSHELL_H
#define CE_PLATFORM_CE_AYGSHELL_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

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

#ifdef __cplusplus
}
static_assert(sizeof(SHINITDLGINFO) == 12, "the shell reads a 12-byte record");
static_assert(sizeof(SHMENUBARINFO) == 36, "the shell checks cbSize against its 36-byte record");
#endif

#endif
