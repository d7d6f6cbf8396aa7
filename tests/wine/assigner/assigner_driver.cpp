// assigner_driver.cpp: runs the real KeyAssigner.exe against seeded button
// lists, works its dialog the way a user would, and checks the registry after.
// Usage: assigner_driver KeyAssigner.exe
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
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

// Button names as a device shows them.
const WCHAR kButton1[] = L"\x30DC\x30BF\x30F3 1";  // ボタン 1
const WCHAR kButton2[] = L"\x30DC\x30BF\x30F3 2";
const WCHAR kButton3[] = L"\x30DC\x30BF\x30F3 3";
const WCHAR kButton4[] = L"\x30DC\x30BF\x30F3 4";
const WCHAR kRecordButton[] = L"\x9332\x97F3\x30DC\x30BF\x30F3";  // 録音ボタン
const WCHAR kUpButton[] = L"\x4E0A";                              // 上
const WCHAR kDownButton[] = L"\x4E0B";                            // 下
const WCHAR kLeftButton[] = L"\x5DE6";                            // 左
const WCHAR kRightButton[] = L"\x53F3";                           // 右
const WCHAR kActionButton[] = L"\x6C7A\x5B9A";                    // 決定
const WCHAR kCalendarButton[] = L"\x4E88\x5B9A\x8868";             // 予定表

// ---------------------------------------------------------------------------
// Time limits. Wine starts a new process in well under a second once its
// server runs; the limits only keep a broken tool from hanging the run.

const DWORD kDialogTimeoutMs = 15000;
const DWORD kBoxTimeoutMs = 5000;
const DWORD kExitTimeoutMs = 5000;

// ---------------------------------------------------------------------------
// Report

std::string ShowData(const std::vector<BYTE>& bytes, DWORD type)
{
    if ((type == REG_SZ || type == REG_EXPAND_SZ) && bytes.size() % 2 == 0) {
        std::wstring text((const WCHAR*)bytes.data(), bytes.size() / 2);
        return Show(text) + " (" + std::to_string(bytes.size()) + " bytes)";
    }
    std::string out = "[";
    for (size_t i = 0; i < bytes.size() && i < 32; i++) {
        char piece[4];
        snprintf(piece, sizeof(piece), "%02X", bytes[i]);
        out += piece;
    }
    return out + (bytes.size() > 32 ? "...]" : "]");
}

// ---------------------------------------------------------------------------
// Registry seeds

struct SeedValue {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
};

SeedValue Text(const std::wstring& name, const std::wstring& text)
{
    const BYTE* bytes = (const BYTE*)text.c_str();
    return {name, REG_SZ, std::vector<BYTE>(bytes, bytes + (text.size() + 1) * sizeof(WCHAR))};
}

// A text stored without its terminating zero, as some tools write it.
SeedValue Unterminated(const std::wstring& name, const std::wstring& text)
{
    const BYTE* bytes = (const BYTE*)text.c_str();
    return {name, REG_SZ, std::vector<BYTE>(bytes, bytes + text.size() * sizeof(WCHAR))};
}

SeedValue Dword(const std::wstring& name, DWORD number)
{
    const BYTE* bytes = (const BYTE*)&number;
    return {name, REG_DWORD, std::vector<BYTE>(bytes, bytes + sizeof(number))};
}

SeedValue Binary(const std::wstring& name, std::vector<BYTE> bytes)
{
    return {name, REG_BINARY, bytes};
}

struct SeedKey {
    std::wstring path;  // under the key list; a backslash makes a nested key
    std::vector<SeedValue> values;
    std::wstring shown;  // the list item a button key must give
};

struct Layout {
    bool keysExist;
    std::vector<SeedKey> keys;  // in creation order
};

