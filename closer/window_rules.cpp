// window_rules.cpp: decides what kind of window is in front and which window
// comes forward when it is sent to the back. Reads windows, changes nothing.
#include "window_rules.h"

const WCHAR kClassDesktop[] = TEXT("DesktopExplorerWindow");

namespace {

// Titles and class names of the platform's own windows. Half-width and
// full-width katakana are different strings; each form is named on its own.
const WCHAR kClassWorker[] = TEXT("Worker");
const WCHAR kTitleMemoHalfWidth[] = TEXT("\xFF92\xFF93");  // ﾒﾓ
const WCHAR kTitleMemoFullWidth[] = TEXT("\x30E1\x30E2");  // メモ
const WCHAR kTitlePocketWord[] = TEXT("Pocket Word");
const WCHAR kClassBookWindow[] = TEXT("BOOKWIN");
const WCHAR kTitlePocketExcel[] = TEXT("Pocket Excel");
const WCHAR kClassNotes[] = TEXT("Notes");
const WCHAR kClassMediaPlayer[] = TEXT("WMP for Pocket PC");
const WCHAR kClassMediaPlayer75[] = TEXT("WMP7.5 for Pocket PC");
const WCHAR kClassMediaPlayerMobile[] = TEXT("WMP for Mobile Devices");
const WCHAR kClassExplore[] = TEXT("Explore");
// ﾌﾟﾛｸﾞﾗﾑ, the Programs folder, half-width only.
const WCHAR kTitleProgramsHalfWidth[] = TEXT("\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91");
const WCHAR kClassControlPanelPrefix[] = TEXT("CPL_");
const int kControlPanelPrefixChars = 4;
const WCHAR kClassDialog[] = TEXT("Dialog");
const WCHAR kPlatformPocketPC[] = TEXT("PocketPC");

// Every class ClassifyWindow names; control-panel applets go by their prefix.
const WCHAR* const kClassesClassified[] = {
    kClassWorker, kClassBookWindow, kClassNotes, kClassMediaPlayer, kClassMediaPlayer75,
    kClassMediaPlayerMobile, kClassDesktop, kClassExplore, kClassDialog,
};

// Pages of the Settings window, recognised by the title of its first child.
const WCHAR kPagePersonalPocketPC[] = TEXT("\x500B\x4EBA\x7528");  // 個人用
const WCHAR kPagePersonal[] = TEXT("\x500B\x4EBA");                // 個人
const WCHAR kPageSystemHalfWidth[] = TEXT("\xFF7C\xFF7D\xFF83\xFF91");  // ｼｽﾃﾑ
const WCHAR kPageSystemFullWidth[] = TEXT("\x30B7\x30B9\x30C6\x30E0");  // システム
const WCHAR kPageConnections[] = TEXT("\x63A5\x7D9A");                  // 接続
// ﾌﾟﾛﾊﾟﾃｨ and プロパティ, property pages.
const WCHAR kPagePropertiesHalfWidth[] = TEXT("\xFF8C\xFF9F\xFF9B\xFF8A\xFF9F\xFF83\xFF68");
const WCHAR kPagePropertiesFullWidth[] = TEXT("\x30D7\x30ED\x30D1\x30C6\x30A3");

// Helper windows of the shell that never come forward, in the order tested.
const WCHAR* const kSkippedClasses[] = {
    TEXT("HHTaskBar"), TEXT("SipWndClass"), TEXT("menu_worker"), TEXT("Worker"),
    TEXT("MSPOutlook"), TEXT("MS_SIPBUTTON"), TEXT("static"),
};

bool Equals(const WCHAR* a, const WCHAR* b)
{
    return wcscmp(a, b) == 0;
}

// Every buffer starts empty, so a read that finds no window (or a platform
// type that can't be read) leaves an empty string rather than garbage.
void ReadClassName(HWND window, WCHAR* buffer)
{
    buffer[0] = 0;
    GetClassNameW(window, buffer, kWindowTextChars);
    buffer[kWindowTextChars - 1] = 0;
}

void ReadTitle(HWND window, WCHAR* buffer)
{
    buffer[0] = 0;
    GetWindowTextW(window, buffer, kWindowTextChars);
    buffer[kWindowTextChars - 1] = 0;
}

bool IsPocketPC()
{
    WCHAR platform[kWindowTextChars];
    platform[0] = 0;
    SystemParametersInfoW(SPI_GETPLATFORMTYPE, sizeof(platform), platform, 0);
    platform[kWindowTextChars - 1] = 0;
    return Equals(platform, kPlatformPocketPC);
}

WindowCategory ClassifySettingsPage(HWND window, bool pocketPC)
{
    HWND child = GetWindow(window, GW_CHILD);
    if (child == NULL)
        return CategoryPlain;

    WCHAR page[kWindowTextChars];
    ReadTitle(child, page);

    WCHAR personal[kWindowTextChars];
    wcscpy(personal, pocketPC ? kPagePersonalPocketPC : kPagePersonal);
    if (Equals(page, personal))
        return CategoryShell;
    if (Equals(page, kPageSystemHalfWidth) || Equals(page, kPageSystemFullWidth) ||
        Equals(page, kPageConnections))
        return CategoryShell;
    if (Equals(page, kPagePropertiesHalfWidth) || Equals(page, kPagePropertiesFullWidth))
        return CategoryTaskbarClose;
    return CategoryPlain;
}

bool IsSkippedClass(const WCHAR* className)
{
    for (size_t i = 0; i < sizeof(kSkippedClasses) / sizeof(kSkippedClasses[0]); i++) {
        if (Equals(className, kSkippedClasses[i]))
            return true;
    }
    return false;
}

}  // namespace

