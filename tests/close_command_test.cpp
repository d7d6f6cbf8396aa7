// close_command_test.cpp: one press of the button on a scene of windows; the
// whole trace of effects is compared with the expected table in order.
#include <gtest/gtest.h>

#include "close_command.h"
#include "device_way.h"
#include "host_scene.h"
#include "trace_check.h"
#include "window_lock.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int);

namespace {

using host::kDestroyed;
using host::kEnd;
using host::kForeground;
using host::kKeyEvent;
using host::kMessage;
using host::kSleep;
using host::kZOrder;

const uintptr_t kToBottom = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
const BYTE kKeyQ = 'Q';
const char16_t kSystemPage[] = u"\x30B7\x30B9\x30C6\x30E0";
const char16_t kConnectionsPage[] = u"\x63A5\x7D9A";

// One window of a scene. Scenes list windows top first; the first is in front
// unless a case says otherwise. The navigation bar spans the top of a
// 240-pixel-wide screen, so its close button is tapped at x = 228, y = 13.
struct SceneWindow {
    const char16_t* className;
    const char16_t* title;
    const char16_t* childTitle;  // NULL: no child
    bool visible;
    host::CloseReaction onClose;
    DWORD closeDelay = 0;  // kCloses: milliseconds from WM_CLOSE until it has gone
    DWORD hungUntil = 0;   // answers no message before this time
};

const SceneWindow kEndOfScene = {NULL, NULL, NULL, false, host::kClosesOnClose};

std::vector<HWND> BuildScene(const SceneWindow* rows)
{
    std::vector<HWND> handles;
    for (const SceneWindow* r = rows; r->className != NULL; r++) {
        host::WindowSpec spec;
        spec.className = r->className;
        spec.title = r->title;
        spec.visible = r->visible;
        spec.hasChild = r->childTitle != NULL;
        spec.childTitle = spec.hasChild ? r->childTitle : u"";
        spec.onClose = r->onClose;
        spec.closeDelay = r->closeDelay;
        spec.hungUntil = r->hungUntil;
        if (spec.className == u"HHTaskBar")
            spec.rect = RECT{0, 0, 240, 26};
        handles.push_back(host::AddWindow(spec));
    }
    return handles;
}

const host::CloseReaction kCloses = host::kClosesOnClose;
const host::CloseReaction kIgnores = host::kIgnoresClose;
const host::CloseReaction kCtrlQ = host::kClosesOnCtrlQ;

// Window 0 in front, the bar and the Today screen below, then more.
const SceneWindow kPlainAboveToday[] = {
    {u"Calculator", u"Calc", NULL, true, kCloses},     // 0
    {u"HHTaskBar", u"", NULL, true, kIgnores},         // 1
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},  // 2
    kEndOfScene,
};
const SceneWindow kStubbornAboveToday[] = {
    {u"Calculator", u"Calc", NULL, true, kIgnores},
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kTwoApps[] = {
    {u"AppA", u"A", NULL, true, kCloses},   // 0
    {u"AppB", u"B", NULL, true, kCloses},   // 1
    {u"HHTaskBar", u"", NULL, true, kIgnores},  // 2
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},  // 3
    kEndOfScene,
};
const SceneWindow kTodayInFront[] = {
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kNotesInFront[] = {
    {u"Notes", u"Note1", NULL, true, kIgnores},  // 0
    {u"HHTaskBar", u"", NULL, true, kIgnores},   // 1
    kEndOfScene,
};
const SceneWindow kNotesWithoutBar[] = {
    {u"Notes", u"Note1", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},
    kEndOfScene,
};
// The Settings window with pages and helpers below it.
const SceneWindow kSettingsInFront[] = {
    {u"Dialog", u"", kSystemPage, true, kIgnores},          // 0
    {u"HHTaskBar", u"", NULL, true, kIgnores},              // 1
    {u"Hidden", u"", NULL, false, kCloses},                 // 2
    {u"Worker", u"Pocket Word", NULL, true, kIgnores},      // 3
    {u"Dialog", u"", kConnectionsPage, true, kIgnores},     // 4
    {u"Calculator", u"Calc", NULL, true, kCloses},          // 5
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},  // 6
    kEndOfScene,
};
const SceneWindow kSettingsWithoutToday[] = {
    {u"Dialog", u"", kSystemPage, true, kIgnores},
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kSettingsAlone[] = {
    {u"Dialog", u"", kSystemPage, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kPlayerQuitsOnCtrlQ[] = {
    {u"WMP for Pocket PC", u"", NULL, true, kCtrlQ},  // 0
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kPlayerQuitsOnClose[] = {
    {u"WMP7.5 for Pocket PC", u"", NULL, true, kCloses},
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kPlayerNeverQuits[] = {
    {u"WMP for Mobile Devices", u"", NULL, true, kIgnores},
    kEndOfScene,
};
// Windows that take their time: to close, or to answer at all.
const SceneWindow kPlayerClosesIn150[] = {
    {u"WMP for Pocket PC", u"", NULL, true, kCloses, 150},  // 0
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},  // 2
    kEndOfScene,
};
const SceneWindow kPlayerClosesIn50[] = {
    {u"WMP for Pocket PC", u"", NULL, true, kCloses, 50},
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kClosesIn150AboveB[] = {
    {u"AppA", u"A", NULL, true, kCloses, 150},  // 0
    {u"AppB", u"B", NULL, true, kCloses},       // 1
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},  // 3
    kEndOfScene,
};
const SceneWindow kClosesIn250AboveB[] = {
    {u"AppA", u"A", NULL, true, kCloses, 250},
    {u"AppB", u"B", NULL, true, kCloses},
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},
    kEndOfScene,
};
const SceneWindow kHungFor300AboveToday[] = {
    {u"Calculator", u"Calc", NULL, true, kCloses, 0, 300},  // 0
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},  // 2
    kEndOfScene,
};

const Expected kClosed[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kEnd},
};
const Expected kNothing[] = {{kEnd}};
const Expected kTapped[] = {
    {kMessage, 1, WM_LBUTTONDOWN, 0, 0xD0000 + 228},
    {kMessage, 1, WM_LBUTTONUP, 0, 0xD0000 + 228},
    {kEnd},
};
const Expected kTodayForward[] = {
    {kForeground, 6},
    {kZOrder, 0, 0, kToBottom},
    {kEnd},
};
const Expected kNextShellPageForward[] = {
    {kForeground, 4},
    {kZOrder, 0, 0, kToBottom},
    {kEnd},
};
const Expected kNextAppForward[] = {
    {kForeground, 5},
    {kZOrder, 0, 0, kToBottom},
    {kEnd},
};
const Expected kOnlyToBottom[] = {
    {kZOrder, 0, 0, kToBottom},
    {kEnd},
};
const Expected kClosedFirstThenToday[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kSleep, kNoWindow, 200},
    {kEnd},
};
const Expected kClosedTwice[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kSleep, kNoWindow, 200},
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kEnd},
};
const Expected kBothClosed[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kSleep, kNoWindow, 200},
    {kMessage, 1, WM_CLOSE, 0, 0},
    {kDestroyed, 1},
    {kEnd},
};
const Expected kBackThenClosed[] = {
    {kForeground, 1},
    {kZOrder, 0, 0, kToBottom},
    {kSleep, kNoWindow, 100},
    {kMessage, 1, WM_CLOSE, 0, 0},
    {kDestroyed, 1},
    {kEnd},
};
// The /b pre-step takes the next window as it is, shell page or not.
const Expected kBackThenShellPageBack[] = {
    {kForeground, 4},
    {kZOrder, 0, 0, kToBottom},
    {kSleep, kNoWindow, 100},
    {kForeground, 6},
    {kZOrder, 4, 0, kToBottom},
    {kEnd},
};
const Expected kPlayerCtrlQ[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, VK_CONTROL, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, kKeyQ, 0},
    {kDestroyed, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, kKeyQ, KEYEVENTF_KEYUP},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, VK_CONTROL, KEYEVENTF_KEYUP},
    {kEnd},
};
const Expected kPlayerClosed[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kSleep, kNoWindow, 100},
    {kEnd},
};
const Expected kPlayerKeysUnanswered[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, VK_CONTROL, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, kKeyQ, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, kKeyQ, KEYEVENTF_KEYUP},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, VK_CONTROL, KEYEVENTF_KEYUP},
    {kEnd},
};

