// ce_calls.h: the constants and calls of the Windows CE core library that the
// programs use, declared once for both builds that stand for CE: the device
// (platform/ce, C linkage) and the stand-in (platform/standin). Each
// platform's windows.h defines the types and the handle-sized macros first.
#ifndef CE_PLATFORM_COMMON_CE_CALLS_H
#define CE_PLATFORM_COMMON_CE_CALLS_H

// Window manager
#define GW_HWNDNEXT 2
#define GW_HWNDPREV 3
#define GW_CHILD 5
#define HWND_BOTTOM ((HWND)1)
#define SWP_NOSIZE 0x0001
#define SWP_NOMOVE 0x0002
#define SWP_NOACTIVATE 0x0010
#define SPI_GETPLATFORMTYPE 257
#define GWL_STYLE (-16)
#define GWL_EXSTYLE (-20)
// The window shows OK rather than X in the shell's bar (SHDoneButton).
#define WS_EX_CAPTIONOKBTN 0x80000000L
#define WS_EX_TOPMOST 0x00000008L

// Screen
#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define LOGPIXELSX 88

// System version
#define VER_PLATFORM_WIN32_CE 3
typedef struct _OSVERSIONINFOW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
} OSVERSIONINFOW, *LPOSVERSIONINFOW;

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

// Kernel objects
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_ABANDONED 0x00000080L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFF

// Files
#define GENERIC_WRITE 0x40000000L
#define CREATE_ALWAYS 2
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

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
void keybd_event(BYTE key, BYTE scan, DWORD flags, ULONG_PTR extraInfo);
void Sleep(DWORD milliseconds);
BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID buffer, UINT winIni);
LONG GetWindowLongW(HWND window, int index);
// dwOSVersionInfoSize must hold sizeof(OSVERSIONINFOW) on the way in.
BOOL GetVersionExW(LPOSVERSIONINFOW info);
int GetSystemMetrics(int index);
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int GetDeviceCaps(HDC dc, int index);

// Registry
LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                   LPWSTR className, LPDWORD classChars, PFILETIME lastWrite);
LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataBytes);
LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataBytes);
LONG RegCloseKey(HKEY key);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataBytes);

// Kernel objects. CE 3.0 has no security attributes: the pointer must be NULL.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
BOOL ReleaseMutex(HANDLE mutex);
BOOL CloseHandle(HANDLE handle);

// Files. CE has no current folder: every path starts at the root. There is
// no overlapped I/O: the last argument of WriteFile must be NULL.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation, DWORD flags, HANDLE templateFile);
BOOL WriteFile(HANDLE file, LPCVOID data, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped);
BOOL DeleteFileW(LPCWSTR path);
// Fails when the destination exists.
BOOL MoveFileW(LPCWSTR from, LPCWSTR to);

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

#endif
