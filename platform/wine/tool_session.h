// tool_session.h: works KeyAssigner from another process: starts it, finds and
// taps its dialog and boxes as a user would, and leaves the prefix as found.
#ifndef TOOL_SESSION_H
#define TOOL_SESSION_H

#include <windows.h>

#include <string>
#include <vector>

#include "wine_program.h"

// The shell's button list that the tool reads and writes, under HKLM.
const WCHAR kKeysPath[] = L"SOFTWARE\\Microsoft\\Shell\\Keys";

// The dialog as its template names it, and its controls.
const WCHAR kDialogClass[] = L"#32770";
const WCHAR kDialogCaption[] = L"ForegroundDismisser";
const int kListId = 1003;
const int kOptionNoneId = 1000;
const int kOptionNId = 1001;
const int kOptionNsId = 1002;
// A message box's text is the static control that carries no id.
const int kNoId = 0xFFFF;

// The result boxes, code point by code point.
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

// Text for a report: ASCII as is, everything else as \xNNNN, since no console
// code page can be relied on; the box texts by name.
std::string Show(const std::wstring& text);

struct ToolProcess {
    PROCESS_INFORMATION info;
    bool started;
};

bool StartTool(const std::wstring& path, ToolProcess* tool);
// Waits up to timeoutMs for the tool to end; true when it has.
bool WaitForExit(ToolProcess* tool, DWORD timeoutMs);
// Ends the tool if it still runs and releases its handles.
void StopTool(ToolProcess* tool);

// The tool's dialog once it is on screen, or NULL when the time is up or the
// tool has ended.
HWND WaitForDialog(const ToolProcess& tool, DWORD timeoutMs);
// Another shown dialog-class window of the tool than `dialog`: a message box.
HWND WaitForBox(const ToolProcess& tool, HWND dialog, DWORD timeoutMs);

// SendMessage that gives up on a hung tool; -2 when no answer came.
LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::wstring TextOf(HWND window);

struct BoxContents {
    std::wstring caption;
    std::wstring text;
    bool hasText;
    bool hasIcon;
    std::vector<HWND> buttons;  // visible push buttons
};

BoxContents ReadBox(HWND box);
// Taps the box's single button, or answers it with IDOK.
void DismissBox(HWND box, const BoxContents& contents);

// Sets one registry value for as long as it lives, then puts back what was
// there before, or nothing. The prefix is shared with other runs.
class ScopedValue {
public:
    ScopedValue(HKEY root, const WCHAR* path, const WCHAR* name, DWORD type, const void* data,
                DWORD bytes);
    ~ScopedValue();
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    HKEY key_ = NULL;
    std::wstring name_;
    bool hadPrevious_ = false;
    DWORD previousType_ = 0;
    std::vector<BYTE> previous_;
};

// Takes the button list away when it ends, and the Shell key above it too
// unless that was there before: the prefix is shared with other runs.
class ButtonListCleanup {
public:
    ButtonListCleanup();
    ~ButtonListCleanup();

private:
    bool hadShell_;
};

// While it lives, a crashing program is ended at once with a backtrace instead
// of being held open behind Wine's crash dialog, which nobody here would close.
ScopedValue QuietCrashes();

#endif