// Still there when the press looks after 100 ms: Ctrl+Q is typed all the
// same, into the Today screen once the player has gone.
const Expected kPlayerGoneDuringCtrlQ[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, VK_CONTROL, 0},
    {kSleep, kNoWindow, 100},
    {kDestroyed, 0},
    {kKeyEvent, kNoWindow, kKeyQ, 0},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, kKeyQ, KEYEVENTF_KEYUP},
    {kSleep, kNoWindow, 100},
    {kKeyEvent, kNoWindow, VK_CONTROL, KEYEVENTF_KEYUP},
    {kEnd},
};
const Expected kPlayerGoneWithinTheWait[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kSleep, kNoWindow, 100},
    {kDestroyed, 0},
    {kEnd},
};
const Expected kGoneWithinTheCloseWait[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kSleep, kNoWindow, 200},
    {kDestroyed, 0},
    {kMessage, 1, WM_CLOSE, 0, 0},
    {kDestroyed, 1},
    {kEnd},
};
// Still in front after the wait, so it is asked again; it goes away after
// the press has ended, and the window below it stays.
const Expected kGoneAfterTheCloseWait[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kSleep, kNoWindow, 200},
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kEnd},
};
// The press waits for the hung window to take its WM_CLOSE; the 200 ms wait
// starts only then.
const Expected kHungThenClosedThenToday[] = {
    {host::kWaited, 0, 300},
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kSleep, kNoWindow, 200},
    {kEnd},
};

