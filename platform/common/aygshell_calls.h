// aygshell_calls.h: the Pocket PC shell library's full-screen dialog set-up
// and soft-key menu bar, with the device's names and record layouts,
// declared once for every build. Each platform's aygshell.h includes it
// after its windows.h, inside extern "C" where the calls have C linkage.
#ifndef CE_PLATFORM_COMMON_AYGSHELL_CALLS_H
#define CE_PLATFORM_COMMON_AYGSHELL_CALLS_H

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

BOOL WINAPI SHInitDialog(PSHINITDLGINFO info);
BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* info);

#endif
