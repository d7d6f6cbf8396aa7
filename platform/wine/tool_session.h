// tool_session.h: works KeyAssigner from another process: starts it, finds and
// taps its dialog and boxes as a user would, and leaves the prefix as found.
#ifndef TOOL_SESSION_H
#define TOOL_SESSION_H

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

// What went wrong in one session, a line each.
struct Report {
    std::vector<std::string> problems;

    void Fail(const char* format, ...)
    {
        char line[1024];
        va_list args;
        va_start(args, format);
        vsnprintf(line, sizeof(line), format, args);
        va_end(args);
        problems.push_back(line);
    }
};

// The shell's button list that the tool reads and writes, under HKLM.
extern const WCHAR kKeysPath[];

// The dialog as its template names it, and its controls.
extern const WCHAR kDialogClass[];
extern const WCHAR kDialogCaption[];
const int kListId = 1003;
const int kOptionNoneId = 1000;
const int kOptionNId = 1001;
const int kOptionNsId = 1002;
// A message box's text is the static control that carries no id.
const int kNoId = 0xFFFF;

// The result boxes, code point by code point.
extern const WCHAR kSuccessCaption[];
extern const WCHAR kSuccessText[];
extern const WCHAR kErrorCaption[];
extern const WCHAR kErrorText[];

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
    HKEY key_;
    std::wstring name_;
    bool hadPrevious_;
    DWORD previousType_;
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