struct PressCase {
    const char* name;
    const SceneWindow* scene;
    const char16_t* commandLine;
    const Expected* expected;
    int status;
    int frontAfter;  // index of the foreground window afterwards, kNoWindow for none
    // A window closed through its close button is in front once any pre-step
    // is over: the press asks for the system version, and only then.
    bool asksVersion = false;
};

const PressCase kPresses[] = {
    {"plain window is closed", kPlainAboveToday, u"", kClosed, 1, 2},
    {"today screen is left alone", kTodayInFront, u"", kNothing, 0, 0},
    {"today screen with every option", kTodayInFront, u"/n/ns", kNothing, 0, 0},
    {"notes tapped through the bar", kNotesInFront, u"", kTapped, 1, 0, true},
    {"no bar, nothing tapped", kNotesWithoutBar, u"", kNothing, 1, 0, true},
    {"settings page: today forward", kSettingsInFront, u"", kTodayForward, 1, 6},
    {"options are case-sensitive", kSettingsInFront, u"/N /NS /D /B", kTodayForward, 1, 6},
    {"/n: next window even a shell page", kSettingsInFront, u"/n", kNextShellPageForward, 1, 4},
    {"/ns: shell pages passed over", kSettingsInFront, u"/ns", kNextAppForward, 1, 5},
    {"options anywhere in the line", kSettingsInFront, u"x/nsy", kNextAppForward, 1, 5},
    {"no today screen: only to the bottom", kSettingsWithoutToday, u"", kOnlyToBottom, 1, 0},
    {"/n with nothing below", kSettingsAlone, u"/n", kOnlyToBottom, 1, 0},
    {"/d reaches the today screen", kPlainAboveToday, u"/d", kClosedFirstThenToday, 0, 2},
    {"/d on a window ignoring close", kStubbornAboveToday, u"/d", kClosedTwice, 1, 0},
    {"/d then the next window", kTwoApps, u"/d", kBothClosed, 1, 3},
    {"/d wins over /b", kTwoApps, u"/b /d", kBothClosed, 1, 3},
    {"/b brings the next window forward", kTwoApps, u"/b", kBackThenClosed, 1, 3},
    {"/b brings even a shell page forward", kSettingsInFront, u"/b", kBackThenShellPageBack, 1, 6},
    {"player quits on ctrl+q", kPlayerQuitsOnCtrlQ, u"", kPlayerCtrlQ, 1, 2},
    {"player quits on close", kPlayerQuitsOnClose, u"", kPlayerClosed, 1, kNoWindow},
    {"player ignores everything", kPlayerNeverQuits, u"", kPlayerKeysUnanswered, 1, 0},
    {"player closing in 150 ms still gets ctrl+q", kPlayerClosesIn150, u"", kPlayerGoneDuringCtrlQ, 1, 2},
    {"player closing in 50 ms gets no keys", kPlayerClosesIn50, u"", kPlayerGoneWithinTheWait, 1, 2},
    {"/d: gone within the 200 ms wait, next closed", kClosesIn150AboveB, u"/d", kGoneWithinTheCloseWait, 1, 3},
    {"/d: gone only after the wait, asked twice", kClosesIn250AboveB, u"/d", kGoneAfterTheCloseWait, 1, 1},
    {"/d waits for a window hung for 300 ms", kHungFor300AboveToday, u"/d", kHungThenClosedThenToday, 0, 2},
};