BOOL ClassHasRule(LPCWSTR className)
{
    if (className == NULL)
        return FALSE;
    for (size_t i = 0; i < sizeof(kClassesClassified) / sizeof(kClassesClassified[0]); i++) {
        if (Equals(className, kClassesClassified[i]))
            return TRUE;
    }
    if (wcsncmp(className, kClassControlPanelPrefix, kControlPanelPrefixChars) == 0)
        return TRUE;
    // The skipped classes' own loop, not IsSkippedClass: a second caller
    // would change how the compiler lays out FindNextWindow in the closer.
    for (size_t i = 0; i < sizeof(kSkippedClasses) / sizeof(kSkippedClasses[0]); i++) {
        if (Equals(className, kSkippedClasses[i]))
            return TRUE;
    }
    return FALSE;
}

WindowCategory ClassifyWindow(HWND window)
{
    WCHAR className[kWindowTextChars];
    WCHAR title[kWindowTextChars];
    ReadClassName(window, className);
    ReadTitle(window, title);
    const bool pocketPC = IsPocketPC();

    if (Equals(className, kClassWorker) &&
        (Equals(title, kTitleMemoHalfWidth) || Equals(title, kTitleMemoFullWidth) ||
         Equals(title, kTitlePocketWord)))
        return CategoryTaskbarClose;
    if (Equals(className, kClassBookWindow) && Equals(title, kTitlePocketExcel))
        return CategoryTaskbarClose;
    if (Equals(className, kClassNotes))
        return CategoryTaskbarClose;
    if (Equals(className, kClassMediaPlayer) || Equals(className, kClassMediaPlayer75) ||
        Equals(className, kClassMediaPlayerMobile))
        return CategoryMediaPlayer;
    if (Equals(className, kClassDesktop))
        return CategoryDesktop;
    if (Equals(className, kClassExplore))
        return Equals(title, kTitleProgramsHalfWidth) ? CategoryShell : CategoryTaskbarClose;
    if (wcsncmp(className, kClassControlPanelPrefix, kControlPanelPrefixChars) == 0)
        return CategoryTaskbarClose;

    // The Settings window is an untitled "Dialog"; its page shows in the
    // title of its first child.
    if (!Equals(className, kClassDialog) || title[0] != 0)
        return CategoryPlain;
    return ClassifySettingsPage(window, pocketPC);
}

// A Z order that changes during the walk can lead it round in a loop, so
// it stops after more windows than any real Z order holds (CE 3.0 to 5.x
// run at most 32 processes) and finds nothing.
HWND FindNextWindow(HWND start, BOOL skipShell)
{
    HWND window = start;
    for (int walked = 0; walked < kMaxWindowsWalked; walked++) {
        window = GetWindow(window, GW_HWNDNEXT);
        if (window == NULL)
            break;
        if (skipShell && ClassifyWindow(window) == CategoryShell)
            continue;
        if (!IsWindowVisible(window))
            continue;
        WCHAR className[kWindowTextChars];
        ReadClassName(window, className);
        if (IsSkippedClass(className))
            continue;
        return window;
    }
    return NULL;
}
