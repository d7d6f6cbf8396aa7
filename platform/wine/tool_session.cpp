// tool_session.cpp: finds and taps KeyAssigner's windows from outside, with a
// limit on every wait so a broken tool never hangs a run; undoes its settings.
#include "tool_session.h"

#include <stdio.h>
#include <wchar.h>

const WCHAR kKeysPath[] = L"SOFTWARE\\Microsoft\\Shell\\Keys";
const WCHAR kDialogClass[] = L"#32770";
const WCHAR kDialogCaption[] = L"ForegroundDismisser";

const WCHAR kSuccessCaption[] = L"\x767B\x9332\x6210\x529F";  // 登録成功
// レジストリに登録を行ないました。解除（ほかのアプリケーションの割り当て）は、
// 本体側の「設定」-「ボタン」で行なってください。
const WCHAR kSuccessText[] =
    L"\x30EC\x30B8\x30B9\x30C8\x30EA\x306B\x767B\x9332\x3092\x884C\x306A\x3044\x307E"
    L"\x3057\x305F\x3002\x89E3\x9664\xFF08\x307B\x304B\x306E\x30A2\x30D7\x30EA\x30B1"
    L"\x30FC\x30B7\x30E7\x30F3\x306E\x5272\x308A\x5F53\x3066\xFF09\x306F\x3001\x672C"
    L"\x4F53\x5074\x306E\x300C\x8A2D\x5B9A\x300D-\x300C\x30DC\x30BF\x30F3\x300D"
    L"\x3067\x884C\x306A\x3063\x3066\x304F\x3060\x3055\x3044\x3002";
const WCHAR kErrorCaption[] = L"\x30A8\x30E9\x30FC";  // エラー
const WCHAR kErrorText[] =
    L"\x767B\x9332\x306B\x5931\x6557\x3057\x307E\x3057\x305F\x3002";  // 登録に失敗しました。

namespace {

const WCHAR kShellPath[] = L"SOFTWARE\\Microsoft\\Shell";
const DWORD kPollMs = 50;
const UINT kSendTimeoutMs = 5000;

struct BoxSearch {
    DWORD process;
    HWND dialog;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param)
{
    BoxSearch* search = (BoxSearch*)param;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    WCHAR className[64];
    GetClassNameW(window, className, 64);
    if (process == search->process && window != search->dialog &&
        wcscmp(className, kDialogClass) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param)
{
    ((std::vector<HWND>*)param)->push_back(window);
    return TRUE;
}

bool HasClass(HWND window, const WCHAR* name)
{
    WCHAR className[64];
    GetClassNameW(window, className, 64);
    return _wcsicmp(className, name) == 0;
}

}  // namespace

std::string Show(const std::wstring& text)
{
    if (text == kSuccessCaption)
        return "<success caption>";
    if (text == kSuccessText)
        return "<success text>";
    if (text == kErrorCaption)
        return "<error caption>";
    if (text == kErrorText)
        return "<error text>";
    std::string out = "\"";
    for (WCHAR c : text) {
        char piece[16];
        if (c == L'"' || c == L'\\')
            snprintf(piece, sizeof(piece), "\\%c", (char)c);
        else if (c >= 0x20 && c < 0x7F)
            snprintf(piece, sizeof(piece), "%c", (char)c);
        else
            snprintf(piece, sizeof(piece), "\\x%04X", (unsigned)c);
        out += piece;
    }
    return out + "\"";
}

bool StartTool(const std::wstring& path, ToolProcess* tool)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    std::wstring commandLine = L"\"" + path + L"\"";
    tool->started = CreateProcessW(path.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL,
                                   NULL, &startup, &tool->info) != FALSE;
    return tool->started;
}

bool WaitForExit(ToolProcess* tool, DWORD timeoutMs)
{
    return !tool->started || WaitForSingleObject(tool->info.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

void StopTool(ToolProcess* tool)
{
    if (!tool->started)
        return;
    if (!WaitForExit(tool, 0)) {
        TerminateProcess(tool->info.hProcess, 1);
        WaitForSingleObject(tool->info.hProcess, 5000);
    }
    CloseHandle(tool->info.hProcess);
    CloseHandle(tool->info.hThread);
    tool->started = false;
}

HWND WaitForDialog(const ToolProcess& tool, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += kPollMs) {
        if (WaitForSingleObject(tool.info.hProcess, 0) == WAIT_OBJECT_0)
            return NULL;
        // The dialog manager shows the dialog only after WM_INITDIALOG has
        // returned, so a visible dialog has its list filled.
        HWND window = NULL;
        while ((window = FindWindowExW(NULL, window, kDialogClass, kDialogCaption)) != NULL) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == tool.info.dwProcessId && IsWindowVisible(window))
                return window;
        }
        Sleep(kPollMs);
    }
    return NULL;
}