// Test names and failure messages show the case by its description.
void PrintTo(const PressCase& c, std::ostream* os)
{
    *os << c.name;
}

// One press: the host build's RunCloseCommand, or the device program from
// its entry point. Either way the status is the press's.
int Press(Way way, const char16_t* commandLine)
{
    if (way == Way::kHost)
        return RunCloseCommand(commandLine);
    int status = -1;
    EXPECT_TRUE(RunDeviceProgram(way, kDeviceCloser, commandLine, &status));
    return status;
}

class PressTest : public ::testing::TestWithParam<std::tuple<PressCase, Way>> {};

TEST_P(PressTest, ActsOnTheWindowInFront)
{
    const PressCase& c = std::get<0>(GetParam());
    host::Reset();
    std::vector<HWND> w = BuildScene(c.scene);
    host::SetForeground(w[0]);

    EXPECT_EQ(c.status, Press(std::get<1>(GetParam()), c.commandLine));
    // What the user sees a second later: a window that was slow to close
    // may go away after the press has ended.
    host::AdvanceClock(1000);
    EXPECT_TRUE(TraceMatches(c.expected, w, host::Trace()));
    EXPECT_EQ(c.frontAfter == kNoWindow ? NULL : w[c.frontAfter], host::Foreground());
    EXPECT_EQ(c.asksVersion ? 1 : 0, host::CallCount("GetVersionExW"));
}

INSTANTIATE_TEST_SUITE_P(
    Presses, PressTest, ::testing::Combine(::testing::ValuesIn(kPresses), ::testing::ValuesIn(Ways())),
    [](const ::testing::TestParamInfo<std::tuple<PressCase, Way>>& info) {
        return CaseName(std::get<0>(info.param).name, std::get<1>(info.param));
    });

// The page sent to the back ends up at the very bottom of the Z order.
TEST(Press, SettingsPageEndsAtTheBottom)
{
    host::Reset();
    std::vector<HWND> w = BuildScene(kSettingsInFront);
    host::SetForeground(w[0]);
    RunCloseCommand(u"");
    std::vector<HWND> z = host::ZOrder();
    ASSERT_FALSE(z.empty());
    EXPECT_EQ(w[6], z.front());
    EXPECT_EQ(w[0], z.back());
}

TEST(Press, NoForegroundWindowSendsCloseToNothing)
{
    host::Reset();
    std::vector<HWND> w = BuildScene(kPlainAboveToday);
    const Expected expected[] = {{kMessage, kNoWindow, WM_CLOSE, 0, 0}, {kEnd}};
    EXPECT_EQ(1, RunCloseCommand(u""));
    EXPECT_TRUE(TraceMatches(expected, w, host::Trace()));
    EXPECT_EQ(3u, host::ZOrder().size());
}

TEST(Press, MissingCommandLineHoldsNoOption)
{
    host::Reset();
    std::vector<HWND> w = BuildScene(kSettingsInFront);
    host::SetForeground(w[0]);
    EXPECT_EQ(1, RunCloseCommand(NULL));
    EXPECT_TRUE(TraceMatches(kTodayForward, w, host::Trace()));
}

// x is the bar's right edge less 12, kept to its low 16 bits, for any edge.
TEST(Press, TapPositionKeepsTheLow16BitsOfX)
{
    const struct {
        LONG right;
        intptr_t lParam;
    } cases[] = {
        {240, 0xD0000 + 228},
        {480, 0xD0000 + 468},
        {12, 0xD0000},
        {5, 0xD0000 + 0xFFF9},
        {0x10005, 0xD0000 + 0xFFF9},
        {INT32_MIN, 0xD0000 + 0xFFF4},
        {INT32_MAX, 0xD0000 + 0xFFF3},
    };
    for (const auto& c : cases) {
        host::Reset();
        host::WindowSpec notes;
        notes.className = u"Notes";
        notes.onClose = kIgnores;
        host::WindowSpec bar;
        bar.className = u"HHTaskBar";
        bar.rect = RECT{0, 0, c.right, 26};
        std::vector<HWND> w = {host::AddWindow(notes), host::AddWindow(bar)};
        host::SetForeground(w[0]);
        const Expected expected[] = {
            {kMessage, 1, WM_LBUTTONDOWN, 0, c.lParam},
            {kMessage, 1, WM_LBUTTONUP, 0, c.lParam},
            {kEnd},
        };
        EXPECT_EQ(1, RunCloseCommand(u""));
        EXPECT_TRUE(TraceMatches(expected, w, host::Trace())) << "right " << c.right;
    }
}

