// assigner_driver.cpp: runs the real KeyAssigner.exe against seeded button
// lists, works its dialog the way a user would, and checks the registry after.
// Usage: assigner_driver KeyAssigner.exe
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "tool_session.h"
#include "wine_program.h"

namespace {

// ---------------------------------------------------------------------------
// What the tool reads and writes

const WCHAR kCloserFileAndQuote[] = L"ForegroundDismisser.exe\"";
const WCHAR kOptionN[] = L" /n";
const WCHAR kOptionNs[] = L" /ns";
const int kRadioIds[] = {kOptionNoneId, kOptionNId, kOptionNsId};

const int kListedButtons = 10;
// Key paths and the command share this capacity, terminator included.
const size_t kPathCapacity = 260;

const WCHAR kButton1[] = L"\x30DC\x30BF\x30F3 1";                   // ボタン 1
const WCHAR kRecordButton[] = L"\x9332\x97F3\x30DC\x30BF\x30F3";  // 録音ボタン

// Time limits. Wine starts a new process in well under a second once its
// server runs; the limits only keep a broken tool from hanging the run.
const DWORD kDialogTimeoutMs = 15000;
const DWORD kBoxTimeoutMs = 5000;
const DWORD kExitTimeoutMs = 5000;

// ---------------------------------------------------------------------------
// Registry seeds

struct SeedValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

// A text with its terminating zero, or without, as some tools write it.
SeedValue Text(const std::wstring& name, const std::wstring& text, bool terminated = true)
{
    const BYTE* bytes = (const BYTE*)text.c_str();
    return {name, REG_SZ, {bytes, bytes + (text.size() + terminated) * sizeof(WCHAR)}};
}

SeedValue Dword(const std::wstring& name, DWORD n)
{
    return {name, REG_DWORD, {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)}};
}

struct SeedKey {
    std::wstring path;  // under the key list; a backslash makes a nested key
    std::vector<SeedValue> values;
    std::wstring shown;  // the list item a button key must give
};

// A button key with its Name, which the list shows, and values of its own.
SeedKey Named(const std::wstring& path, const std::wstring& name, std::vector<SeedValue> more = {})
{
    more.insert(more.begin(), Text(L"Name", name));
    return {path, more, name};
}

// The keys in creation order; none at all: no key list either.
using Layout = std::vector<SeedKey>;

// Twelve buttons created out of order, one without a Name, some carrying
// values of the shell's own that must survive, one already assigned to
// another application and one with a key of its own beneath it.
const Layout kDevice = {
    Named(L"40C7", L"\x4E0A", {Dword(L"Flags", 3)}),  // 上
    Named(L"40C2", L"\x30DC\x30BF\x30F3 2", {Text(L"", L"\"\\Windows\\calendar.exe\"")}),
    Named(L"40CC", L"\x4E88\x5B9A\x8868"),  // 予定表
    Named(L"40C1", kButton1, {Text(L"Icon", L"\\Windows\\button1.ico,0")}),
    {L"40C1\\Hold", {Text(L"Default", L"\\Windows\\hold.exe"), Dword(L"Delay", 500)}, L""},
    Named(L"40C9", L"\x5DE6"),  // 左
    {L"40C4", {{L"Icon", REG_BINARY, {0x01, 0x02, 0x00, 0xFF}}}, L""},
    Named(L"40CB", L"\x6C7A\x5B9A"),  // 決定
    Named(L"40C3", L"\x30DC\x30BF\x30F3 3"),
    Named(L"40CA", L"\x53F3", {Dword(L"Icon", 7)}),  // 右
    Named(L"40C5", kRecordButton),
    Named(L"40C8", L"\x4E0B"),  // 下
    Named(L"40C6", L"\x30DC\x30BF\x30F3 4", {Text(L"", L"unnamed value")}),
};

const Layout kNoKeys = {};

// The key list is there but declares no button; a value of its own shows a
// write that lands on the list itself.
const Layout kEmptyKeys = {{L"", {Text(L"Version", L"1")}, L""}};

// The longest button key name whose path, kKeysPath\name, still fits.
const size_t kLongestKeyName = kPathCapacity - 1 - wcslen(kKeysPath) - 1;
const std::wstring kKeyPathFits = L"B" + std::wstring(kLongestKeyName - 1, L'x');
const std::wstring kKeyPathTooLong = L"C" + std::wstring(kLongestKeyName, L'x');

