// assigner_demo.cpp: shows KeyAssigner at work for the demo: a device's button
// list, the dialog with a choice made, the result box and the value written.
// Usage: assigner_demo KeyAssigner.exe SNAP-DIR
//
// It asks for each picture with a line "SNAP NAME WxH+X+Y" (the dialog's
// area on the screen) and goes on once SNAP-DIR holds NAME.png; every other
// line is the report, in UTF-8.
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "tool_session.h"
#include "wine_program.h"

namespace {

const WCHAR kFontLinks[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";

struct DemoButton {
    const WCHAR* key;
    const WCHAR* name;
};

// A device's buttons as its shell declares them.
const DemoButton kButtons[] = {
    {L"40C1", L"\x30DC\x30BF\x30F3 1"},               // ボタン 1
    {L"40C2", L"\x30DC\x30BF\x30F3 2"},               // ボタン 2
    {L"40C3", L"\x30DC\x30BF\x30F3 3"},               // ボタン 3
    {L"40C4", L"\x30DC\x30BF\x30F3 4"},               // ボタン 4
    {L"40C5", L"\x9332\x97F3\x30DC\x30BF\x30F3"},     // 録音ボタン
};
const int kChosen = 4;  // the record button gets ForegroundDismisser with /n

const DWORD kDialogTimeoutMs = 15000;
const DWORD kBoxTimeoutMs = 5000;
const DWORD kExitTimeoutMs = 5000;
const DWORD kSnapTimeoutMs = 30000;
// Lets X draw what the last message changed before the picture is taken.
const DWORD kPaintMs = 300;

std::string Utf8(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, NULL, 0, NULL, NULL);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], bytes, NULL, NULL);
    return out;
}

void Say(const std::string& line)
{
    printf("%s\n", line.c_str());
    fflush(stdout);
}

