// device_report.cpp: reads what the device shows and writes it as a scene
// file. It reads only the windows, the system version, the screen and the
// button keys, and changes nothing but its own report. The report is written
// under a temporary name and takes its place only when every byte is there.
#include "device_report.h"

#include <string.h>

#include "report_file.h"
#include "window_rules.h"

namespace {

#ifdef _WIN32_WCE
// CE ignores the access mask of a key opened for reading.
const REGSAM kReadAccess = 0;
#else
// Desktop Win32 refuses enumeration on a key opened with no access.
const REGSAM kReadAccess = KEY_READ;
#endif

const WCHAR kReportName[] = TEXT("DeviceReport.txt");
const WCHAR kTemporaryName[] = TEXT("DeviceReport.tmp");
const WCHAR kButtonKeysPath[] = TEXT("SOFTWARE\\Microsoft\\Shell\\Keys");
const char kButtonKeysPathText[] = "SOFTWARE\\Microsoft\\Shell\\Keys\\";
const WCHAR kPlatformTypeUnread[] = TEXT("");
// What a window of an ordinary application's class shows in place of its
// title and its first child's: a child's text may be a document's.
const char kTitleWithheld[] = "(title withheld)";

const WCHAR kDoneCaption[] = TEXT("\x30EC\x30DD\x30FC\x30C8");  // レポート
const WCHAR kErrorCaption[] = TEXT("\x30A8\x30E9\x30FC");       // エラー
// レポートを書き出しました。
const WCHAR kDoneText[] = TEXT("\x30EC\x30DD\x30FC\x30C8\x3092\x66F8\x304D\x51FA\x3057\x307E")
                          TEXT("\x3057\x305F\x3002\n");
// レポートを書き出せませんでした。
const WCHAR kFailedText[] = TEXT("\x30EC\x30DD\x30FC\x30C8\x3092\x66F8\x304D\x51FA\x305B\x307E")
                            TEXT("\x305B\x3093\x3067\x3057\x305F\x3002\n");
// レポートの保存先がわかりませんでした。
const WCHAR kNoFolderText[] = TEXT("\x30EC\x30DD\x30FC\x30C8\x306E\x4FDD\x5B58\x5148\x304C\x308F")
                              TEXT("\x304B\x308A\x307E\x305B\x3093\x3067\x3057\x305F\x3002");

const int kPathChars = MAX_PATH;
const int kMessageChars = kPathChars + 32;
const int kValueBytes = 2048;

// A REG_SZ value's bytes; a global, so that no frame grows past a page.
WCHAR valueText[kValueBytes / sizeof(WCHAR) + 1];

DWORD ReadSeconds(LPCWSTR commandLine)
{
    if (commandLine == NULL)
        return kDefaultWaitSeconds;
    const WCHAR* p = commandLine;
    while (*p == ' ')
        p++;
    if (*p < '0' || *p > '9')
        return kDefaultWaitSeconds;
    DWORD seconds = 0;
    for (; *p >= '0' && *p <= '9'; p++) {
        seconds = seconds * 10 + (DWORD)(*p - '0');
        if (seconds > kMaxWaitSeconds)
            return kDefaultWaitSeconds;
    }
    while (*p == ' ')
        p++;
    return *p == 0 ? seconds : kDefaultWaitSeconds;
}

// The report's path and its temporary one: the program's folder and the
// two names. False when the folder can't be read or the paths won't fit.
bool BuildPaths(WCHAR* report, WCHAR* temporary)
{
    report[0] = 0;
    const DWORD length = GetModuleFileNameW(NULL, report, kPathChars);
    if (length == 0 || length >= (DWORD)kPathChars)
        return false;
    report[length] = 0;
    WCHAR* lastSeparator = wcsrchr(report, TEXT('\\'));
    if (lastSeparator == NULL)
        return false;
    lastSeparator[1] = 0;
    if (wcslen(report) + wcslen(kTemporaryName) + 1 > (size_t)kPathChars)
        return false;
    wcscpy(temporary, report);
    wcscat(temporary, kTemporaryName);
    wcscat(report, kReportName);
    return true;
}

void WriteSystem(ReportFile* out)
{
    OSVERSIONINFOW version;
    memset(&version, 0, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    PutAscii(out, "version ");
    if (GetVersionExW(&version)) {
        PutNumber(out, (LONG)version.dwMajorVersion);
        PutAscii(out, ".");
        PutNumber(out, (LONG)version.dwMinorVersion);
        PutAscii(out, ".");
        PutNumber(out, (LONG)version.dwBuildNumber);
    } else {
        PutAscii(out, "-");
    }
    EndLine(out);

    // Read as the closer reads it: from an empty buffer, its size in bytes.
    WCHAR platform[kWindowTextChars];
    wcscpy(platform, kPlatformTypeUnread);
    const BOOL read = SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(platform), platform, 0);
    platform[kWindowTextChars - 1] = 0;
    PutAscii(out, "platform ");
    if (read && platform[0] != 0)
        PutText(out, platform);
    else
        PutAscii(out, "-");
    EndLine(out);

    // In real pixels: the program is high-resolution aware, so nothing is
    // scaled to 96 dpi on the way.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    int dpi = 0;
    HDC screen = GetDC(NULL);
    if (screen != NULL) {
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(NULL, screen);
    }
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || dpi < 96 || dpi > 0xFFFF) {
        PutAscii(out, "# the screen could not be read");
    } else {
        PutAscii(out, "screen ");
        PutNumber(out, width);
        PutAscii(out, " ");
        PutNumber(out, height);
        PutAscii(out, " ");
        PutNumber(out, dpi);
    }
    EndLine(out);
}

