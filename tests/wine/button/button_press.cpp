// button_press.cpp: a hardware button from end to end: both programs installed
// in one folder, KeyAssigner run from there, and the command it wrote started
// the way the shell starts it when the button is pressed over a Settings page.
//
// Usage: button_press.exe KeyAssigner.exe ForegroundDismisser.exe [--demo SNAP-DIR]
// With --demo it registers one button with "/n", presses it once and tells
// each step; it asks for a picture before and after the press with a line
// "SNAP NAME" and goes on once SNAP-DIR holds NAME.png.
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "scene_windows.h"
#include "tool_session.h"
#include "wine_program.h"

namespace {

// ---------------------------------------------------------------------------
// Where the programs are installed, and the button they are given

const WCHAR kAssignerFile[] = L"KeyAssigner.exe";
const WCHAR kCloserFile[] = L"ForegroundDismisser.exe";
// C:\Program Files\前面ウィンドウ\: a space and Japanese, as a user's device holds.
const WCHAR kInstallFolder[] =
    L"C:\\Program Files\\\x524D\x9762\x30A6\x30A3\x30F3\x30C9\x30A6\\";

// KeyAssigner's command field holds 260 characters with the terminator.
const size_t kLongestCommand = 259;

const WCHAR kButtonKey[] = L"40C5";
const WCHAR kButtonName[] = L"\x9332\x97F3\x30DC\x30BF\x30F3";  // 録音ボタン
// Listed first, so that the button has to be picked.
const WCHAR kOtherKey[] = L"40C1";
const WCHAR kOtherName[] = L"\x30DC\x30BF\x30F3 1";  // ボタン 1
// What the button started before: whatever KeyAssigner fails to replace, the
// shell would still start this.
const WCHAR kEarlierCommand[] = L"\"\\Windows\\calendar.exe\"";

const DWORD kDialogTimeoutMs = 15000;
const DWORD kBoxTimeoutMs = 5000;
const DWORD kExitTimeoutMs = 5000;
const DWORD kCloserTimeoutMs = 15000;

// ---------------------------------------------------------------------------
// The screen when the button is pressed

// Each option brings a different window forward from this stack.
const std::vector<SceneWindow> kPressStack = {kSettingsSystem, kSettingsConnections, kCalculator, kToday};
// The demo's screen: a Settings page with an application below it.
const std::vector<SceneWindow> kDemoStack = {kSettingsSystem, kCalculator, kToday};
// Both start with the System page in front; the press sends it to the bottom.
const int kPressedOver = 0;

// ---------------------------------------------------------------------------
// Report

void PrintLine(const char* label, const std::wstring& text)
{
    printf("%s", label);
    PrintWide(text.c_str());
    printf("\n");
}

// A window of the stack by its name; the foreground may also be none, or a
// window of another program.
std::string NameOf(const std::vector<SceneWindow>& stack, int window)
{
    if (window >= 0)
        return stack[window].name;
    return window == scene::kNoWindow ? "no window" : "a window of no scene";
}

std::string DescribeZOrder(const Scene* scene)
{
    std::string order;
    for (int window : SceneZOrder(scene))
        order += (order.empty() ? "" : " > ") + scene->windows[window].name;
    return order;
}

// ---------------------------------------------------------------------------
// Steps

// Both programs copied into one folder, and removed again with it.
class Installation {
public:
    Installation(const std::wstring& folder, const std::wstring& builtAssigner,
                 const std::wstring& builtCloser, Report* problems)
        : folder_(folder), assigner_(folder + kAssignerFile), closer_(folder + kCloserFile)
    {
        if (!CreateDirectoryW(folder.c_str(), NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
            problems->Fail("install: could not create %s (error %lu)", Show(folder).c_str(),
                          GetLastError());
        else if (!CopyFileW(builtAssigner.c_str(), assigner_.c_str(), FALSE) ||
                 !CopyFileW(builtCloser.c_str(), closer_.c_str(), FALSE))
            problems->Fail("install: could not copy the programs into %s (error %lu)",
                          Show(folder).c_str(), GetLastError());
    }
    ~Installation()
    {
        DeleteFileW(assigner_.c_str());
        DeleteFileW(closer_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    const std::wstring& assigner() const { return assigner_; }
    const std::wstring& closer() const { return closer_; }

private:
    std::wstring folder_;
    std::wstring assigner_;
    std::wstring closer_;
};

std::wstring ButtonPath(const WCHAR* key)
{
    return std::wstring(kKeysPath) + L"\\" + key;
}

DWORD TextBytes(const WCHAR* text)
{
    return (DWORD)((wcslen(text) + 1) * sizeof(WCHAR));
}

// The value a Pocket PC shell starts: the button key's unnamed value. Real
// devices have no value named Default.
const WCHAR kShellValue[] = L"";

// The device's button list as the shell declares it, with the button already
// assigned elsewhere; put back as it was once the case is over.
class SeededButtons {
public:
    SeededButtons()
        : otherName_(HKEY_LOCAL_MACHINE, ButtonPath(kOtherKey).c_str(), L"Name", REG_SZ,
                     kOtherName, TextBytes(kOtherName)),
          name_(HKEY_LOCAL_MACHINE, ButtonPath(kButtonKey).c_str(), L"Name", REG_SZ,
                kButtonName, TextBytes(kButtonName)),
          earlier_(HKEY_LOCAL_MACHINE, ButtonPath(kButtonKey).c_str(), kShellValue, REG_SZ,
                   kEarlierCommand, TextBytes(kEarlierCommand))
    {
    }

private:
    ScopedValue otherName_;
    ScopedValue name_;
    ScopedValue earlier_;
};

// Picks the button and the option in KeyAssigner, taps OK and reads the box.
bool Register(const std::wstring& assigner, int optionId, Report* problems)
{
    ToolProcess tool = {};
    if (!StartTool(assigner, &tool)) {
        problems->Fail("could not start %s (error %lu)", Show(assigner).c_str(), GetLastError());
        return false;
    }
    bool registered = false;
    HWND dialog = WaitForDialog(tool, kDialogTimeoutMs);
    HWND list = dialog != NULL ? GetDlgItem(dialog, kListId) : NULL;
    if (list == NULL) {
        problems->Fail("KeyAssigner showed no dialog within %lu ms", kDialogTimeoutMs);
    } else {
        const LRESULT item = Send(list, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)kButtonName);
        Send(list, CB_SETCURSEL, (WPARAM)item, 0);
        Send(GetDlgItem(dialog, optionId), BM_CLICK, 0, 0);
        // Posted: OK opens a modal box before it returns.
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        HWND box = WaitForBox(tool, dialog, kBoxTimeoutMs);
        if (box == NULL) {
            problems->Fail("KeyAssigner showed no box within %lu ms of OK", kBoxTimeoutMs);
        } else {
            const BoxContents contents = ReadBox(box);
            registered = contents.caption == kSuccessCaption && contents.text == kSuccessText;
            if (!registered)
                problems->Fail("KeyAssigner's box: %s %s", Show(contents.caption).c_str(),
                              Show(contents.text).c_str());
            DismissBox(box, contents);
            // Its windows must be gone before the scene is set up.
            if (!WaitForExit(&tool, kExitTimeoutMs)) {
                problems->Fail("KeyAssigner still runs %lu ms after its box", kExitTimeoutMs);
                registered = false;
            }
        }
    }
    StopTool(&tool);
    return registered;
}

bool ReadValue(const WCHAR* name, std::wstring* command, Report* problems)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, ButtonPath(kButtonKey).c_str(), 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        problems->Fail("the button's key is gone");
        return false;
    }
    WCHAR value[1024];
    DWORD type = 0;
    DWORD bytes = sizeof(value) - sizeof(WCHAR);
    const LONG status = RegQueryValueExW(key, name, NULL, &type, (BYTE*)value, &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_SZ) {
        problems->Fail("the button's %s could not be read as REG_SZ (status %ld, type %lu)",
                      name[0] ? "Default" : "unnamed value", status, type);
        return false;
    }
    value[bytes / sizeof(WCHAR)] = 0;
    *command = value;
    return true;
}

// The button's command, read as the shell reads it: the unnamed value. The
// value named Default must hold the same.
bool ReadCommand(std::wstring* command, Report* problems)
{
    std::wstring named;
    if (!ReadValue(kShellValue, command, problems) || !ReadValue(L"Default", &named, problems))
        return false;
    if (named != *command) {
        problems->Fail("Default holds %s, the unnamed value %s", Show(named).c_str(),
                      Show(*command).c_str());
        return false;
    }
    return true;
}

// The program is the quoted path the command starts with.
bool ProgramOf(const std::wstring& command, std::wstring* program, Report* problems)
{
    const size_t close = command.find(L'"', 1);
    if (command.empty() || command[0] != L'"' || close == std::wstring::npos) {
        problems->Fail("the command does not start with a quoted path: %s", Show(command).c_str());
        return false;
    }
    *program = command.substr(1, close - 1);
    return true;
}

struct Press {
    std::wstring program;
    std::wstring image;  // the file the started process ran
    bool ranToEnd;
    DWORD status;
};

bool PressButton(const std::wstring& command, Press* press, Report* problems)
{
    if (!ProgramOf(command, &press->program, problems))
        return false;
    WCHAR image[MAX_PATH];
    press->status = 0;
    press->ranToEnd = RunCommandAndPump(press->program.c_str(), command.c_str(),
                                        kCloserTimeoutMs, &press->status, image, MAX_PATH);
    press->image = image;
    if (!press->ranToEnd)
        problems->Fail("%s did not start, or did not exit within %lu ms",
                      Show(press->program).c_str(), kCloserTimeoutMs);
    return press->ranToEnd;
}

bool SamePath(const std::wstring& a, const std::wstring& b)
{
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// ---------------------------------------------------------------------------
// Cases

struct Case {
    const char* name;
    int optionId;          // the radio button tapped in KeyAssigner
    const WCHAR* option;   // what the command ends with
    bool longestCommand;   // installed where the command is kLongestCommand long
    const SceneWindow* front;  // the window in front after the press
};

const Case kCases[] = {
    {"no option: the Today screen comes forward", kOptionNoneId, L"", false, &kToday},
    {"/n: the Settings page below comes forward", kOptionNId, L" /n", false, &kSettingsConnections},
    {"/ns: the application below both pages comes forward", kOptionNsId, L" /ns", false,
     &kCalculator},
    {"/n from a folder that makes the command 259 characters", kOptionNId, L" /n", true,
     &kSettingsConnections},
};

// C:\ and one folder, long enough that the command fills KeyAssigner's field.
std::wstring LongestFolder(const WCHAR* option)
{
    const size_t chars = kLongestCommand - 2 - wcslen(kCloserFile) - wcslen(option);
    std::wstring folder = L"C:\\Long folder ";
    folder += std::wstring(chars - folder.size() - 1, L'x');
    return folder + L"\\";
}

std::wstring gBuiltAssigner;
std::wstring gBuiltCloser;

bool RunCase(const Case& c)
{
    Report problems;
    const std::wstring folder = c.longestCommand ? LongestFolder(c.option) : kInstallFolder;
    std::wstring command;
    Press press = {};
    int front = scene::kNoWindow;
    {
        const Installation installed(folder, gBuiltAssigner, gBuiltCloser, &problems);
        const SeededButtons seeded;
        if (problems.problems.empty() && Register(installed.assigner(), c.optionId, &problems) &&
            ReadCommand(&command, &problems)) {
            const std::wstring expected = L"\"" + installed.closer() + L"\"" + c.option;
            if (command != expected)
                problems.Fail("KeyAssigner wrote %s, expected %s", Show(command).c_str(),
                             Show(expected).c_str());

            Scene scene;
            char problem[512];
            if (!BuildScene(&scene, kPressStack, kPressedOver, problem, sizeof(problem))) {
                problems.Fail("scene: %s", problem);
            } else if (PressButton(command, &press, &problems)) {
                front = SceneForeground(&scene);
                if (press.image.empty())
                    problems.Fail("the system could not tell which file the press ran");
                else if (!SamePath(press.image, installed.closer()))
                    problems.Fail("the press ran %s, not %s", Show(press.image).c_str(),
                                 Show(installed.closer()).c_str());
                if (press.status != 1)
                    problems.Fail("ForegroundDismisser exited with %lu, expected 1", press.status);
                if (NameOf(kPressStack, front) != c.front->name)
                    problems.Fail("in front: %s, expected %s", NameOf(kPressStack, front).c_str(),
                                 c.front->name.c_str());
                const std::vector<int> order = SceneZOrder(&scene);
                if (order.empty() || order.back() != kPressedOver)
                    problems.Fail("Z order after: %s; the System page should be at the bottom",
                                 DescribeZOrder(&scene).c_str());
            }
            DestroyScene(&scene);
        }
    }

    printf("%s %s\n", problems.problems.empty() ? "PASS" : "FAIL", c.name);
    if (!command.empty()) {
        printf("    started %u characters: ", (unsigned)command.size());
        PrintWide(command.c_str());
        printf("\n    ran ");
        PrintWide(press.image.empty() ? L"(unknown)" : press.image.c_str());
        printf(", exit status %lu, in front: %s\n", press.status, NameOf(kPressStack, front).c_str());
    }
    for (const std::string& line : problems.problems)
        printf("    %s\n", line.c_str());
    fflush(stdout);
    return problems.problems.empty();
}

// ---------------------------------------------------------------------------
// Demo

// Under the windows, the command that the button starts, so that a picture
// tells on its own what was pressed. Topmost, and so above the page in front:
// the press only looks below it.
HWND ShowCaption(const std::wstring& command, HFONT font)
{
    const std::wstring text = std::wstring(kButtonName) +
                              L" pressed; the shell starts what KeyAssigner wrote:\n" + command;
    HWND caption = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, L"Static", text.c_str(),
                                   WS_POPUP | WS_BORDER | SS_LEFT, 0, 224, 240, 96, NULL, NULL,
                                   GetModuleHandleW(NULL), NULL);
    if (caption != NULL) {
        SendMessageW(caption, WM_SETFONT, (WPARAM)font, FALSE);
        ShowWindow(caption, SW_SHOWNOACTIVATE);
    }
    return caption;
}

// The press over the demo's screen, told step by step, with a picture of the
// screen before and after.
bool ShowPress(const std::wstring& command, LPCWSTR snapDir, Report* problems)
{
    // Wine's default font has no kana; the install script provides this face.
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                             DEFAULT_PITCH, L"Noto Sans CJK JP");
    HWND caption = ShowCaption(command, font);
    Scene scene;
    char problem[512];
    bool ok = BuildScene(&scene, kDemoStack, kPressedOver, problem, sizeof(problem));
    if (!ok) {
        problems->Fail("could not set up the screen: %s", problem);
    } else {
        printf("The button is pressed.\n  in front: %s (page ",
               NameOf(kDemoStack, SceneForeground(&scene)).c_str());
        PrintWide((const WCHAR*)kDemoStack[kPressedOver].childTitle.c_str());
        printf(")\n  Z order:  %s\n", DescribeZOrder(&scene).c_str());
        SnapScene(&scene, snapDir, "button-before");

        Press press = {};
        ok = PressButton(command, &press, problems);
        PrintLine("  the shell started program       ", press.program);
        PrintLine("                with command line ", command);
        if (ok) {
            PrintLine("  the process ran ", press.image.empty() ? L"(unknown)" : press.image);
            const int front = SceneForeground(&scene);
            printf("  exit status: %lu\n", press.status);
            printf("  now in front: %s\n  Z order:  %s\n", NameOf(kDemoStack, front).c_str(),
                   DescribeZOrder(&scene).c_str());
            SnapScene(&scene, snapDir, "button-after");
            ok = NameOf(kDemoStack, front) == kCalculator.name;
            if (!ok)
                problems->Fail("expected %s in front", kCalculator.name.c_str());
        }
    }
    DestroyScene(&scene);
    DestroyWindow(caption);
    DeleteObject(font);
    return ok;
}

bool RunDemo(LPCWSTR snapDir)
{
    printf("== A button pressed: the command KeyAssigner wrote, started as the shell does "
           "(Wine) ==\n\n");
    Report problems;
    const Installation installed(kInstallFolder, gBuiltAssigner, gBuiltCloser, &problems);
    const SeededButtons seeded;
    std::wstring command;
    bool ok = problems.problems.empty();
    if (ok) {
        PrintLine("Installed KeyAssigner.exe and ForegroundDismisser.exe in ", kInstallFolder);
        PrintLine("Button ", std::wstring(kButtonKey) + L" (" + kButtonName + L") started " +
                                 kEarlierCommand + L" until now.");
        PrintLine("KeyAssigner.exe, started from that folder: ",
                  std::wstring(kButtonName) + L", option /n, OK");
        ok = Register(installed.assigner(), kOptionNId, &problems) &&
             ReadCommand(&command, &problems);
    }
    if (ok) {
        PrintLine("  box: ", kSuccessCaption);
        PrintLine("KeyAssigner wrote HKLM\\", ButtonPath(kButtonKey) +
                                          L" (unnamed value, and Default) = " + command);
        printf("\n");
        ok = ShowPress(command, snapDir, &problems);
    }
    for (const std::string& line : problems.problems)
        printf("  %s\n", line.c_str());
    fflush(stdout);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const char* usage = "button_press.exe KeyAssigner.exe ForegroundDismisser.exe [--demo SNAP-DIR]";
    std::vector<std::wstring> built;
    if (!StartWineProgram(argc, argv, usage, 2, 2, 4, &built))
        return 2;
    const bool demo = argc == 5 && wcscmp(argv[3], L"--demo") == 0;
    if (argc != 3 && !demo) {
        fprintf(stderr, "usage: %s\n", usage);
        return 2;
    }
    gBuiltAssigner = built[0];
    gBuiltCloser = built[1];

    const ButtonListCleanup cleanup;
    const ScopedValue quiet = QuietCrashes();
    if (demo)
        return RunDemo(WindowsPath(argv[4]).c_str()) ? 0 : 1;

    int passed = 0, failed = 0;
    for (const Case& c : kCases)
        (RunCase(c) ? passed : failed)++;
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