// ボタン0ボタン1... past 300 characters.
const std::wstring kLongName = [] {
    std::wstring name;
    for (int i = 0; name.size() < 300; i++)
        name += L"\x30DC\x30BF\x30F3" + std::to_wstring(i % 10);
    return name;
}();

// Names and key names at the edges of the tool's 260-character fields.
const Layout kFieldEdges = {
    {L"41A0", {Text(L"Name", kRecordButton, false)}, kRecordButton},
    {L"41A1", {Text(L"Name", kLongName)}, kLongName.substr(0, kPathCapacity - 1)},
    Named(kKeyPathFits, kButton1),
    // Its path can't be built, so it is listed but has no name to show.
    {kKeyPathTooLong, {}, L""},
};

// ---------------------------------------------------------------------------
// Registry snapshots

// A key or value of the key list: where it is, and what it holds (its type
// and every byte, a text as text; nothing for a key), as the report shows it.
struct Entry {
    std::string where;
    std::string what;
};

// By key path and value name, folded to upper case as the registry compares.
using Snapshot = std::map<std::wstring, Entry>;

std::wstring Upper(std::wstring text)
{
    for (WCHAR& c : text)
        c = towupper(c);
    return text;
}

void Put(Snapshot* snapshot, const std::wstring& key, const SeedValue& value)
{
    const std::vector<BYTE>& bytes = value.data;
    std::string what = "type " + std::to_string(value.type) + " ";
    if ((value.type == REG_SZ || value.type == REG_EXPAND_SZ) && bytes.size() % 2 == 0) {
        what += Show(std::wstring((const WCHAR*)bytes.data(), bytes.size() / 2)) + " (" +
                std::to_string(bytes.size()) + " bytes)";
    } else {
        for (BYTE byte : bytes) {
            char piece[4];
            snprintf(piece, sizeof(piece), "%02X", byte);
            what += piece;
        }
    }
    (*snapshot)[Upper(key + L"\n" + value.name)] = {
        Show(L"Keys\\" + key) + " value " + Show(value.name), what};
}

// The key list, or a key beneath it, as a path for HKLM.
std::wstring KeyPath(const std::wstring& path)
{
    return kKeysPath + (path.empty() ? L"" : L"\\" + path);
}

// Adds the key and everything beneath it; `children`, unless NULL, gets its
// subkeys in the registry's own enumeration order.
void SnapshotKey(const std::wstring& path, Snapshot* snapshot,
                 std::vector<std::wstring>* children = NULL)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, KeyPath(path).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    (*snapshot)[Upper(path)] = {"key " + Show(L"Keys\\" + path), ""};
    WCHAR name[16384];
    for (DWORD i = 0;; i++) {
        DWORD chars = 16384, type = 0, bytes = 0;
        if (RegEnumValueW(key, i, name, &chars, NULL, &type, NULL, &bytes) != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(bytes);
        chars = 16384;
        RegEnumValueW(key, i, name, &chars, NULL, &type, data.data(), &bytes);
        data.resize(bytes);
        Put(snapshot, path, {name, type, data});
    }
    for (DWORD i = 0, chars = 256;
         RegEnumKeyExW(key, i, name, &chars, NULL, NULL, NULL, NULL) == ERROR_SUCCESS;
         i++, chars = 256) {
        if (children != NULL)
            children->push_back(name);
        SnapshotKey(path.empty() ? name : path + L"\\" + name, snapshot);
    }
    RegCloseKey(key);
}

// The whole key list, empty when the list is not there at all; `buttons`,
// unless NULL, gets the button keys in the registry's order.
Snapshot TakeSnapshot(std::vector<std::wstring>* buttons = NULL)
{
    Snapshot snapshot;
    SnapshotKey(L"", &snapshot, buttons);
    return snapshot;
}

void CompareSnapshots(const Snapshot& expected, const Snapshot& actual, Report* report)
{
    for (const auto& [id, want] : expected) {
        const auto found = actual.find(id);
        if (found == actual.end())
            report->Fail("registry: missing %s %s", want.where.c_str(), want.what.c_str());
        else if (found->second.what != want.what)
            report->Fail("registry: %s holds %s, expected %s", want.where.c_str(),
                         found->second.what.c_str(), want.what.c_str());
    }
    for (const auto& [id, have] : actual) {
        if (expected.count(id) == 0)
            report->Fail("registry: unexpected %s %s", have.where.c_str(), have.what.c_str());
    }
}

