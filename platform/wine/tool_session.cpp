// tool_session.cpp: finds and taps KeyAssigner's windows from outside, with a
// limit on every wait so a broken tool never hangs a run; undoes its settings.
#include "tool_session.h"

#include <wchar.h>

namespace {

const WCHAR kShellPath[] = L"SOFTWARE\\Microsoft\\Shell";
const DWORD kPollMs = 50;
const UINT kSendTimeoutMs = 5000;

bool HasClass(HWND window, const WCHAR* name)
{
    WCHAR className[64];
    GetClassNameW(window, className, 64);
    return _wcsicmp(className, name) == 0;
}

// A shown dialog-class window of the tool other than `except`, titled
// `caption` unless that is NULL; looked for at least once, however short the
// time, and no longer once the tool has ended.
HWND WaitForWindow(const ToolProcess& tool, HWND except, const WCHAR* caption, DWORD timeoutMs)
{
    for (DWORD waited = 0;; waited += kPollMs) {
        HWND window = NULL;
        while ((window = FindWindowExW(NULL, window, kDialogClass, caption)) != NULL) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == tool.info.dwProcessId && window != except && IsWindowVisible(window))
                return window;
        }
        if (waited >= timeoutMs || WaitForSingleObject(tool.info.hProcess, 0) == WAIT_OBJECT_0)
            return NULL;
        Sleep(kPollMs);
    }
}

}  // namespace

std::string Show(const std::wstring& text)
{
    const struct {
        const WCHAR* text;
        const char* name;
    } kNamed[] = {{kSuccessCaption, "<success caption>"}, {kSuccessText, "<success text>"},
                  {kErrorCaption, "<error caption>"}, {kErrorText, "<error text>"}};
    for (const auto& named : kNamed) {
        if (text == named.text)
            return named.name;
    }
    std::string out = "\"";
    for (WCHAR c : text) {
        char piece[16];
        snprintf(piece, sizeof(piece),
                 c == L'"' || c == L'\\' ? "\\%c" : c >= 0x20 && c < 0x7F ? "%c" : "\\x%04X",
                 (unsigned)c);
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

// The dialog manager shows the dialog only after WM_INITDIALOG has returned,
// so a visible dialog has its list filled.
HWND WaitForDialog(const ToolProcess& tool, DWORD timeoutMs)
{
    return WaitForWindow(tool, NULL, kDialogCaption, timeoutMs);
}

HWND WaitForBox(const ToolProcess& tool, HWND dialog, DWORD timeoutMs)
{
    return WaitForWindow(tool, dialog, NULL, timeoutMs);
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
    for (HWND child = GetWindow(box, GW_CHILD); child != NULL;
         child = GetWindow(child, GW_HWNDNEXT)) {
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
    : name_(name)
{
    if (RegCreateKeyExW(root, path, 0, NULL, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, NULL, &key_,
                        NULL) != ERROR_SUCCESS) {
        key_ = NULL;
        return;
    }
    DWORD size = 0;
    hadPrevious_ = RegQueryValueExW(key_, name, NULL, NULL, NULL, &size) == ERROR_SUCCESS;
    previous_.resize(size);
    RegQueryValueExW(key_, name, NULL, &previousType_, previous_.data(), &size);
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

ButtonListCleanup::ButtonListCleanup()
{
    HKEY shell;
    hadShell_ = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShellPath, 0, KEY_READ, &shell) == ERROR_SUCCESS;
    if (hadShell_)
        RegCloseKey(shell);
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