HWND WaitForBox(const ToolProcess& tool, HWND dialog, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += kPollMs) {
        BoxSearch search = {tool.info.dwProcessId, dialog, NULL};
        EnumWindows(FindBox, (LPARAM)&search);
        if (search.found != NULL)
            return search.found;
        if (waited >= timeoutMs)
            return NULL;
        Sleep(kPollMs);
    }
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return -2;
    return (LRESULT)result;
}

std::wstring TextOf(HWND window)
{
    LRESULT length = Send(window, WM_GETTEXTLENGTH, 0, 0);
    if (length < 0)
        return L"<no answer>";
    std::vector<WCHAR> text(length + 1, 0);
    Send(window, WM_GETTEXT, length + 1, (LPARAM)text.data());
    return text.data();
}

BoxContents ReadBox(HWND box)
{
    BoxContents contents = {TextOf(box), L"", false, false, {}};
    std::vector<HWND> children;
    EnumChildWindows(box, CollectChild, (LPARAM)&children);
    for (HWND child : children) {
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (!(style & WS_VISIBLE))
            continue;
        if (HasClass(child, L"Static") && (style & SS_TYPEMASK) == SS_ICON) {
            // Wine keeps the icon control of a box without an icon, empty.
            contents.hasIcon = contents.hasIcon || Send(child, STM_GETICON, 0, 0) != 0;
        } else if (HasClass(child, L"Static") && GetDlgCtrlID(child) == kNoId &&
                   !contents.hasText) {
            contents.text = TextOf(child);
            contents.hasText = true;
        } else if (HasClass(child, L"Button")) {
            contents.buttons.push_back(child);
        }
    }
    return contents;
}

void DismissBox(HWND box, const BoxContents& contents)
{
    // Posted: the box ends the dialog, and the tool, behind it.
    if (contents.buttons.size() == 1)
        PostMessageW(contents.buttons[0], BM_CLICK, 0, 0);
    else
        PostMessageW(box, WM_COMMAND, IDOK, 0);
}

ScopedValue::ScopedValue(HKEY root, const WCHAR* path, const WCHAR* name, DWORD type,
                         const void* data, DWORD bytes)
    : key_(NULL), name_(name), hadPrevious_(false), previousType_(0)
{
    if (RegCreateKeyExW(root, path, 0, NULL, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, &key_,
                        NULL) != ERROR_SUCCESS) {
        key_ = NULL;
        return;
    }
    DWORD previousBytes = 0;
    if (RegQueryValueExW(key_, name, NULL, &previousType_, NULL, &previousBytes) ==
        ERROR_SUCCESS) {
        previous_.resize(previousBytes);
        hadPrevious_ = RegQueryValueExW(key_, name, NULL, &previousType_, previous_.data(),
                                        &previousBytes) == ERROR_SUCCESS;
    }
    RegSetValueExW(key_, name, 0, type, (const BYTE*)data, bytes);
}

ScopedValue::~ScopedValue()
{
    if (key_ == NULL)
        return;
    if (hadPrevious_)
        RegSetValueExW(key_, name_.c_str(), 0, previousType_, previous_.data(),
                       (DWORD)previous_.size());
    else
        RegDeleteValueW(key_, name_.c_str());
    RegCloseKey(key_);
}

ButtonListCleanup::ButtonListCleanup() : hadShell_(false)
{
    HKEY shell;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShellPath, 0, KEY_READ, &shell) == ERROR_SUCCESS) {
        hadShell_ = true;
        RegCloseKey(shell);
    }
}

ButtonListCleanup::~ButtonListCleanup()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKeysPath);
    if (!hadShell_)
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, kShellPath);
}

ScopedValue QuietCrashes()
{
    const DWORD off = 0;
    return ScopedValue(HKEY_CURRENT_USER, L"Software\\Wine\\WineDbg", L"ShowCrashDialog",
                       REG_DWORD, &off, sizeof(off));
}