bool Seed(const Layout& layout, Report* report)
{
    // A clean start: whatever an earlier scenario or run left is gone.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKeysPath);
    for (const SeedKey& seed : layout) {
        HKEY key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, KeyPath(seed.path).c_str(), 0, NULL, 0,
                            KEY_ALL_ACCESS, NULL, &key, NULL) != ERROR_SUCCESS) {
            report->Fail("seed: could not create %s", Show(KeyPath(seed.path)).c_str());
            return false;
        }
        for (const SeedValue& value : seed.values)
            RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                           (DWORD)value.data.size());
        RegCloseKey(key);
    }
    if (layout.empty() && !TakeSnapshot().empty()) {
        report->Fail("seed: could not remove the key list");
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Where the tool runs from

std::wstring gBuiltTool;  // Windows path of the KeyAssigner.exe under test
std::wstring gScratch;    // folder for copies of it, removed after each

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.rfind(L'\\') + 1);
}

// The tool to run: the build's own file, or a copy named `copy` in a folder
// scratch\ddd...\ddd\ whose path, trailing backslash included, is
// `folderChars` long (0: a short one), in folder names short enough for any
// file system.
bool PlaceTool(const WCHAR* copy, size_t folderChars, std::wstring* tool, Report* report)
{
    *tool = gBuiltTool;
    if (copy == NULL)
        return true;
    std::wstring folder = gScratch;
    CreateDirectoryW(folder.c_str(), NULL);
    const size_t chars = folderChars != 0 ? folderChars : folder.size() + 5;
    if (chars < folder.size() + 2) {
        report->Fail("placement: scratch folder %s is longer than %u characters",
                     Show(folder).c_str(), (unsigned)chars);
        return false;
    }
    for (int level = 0; folder.size() < chars; level++) {
        const size_t left = chars - folder.size();  // backslash included
        size_t piece = std::min<size_t>(100, left - 1);
        if (left - piece - 1 == 1)
            piece--;  // a last piece of one character would leave an empty folder name
        folder += std::wstring(piece, (WCHAR)(L'a' + level % 26)) + L"\\";
        CreateDirectoryW(folder.c_str(), NULL);
    }
    *tool = folder + copy;
    if (!CopyFileW(gBuiltTool.c_str(), tool->c_str(), FALSE)) {
        report->Fail("placement: could not copy the tool to %s (error %lu)", Show(*tool).c_str(),
                     GetLastError());
        return false;
    }
    return true;
}

// Takes a copy in the scratch area away again, its folders and the scratch
// folder with it; the built tool stays.
void RemovePlaced(std::wstring path)
{
    for (; path.size() > gScratch.size() && path.compare(0, gScratch.size(), gScratch) == 0;
         path = FolderOf(path.substr(0, path.size() - 1))) {
        if (!DeleteFileW(path.c_str()))
            RemoveDirectoryW(path.c_str());
    }
    RemoveDirectoryW(gScratch.c_str());
}

// ---------------------------------------------------------------------------
// Scenarios

enum Pick {
    kKeepFirst,    // leave the selection the dialog opened with
    kPickKey,      // select the item of the button key named `key`
    kPickTenth,    // select the last item offered, whichever button it is
    kPickNothing,  // clear the selection (CB_SETCURSEL -1)
};

// A message posted to one of the dialog's buttons, or to the dialog itself (0).
struct Ending {
    int control;
    UINT message;
    WPARAM wParam;
};
const Ending kClickOk = {IDOK, BM_CLICK, 0};                             // a tap on OK
const Ending kCommandOk = {0, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED)};  // the Enter key
const Ending kClickCancel = {IDCANCEL, BM_CLICK, 0};                     // a tap on Cancel
const Ending kCloseWindow = {0, WM_CLOSE, 0};  // the title bar's close box

enum Outcome {
    kRegistered,  // success box; the button's Default and unnamed value hold the command
    kRefused,     // error box; nothing written
    kUntouched,   // no box; nothing written
};

