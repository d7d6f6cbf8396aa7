// closer_scenes.cpp: presses the button on real windows. Each row builds a
// screen, runs the real ForegroundDismisser.exe on it and checks the exit
// status, what every window received, the foreground and the Z order.
//
// Usage: closer_scenes.exe PATH-TO-ForegroundDismisser.exe [NAME-FILTER]
#include <stdio.h>
#include <string.h>

#include "scene_windows.h"
#include "wine_program.h"

namespace {

// Stand-in windows, by what the closer should see in them.
enum KindId {
    kNone = 0,
    kToday = 1,
    kBar,            // navigation bar, above everything as on the device
    kBarBelow,       // navigation bar further down, for the search to pass
    kWideBar,        // navigation bar twice as wide
    kSettingsSystem,
    kSettingsSystemHalfWidth,
    kSettingsPersonal,
    kSettingsPersonalPocketPC,
    kSettingsConnections,
    kSettingsProperties,
    kSettingsPropertiesHalfWidth,
    kSettingsClock,
    kDialogTitled,
    kDialogNoPage,
    kPrograms,
    kProgramsFullWidth,
    kExplorer,
    kNotes,
    kMemo,
    kMemoFullWidth,
    kWord,
    kWorkerExcel,
    kExcel,
    kApplet,
    kPlayerQuitsOnCtrlQ,
    kPlayerCloses,
    kPlayerStuck,
    kPlayerSlow,
    kAppA,
    kAppB,
    kStubborn,
    kSlowApp,
    kHiddenApp,
    kHiddenSettings,
    kInputPanel,
    kInputPanelButton,
    kMenuWorker,
    kWorker,
    kOutlook,
};

const RECT kGridCell = {0, 0, 0, 0};
const RECT kBarRect = {0, 0, 240, 26};
const RECT kWideBarRect = {0, 0, 480, 26};

// The platform's class names and titles, with code points where half-width
// and full-width katakana both occur.
const SceneKind kKinds[] = {
    {kToday, L"DesktopExplorerWindow", L"Desktop", NULL, kIgnoresClose, true, false, kGridCell, "Today"},
    {kBar, L"HHTaskBar", L"", NULL, kIgnoresClose, true, true, kBarRect, "Bar"},
    {kBarBelow, L"HHTaskBar", L"", NULL, kIgnoresClose, true, false, kBarRect, "BarBelow"},
    {kWideBar, L"HHTaskBar", L"", NULL, kIgnoresClose, true, true, kWideBarRect, "WideBar"},
    {kSettingsSystem, L"Dialog", L"", L"\x30B7\x30B9\x30C6\x30E0", kIgnoresClose, true, false, kGridCell, "Settings(System)"},
    {kSettingsSystemHalfWidth, L"Dialog", L"", L"\xFF7C\xFF7D\xFF83\xFF91", kIgnoresClose, true, false, kGridCell, "Settings(SystemHalfWidth)"},
    {kSettingsPersonal, L"Dialog", L"", L"\x500B\x4EBA", kIgnoresClose, true, false, kGridCell, "Settings(Personal)"},
    {kSettingsPersonalPocketPC, L"Dialog", L"", L"\x500B\x4EBA\x7528", kIgnoresClose, true, false, kGridCell, "Settings(PersonalPocketPC)"},
    {kSettingsConnections, L"Dialog", L"", L"\x63A5\x7D9A", kIgnoresClose, true, false, kGridCell, "Settings(Connections)"},
    {kSettingsProperties, L"Dialog", L"", L"\x30D7\x30ED\x30D1\x30C6\x30A3", kIgnoresClose, true, false, kGridCell, "Properties"},
    {kSettingsPropertiesHalfWidth, L"Dialog", L"", L"\xFF8C\xFF9F\xFF9B\xFF8A\xFF9F\xFF83\xFF68", kIgnoresClose, true, false, kGridCell, "PropertiesHalfWidth"},
    {kSettingsClock, L"Dialog", L"", L"\x6642\x8A08", kIgnoresClose, true, false, kGridCell, "Settings(Clock)"},
    {kDialogTitled, L"Dialog", L"Find", L"\x30B7\x30B9\x30C6\x30E0", kIgnoresClose, true, false, kGridCell, "TitledDialog"},
    {kDialogNoPage, L"Dialog", L"", NULL, kIgnoresClose, true, false, kGridCell, "EmptyDialog"},
    {kPrograms, L"Explore", L"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91", NULL, kIgnoresClose, true, false, kGridCell, "Programs"},
    {kProgramsFullWidth, L"Explore", L"\x30D7\x30ED\x30B0\x30E9\x30E0", NULL, kIgnoresClose, true, false, kGridCell, "ProgramsFullWidth"},
    {kExplorer, L"Explore", L"My Documents", NULL, kIgnoresClose, true, false, kGridCell, "Explorer"},
    {kNotes, L"Notes", L"Notes", NULL, kIgnoresClose, true, false, kGridCell, "Notes"},
    {kMemo, L"Worker", L"\xFF92\xFF93", NULL, kIgnoresClose, true, false, kGridCell, "Memo"},
    {kMemoFullWidth, L"Worker", L"\x30E1\x30E2", NULL, kIgnoresClose, true, false, kGridCell, "MemoFullWidth"},
    {kWord, L"Worker", L"Pocket Word", NULL, kIgnoresClose, true, false, kGridCell, "Word"},
    {kWorkerExcel, L"Worker", L"Pocket Excel", NULL, kIgnoresClose, true, false, kGridCell, "WorkerExcel"},
    {kExcel, L"BOOKWIN", L"Pocket Excel", NULL, kIgnoresClose, true, false, kGridCell, "Excel"},
    {kApplet, L"CPL_Power", L"Power", NULL, kIgnoresClose, true, false, kGridCell, "Applet"},
    {kPlayerQuitsOnCtrlQ, L"WMP for Pocket PC", L"Windows Media", NULL, kQuitsOnCtrlQ, true, false, kGridCell, "Player"},
    {kPlayerCloses, L"WMP for Mobile Devices", L"Windows Media", NULL, kClosesOnRequest, true, false, kGridCell, "PlayerCloses"},
    {kPlayerStuck, L"WMP7.5 for Pocket PC", L"Windows Media", NULL, kIgnoresClose, true, false, kGridCell, "PlayerStuck"},
    {kPlayerSlow, L"WMP for Pocket PC", L"Windows Media", NULL, kClosesAfterMoment, true, false, kGridCell, "PlayerSlow"},
    {kAppA, L"Calculator", L"Calculator", NULL, kClosesOnRequest, true, false, kGridCell, "AppA"},
    {kAppB, L"Calendar", L"Calendar", NULL, kClosesOnRequest, true, false, kGridCell, "AppB"},
    {kStubborn, L"Editor", L"Unsaved", NULL, kIgnoresClose, true, false, kGridCell, "Stubborn"},
    {kSlowApp, L"Contacts", L"Contacts", NULL, kClosesAfterMoment, true, false, kGridCell, "SlowApp"},
    {kHiddenApp, L"Alarm", L"Alarm", NULL, kClosesOnRequest, false, false, kGridCell, "HiddenApp"},
    {kHiddenSettings, L"Dialog", L"", L"\x500B\x4EBA", kIgnoresClose, false, false, kGridCell, "HiddenSettings"},
    {kInputPanel, L"SipWndClass", L"", NULL, kIgnoresClose, true, false, kGridCell, "InputPanel"},
    {kInputPanelButton, L"MS_SIPBUTTON", L"", NULL, kIgnoresClose, true, false, kGridCell, "InputPanelButton"},
    {kMenuWorker, L"menu_worker", L"", NULL, kIgnoresClose, true, false, kGridCell, "MenuWorker"},
    {kWorker, L"Worker", L"\xFF92\xFF93", NULL, kIgnoresClose, true, false, kGridCell, "Worker"},
    {kOutlook, L"MSPOutlook", L"", NULL, kIgnoresClose, true, false, kGridCell, "Outlook"},
    // "static" is passed over too, but class names are atoms compared without
    // case and a window of that class reads back as the system's "Static".
};
const int kKindCount = sizeof(kKinds) / sizeof(kKinds[0]);

// The bar's close button: 12 in from the right end, 13 down, in its own
// coordinates.
const UINT_PTR kTap = MAKELPARAM(240 - 12, 13);
const UINT_PTR kWideTap = MAKELPARAM(480 - 12, 13);

const int kMaxStack = 12;
const int kMaxMessages = 8;

// One press of the button. The first window of the stack that is not
// topmost is in front when the button is pressed.
struct Scenario {
    const char* name;
    const WCHAR* options;               // the command line after the program's path
    int stack[kMaxStack];               // top of the Z order first
    DWORD status;
    LoggedMessage messages[kMaxMessages];
    int foreground;
    int zOrderAfter[kMaxStack];         // windows still there, top first
    const WCHAR* nameToken = NULL;      // the program's name as the launcher wrote it
};

#define TAP(bar, position) {bar, WM_LBUTTONDOWN, position}, {bar, WM_LBUTTONUP, position}
#define CLOSE(window) {window, WM_CLOSE, 0}
#define KEY(window, message, key) {window, message, key}
// Sent to the bottom of the Z order while active was the active window.
#define BOTTOM(window, active) {window, kSentToBottom, active}

// The whole shape of a press is in its row: the screen before, the options,
// and what the screen shows after.
const Scenario kScenarios[] = {
    // The Today screen is left alone, whatever the options ask; the status is 0.
    {"today-in-front", L"", {kBar, kToday, kAppA}, 0,
     {}, kToday, {kBar, kToday, kAppA}},
    {"today-in-front-next", L"/n", {kBar, kToday, kAppA}, 0,
     {}, kToday, {kBar, kToday, kAppA}},
    // The pre-step closes whatever is in front, even the Today screen.
    {"close-first-today", L"/d", {kBar, kToday, kAppA}, 0,
     {CLOSE(kToday)}, kToday, {kBar, kToday, kAppA}},

    // Ordinary windows are asked to close, once, whether or not they do.
    {"plain-closes", L"", {kBar, kAppA, kToday}, 1,
     {CLOSE(kAppA)}, kToday, {kBar, kToday}},
    {"plain-ignores-close", L"", {kBar, kStubborn, kToday}, 1,
     {CLOSE(kStubborn)}, kStubborn, {kBar, kStubborn, kToday}},
    {"plain-titled-dialog", L"", {kBar, kDialogTitled, kToday}, 1,
     {CLOSE(kDialogTitled)}, kDialogTitled, {kBar, kDialogTitled, kToday}},
    {"plain-dialog-without-page", L"", {kBar, kDialogNoPage, kToday}, 1,
     {CLOSE(kDialogNoPage)}, kDialogNoPage, {kBar, kDialogNoPage, kToday}},
    {"plain-settings-unknown-page", L"", {kBar, kSettingsClock, kToday}, 1,
     {CLOSE(kSettingsClock)}, kSettingsClock, {kBar, kSettingsClock, kToday}},
    // Wine reports no platform type, so the Personal page goes by its short title.
    {"plain-personal-pocketpc-title", L"", {kBar, kSettingsPersonalPocketPC, kToday}, 1,
     {CLOSE(kSettingsPersonalPocketPC)}, kSettingsPersonalPocketPC, {kBar, kSettingsPersonalPocketPC, kToday}},
    {"plain-worker-excel", L"", {kBar, kWorkerExcel, kToday}, 1,
     {CLOSE(kWorkerExcel)}, kWorkerExcel, {kBar, kWorkerExcel, kToday}},
    {"plain-no-navigation-bar", L"", {kAppA, kToday}, 1,
     {CLOSE(kAppA)}, kToday, {kToday}},

    // These close through the navigation bar's button: a tap, down then up.
    {"tap-notes", L"", {kBar, kNotes, kToday}, 1,
     {TAP(kBar, kTap)}, kNotes, {kBar, kNotes, kToday}},
    {"tap-memo", L"", {kBar, kMemo, kToday}, 1,
     {TAP(kBar, kTap)}, kMemo, {kBar, kMemo, kToday}},
    {"tap-memo-full-width", L"", {kBar, kMemoFullWidth, kToday}, 1,
     {TAP(kBar, kTap)}, kMemoFullWidth, {kBar, kMemoFullWidth, kToday}},
    {"tap-word", L"", {kBar, kWord, kToday}, 1,
     {TAP(kBar, kTap)}, kWord, {kBar, kWord, kToday}},
    {"tap-excel", L"", {kBar, kExcel, kToday}, 1,
     {TAP(kBar, kTap)}, kExcel, {kBar, kExcel, kToday}},
    {"tap-explorer", L"", {kBar, kExplorer, kToday}, 1,
     {TAP(kBar, kTap)}, kExplorer, {kBar, kExplorer, kToday}},
    {"tap-programs-full-width", L"", {kBar, kProgramsFullWidth, kToday}, 1,
     {TAP(kBar, kTap)}, kProgramsFullWidth, {kBar, kProgramsFullWidth, kToday}},
    {"tap-applet", L"", {kBar, kApplet, kToday}, 1,
     {TAP(kBar, kTap)}, kApplet, {kBar, kApplet, kToday}},
    {"tap-properties", L"", {kBar, kSettingsProperties, kToday}, 1,
     {TAP(kBar, kTap)}, kSettingsProperties, {kBar, kSettingsProperties, kToday}},
    {"tap-properties-half-width", L"", {kBar, kSettingsPropertiesHalfWidth, kToday}, 1,
     {TAP(kBar, kTap)}, kSettingsPropertiesHalfWidth, {kBar, kSettingsPropertiesHalfWidth, kToday}},
    {"tap-follows-bar-width", L"", {kWideBar, kNotes, kToday}, 1,
     {TAP(kWideBar, kWideTap)}, kNotes, {kWideBar, kNotes, kToday}},
    {"tap-without-bar", L"", {kNotes, kToday}, 1,
     {}, kNotes, {kNotes, kToday}},

    // A shell page goes to the back and the Today screen comes forward.
    {"shell-system", L"", {kBar, kSettingsSystem, kAppA, kToday}, 1,
     {BOTTOM(kSettingsSystem, kToday)}, kToday, {kBar, kToday, kAppA, kSettingsSystem}},
    {"shell-system-half-width", L"", {kBar, kSettingsSystemHalfWidth, kAppA, kToday}, 1,
     {BOTTOM(kSettingsSystemHalfWidth, kToday)}, kToday, {kBar, kToday, kAppA, kSettingsSystemHalfWidth}},
    {"shell-personal", L"", {kBar, kSettingsPersonal, kAppA, kToday}, 1,
     {BOTTOM(kSettingsPersonal, kToday)}, kToday, {kBar, kToday, kAppA, kSettingsPersonal}},
    {"shell-connections", L"", {kBar, kSettingsConnections, kAppA, kToday}, 1,
     {BOTTOM(kSettingsConnections, kToday)}, kToday, {kBar, kToday, kAppA, kSettingsConnections}},
    {"shell-programs", L"", {kBar, kPrograms, kAppA, kToday}, 1,
     {BOTTOM(kPrograms, kToday)}, kToday, {kBar, kToday, kAppA, kPrograms}},
    {"shell-without-today", L"", {kBar, kSettingsSystem, kAppA}, 1,
     {BOTTOM(kSettingsSystem, kSettingsSystem)}, kSettingsSystem, {kBar, kAppA, kSettingsSystem}},
    // Options are case-sensitive: these are no options at all.
    {"shell-upper-case-options", L"/N /NS", {kBar, kSettingsSystem, kPrograms, kAppA, kToday}, 1,
     {BOTTOM(kSettingsSystem, kToday)}, kToday, {kBar, kToday, kPrograms, kAppA, kSettingsSystem}},

    // "/n": the next window down comes forward instead, passing over hidden
    // windows and the shell's helper windows, but not another shell page.
    {"next-passes-helpers", L"/n",
     {kSettingsSystem, kHiddenApp, kBarBelow, kInputPanel, kMenuWorker, kWorker, kOutlook, kInputPanelButton, kAppA, kToday}, 1,
     {BOTTOM(kSettingsSystem, kAppA)}, kAppA,
     {kAppA, kHiddenApp, kBarBelow, kInputPanel, kMenuWorker, kWorker, kOutlook, kInputPanelButton, kToday, kSettingsSystem}},
    {"next-stops-at-shell-page", L"/n", {kBar, kSettingsSystem, kHiddenSettings, kPrograms, kAppA, kToday}, 1,
     {BOTTOM(kSettingsSystem, kPrograms)}, kPrograms, {kBar, kPrograms, kHiddenSettings, kAppA, kToday, kSettingsSystem}},
    {"next-skip-shell", L"/ns", {kBar, kSettingsSystem, kHiddenSettings, kPrograms, kSettingsPersonal, kAppA, kToday}, 1,
     {BOTTOM(kSettingsSystem, kAppA)}, kAppA, {kBar, kAppA, kHiddenSettings, kPrograms, kSettingsPersonal, kToday, kSettingsSystem}},
    {"next-skip-shell-inside-text", L"x/nsy", {kBar, kSettingsSystem, kPrograms, kAppA, kToday}, 1,
     {BOTTOM(kSettingsSystem, kAppA)}, kAppA, {kBar, kAppA, kPrograms, kToday, kSettingsSystem}},
    {"next-nothing-below", L"/n", {kSettingsSystem, kBarBelow}, 1,
     {BOTTOM(kSettingsSystem, kSettingsSystem)}, kSettingsSystem, {kBarBelow, kSettingsSystem}},

    // "/d": close the front window first, then deal with whatever is in front.
    {"close-first-then-today", L"/d", {kBar, kAppA, kToday}, 0,
     {CLOSE(kAppA)}, kToday, {kBar, kToday}},
    // The wait after the close lets a window that takes a moment go first.
    {"close-first-waits", L"/d", {kBar, kSlowApp, kToday}, 0,
     {CLOSE(kSlowApp)}, kToday, {kBar, kToday}},
    {"close-first-ignored", L"/d", {kBar, kStubborn, kToday}, 1,
     {CLOSE(kStubborn), CLOSE(kStubborn)}, kStubborn, {kBar, kStubborn, kToday}},
    {"close-first-then-next", L"/d", {kBar, kAppA, kAppB, kToday}, 1,
     {CLOSE(kAppA), CLOSE(kAppB)}, kToday, {kBar, kToday}},
    // The program's own name is not part of its options, however the
    // launcher wrote it: quoted around spaces, or bare.
    {"name-quoted-with-spaces", L"/d", {kBar, kAppA, kToday}, 0,
     {CLOSE(kAppA)}, kToday, {kBar, kToday}, L"\"C:\\Program Files\\FD\\ForegroundDismisser.exe\""},
    {"name-bare", L"/d", {kBar, kAppA, kToday}, 0,
     {CLOSE(kAppA)}, kToday, {kBar, kToday}, L"ForegroundDismisser.exe"},
    {"options-in-quoted-name-ignored", L"", {kBar, kAppA, kToday}, 1,
     {CLOSE(kAppA)}, kToday, {kBar, kToday}, L"\"C:\\x /d /b\\ForegroundDismisser.exe\""},
    {"options-in-bare-name-ignored", L"", {kBar, kAppA, kToday}, 1,
     {CLOSE(kAppA)}, kToday, {kBar, kToday}, L"C:\\x/d/b\\ForegroundDismisser.exe"},
    {"close-first-then-notes", L"/d", {kBar, kAppA, kNotes, kToday}, 1,
     {CLOSE(kAppA), TAP(kBar, kTap)}, kNotes, {kBar, kNotes, kToday}},
    {"close-first-wins-over-back-first", L"/d /b", {kBar, kAppA, kAppB, kToday}, 1,
     {CLOSE(kAppA), CLOSE(kAppB)}, kToday, {kBar, kToday}},
    {"upper-case-close-first", L"/D /B", {kBar, kStubborn, kAppA, kToday}, 1,
     {CLOSE(kStubborn)}, kStubborn, {kBar, kStubborn, kAppA, kToday}},

    // "/b": the next window comes forward and the front one goes to the back;
    // then the new front window is dealt with.
    {"back-first-then-close", L"/b", {kBar, kAppA, kAppB, kToday}, 1,
     {BOTTOM(kAppA, kAppB), CLOSE(kAppB)}, kToday, {kBar, kToday, kAppA}},
    {"back-first-then-tap", L"/b", {kBar, kSettingsSystem, kNotes, kToday}, 1,
     {BOTTOM(kSettingsSystem, kNotes), TAP(kBar, kTap)}, kNotes, {kBar, kNotes, kToday, kSettingsSystem}},
    {"back-first-from-today", L"/b", {kBar, kToday, kAppA}, 1,
     {BOTTOM(kToday, kAppA), CLOSE(kAppA)}, kToday, {kBar, kToday}},
    {"back-first-then-next-shell", L"/b /n", {kBar, kAppA, kSettingsSystem, kPrograms, kToday}, 1,
     {BOTTOM(kAppA, kSettingsSystem), BOTTOM(kSettingsSystem, kPrograms)}, kPrograms, {kBar, kPrograms, kToday, kAppA, kSettingsSystem}},

    // The media player is asked to close; if it is still there, Ctrl+Q.
    {"player-quits-on-ctrl-q", L"", {kBar, kPlayerQuitsOnCtrlQ, kToday}, 1,
     {CLOSE(kPlayerQuitsOnCtrlQ), KEY(kPlayerQuitsOnCtrlQ, WM_KEYDOWN, VK_CONTROL),
      KEY(kPlayerQuitsOnCtrlQ, WM_KEYDOWN, 'Q'),
      // Gone on Q down: the window below is active and gets the releases.
      KEY(kToday, WM_KEYUP, 'Q'), KEY(kToday, WM_KEYUP, VK_CONTROL)},
     kToday, {kBar, kToday}},
    {"player-closes", L"", {kBar, kPlayerCloses, kToday}, 1,
     {CLOSE(kPlayerCloses)}, kToday, {kBar, kToday}},
    {"player-closes-after-moment", L"", {kBar, kPlayerSlow, kToday}, 1,
     {CLOSE(kPlayerSlow)}, kToday, {kBar, kToday}},
    {"player-stays", L"", {kBar, kPlayerStuck, kToday}, 1,
     {CLOSE(kPlayerStuck), KEY(kPlayerStuck, WM_KEYDOWN, VK_CONTROL), KEY(kPlayerStuck, WM_KEYDOWN, 'Q'),
      KEY(kPlayerStuck, WM_KEYUP, 'Q'), KEY(kPlayerStuck, WM_KEYUP, VK_CONTROL)},
     kPlayerStuck, {kBar, kPlayerStuck, kToday}},
};

const DWORD kProgramTimeoutMs = 15000;

const char* Label(int id)
{
    for (int i = 0; i < kKindCount; i++) {
        if (kKinds[i].id == id)
            return kKinds[i].label;
    }
    return id == 0 ? "none" : id < 0 ? "another window" : "?";
}

void PrintMessages(const char* heading, const LoggedMessage* messages)
{
    printf("    %s:", heading);
    if (messages[0].message == 0)
        printf(" (nothing)");
    printf("\n");
    for (int i = 0; messages[i].message != 0; i++) {
        const LoggedMessage& m = messages[i];
        if (m.message == kSentToBottom)
            printf("      %s %s while %s active\n", Label(m.window), MessageName(m.message),
                   Label((int)m.param));
        else
            printf("      %s %s 0x%llx\n", Label(m.window), MessageName(m.message),
                   (unsigned long long)m.param);
    }
}

void PrintOrder(const char* heading, const int* ids)
{
    printf("    %s: [", heading);
    for (int i = 0; ids[i] != 0; i++)
        printf("%s%s", i ? ", " : "", Label(ids[i]));
    printf("]\n");
}

// Walks both lists together, as far as the first difference.
bool SameMessages(const LoggedMessage* expected, const LoggedMessage* actual)
{
    for (int i = 0;; i++) {
        if (expected[i].message != actual[i].message)
            return false;
        if (expected[i].message == 0)
            return true;
        if (expected[i].window != actual[i].window || expected[i].param != actual[i].param)
            return false;
    }
}

bool SameOrder(const int* expected, const int* actual)
{
    for (int i = 0;; i++) {
        if (expected[i] != actual[i])
            return false;
        if (expected[i] == 0)
            return true;
    }
}

// Set when the last run's program did not exit by itself in time.
bool gLastRunUnfinished = false;

bool Run(const Scenario& scenario, LPCWSTR program)
{
    gLastRunUnfinished = false;
    Scene scene;
    char problem[512];
    if (!BuildScene(&scene, kKinds, kKindCount, scenario.stack, problem, sizeof(problem))) {
        printf("FAIL %s: %s\n", scenario.name, problem);
        DestroyScene(&scene);
        return false;
    }

    DWORD status = 0;
    const bool exited = RunAndPump(program, scenario.options, kProgramTimeoutMs, &status,
                                   scenario.nameToken);
    const int foreground = SceneForeground(&scene);
    int zOrder[kSceneMaxWindows + 1];
    SceneZOrder(&scene, zOrder);
    const LoggedMessage* messages = MessageLog();

    gLastRunUnfinished = !exited;
    const bool statusOk = exited && status == scenario.status;
    const bool messagesOk = SameMessages(scenario.messages, messages);
    const bool foregroundOk = foreground == scenario.foreground;
    const bool zOrderOk = SameOrder(scenario.zOrderAfter, zOrder);
    const bool passed = statusOk && messagesOk && foregroundOk && zOrderOk;

    printf("%s %s\n", passed ? "PASS" : "FAIL", scenario.name);
    if (!statusOk) {
        if (exited)
            printf("    exit status: expected %lu, got %lu\n", scenario.status, status);
        else
            printf("    the program did not run to its end (status %lu)\n", status);
    }
    if (!messagesOk) {
        PrintMessages("expected messages", scenario.messages);
        PrintMessages("received messages", messages);
    }
    if (!foregroundOk)
        printf("    foreground: expected %s, got %s\n", Label(scenario.foreground), Label(foreground));
    if (!zOrderOk) {
        PrintOrder("expected Z order", scenario.zOrderAfter);
        PrintOrder("actual Z order  ", zOrder);
    }
    fflush(stdout);
    DestroyScene(&scene);
    return passed;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> built;
    if (!StartWineProgram(argc, argv, "closer_scenes.exe PATH-TO-ForegroundDismisser.exe [NAME-FILTER]",
                          1, 1, 2, &built))
        return 2;
    const WCHAR* program = built[0].c_str();
    char filter[128] = "";
    if (argc > 2)
        WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, filter, sizeof(filter), NULL, NULL);

    int passed = 0;
    int failed = 0;
    for (const Scenario& scenario : kScenarios) {
        if (filter[0] != 0 && strstr(scenario.name, filter) == NULL)
            continue;
        bool ok = Run(scenario, program);
        // A start that never reached its end says more about the machine
        // than about the program: the scene gets one more chance, and only
        // its second outcome counts.
        if (!ok && gLastRunUnfinished) {
            printf("    running the scene once more\n");
            ok = Run(scenario, program);
        }
        if (ok)
            passed++;
        else
            failed++;
    }
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