bool SeedButtons()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKeysPath);
    for (const DemoButton& button : kButtons) {
        HKEY key;
        const std::wstring path = std::wstring(kKeysPath) + L"\\" + button.key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                            &key, NULL) != ERROR_SUCCESS)
            return false;
        RegSetValueExW(key, L"Name", 0, REG_SZ, (const BYTE*)button.name,
                       (DWORD)((wcslen(button.name) + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }
    return true;
}

// Asks the script for a picture of the dialog's area and waits until it is
// there, so that the next step can't change the screen under the camera.
bool Snap(const std::wstring& snapDir, const char* name, HWND dialog)
{
    Sleep(kPaintMs);
    RECT area;
    GetWindowRect(dialog, &area);
    printf("SNAP %s %ldx%ld+%ld+%ld\n", name, area.right - area.left, area.bottom - area.top,
           area.left, area.top);
    fflush(stdout);
    const std::wstring file = snapDir + std::wstring(name, name + strlen(name)) + L".png";
    for (DWORD waited = 0; waited < kSnapTimeoutMs; waited += 100) {
        if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        Sleep(100);
    }
    fprintf(stderr, "assigner_demo: no %s.png after %lu ms\n", name, kSnapTimeoutMs);
    return false;
}

// Wine lays the success box out wider than a 240-pixel screen and centres it,
// so that its caption lies off the left edge; the picture shows it from there.
void BringIntoView(HWND box)
{
    RECT area;
    GetWindowRect(box, &area);
    if (area.left < 0) {
        Say("(The box is " + std::to_string(area.right - area.left) +
            " pixels wide; moved to the screen's left edge for the picture.)");
        SetWindowPos(box, NULL, 0, area.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

std::wstring ListItem(HWND list, int item)
{
    LRESULT length = Send(list, CB_GETLBTEXTLEN, item, 0);
    std::vector<WCHAR> text(length > 0 ? length + 1 : 1, 0);
    if (length > 0)
        Send(list, CB_GETLBTEXT, item, (LPARAM)text.data());
    return text.data();
}

// The written values, shown by the platform's own registry tool: the whole
// key, so that the unnamed value the shell starts ("(Default)" to reg.exe)
// and the value named Default are both seen.
void QueryWithReg(const std::wstring& key)
{
    std::wstring command = L"reg.exe query \"HKLM\\" + std::wstring(kKeysPath) + L"\\" + key + L"\"";
    Say("$ " + Utf8(command));
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION reg;
    if (!CreateProcessW(NULL, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &reg)) {
        Say("(reg.exe could not be started)");
        return;
    }
    WaitForSingleObject(reg.hProcess, 10000);
    CloseHandle(reg.hProcess);
    CloseHandle(reg.hThread);
}

// name: L"" for the unnamed value, the one a Pocket PC shell starts.
std::wstring ReadValue(const std::wstring& key, const WCHAR* name)
{
    const std::wstring path = std::wstring(kKeysPath) + L"\\" + key;
    WCHAR value[1024] = {0};
    DWORD bytes = sizeof(value) - sizeof(WCHAR);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), name, RRF_RT_REG_SZ, NULL, value,
                     &bytes) != ERROR_SUCCESS)
        return L"(no value)";
    return value;
}

bool RunDemo(const std::wstring& tool, const std::wstring& snapDir)
{
    const DemoButton& chosen = kButtons[kChosen];
    if (!SeedButtons()) {
        Say("could not seed the button list");
        return false;
    }
    Say("Button list seeded under HKLM\\" + Utf8(kKeysPath) + ":");
    for (const DemoButton& button : kButtons)
        Say("  " + Utf8(button.key) + "  Name = " + Utf8(button.name));

    ToolProcess process = {};
    if (!StartTool(tool, &process)) {
        Say("could not start " + Utf8(tool));
        return false;
    }
    bool ok = false;
    HWND dialog = WaitForDialog(process, kDialogTimeoutMs);
    HWND list = dialog != NULL ? GetDlgItem(dialog, kListId) : NULL;
    if (dialog == NULL || list == NULL) {
        Say("KeyAssigner showed no dialog");
    } else {
        std::string items;
        const LRESULT count = Send(list, CB_GETCOUNT, 0, 0);
        for (int i = 0; i < count; i++)
            items += (i ? ", " : "") + Utf8(ListItem(list, i));
        Say("KeyAssigner lists: " + items);

        // The user opens the list, picks the button and taps "/n".
        Send(list, CB_SETCURSEL, kChosen, 0);
        Send(GetDlgItem(dialog, kOptionNId), BM_CLICK, 0, 0);
        Say("Chosen: " + Utf8(ListItem(list, (int)Send(list, CB_GETCURSEL, 0, 0))) +
            ", option /n");
        if (Snap(snapDir, "keyassigner-dialog", dialog)) {
            // Posted: OK opens a modal box before it returns.
            PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            Say("OK tapped.");
            HWND box = WaitForBox(process, dialog, kBoxTimeoutMs);
            if (box == NULL) {
                Say("no message box appeared");
            } else {
                const BoxContents contents = ReadBox(box);
                Say("Message box \"" + Utf8(contents.caption) + "\": " + Utf8(contents.text));
                BringIntoView(box);
                const bool snapped = Snap(snapDir, "keyassigner-registered", dialog);
                DismissBox(box, contents);
                ok = snapped && contents.caption == kSuccessCaption &&
                     WaitForExit(&process, kExitTimeoutMs);
            }
        }
    }
    StopTool(&process);
    if (!ok)
        return false;

    Say("KeyAssigner has ended. The value it wrote:");
    QueryWithReg(chosen.key);
    const std::wstring started = ReadValue(chosen.key, L"");
    const std::wstring named = ReadValue(chosen.key, L"Default");
    Say("What the shell starts for " + Utf8(chosen.key) + " (" + Utf8(chosen.name) +
        "), its unnamed value = " + Utf8(started));
    Say("Its value Default = " + Utf8(named));
    return started == named;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> built;
    if (!StartWineProgram(argc, argv, "assigner_demo KeyAssigner.exe SNAP-DIR", 1, 2, 2, &built))
        return 2;
    const std::wstring& tool = built[0];
    std::wstring snapDir = WindowsPath(argv[2]);
    if (!snapDir.empty() && snapDir.back() != L'\\')
        snapDir += L'\\';

    bool ok;
    {
        const ButtonListCleanup cleanup;
        const ScopedValue quiet = QuietCrashes();
        // Wine's "System" face, the dialog's, and its "Tahoma", the message
        // box's, are Latin only; linked to a Japanese face they draw the
        // kana and kanji the way a Japanese device's own fonts would. The
        // IPA face keeps the dialog's layout close to a device's; Noto is
        // the fallback that the install script guarantees.
        const WCHAR links[] = L"ipagp.ttf,IPAPGothic\0NotoSansCJK-Regular.ttc,Noto Sans CJK JP\0";
        const ScopedValue systemLink(HKEY_LOCAL_MACHINE, kFontLinks, L"System", REG_MULTI_SZ,
                                     links, sizeof(links));
        const ScopedValue tahomaLink(HKEY_LOCAL_MACHINE, kFontLinks, L"Tahoma", REG_MULTI_SZ,
                                     links, sizeof(links));
        ok = RunDemo(tool, snapDir);
    }
    return ok ? 0 : 1;
}