struct Scenario {
    const char* title;
    const Layout& layout;
    Pick pick;
    const WCHAR* key;  // for kPickKey
    int clicks[3];     // radio buttons clicked in turn, zero-terminated
    Ending ending;
    Outcome outcome;
    const WCHAR* suffix = L"";  // the option the written command ends with
    const WCHAR* copy = NULL;   // run as a copy of this name (see PlaceTool)
    size_t folderChars = 0;
};

// The longest folder, trailing backslash included, for which the command with
// " /ns" still fits: a quote, the folder, the closer's file and quote, the
// option and the terminator.
const size_t kLongestFolderWithNs =
    kPathCapacity - 1 - wcslen(kCloserFileAndQuote) - wcslen(kOptionNs) - 1;

const Scenario kScenarios[] = {
    // Choices in the dialog, with the built program.
    {"OK at once registers the first listed button with no option",
     kDevice, kKeepFirst, NULL, {0}, kClickOk, kRegistered},
    {"/n on a button another application holds replaces its command",
     kDevice, kPickKey, L"40C2", {kOptionNId}, kClickOk, kRegistered, kOptionN},
    {"/ns registers a command ending in \" /ns",
     kDevice, kPickKey, L"40C6", {kOptionNsId}, kCommandOk, kRegistered, kOptionNs},
    {"/ns then none registers with no option",
     kDevice, kPickKey, L"40C3", {kOptionNsId, kOptionNoneId}, kClickOk, kRegistered},
    {"/n then /ns registers the last choice",
     kDevice, kPickKey, L"40C9", {kOptionNId, kOptionNsId}, kClickOk, kRegistered, kOptionNs},
    {"twelve buttons: ten are listed, and the tenth registers",
     kDevice, kPickTenth, NULL, {kOptionNId}, kCommandOk, kRegistered, kOptionN},
    {"button without Name: an empty item at its index, and it registers",
     kDevice, kPickKey, L"40C4", {0}, kClickOk, kRegistered},
    {"the button after the nameless one registers itself, not a neighbour",
     kDevice, kPickKey, L"40C5", {kOptionNId}, kClickOk, kRegistered, kOptionN},
    {"Cancel after choosing leaves the registry untouched",
     kDevice, kPickKey, L"40C2", {kOptionNId}, kClickCancel, kUntouched},
    {"closing the window after choosing leaves the registry untouched",
     kDevice, kPickKey, L"40C2", {kOptionNsId}, kCloseWindow, kUntouched},
    {"nothing selected: OK reports failure and writes nothing",
     kDevice, kPickNothing, NULL, {kOptionNId}, kClickOk, kRefused},

    // Button lists with nothing to register.
    {"missing key list: empty list, OK reports failure, nothing is created",
     kNoKeys, kKeepFirst, NULL, {0}, kClickOk, kRefused},
    {"key list without buttons: empty list, OK reports failure",
     kEmptyKeys, kKeepFirst, NULL, {0}, kCommandOk, kRefused},

    // Names and key names at the edges of their fields.
    {"unterminated and over-long Names are listed cut and terminated",
     kFieldEdges, kPickKey, L"41A1", {kOptionNId}, kClickOk, kRegistered, kOptionN},
    {"key name whose path just fits registers",
     kFieldEdges, kPickKey, kKeyPathFits.c_str(), {kOptionNsId}, kClickOk, kRegistered, kOptionNs},
    {"key name one character too long for its path: failure, nothing written",
     kFieldEdges, kPickKey, kKeyPathTooLong.c_str(), {0}, kClickOk, kRefused},

    // The program run from elsewhere, under another name.
    {"renamed copy in another folder names ForegroundDismisser in that folder",
     kDevice, kPickKey, L"40C1", {kOptionNId}, kClickOk, kRegistered, kOptionN,
     L"KeyAssigner-renamed.exe"},
    {"command that just fits its field registers",
     kDevice, kKeepFirst, NULL, {kOptionNsId}, kClickOk, kRegistered, kOptionNs,
     L"K.exe", kLongestFolderWithNs},
    {"command one character too long: failure, nothing written",
     kDevice, kKeepFirst, NULL, {kOptionNsId}, kClickOk, kRefused, L"",
     L"K.exe", kLongestFolderWithNs + 1},
};