// The window in front may go away on its own between two calls; whatever is
// asked of it then simply has no effect.
TEST(Press, WindowVanishingAfterClassificationIsHarmless)
{
    host::Reset();
    std::vector<HWND> w = BuildScene(kSettingsInFront);
    host::SetForeground(w[0]);
    host::SetCallHook([&](const char* call) {
        if (std::string(call) == "FindWindowW")
            host::DestroyWindowSilently(w[0]);
    });
    EXPECT_EQ(1, RunCloseCommand(u""));
    EXPECT_TRUE(TraceMatches(kTodayForward, w, host::Trace()));
    EXPECT_EQ(w[6], host::Foreground());
}

TEST(Press, PlainWindowVanishingBeforeItsCloseIsHarmless)
{
    host::Reset();
    std::vector<HWND> w = BuildScene(kPlainAboveToday);
    host::SetForeground(w[0]);
    host::SetCallHook([&](const char* call) {
        if (std::string(call) == "SendMessageW")
            host::DestroyWindowSilently(w[0]);
    });
    const Expected expected[] = {{kMessage, 0, WM_CLOSE, 0, 0}, {kEnd}};
    EXPECT_EQ(1, RunCloseCommand(u""));
    EXPECT_TRUE(TraceMatches(expected, w, host::Trace()));
}

// The entry point passes its command line through and returns the status.
TEST(Press, EntryPointReturnsTheStatus)
{
    host::Reset();
    std::vector<HWND> w = BuildScene(kPlainAboveToday);
    host::SetForeground(w[0]);
    WCHAR commandLine[] = u"/d";
    EXPECT_EQ(0, WinMain(NULL, NULL, commandLine, 0));
    EXPECT_TRUE(TraceMatches(kClosedFirstThenToday, w, host::Trace()));
}

// ---- A lock per window ------------------------------------------------------

// Who else is at the window locks when the press under test runs.
enum class Rival {
    kNone,             // the press is alone
    kHungThenHealthy,  // while window 0 leaves the press's WM_CLOSE unanswered, it is pressed
                       // four times more, then window 1 is brought forward and pressed; then
                       // window 0 answers
    kPressInWait,      // a second press starts during this one's first sleep
    kPressBefore,      // a press ran, and ended, just before
    kOwnerDied,        // a press killed while it held window 0's lock left it abandoned
    kLiveOwner,        // another press holds the lock of window `held` throughout
    kNoMutex,          // CreateMutexW fails
    kPressWhileHung,   // 100 ms into the press's wait on a hung window 0, it is pressed again
};

struct LockCase {
    const char* name;
    const SceneWindow* scene;
    const char16_t* commandLine;
    Rival rival;
    int held;                  // kLiveOwner: the window whose lock is held
    int dropped;               // presses made meanwhile that must end at once, touching nothing
    const Expected* expected;  // the whole trace, every press included
    int status;
};

const SceneWindow kHungAboveHealthy[] = {
    {u"Calculator", u"Calc", NULL, true, kIgnores},  // 0: hangs until it recovers
    {u"AppB", u"B", NULL, true, kCloses},            // 1
    {u"HHTaskBar", u"", NULL, true, kIgnores},
    {u"DesktopExplorerWindow", u"", NULL, true, kIgnores},
    kEndOfScene,
};

// The stand-in traces the hung window's WM_CLOSE when the window answers,
// after what the presses made meanwhile did.
const Expected kHealthyClosedWhileHungWaits[] = {
    {kMessage, 1, WM_CLOSE, 0, 0},
    {kDestroyed, 1},
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kEnd},
};
const Expected kSecondPressClosesTheNext[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kMessage, 1, WM_CLOSE, 0, 0},
    {kDestroyed, 1},
    {kSleep, kNoWindow, 200},
    {kEnd},
};
const Expected kBothPressesClosed[] = {
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kMessage, 1, WM_CLOSE, 0, 0},
    {kDestroyed, 1},
    {kEnd},
};
const Expected kBackOnly[] = {
    {kForeground, 1},
    {kZOrder, 0, 0, kToBottom},
    {kSleep, kNoWindow, 100},
    {kEnd},
};

