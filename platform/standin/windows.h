// windows.h (host): the slice of the Windows CE core library that the two
// programs use, declared for Linux so that product code builds unchanged.
// Text stays UTF-16 as on the device. Anything not declared here is not
// modelled; a declared call given arguments it does not model aborts.
#ifndef STANDIN_WINDOWS_H
#define STANDIN_WINDOWS_H

#include <stddef.h>
#include <stdint.h>

// The stand-in models a Windows CE device.
#define _WIN32_WCE 0x300
#define UNICODE 1

#define WINAPI
#define CALLBACK
#define APIENTRY
#define TEXT(s) u##s

#ifndef NULL
#define NULL 0
#endif
#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

typedef char16_t WCHAR;
typedef WCHAR TCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef int INT;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef const BYTE* LPCBYTE;
typedef DWORD* LPDWORD;
typedef DWORD REGSAM;
typedef DWORD COLORREF;

struct HWND__;
typedef HWND__* HWND;
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HKEY__;
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
struct HRSRC__;
typedef HRSRC__* HRSRC;
typedef void* HGLOBAL;
typedef void* HANDLE;
typedef struct _SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
struct HMENU__;
typedef HMENU__* HMENU;
struct HDC__;
typedef HDC__* HDC;
typedef struct _OVERLAPPED* LPOVERLAPPED;

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

// Only a pointer to the template crosses the interface.
typedef struct DLGTEMPLATE_ DLGTEMPLATE;
typedef const DLGTEMPLATE* LPCDLGTEMPLATEW;
typedef INT_PTR(CALLBACK* DLGPROC)(HWND, UINT, WPARAM, LPARAM);

#define LOWORD(l) ((WORD)(((uintptr_t)(l)) & 0xFFFF))
#define HIWORD(l) ((WORD)((((uintptr_t)(l)) >> 16) & 0xFFFF))
#define MAKELONG(a, b) ((LONG)(((WORD)(a)) | ((DWORD)((WORD)(b))) << 16))
#define MAKELPARAM(l, h) ((LPARAM)(DWORD)MAKELONG(l, h))
#define MAKEINTRESOURCE(i) ((LPWSTR)(uintptr_t)((WORD)(i)))
#define MAKEINTRESOURCEW(i) MAKEINTRESOURCE(i)
#define RT_DIALOG MAKEINTRESOURCE(5)

#include "ce_calls.h"

// Wide-string routines over UTF-16 (wchar_t is 32 bits on Linux, so these
// are the stand-in's own, overloaded on WCHAR).
int wcscmp(const WCHAR* a, const WCHAR* b);
int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count);
WCHAR* wcscpy(WCHAR* destination, const WCHAR* source);
WCHAR* wcscat(WCHAR* destination, const WCHAR* source);
size_t wcslen(const WCHAR* text);
const WCHAR* wcsstr(const WCHAR* text, const WCHAR* pattern);
WCHAR* wcsstr(WCHAR* text, const WCHAR* pattern);
const WCHAR* wcsrchr(const WCHAR* text, WCHAR c);
WCHAR* wcsrchr(WCHAR* text, WCHAR c);
// Formats with %s (a wide string) and %% only, as the programs use it.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

#endif