// The dialog as a line of the report: its list, the selected item and the
// checked options.
std::string DescribeDialog(HWND dialog)
{
    HWND list = GetDlgItem(dialog, kListId);
    std::string out = "list";
    for (LRESULT i = 0, count = Send(list, CB_GETCOUNT, 0, 0); i < count; i++) {
        const LRESULT length = Send(list, CB_GETLBTEXTLEN, i, 0);
        std::vector<WCHAR> text(std::max<LRESULT>(length, 0) + 1, 0);
        if (length > 0)
            Send(list, CB_GETLBTEXT, i, (LPARAM)text.data());
        out += " " + Show(text.data());
    }
    out += ", item " + std::to_string(Send(list, CB_GETCURSEL, 0, 0)) + " selected, checked:";
    for (int id : kRadioIds) {
        if (Send(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED)
            out += " " + std::to_string(id);
    }
    return out;
}

// Checks the whole dialog: the items the buttons must give, in the
// registry's order, the selected one and the single checked option.
void CheckDialog(HWND dialog, const std::vector<std::wstring>& shown, int selected, int checked,
                 const std::string& when, Report* report)
{
    std::string want = "list";
    for (const std::wstring& item : shown)
        want += " " + Show(item);
    want += ", item " + std::to_string(selected) + " selected, checked: " + std::to_string(checked);
    const std::string have = DescribeDialog(dialog);
    if (have != want)
        report->Fail("%s: %s\n        expected %s", when.c_str(), have.c_str(), want.c_str());
}

// The box as a line of the report: caption, text, icon and buttons, and
// whether it is told over the dialog, which closes only once it is read.
std::string DescribeBox(HWND box, const BoxContents& contents, HWND dialog)
{
    const std::vector<HWND>& buttons = contents.buttons;
    return Show(contents.caption) + " " +
           (contents.hasText ? Show(contents.text) : "(no text control)") +
           (contents.hasIcon ? ", an icon, " : ", no icon, ") +
           (buttons.size() == 1 && GetDlgCtrlID(buttons[0]) == IDOK
                ? "OK alone"
                : std::to_string(buttons.size()) + " buttons") +
           (GetWindow(box, GW_OWNER) == dialog ? "" : ", not owned by the dialog") +
           (IsWindowVisible(dialog) ? "" : ", the dialog closed before it");
}

void Exercise(const Scenario& scenario, const std::wstring& tool, ToolProcess* process,
              Report* report)
{
    std::vector<std::wstring> buttons;
    const Snapshot before = TakeSnapshot(&buttons);
    // The registry's order, once, for the record: item i is the i-th key it
    // enumerates, whatever order the keys were created in.
    static bool orderShown = false;
    if (!orderShown && buttons.size() > (size_t)kListedButtons) {
        printf("info: this registry enumerates the buttons as");
        for (const std::wstring& name : buttons)
            printf(" %s", Show(name).c_str());
        printf("\n");
        orderShown = true;
    }
    std::vector<std::wstring> shown;
    for (size_t i = 0; i < buttons.size() && i < (size_t)kListedButtons; i++) {
        shown.push_back(L"<not seeded>");
        for (const SeedKey& seed : scenario.layout) {
            if (Upper(seed.path) == Upper(buttons[i]))
                shown.back() = seed.shown;
        }
    }

    // The button the scenario expects written, and its list item.
    int item = 0;
    if (scenario.pick == kPickNothing)
        item = -1;
    else if (scenario.pick == kPickTenth)
        item = kListedButtons - 1;
    else if (scenario.pick == kPickKey)
        while (item < (int)buttons.size() && Upper(buttons[item]) != Upper(scenario.key))
            item++;
    if ((scenario.outcome == kRegistered || scenario.pick == kPickKey ||
         scenario.pick == kPickTenth) && item >= (int)shown.size()) {
        report->Fail("seed: the button to pick is item %d of %d listed", item, (int)shown.size());
        return;
    }

    if (!StartTool(tool, process)) {
        report->Fail("could not start %s (error %lu)", Show(tool).c_str(), GetLastError());
        return;
    }
    HWND dialog = WaitForDialog(*process, kDialogTimeoutMs);
    if (dialog == NULL) {
        DWORD status = STILL_ACTIVE;
        GetExitCodeProcess(process->info.hProcess, &status);
        report->Fail(status != STILL_ACTIVE ? "ended with status 0x%lX without showing its dialog"
                                            : "no dialog \"ForegroundDismisser\" within %lu ms",
                     status != STILL_ACTIVE ? status : kDialogTimeoutMs);
        return;
    }
    int selected = shown.empty() ? CB_ERR : 0;
    CheckDialog(dialog, shown, selected, kOptionNoneId, "on opening", report);
    if (scenario.pick != kKeepFirst) {
        Send(GetDlgItem(dialog, kListId), CB_SETCURSEL, (WPARAM)item, 0);
        CheckDialog(dialog, shown, selected = item, kOptionNoneId, "after selecting", report);
    }
    for (int i = 0; i < 3 && scenario.clicks[i] != 0; i++) {
        Send(GetDlgItem(dialog, scenario.clicks[i]), BM_CLICK, 0, 0);
        CheckDialog(dialog, shown, selected, scenario.clicks[i],
                    "after clicking " + std::to_string(scenario.clicks[i]), report);
    }
    // Posted, not sent: OK opens a modal message box, and a sent click would
    // not return until someone dismissed it.
    const Ending& ending = scenario.ending;
    PostMessageW(ending.control != 0 ? GetDlgItem(dialog, ending.control) : dialog,
                 ending.message, ending.wParam,
                 ending.message == WM_COMMAND ? (LPARAM)GetDlgItem(dialog, IDOK) : 0);

    if (scenario.outcome != kUntouched) {
        HWND box = WaitForBox(*process, dialog, kBoxTimeoutMs);
        if (box == NULL) {
            report->Fail("no message box within %lu ms", kBoxTimeoutMs);
            return;
        }
        // MB_OK alone on success; MB_ICONERROR on failure.
        const std::string want =
            scenario.outcome == kRegistered
                ? Show(kSuccessCaption) + " " + Show(kSuccessText) + ", no icon, OK alone"
                : Show(kErrorCaption) + " " + Show(kErrorText) + ", an icon, OK alone";
        const BoxContents contents = ReadBox(box);
        const std::string have = DescribeBox(box, contents, dialog);
        if (have != want)
            report->Fail("box %s, expected %s", have.c_str(), want.c_str());
        DismissBox(box, contents);
    }

    if (!WaitForExit(process, kExitTimeoutMs)) {
        HWND box = WaitForBox(*process, dialog, 0);
        report->Fail("still running %lu ms after the dialog was ended%s%s", kExitTimeoutMs,
                     box != NULL ? ", showing a box " : "",
                     box != NULL ? DescribeBox(box, ReadBox(box), dialog).c_str() : "");
        return;
    }
    DWORD status = 0;
    GetExitCodeProcess(process->info.hProcess, &status);
    if (status != 0)
        report->Fail("exit status 0x%lX, expected 0", status);

    // Everything as it was, but for the two values the scenario expects:
    // Default and the unnamed value the shell starts, the same command.
    Snapshot expected = before;
    if (scenario.outcome == kRegistered) {
        const std::wstring command =
            L"\"" + FolderOf(tool) + kCloserFileAndQuote + scenario.suffix;
        for (const WCHAR* name : {L"Default", L""})
            Put(&expected, buttons[item], Text(name, command));
    }
    const Snapshot after = TakeSnapshot();
    CompareSnapshots(expected, after, report);
    if (scenario.layout.empty() && !after.empty())
        report->Fail("registry: the key list was created");
}

bool RunScenario(const Scenario& scenario)
{
    Report report;
    ToolProcess process = {};
    std::wstring tool;
    if (Seed(scenario.layout, &report) &&
        PlaceTool(scenario.copy, scenario.folderChars, &tool, &report))
        Exercise(scenario, tool, &process, &report);
    StopTool(&process);
    if (scenario.copy != NULL)
        RemovePlaced(tool);

    return report.Print(scenario.title);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> built;
    if (!StartWineProgram(argc, argv, "assigner_driver KeyAssigner.exe", 1, 1, 1, &built))
        return 2;
    gBuiltTool = built[0];
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gScratch = std::wstring(temp) + L"ka-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"\\";

    int passed = 0, failed = 0;
    const ButtonListCleanup cleanup;
    const ScopedValue quiet = QuietCrashes();
    for (const Scenario& scenario : kScenarios)
        (RunScenario(scenario) ? passed : failed)++;
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