// A title, or the placeholder when the closer has no rule for the class and
// there is something to withhold.
void PutTitle(ReportFile* out, const WCHAR* title, BOOL shown)
{
    if (shown || title[0] == 0)
        PutText(out, title);
    else
        PutAscii(out, kTitleWithheld);
}

// One window line; false when the window went away before its class could
// be read, and nothing is written.
bool WriteWindow(ReportFile* out, HWND window)
{
    WCHAR className[kWindowTextChars];
    WCHAR title[kWindowTextChars];
    className[0] = 0;
    GetClassNameW(window, className, kWindowTextChars);
    className[kWindowTextChars - 1] = 0;
    if (className[0] == 0)
        return false;
    const BOOL shown = ClassHasRule(className);

    PutAscii(out, "window ");
    PutText(out, className);
    PutAscii(out, "|");
    title[0] = 0;
    GetWindowTextW(window, title, kWindowTextChars);
    title[kWindowTextChars - 1] = 0;
    PutTitle(out, title, shown);
    PutAscii(out, "|");
    title[0] = 0;
    HWND child = GetWindow(window, GW_CHILD);
    if (child != NULL)
        GetWindowTextW(child, title, kWindowTextChars);
    title[kWindowTextChars - 1] = 0;
    PutTitle(out, title, shown);
    PutAscii(out, IsWindowVisible(window) ? "|visible|closes" : "|hidden|closes");
    RECT rect;
    if (GetWindowRect(window, &rect)) {
        PutAscii(out, "|rect=");
        PutNumber(out, rect.left);
        PutAscii(out, ",");
        PutNumber(out, rect.top);
        PutAscii(out, ",");
        PutNumber(out, rect.right);
        PutAscii(out, ",");
        PutNumber(out, rect.bottom);
    }
    PutAscii(out, "|style=");
    PutHex(out, (DWORD)GetWindowLongW(window, GWL_STYLE));
    PutAscii(out, "|exstyle=");
    PutHex(out, (DWORD)GetWindowLongW(window, GWL_EXSTYLE));
    EndLine(out);
    return true;
}

// Every top-level window, top first. The walk climbs from the window in
// front (or the Today screen) to the top and goes down from there, each way
// at most kMaxWindowsWalked windows and never past the window it started
// from, so a Z order that changes into a loop while it is read still ends.
void WriteWindows(ReportFile* out)
{
    HWND front = GetForegroundWindow();
    HWND anchor = front != NULL ? front : FindWindowW(kClassDesktop, NULL);
    HWND top = anchor;
    for (int walked = 0; top != NULL && walked < kMaxWindowsWalked; walked++) {
        HWND above = GetWindow(top, GW_HWNDPREV);
        if (above == NULL || above == anchor)
            break;
        top = above;
    }
    LONG written = 0, frontNumber = 0;
    HWND window = top;
    for (int walked = 0; window != NULL && walked < kMaxWindowsWalked; walked++) {
        if (WriteWindow(out, window)) {
            written++;
            if (window == front && frontNumber == 0)
                frontNumber = written;
        }
        window = GetWindow(window, GW_HWNDNEXT);
        if (window == top)
            break;
    }
    PutAscii(out, "front ");
    PutNumber(out, frontNumber);
    EndLine(out);
}

