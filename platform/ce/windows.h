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
typedef struct HDC__* HDC;
typedef struct _OVERLAPPED* LPOVERLAPPED;
typedef void* HANDLE;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;

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

#include "ce_calls.h"

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