const Expected kClosedWhenItAnswers[] = {
    {host::kWaited, 0, 300},
    {kMessage, 0, WM_CLOSE, 0, 0},
    {kDestroyed, 0},
    {kEnd},
};

const LockCase kLockCases[] = {
    {"alone", kPlainAboveToday, u"", Rival::kNone, kNoWindow, 0, kClosed, 1},
    {"hung window pressed five times, then a healthy one", kHungAboveHealthy, u"",
     Rival::kHungThenHealthy, kNoWindow, 4, kHealthyClosedWhileHungWaits, 1},
    // The first press then finds the Today screen in front.
    {"second press during the /d wait closes the next window", kTwoApps, u"/d",
     Rival::kPressInWait, kNoWindow, 0, kSecondPressClosesTheNext, 0},
    {"second press during the player's wait", kPlayerQuitsOnCtrlQ, u"", Rival::kPressInWait,
     kNoWindow, 1, kPlayerCtrlQ, 1},
    {"press after another has ended", kTwoApps, u"", Rival::kPressBefore, kNoWindow, 0,
     kBothPressesClosed, 1},
    {"/b: the window brought forward is held", kTwoApps, u"/b", Rival::kLiveOwner, 1, 0,
     kBackOnly, 1},
    {"notes tapped through the bar", kNotesInFront, u"", Rival::kNone, kNoWindow, 0, kTapped, 1},
    {"the navigation bar is held", kNotesInFront, u"", Rival::kLiveOwner, 1, 0, kNothing, 1},
    {"a press killed while it held the lock", kPlainAboveToday, u"", Rival::kOwnerDied, kNoWindow,
     0, kClosed, 1},
    {"no mutex to be had", kPlainAboveToday, u"", Rival::kNoMutex, kNoWindow, 0, kClosed, 1},
    {"a press 100 ms into the wait on a window hung for 300 ms", kHungFor300AboveToday, u"",
     Rival::kPressWhileHung, kNoWindow, 1, kClosedWhenItAnswers, 1},
};

void PrintTo(const LockCase& c, std::ostream* os)
{
    *os << c.name;
}

// One press as the system starts one: a process of its own, from the entry
// point, ended when the entry point returns.
int PressAsProcess(Way way, const char16_t* commandLine)
{
    int status = -1;
    host::RunAsProcess([&] {
        if (way == Way::kHost) {
            std::u16string line(commandLine);
            status = WinMain(host::ProgramInstance(), NULL, &line[0], 0);
        } else {
            EXPECT_TRUE(RunDeviceProgram(way, kDeviceCloser, commandLine, &status));
        }
    });
    return status;
}

// The name of a window's lock as the press makes it: the device program
// knows the window by the runner's value of its handle.
host::Text LockName(Way way, HWND window)
{
    if (way != Way::kHost)
        window = (HWND)(uintptr_t)ce::Runner().GuestHandle((uintptr_t)window);
    WCHAR name[kWindowLockNameChars];
    WindowLockName(window, name);
    return name;
}

// A press made while the press under test runs.
struct Meanwhile {
    int status;
    std::vector<std::string> calls;
};

class PressLockTest : public ::testing::TestWithParam<std::tuple<LockCase, Way>> {};