// Twelve buttons created out of order, one without a Name, some carrying
// values of the shell's own that must survive, one already assigned to
// another application and one with a key of its own beneath it.
Layout DeviceButtons()
{
    Layout layout = {true, {}};
    layout.keys = {
        {L"40C7", {Text(L"Name", kUpButton), Dword(L"Flags", 3)}, kUpButton},
        {L"40C2", {Text(L"Name", kButton2), Text(L"", L"\"\\Windows\\calendar.exe\"")},
         kButton2},
        {L"40CC", {Text(L"Name", kCalendarButton)}, kCalendarButton},
        {L"40C1", {Text(L"Name", kButton1), Text(L"Icon", L"\\Windows\\button1.ico,0")},
         kButton1},
        {L"40C1\\Hold", {Text(L"Default", L"\\Windows\\hold.exe"), Dword(L"Delay", 500)}, L""},
        {L"40C9", {Text(L"Name", kLeftButton)}, kLeftButton},
        {L"40C4", {Binary(L"Icon", {0x01, 0x02, 0x00, 0xFF})}, L""},
        {L"40CB", {Text(L"Name", kActionButton)}, kActionButton},
        {L"40C3", {Text(L"Name", kButton3)}, kButton3},
        {L"40CA", {Text(L"Name", kRightButton), Dword(L"Icon", 7)}, kRightButton},
        {L"40C5", {Text(L"Name", kRecordButton)}, kRecordButton},
        {L"40C8", {Text(L"Name", kDownButton)}, kDownButton},
        {L"40C6", {Text(L"Name", kButton4), Text(L"", L"unnamed value")}, kButton4},
    };
    return layout;
}

Layout NoKeys()
{
    return {false, {}};
}

// The key list is there but declares no button; a value of its own shows a
// write that lands on the list itself.
Layout EmptyKeys()
{
    return {true, {{L"", {Text(L"Version", L"1")}, L""}}};
}

const size_t kKeysPathChars = wcslen(kKeysPath);
// The longest button key name whose path, kKeysPath\name, still fits.
const size_t kLongestKeyName = kPathCapacity - 1 - kKeysPathChars - 1;

std::wstring LongName(wchar_t first, size_t length)
{
    return std::wstring(1, first) + std::wstring(length - 1, L'x');
}

const std::wstring kKeyPathFits = LongName(L'B', kLongestKeyName);
const std::wstring kKeyPathTooLong = LongName(L'C', kLongestKeyName + 1);

// Names and key names at the edges of the tool's 260-character fields.
Layout FieldEdges()
{
    std::wstring longName;
    for (int i = 0; longName.size() < 300; i++)
        longName += L"\x30DC\x30BF\x30F3" + std::to_wstring(i % 10);
    Layout layout = {true, {}};
    layout.keys = {
        {L"41A0", {Unterminated(L"Name", kRecordButton)}, kRecordButton},
        {L"41A1", {Text(L"Name", longName)}, longName.substr(0, kPathCapacity - 1)},
        {kKeyPathFits, {Text(L"Name", kButton1)}, kButton1},
        // Its path can't be built, so it is listed but has no name to show.
        {kKeyPathTooLong, {}, L""},
    };
    return layout;
}

// ---------------------------------------------------------------------------
// Registry snapshots

struct RegEntry {
    std::wstring key;    // path under the key list, "" for the list itself
    std::wstring value;  // value name; unused for the key's own entry
    bool isKey;
    DWORD type;
    std::vector<BYTE> data;
};

std::wstring Upper(std::wstring text)
{
    for (WCHAR& c : text)
        c = towupper(c);
    return text;
}

bool EntryBefore(const RegEntry& a, const RegEntry& b)
{
    const std::wstring ka = Upper(a.key), kb = Upper(b.key);
    if (ka != kb)
        return ka < kb;
    if (a.isKey != b.isKey)
        return a.isKey;
    return Upper(a.value) < Upper(b.value);
}

bool SameEntry(const RegEntry& a, const RegEntry& b)
{
    return Upper(a.key) == Upper(b.key) && a.isKey == b.isKey && Upper(a.value) == Upper(b.value);
}

std::string Describe(const RegEntry& entry)
{
    std::string where = Show(L"Keys\\" + entry.key);
    if (entry.isKey)
        return "key " + where;
    return where + " value " + Show(entry.value) + " type " + std::to_string(entry.type) + " " +
           ShowData(entry.data, entry.type);
}

