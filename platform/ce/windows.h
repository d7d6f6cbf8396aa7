// windows.h (ce): the slice of the Windows CE core library (COREDLL) that the
// two programs call, with the device's 32-bit types and UTF-16 text. Every
// function declared here is a COREDLL export of the same name; imports.list
// says so, and the build refuses any call that is not in it.
#ifndef CE_PLATFORM_CE_WINDOWS_H
#define CE_PLATFORM_CE_WINDOWS_H

#include <stddef.h>
#include <stdint.h>

#define _WIN32_WCE 0x300
#define UNICODE 1

// ARM has one calling convention: arguments in r0-r3, then the stack.
#define WINAPI
#define CALLBACK
#define APIENTRY
#define TEXT(s) L##s

#ifndef NULL
#define NULL 0
#endif
#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#ifdef __cplusplus
static_assert(sizeof(wchar_t) == 2, "CE text is UTF-16: build with -fshort-wchar");
static_assert(sizeof(void*) == 4, "CE is a 32-bit platform");
extern "C" {
#endif

typedef wchar_t WCHAR;
typedef WCHAR TCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned long DWORD;
typedef long LONG;
typedef unsigned int UINT;
typedef int INT;
typedef unsigned int UINT_PTR;
typedef unsigned long ULONG_PTR;
typedef int INT_PTR;
typedef long LONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef DWORD* LPDWORD;
typedef DWORD REGSAM;
typedef DWORD COLORREF;

typedef struct HWND__* HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HKEY__* HKEY;
typedef HKEY* PHKEY;
typedef struct HRSRC__* HRSRC;
typedef void* HGLOBAL;
typedef struct HMENU__* HMENU;
typedef void* HANDLE;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;

typedef struct _FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
} FILETIME, *PFILETIME;

// The head of a classic dialog template; WORD-aligned in the resource.
typedef struct __attribute__((packed, aligned(2))) {
    DWORD style;
    DWORD dwExtendedStyle;
    WORD cdit;
    short x;
    short y;
    short cx;
    short cy;
} DLGTEMPLATE;
typedef const DLGTEMPLATE* LPCDLGTEMPLATEW;
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define LOWORD(l) ((WORD)(((DWORD)(l)) & 0xFFFF))
#define HIWORD(l) ((WORD)((((DWORD)(l)) >> 16) & 0xFFFF))
#define MAKELONG(a, b) ((LONG)(((WORD)(a)) | ((DWORD)((WORD)(b))) << 16))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEINTRESOURCE(i) ((LPWSTR)(ULONG_PTR)((WORD)(i)))
#define MAKEINTRESOURCEW(i) MAKEINTRESOURCE(i)
#define RT_DIALOG MAKEINTRESOURCE(5)

// Window manager
#define GW_HWNDNEXT 2
#define GW_CHILD 5
#define HWND_BOTTOM ((HWND)1)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOACTIVATE 0x0010
#define SPI_GETPLATFORMTYPE 257

// Messages
#define WM_CLOSE 0x0010
#define WM_KEYDOWN 0x0100
#define WM_KEYUP 0x0101
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define WM_LBUTTONDOWN 0x0201
#define WM_LBUTTONUP 0x0202
#define BM_GETCHECK 0x00F0
#define BM_SETCHECK 0x00F1
#define BST_UNCHECKED 0
#define BST_CHECKED 1
#define BN_CLICKED 0
#define CB_ADDSTRING 0x0143
#define CB_GETCOUNT 0x0146
#define CB_GETCURSEL 0x0147
#define CB_GETLBTEXT 0x0148
#define CB_SETCURSEL 0x014E
#define CB_ERR (-1)

// Keyboard
#define KEYEVENTF_KEYUP 0x0002
#define VK_CONTROL 0x11

// Dialogs and message boxes
#define IDOK 1
#define IDCANCEL 2
#define MB_OK 0x00000000
#define MB_ICONERROR 0x00000010
#define MB_ICONASTERISK 0x00000040

// Registry
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)0x80000002)
#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define REG_NONE 0
#define REG_SZ 1
#define REG_BINARY 3
#define REG_DWORD 4
#define ERROR_SUCCESS 0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L

// Window-system services
HWND GetForegroundWindow(void);
BOOL SetForegroundWindow(HWND window);
HWND GetWindow(HWND window, UINT command);
int GetClassNameW(HWND window, LPWSTR buffer, int capacity);
int GetWindowTextW(HWND window, LPWSTR buffer, int capacity);
BOOL IsWindowVisible(HWND window);
BOOL IsWindow(HWND window);
HWND FindWindowW(LPCWSTR className, LPCWSTR title);
BOOL GetWindowRect(HWND window, LPRECT rect);
BOOL SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags);
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void keybd_event(BYTE key, BYTE scan, DWORD flags, DWORD extraInfo);
void Sleep(DWORD milliseconds);
BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID buffer, UINT winIni);

// Registry
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                   LPWSTR className, LPDWORD classChars, PFILETIME lastWrite);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataBytes);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataBytes);
LONG RegCloseKey(HKEY key);

// Module, message boxes, beeps
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity);
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
BOOL MessageBeep(UINT type);

// Resources and dialogs. There is no DialogBoxParamW export: CE's own header
// makes it a macro over these three.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
INT_PTR DialogBoxIndirectParamW(HINSTANCE instance, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC dialogProc, LPARAM initParam);
HWND GetDlgItem(HWND dialog, int id);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL EndDialog(HWND dialog, INT_PTR result);

// The C library's wide-string routines, exported by COREDLL itself.
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
WCHAR* wcscpy(WCHAR* destination, const WCHAR* source);
WCHAR* wcscat(WCHAR* destination, const WCHAR* source);
size_t wcslen(const WCHAR* text);
WCHAR* wcsstr(const WCHAR* text, const WCHAR* pattern);
WCHAR* wcsrchr(const WCHAR* text, WCHAR c);
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

#ifdef __cplusplus
}
#endif

#endif