TEST_P(PressLockTest, AHungWindowKeepsOnePressWaiting)
{
    const LockCase& c = std::get<0>(GetParam());
    const Way way = std::get<1>(GetParam());
    host::Reset();
    std::vector<HWND> w = BuildScene(c.scene);
    host::SetForeground(w[0]);

    std::vector<Meanwhile> meanwhile;
    bool inMeanwhile = false;
    auto pressMeanwhile = [&] {
        inMeanwhile = true;
        meanwhile.push_back(Meanwhile{-1, {}});
        const int status = PressAsProcess(way, u"");
        meanwhile.back().status = status;
        inMeanwhile = false;
    };
    const char* startAt = c.rival == Rival::kHungThenHealthy ? "SendMessageW"
                          : c.rival == Rival::kPressInWait   ? "Sleep"
                                                             : NULL;
    bool started = false;
    bool unlockedSend = false;
    bool hungLockHeld = false;
    host::SetCallHook([&](const char* call) {
        if (inMeanwhile) {
            meanwhile.back().calls.push_back(call);
            return;
        }
        const std::string name(call);
        if (name == "SendMessageW" &&
            host::MutexOwner(LockName(way, host::Foreground())) != host::CurrentProcess())
            unlockedSend = true;
        if (startAt == NULL || started || name != startAt)
            return;
        started = true;
        if (c.rival == Rival::kPressInWait) {
            pressMeanwhile();
            return;
        }
        const int waiting = host::CurrentProcess();
        for (int i = 0; i < c.dropped; i++)
            pressMeanwhile();
        host::RaiseToTop(w[1]);
        host::SetForeground(w[1]);
        pressMeanwhile();
        hungLockHeld = host::MutexOwner(LockName(way, w[0])) == waiting;
        host::SetCloseReaction(w[0], kCloses);
    });

    // The test keeps every window's lock in being throughout, as a press
    // that has just made it would, so that how the presses leave them shows.
    std::vector<HANDLE> keepAlive;
    for (HWND window : w) {
        keepAlive.push_back(CreateMutexW(NULL, FALSE, LockName(way, window).c_str()));
        ASSERT_NE(nullptr, keepAlive.back());
    }
    if (c.rival == Rival::kPressBefore) {
        EXPECT_EQ(1, PressAsProcess(way, u""));
    }
    if (c.rival == Rival::kOwnerDied) {
        host::RunAsProcess([&] {
            HANDLE owner = CreateMutexW(NULL, FALSE, LockName(way, w[0]).c_str());
            ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(owner, 0));
        });
    }
    host::FailCreateMutex(c.rival == Rival::kNoMutex);
    if (c.rival == Rival::kPressWhileHung)
        host::At(100, pressMeanwhile);

    int status = -1;
    if (c.rival == Rival::kLiveOwner) {
        host::RunAsProcess([&] {
            HANDLE owner = CreateMutexW(NULL, FALSE, LockName(way, w[c.held]).c_str());
            ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(owner, 0));
            status = PressAsProcess(way, c.commandLine);
            ReleaseMutex(owner);
            CloseHandle(owner);
        });
    } else {
        status = PressAsProcess(way, c.commandLine);
    }

    EXPECT_EQ(c.status, status);
    EXPECT_TRUE(TraceMatches(c.expected, w, host::Trace()));
    if (c.rival != Rival::kNoMutex) {
        EXPECT_FALSE(unlockedSend) << "a message sent to the window in front without its lock";
    }
    if (startAt != NULL) {
        ASSERT_TRUE(started);
    }
    if (c.rival == Rival::kHungThenHealthy) {
        EXPECT_TRUE(hungLockHeld) << "the first press no longer waited on the hung window";
        EXPECT_EQ((size_t)c.dropped + 1, meanwhile.size());
    }
    if (c.rival == Rival::kPressWhileHung) {
        EXPECT_EQ((size_t)c.dropped, meanwhile.size()) << "no press was made during the wait";
    }
    const std::vector<std::string> onlyTheLock = {"GetForegroundWindow", "CreateMutexW",
                                                  "WaitForSingleObject", "CloseHandle"};
    for (size_t i = 0; i < meanwhile.size(); i++) {
        EXPECT_EQ(1, meanwhile[i].status) << "press " << i << " made meanwhile";
        if ((int)i < c.dropped) {
            EXPECT_EQ(onlyTheLock, meanwhile[i].calls) << "press " << i << " made meanwhile";
        }
    }

    // Every press has ended, let go of its locks and closed its handles: a
    // lock a press left abandoned, not released, would answer WAIT_ABANDONED.
    for (size_t i = 0; i < w.size(); i++) {
        EXPECT_EQ(0, host::MutexOwner(LockName(way, w[i]))) << "window " << i;
        EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(keepAlive[i], 0))
            << "window " << i << "'s lock left abandoned";
        ReleaseMutex(keepAlive[i]);
        CloseHandle(keepAlive[i]);
    }
    for (HWND window : w)
        EXPECT_FALSE(host::MutexExists(LockName(way, window)));
    EXPECT_EQ(0, host::KernelHandleCount());
}

INSTANTIATE_TEST_SUITE_P(
    Lock, PressLockTest,
    ::testing::Combine(::testing::ValuesIn(kLockCases), ::testing::ValuesIn(Ways())),
    [](const ::testing::TestParamInfo<std::tuple<LockCase, Way>>& info) {
        return CaseName(std::get<0>(info.param).name, std::get<1>(info.param));
    });

}  // namespace