void SnapshotKey(HKEY key, const std::wstring& path, std::vector<RegEntry>* entries)
{
    entries->push_back({path, L"", true, 0, {}});
    for (DWORD i = 0;; i++) {
        WCHAR name[16384];
        DWORD nameChars = 16384;
        DWORD type = 0, bytes = 0;
        LONG status = RegEnumValueW(key, i, name, &nameChars, NULL, &type, NULL, &bytes);
        if (status != ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(bytes);
        nameChars = 16384;
        RegEnumValueW(key, i, name, &nameChars, NULL, &type, data.data(), &bytes);
        data.resize(bytes);
        entries->push_back({path, name, false, type, data});
    }
    for (DWORD i = 0;; i++) {
        WCHAR name[256];
        DWORD nameChars = 256;
        if (RegEnumKeyExW(key, i, name, &nameChars, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        HKEY child;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            SnapshotKey(child, path.empty() ? name : path + L"\\" + name, entries);
            RegCloseKey(child);
        }
    }
}

// The whole key list: every key, value, type and byte; empty when the list is
// not there at all.
std::vector<RegEntry> Snapshot()
{
    std::vector<RegEntry> entries;
    HKEY keys;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeysPath, 0, KEY_READ, &keys) == ERROR_SUCCESS) {
        SnapshotKey(keys, L"", &entries);
        RegCloseKey(keys);
    }
    std::sort(entries.begin(), entries.end(), EntryBefore);
    return entries;
}

void CompareSnapshots(const std::vector<RegEntry>& expected, const std::vector<RegEntry>& actual,
                      Report* report)
{
    for (const RegEntry& want : expected) {
        auto found = std::find_if(actual.begin(), actual.end(),
                                  [&](const RegEntry& e) { return SameEntry(e, want); });
        if (found == actual.end()) {
            report->Fail("registry: missing %s", Describe(want).c_str());
        } else if (!want.isKey && (found->type != want.type || found->data != want.data)) {
            report->Fail("registry: expected %s", Describe(want).c_str());
            report->Fail("          found    %s", Describe(*found).c_str());
        }
    }
    for (const RegEntry& have : actual) {
        if (std::none_of(expected.begin(), expected.end(),
                         [&](const RegEntry& e) { return SameEntry(e, have); }))
            report->Fail("registry: unexpected %s", Describe(have).c_str());
    }
}

bool KeysExist()
{
    HKEY keys;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeysPath, 0, KEY_READ, &keys) != ERROR_SUCCESS)
        return false;
    RegCloseKey(keys);
    return true;
}

bool Seed(const Layout& layout, Report* report)
{
    // A clean start: whatever an earlier scenario or run left is gone.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKeysPath);
    if (!layout.keysExist)
        return !KeysExist() || (report->Fail("seed: could not remove the key list"), false);
    for (const SeedKey& seed : layout.keys) {
        std::wstring path = kKeysPath;
        if (!seed.path.empty())
            path += L"\\" + seed.path;
        HKEY key;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL,
                            &key, NULL) != ERROR_SUCCESS) {
            report->Fail("seed: could not create %s", Show(path).c_str());
            return false;
        }
        for (const SeedValue& value : seed.values) {
            RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                           (DWORD)value.data.size());
        }
        RegCloseKey(key);
    }
    return true;
}

// The button key names in the registry's own enumeration order, all of them.
std::vector<std::wstring> EnumerateButtons()
{
    std::vector<std::wstring> names;
    HKEY keys;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKeysPath, 0, KEY_READ, &keys) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; i++) {
        WCHAR name[256];
        DWORD chars = 256;
        if (RegEnumKeyExW(keys, i, name, &chars, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        names.push_back(name);
    }
    RegCloseKey(keys);
    return names;
}

const SeedKey* FindSeed(const Layout& layout, const std::wstring& keyName)
{
    for (const SeedKey& seed : layout.keys) {
        if (Upper(seed.path) == Upper(keyName))
            return &seed;
    }
    return NULL;
}

// ---------------------------------------------------------------------------
// Where the tool runs from

std::wstring gBuiltTool;  // Windows path of the KeyAssigner.exe under test
std::wstring gScratch;    // folder for copies of it, removed at the end

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.rfind(L'\\') + 1);
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

// How the tool under test is placed: the build's own file, or a copy under
// another name in a folder whose path, trailing backslash included, is
// folderChars long (0: a short folder of the scratch area).
struct Placement {
    const WCHAR* fileName;  // NULL: the built KeyAssigner.exe itself
    size_t folderChars;
};

const Placement kBuiltTool = {NULL, 0};