// The key's REG_SZ values, the unnamed one among them; each up to its
// first zero.
void WriteValues(ReportFile* out, HKEY key, const WCHAR* keyName)
{
    for (DWORD index = 0; index < kMaxValuesRead; index++) {
        WCHAR name[kWindowTextChars];
        DWORD nameChars = kWindowTextChars;
        DWORD type = REG_NONE;
        DWORD bytes = kValueBytes;
        const LONG status =
            RegEnumValueW(key, index, name, &nameChars, NULL, &type, (LPBYTE)valueText, &bytes);
        if (status == ERROR_MORE_DATA) {
            PutAscii(out, "# a value too long to report is left out");
            EndLine(out);
            continue;
        }
        if (status != ERROR_SUCCESS)
            return;
        if (type != REG_SZ)
            continue;
        name[kWindowTextChars - 1] = 0;
        valueText[(bytes > kValueBytes ? kValueBytes : bytes) / sizeof(WCHAR)] = 0;
        PutAscii(out, "value ");
        PutAscii(out, kButtonKeysPathText);
        PutText(out, keyName);
        PutAscii(out, "|");
        PutText(out, name);
        PutAscii(out, "|");
        PutText(out, valueText);
        EndLine(out);
    }
}

void WriteButtonKeys(ReportFile* out)
{
    HKEY keys = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kButtonKeysPath, 0, kReadAccess, &keys) !=
        ERROR_SUCCESS) {
        PutAscii(out, "# no button keys");
        EndLine(out);
        return;
    }
    for (DWORD index = 0; index < kMaxKeysRead; index++) {
        WCHAR name[kWindowTextChars];
        DWORD chars = kWindowTextChars;
        if (RegEnumKeyExW(keys, index, name, &chars, NULL, NULL, NULL, NULL) != ERROR_SUCCESS)
            break;
        name[kWindowTextChars - 1] = 0;
        PutAscii(out, "key ");
        PutAscii(out, kButtonKeysPathText);
        PutText(out, name);
        EndLine(out);
        HKEY key = NULL;
        if (RegOpenKeyExW(keys, name, 0, kReadAccess, &key) != ERROR_SUCCESS)
            continue;
        WriteValues(out, key, name);
        RegCloseKey(key);
    }
    RegCloseKey(keys);
}

// The whole report into the file at `path`; false when any of it failed.
bool WriteReport(const WCHAR* path)
{
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    ReportFile out;
    StartReport(&out, file);
    PutAscii(&out, "# DeviceReport 1\r\n"
                   "# What this Pocket PC showed, as a scene file (docs/DEVELOPING.md).\r\n"
                   "# How a window answers WM_CLOSE can't be seen: each says closes.\r\n"
                   "# Titles of windows of other applications read (title withheld).\r\n");
    WriteSystem(&out);
    WriteWindows(&out);
    WriteButtonKeys(&out);
    const BOOL written = FinishReport(&out);
    return CloseHandle(file) && written;
}

void ShowBox(const WCHAR* text, const WCHAR* path, const WCHAR* caption, UINT type)
{
    WCHAR message[kMessageChars];
    wcscpy(message, text);
    if (path != NULL)
        wcscat(message, path);
    MessageBoxW(NULL, message, caption, type);
}

}  // namespace

int RunDeviceReport(LPCWSTR commandLine)
{
    const DWORD seconds = ReadSeconds(commandLine);
    WCHAR report[kPathChars];
    WCHAR temporary[kPathChars];
    const bool located = BuildPaths(report, temporary);
    Sleep(seconds * 1000);
    MessageBeep(MB_OK);
    if (!located) {
        ShowBox(kNoFolderText, NULL, kErrorCaption, MB_ICONERROR);
        return 1;
    }
    // An old report gives way only to a complete new one; a failed write
    // leaves no file behind, complete-looking or not.
    if (!WriteReport(temporary)) {
        DeleteFileW(temporary);
        ShowBox(kFailedText, report, kErrorCaption, MB_ICONERROR);
        return 1;
    }
    DeleteFileW(report);
    if (!MoveFileW(temporary, report)) {
        DeleteFileW(temporary);
        ShowBox(kFailedText, report, kErrorCaption, MB_ICONERROR);
        return 1;
    }
    ShowBox(kDoneText, report, kDoneCaption, MB_ICONASTERISK);
    return 0;
}