// Builds scratch\ddd...\ddd\ of exactly `chars` characters, in folder names
// short enough for any file system.
bool MakeFolder(size_t chars, std::wstring* folder, Report* report)
{
    std::wstring path = gScratch;
    CreateDirectoryW(path.c_str(), NULL);
    if (chars == 0)
        chars = path.size() + 5;
    if (chars < path.size() + 2) {
        report->Fail("placement: scratch folder %s is longer than %u characters",
                     Show(path).c_str(), (unsigned)chars);
        return false;
    }
    int level = 0;
    while (path.size() < chars) {
        size_t left = chars - path.size();  // characters still to add, backslash included
        size_t piece = left > 101 ? 100 : left - 1;
        // A final piece of one character would leave an empty folder name.
        if (left > 101 && left - 101 < 2)
            piece = 98;
        path += std::wstring(piece, (WCHAR)(L'a' + level++ % 26)) + L"\\";
        CreateDirectoryW(path.c_str(), NULL);
    }
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        report->Fail("placement: could not create %s", Show(path).c_str());
        return false;
    }
    *folder = path;
    return true;
}

bool PlaceTool(const Placement& placement, std::wstring* tool, Report* report)
{
    if (placement.fileName == NULL) {
        *tool = gBuiltTool;
        return true;
    }
    std::wstring folder;
    if (!MakeFolder(placement.folderChars, &folder, report))
        return false;
    *tool = folder + placement.fileName;
    if (!CopyFileW(gBuiltTool.c_str(), tool->c_str(), FALSE)) {
        report->Fail("placement: could not copy the tool to %s", Show(*tool).c_str());
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Scenarios

enum Pick {
    kKeepFirst,    // leave the selection the dialog opened with
    kPickKey,      // select the item of the button key named `key`
    kPickTenth,    // select the last item offered, whichever button it is
    kPickNothing,  // clear the selection (CB_SETCURSEL -1)
};

enum Ending {
    kClickOk,      // BM_CLICK on OK, as a tap
    kCommandOk,    // WM_COMMAND IDOK, as the Enter key
    kClickCancel,  // BM_CLICK on Cancel
    kCloseWindow,  // WM_CLOSE, as the title bar's close box
};

enum Outcome {
    kRegistered,  // success box; the button's Default and unnamed value hold the command
    kRefused,     // error box; nothing written
    kUntouched,   // no box; nothing written
};

struct Scenario {
    const char* title;
    Layout (*layout)();
    Placement placement;
    Pick pick;
    const WCHAR* key;     // for kPickKey
    int clicks[3];        // radio buttons clicked in turn, zero-terminated
    Ending ending;
    Outcome outcome;
    const WCHAR* suffix;  // the option the written command ends with
};

// The longest folder, trailing backslash included, for which the command with
// " /ns" still fits: a quote, the folder, the closer's file and quote, the
// option and the terminator.
const size_t kLongestFolderWithNs =
    kPathCapacity - 1 - wcslen(kCloserFileAndQuote) - wcslen(kOptionNs) - 1;

const Scenario kScenarios[] = {
    // Choices in the dialog, with the built program.
    {"OK at once registers the first listed button with no option",
     DeviceButtons, kBuiltTool, kKeepFirst, NULL, {0}, kClickOk, kRegistered, L""},
    {"/n on a button another application holds replaces its command",
     DeviceButtons, kBuiltTool, kPickKey, L"40C2", {kOptionNId}, kClickOk, kRegistered, kOptionN},
    {"/ns registers a command ending in \" /ns",
     DeviceButtons, kBuiltTool, kPickKey, L"40C6", {kOptionNsId}, kCommandOk, kRegistered,
     kOptionNs},
    {"/ns then none registers with no option",
     DeviceButtons, kBuiltTool, kPickKey, L"40C3", {kOptionNsId, kOptionNoneId}, kClickOk,
     kRegistered, L""},
    {"/n then /ns registers the last choice",
     DeviceButtons, kBuiltTool, kPickKey, L"40C9", {kOptionNId, kOptionNsId}, kClickOk,
     kRegistered, kOptionNs},
    {"twelve buttons: ten are listed, and the tenth registers",
     DeviceButtons, kBuiltTool, kPickTenth, NULL, {kOptionNId}, kCommandOk, kRegistered, kOptionN},
    {"button without Name: an empty item at its index, and it registers",
     DeviceButtons, kBuiltTool, kPickKey, L"40C4", {0}, kClickOk, kRegistered, L""},
    {"the button after the nameless one registers itself, not a neighbour",
     DeviceButtons, kBuiltTool, kPickKey, L"40C5", {kOptionNId}, kClickOk, kRegistered, kOptionN},
    {"Cancel after choosing leaves the registry untouched",
     DeviceButtons, kBuiltTool, kPickKey, L"40C2", {kOptionNId}, kClickCancel, kUntouched, L""},
    {"closing the window after choosing leaves the registry untouched",
     DeviceButtons, kBuiltTool, kPickKey, L"40C2", {kOptionNsId}, kCloseWindow, kUntouched, L""},
    {"nothing selected: OK reports failure and writes nothing",
     DeviceButtons, kBuiltTool, kPickNothing, NULL, {kOptionNId}, kClickOk, kRefused, L""},

    // Button lists with nothing to register.
    {"missing key list: empty list, OK reports failure, nothing is created",
     NoKeys, kBuiltTool, kKeepFirst, NULL, {0}, kClickOk, kRefused, L""},
    {"key list without buttons: empty list, OK reports failure",
     EmptyKeys, kBuiltTool, kKeepFirst, NULL, {0}, kCommandOk, kRefused, L""},

    // Names and key names at the edges of their fields.
    {"unterminated and over-long Names are listed cut and terminated",
     FieldEdges, kBuiltTool, kPickKey, L"41A1", {kOptionNId}, kClickOk, kRegistered, kOptionN},
    {"key name whose path just fits registers",
     FieldEdges, kBuiltTool, kPickKey, kKeyPathFits.c_str(), {kOptionNsId}, kClickOk,
     kRegistered, kOptionNs},
    {"key name one character too long for its path: failure, nothing written",
     FieldEdges, kBuiltTool, kPickKey, kKeyPathTooLong.c_str(), {0}, kClickOk, kRefused, L""},

    // The program run from elsewhere, under another name.
    {"renamed copy in another folder names ForegroundDismisser in that folder",
     DeviceButtons, {L"KeyAssigner-renamed.exe", 0}, kPickKey, L"40C1", {kOptionNId}, kClickOk,
     kRegistered, kOptionN},
    {"command that just fits its field registers",
     DeviceButtons, {L"K.exe", kLongestFolderWithNs}, kKeepFirst, NULL, {kOptionNsId}, kClickOk,
     kRegistered, kOptionNs},
    {"command one character too long: failure, nothing written",
     DeviceButtons, {L"K.exe", kLongestFolderWithNs + 1}, kKeepFirst, NULL, {kOptionNsId},
     kClickOk, kRefused, L""},
};

void CheckRadios(HWND dialog, int checkedId, const char* when, Report* report)
{
    for (int id : kRadioIds) {
        LRESULT state = Send(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0);
        LRESULT want = id == checkedId ? BST_CHECKED : BST_UNCHECKED;
        if (state != want) {
            report->Fail("%s: radio %d is %s, expected %s", when, id,
                         state == BST_CHECKED ? "checked" : "not checked",
                         want == BST_CHECKED ? "checked" : "not checked");
        }
    }
}

// The list as the dialog opens: the first ten buttons in the registry's
// order, by Name, the first selected, and no option.
void CheckOpened(HWND dialog, const std::vector<std::wstring>& shown, Report* report)
{
    HWND list = GetDlgItem(dialog, kListId);
    if (list == NULL) {
        report->Fail("dialog has no list %d", kListId);
        return;
    }
    LRESULT count = Send(list, CB_GETCOUNT, 0, 0);
    if (count != (LRESULT)shown.size())
        report->Fail("list holds %d items, expected %d", (int)count, (int)shown.size());
    for (LRESULT i = 0; i < count && i < (LRESULT)shown.size(); i++) {
        LRESULT length = Send(list, CB_GETLBTEXTLEN, i, 0);
        std::vector<WCHAR> text(length > 0 ? length + 1 : 1, 0);
        if (length > 0)
            Send(list, CB_GETLBTEXT, i, (LPARAM)text.data());
        if (shown[i] != text.data()) {
            report->Fail("list item %d is %s", (int)i, Show(text.data()).c_str());
            report->Fail("     expected %s", Show(shown[i]).c_str());
        }
    }
    LRESULT selected = Send(list, CB_GETCURSEL, 0, 0);
    LRESULT wantSelected = shown.empty() ? CB_ERR : 0;
    if (selected != wantSelected)
        report->Fail("list opens with item %d selected, expected %d", (int)selected,
                     (int)wantSelected);
    CheckRadios(dialog, kOptionNoneId, "on opening", report);
}

void Choose(HWND dialog, const Scenario& scenario, int item, Report* report)
{
    HWND list = GetDlgItem(dialog, kListId);
    if (scenario.pick != kKeepFirst) {
        Send(list, CB_SETCURSEL, (WPARAM)item, 0);
        LRESULT selected = Send(list, CB_GETCURSEL, 0, 0);
        if (selected != item)
            report->Fail("could not select item %d (selection is %d)", item, (int)selected);
    }
    for (int i = 0; i < 3 && scenario.clicks[i] != 0; i++) {
        Send(GetDlgItem(dialog, scenario.clicks[i]), BM_CLICK, 0, 0);
        char when[64];
        snprintf(when, sizeof(when), "after clicking %d", scenario.clicks[i]);
        CheckRadios(dialog, scenario.clicks[i], when, report);
    }
}

// Posted, not sent: OK opens a modal message box, and a sent click would not
// return until someone dismissed it.
void End(HWND dialog, Ending ending)
{
    switch (ending) {
    case kClickOk:
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        break;
    case kCommandOk:
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                     (LPARAM)GetDlgItem(dialog, IDOK));
        break;
    case kClickCancel:
        PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
        break;
    case kCloseWindow:
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        break;
    }
}

// Checks the box's caption, text, icon and single OK button, then taps OK.
void CheckAndDismissBox(HWND box, HWND dialog, bool success, Report* report)
{
    // The result is told over the dialog, which closes only once it is read.
    if (GetWindow(box, GW_OWNER) != dialog)
        report->Fail("message box is not owned by the dialog");
    if (!IsWindowVisible(dialog))
        report->Fail("the dialog was closed before the message box appeared");
    const BoxContents contents = ReadBox(box);
    const WCHAR* wantCaption = success ? kSuccessCaption : kErrorCaption;
    const WCHAR* wantText = success ? kSuccessText : kErrorText;
    if (contents.caption != wantCaption)
        report->Fail("box caption %s, expected %s", Show(contents.caption).c_str(),
                     Show(wantCaption).c_str());
    if (!contents.hasText)
        report->Fail("box has no text control with id 0x%X", kNoId);
    else if (contents.text != wantText)
        report->Fail("box text %s, expected %s", Show(contents.text).c_str(),
                     Show(wantText).c_str());
    if (contents.hasIcon != !success)
        report->Fail("box shows %s, expected %s", contents.hasIcon ? "an icon" : "no icon",
                     success ? "none (MB_OK)" : "the error icon (MB_ICONERROR)");
    if (contents.buttons.size() != 1 || GetDlgCtrlID(contents.buttons[0]) != IDOK)
        report->Fail("box has %d buttons, expected OK alone", (int)contents.buttons.size());
    DismissBox(box, contents);
}

std::wstring ExpectedCommand(const std::wstring& tool, const WCHAR* suffix)
{
    return L"\"" + FolderOf(tool) + kCloserFileAndQuote + suffix;
}

bool gOrderShown = false;

// Prints the registry's order once, for the record: row i is the i-th key it
// enumerates, whatever order the keys were created in.
void ShowOrderOnce(const std::vector<std::wstring>& buttons)
{
    if (gOrderShown || buttons.size() <= (size_t)kListedButtons)
        return;
    std::string order;
    for (const std::wstring& name : buttons)
        order += " " + Show(name);
    printf("info: this registry enumerates the buttons as%s\n", order.c_str());
    gOrderShown = true;
}

void Exercise(const Scenario& scenario, const Layout& layout, ToolProcess* process,
              Report* report)
{
    std::wstring tool;
    if (!Seed(layout, report) || !PlaceTool(scenario.placement, &tool, report))
        return;

    const std::vector<std::wstring> buttons = EnumerateButtons();
    ShowOrderOnce(buttons);
    std::vector<std::wstring> shown;
    for (size_t i = 0; i < buttons.size() && i < (size_t)kListedButtons; i++) {
        const SeedKey* seed = FindSeed(layout, buttons[i]);
        shown.push_back(seed != NULL ? seed->shown : L"<not seeded>");
    }

    // The button the scenario expects written, and its list item.
    int item = 0;
    if (scenario.pick == kPickNothing)
        item = -1;
    else if (scenario.pick == kPickTenth)
        item = kListedButtons - 1;
    else if (scenario.pick == kPickKey)
        item = (int)(std::find_if(buttons.begin(), buttons.end(),
                                  [&](const std::wstring& n) {
                                      return Upper(n) == Upper(scenario.key);
                                  }) -
                     buttons.begin());
    const bool needsButton = scenario.outcome == kRegistered || scenario.pick == kPickKey ||
                             scenario.pick == kPickTenth;
    if (needsButton && (item >= kListedButtons || item >= (int)buttons.size())) {
        report->Fail("seed: the button to pick is item %d of %d listed", item,
                     (int)shown.size());
        return;
    }
    const std::wstring target = needsButton ? buttons[item] : L"";

    const std::vector<RegEntry> before = Snapshot();

    if (!StartTool(tool, process)) {
        report->Fail("could not start %s (error %lu)", Show(tool).c_str(), GetLastError());
        return;
    }
    HWND dialog = WaitForDialog(*process, kDialogTimeoutMs);
    if (dialog == NULL) {
        DWORD status = STILL_ACTIVE;
        GetExitCodeProcess(process->info.hProcess, &status);
        if (status != STILL_ACTIVE)
            report->Fail("ended with status 0x%lX without showing its dialog", status);
        else
            report->Fail("no dialog \"ForegroundDismisser\" within %lu ms", kDialogTimeoutMs);
        return;
    }
    CheckOpened(dialog, shown, report);
    Choose(dialog, scenario, item, report);
    End(dialog, scenario.ending);

    if (scenario.outcome != kUntouched) {
        HWND box = WaitForBox(*process, dialog, kBoxTimeoutMs);
        if (box == NULL) {
            report->Fail("no message box within %lu ms", kBoxTimeoutMs);
            return;
        }
        CheckAndDismissBox(box, dialog, scenario.outcome == kRegistered, report);
    }

    if (!WaitForExit(process, kExitTimeoutMs)) {
        HWND box = WaitForBox(*process, dialog, 0);
        if (box != NULL) {
            const BoxContents contents = ReadBox(box);
            report->Fail("still running %lu ms later, showing a box %s: %s", kExitTimeoutMs,
                         Show(contents.caption).c_str(), Show(contents.text).c_str());
        } else {
            report->Fail("still running %lu ms after the dialog was ended", kExitTimeoutMs);
        }
        return;
    }
    DWORD status = 0;
    GetExitCodeProcess(process->info.hProcess, &status);
    if (status != 0)
        report->Fail("exit status 0x%lX, expected 0", status);

    // Everything as it was, but for the two values the scenario expects:
    // Default and the unnamed value the shell starts, the same command.
    std::vector<RegEntry> expected = before;
    if (scenario.outcome == kRegistered) {
        const std::wstring command = ExpectedCommand(tool, scenario.suffix);
        const BYTE* bytes = (const BYTE*)command.c_str();
        for (const WCHAR* name : {L"Default", L""}) {
            RegEntry written = {target, name, false, REG_SZ,
                                std::vector<BYTE>(bytes, bytes + (command.size() + 1) * sizeof(WCHAR))};
            auto old = std::find_if(expected.begin(), expected.end(),
                                    [&](const RegEntry& e) { return SameEntry(e, written); });
            if (old != expected.end())
                *old = written;
            else
                expected.push_back(written);
        }
    }
    CompareSnapshots(expected, Snapshot(), report);
    if (!layout.keysExist && KeysExist())
        report->Fail("registry: the key list was created");
}

bool RunScenario(const Scenario& scenario)
{
    Report report;
    ToolProcess process = {};
    Exercise(scenario, scenario.layout(), &process, &report);
    StopTool(&process);
    if (scenario.placement.fileName != NULL)
        RemoveTree(gScratch);

    printf("%s %s\n", report.problems.empty() ? "PASS" : "FAIL", scenario.title);
    for (const std::string& problem : report.problems)
        printf("    %s\n", problem.c_str());
    fflush(stdout);
    return report.problems.empty();
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
    {
        const ButtonListCleanup cleanup;
        const ScopedValue quiet = QuietCrashes();
        for (const Scenario& scenario : kScenarios)
            (RunScenario(scenario) ? passed : failed)++;
    }
    RemoveTree(gScratch);

    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
