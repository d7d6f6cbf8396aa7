// close_command_test.cpp: one press of the button on a scene of windows: the
// press table (press_table.cpp) on the host build and every device
// program, the presses that need a hook into the scene, and the window locks.
#include <gtest/gtest.h>

#include "close_command.h"
#include "device_way.h"
#include "standin.h"
#include "press_table.h"
#include "trace_check.h"
#include "window_lock.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int);

namespace scene {
// Test names and failure messages show the row by its name.
void PrintTo(const Scenario& s, std::ostream* os)
{
    *os << s.name;
}
}  // namespace scene

namespace {

using namespace scene;

// One press: the host build's RunCloseCommand, or the device program from
// its entry point. Either way the status is the press's.
int PressOn(Way way, const char16_t* commandLine)
{
    if (way == Way::kHost)
        return RunCloseCommand(commandLine);
    int status = -1;
    EXPECT_TRUE(RunDeviceProgram(way, kDeviceCloser, commandLine, &status));
    return status;
}

class PressTest : public ::testing::TestWithParam<std::tuple<Scenario, Way>> {};

TEST_P(PressTest, DoesWhatTheRowSays)
{
    const Scenario& s = std::get<0>(GetParam());
    if (!s.onlyUnderWine.empty())
        GTEST_SKIP() << s.onlyUnderWine;
    standin::Reset();
    const std::vector<HWND> w = standin::Build(s);
    standin::SetLegacyProgram(false);  // as the device programs are built

    EXPECT_EQ(s.status, PressOn(std::get<1>(GetParam()), s.commandLine.c_str()));
    // What the user sees a second later: a window that was slow to close
    // may go away after the press has ended.
    standin::AdvanceClock(1000);
    EXPECT_TRUE(Holds(s, w));
    EXPECT_EQ(s.asksVersion ? 1 : 0, standin::CallCount("GetVersionExW"));
}

INSTANTIATE_ON_EVERY_WAY(Presses, PressTest, PressTable());

// The one matcher: order, windows, numbers, text where carried, optional entries.
TEST(Matcher, HoldsExpectedStepsToTheRecord)
{
    const Step box = WithText(kMessageBox, 0, 0x30, 0, u"Caption", u"Text");
    Step otherText = box;
    otherText.text2 = u"Txet";
    otherText.carriesText = false;
    const struct {
        Steps expected, recorded;
        bool matches;
    } cases[] = {
        {ClosedAndGone(1), ClosedAndGone(1), true},
        {Close(1), ClosedAndGone(1), false},                    // one recorded too many
        {ClosedAndGone(1), Close(1), false},                    // one missing
        {Close(1), Close(0), false},                            // another window
        {Tap(0, 228, 13), Tap(0, 228, 14), false},              // another position
        {Join({Optional(Forward(2)), ToBottom(1)}), ToBottom(1), true},
        {Join({Optional(Forward(2)), ToBottom(1)}), ForwardAndBack(2, 1), true},
        {Join({Optional(Forward(2)), ToBottom(1)}), ForwardAndBack(3, 1), false},
        {{box}, {otherText}, false},                            // text carried, and it differs
        {{otherText}, {box}, true},                             // text not carried
        {Join({ClosedAndGone(1), Optional(Slept(200))}), ClosedAndGone(1), true},
    };
    const std::vector<std::string> names = {"bar", "calculator", "today", "other"};
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); i++) {
        const std::string report = Match(cases[i].expected, cases[i].recorded, names);
        EXPECT_EQ(cases[i].matches, report.empty()) << "case " << i << "\n" << report;
        if (!report.empty()) {
            EXPECT_NE(std::string::npos, report.find("expected:")) << report;
            EXPECT_NE(std::string::npos, report.find("recorded:")) << report;
        }
    }
    EXPECT_NE(std::string::npos, Match(Close(1), {}, names).find("message calculator WM_CLOSE"));
}

// A row of the press table, for the presses that need a hook into its scene.
Scenario At(const char* name)
{
    for (const Scenario& s : PressTable())
        if (s.name == name)
            return s;
    ADD_FAILURE() << "no row " << name;
    return Scenario();
}

// A missing command line holds no option.
TEST(Press, MissingCommandLineHoldsNoOption)
{
    const Scenario s = At("settings page: today forward");
    standin::Reset();
    const std::vector<HWND> w = standin::Build(s);
    EXPECT_EQ(1, RunCloseCommand(NULL));
    EXPECT_TRUE(Holds(s, w));
}

// x is the bar's right edge less 12, kept to its low 16 bits, for any edge.
TEST(Press, TapPositionKeepsTheLow16BitsOfX)
{
    const struct {
        int right;
        int x;
    } cases[] = {
        {240, 228}, {480, 468}, {12, 0}, {5, 0xFFF9}, {0x10005, 0xFFF9}, {INT32_MIN, 0xFFF4}, {INT32_MAX, 0xFFF3},
    };
    for (const auto& c : cases) {
        standin::Reset();
        const std::vector<HWND> w = {standin::AddWindow(kNotes), standin::AddWindow(kNavigationBar.Sized(c.right, 26))};
        standin::SetForeground(w[0]);
        EXPECT_EQ(1, RunCloseCommand(u""));
        EXPECT_TRUE(Agrees(Match(Tap(1, c.x, 13), standin::Recorded(w), {"notes", "bar"}))) << "right " << c.right;
    }
}

// The window in front may go away on its own between two calls; whatever is
// asked of it then simply has no effect.
TEST(Press, WindowVanishingBetweenTwoCallsIsHarmless)
{
    const struct {
        const char* row;
        const char* call;  // the window goes as this call starts
        Steps expected;
    } cases[] = {
        {"settings page: today forward", "FindWindowW", ForwardAndBack(6, 1)},  // after its classification
        {"plain window closed", "SendMessageW", Close(1)},                     // before its WM_CLOSE
    };
    for (const auto& c : cases) {
        const Scenario s = At(c.row);
        standin::Reset();
        const std::vector<HWND> w = standin::Build(s);
        standin::SetCallHook([&](const char* call) {
            if (std::string(call) == c.call)
                standin::DestroyWindowSilently(w[1]);
        });
        EXPECT_EQ(1, RunCloseCommand(u""));
        EXPECT_TRUE(Agrees(Match(c.expected, standin::Recorded(w), s.Names()))) << c.row;
        EXPECT_EQ(w[s.frontAfter], standin::Foreground()) << c.row;
    }
}

// The entry point passes its command line through and returns the status.
TEST(Press, EntryPointReturnsTheStatus)
{
    const Scenario s = At("/d reaches the today screen");
    standin::Reset();
    const std::vector<HWND> w = standin::Build(s);
    WCHAR commandLine[] = u"/d";
    EXPECT_EQ(0, WinMain(NULL, NULL, commandLine, 0));
    EXPECT_TRUE(Holds(s, w));
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
    Scenario press;  // the scene, and the whole trace, every press included
    Rival rival;
    int held;        // kLiveOwner: the window whose lock is held
    int dropped;     // presses made meanwhile that must end at once, touching nothing
};

const SceneWindow kBar = kNavigationBar;
const std::vector<SceneWindow> kPlainAboveToday = {kCalculator, kBar, kToday};
const std::vector<SceneWindow> kTwoApps = {kCalculator, kCalendar, kBar, kToday};
// Window 0 hangs until it recovers.
const std::vector<SceneWindow> kHungAboveHealthy = {kCalculator.Ignoring(), kCalendar, kBar, kToday};

const LockCase kLockCases[] = {
    {Press("alone", kPlainAboveToday).Expect(1, ClosedAndGone(0)), Rival::kNone, kNoWindow, 0},
    // The stand-in traces the hung window's WM_CLOSE when the window answers,
    // after what the presses made meanwhile did.
    {Press("hung window pressed five times, then a healthy one", kHungAboveHealthy)
         .Expect(1, Join({ClosedAndGone(1), ClosedAndGone(0)})), Rival::kHungThenHealthy, kNoWindow, 4},
    // The first press then finds the Today screen in front.
    {Press("second press during the /d wait closes the next window", kTwoApps).With(u"/d")
         .Expect(0, Join({ClosedAndGone(0), ClosedAndGone(1), Slept(200)})), Rival::kPressInWait, kNoWindow, 0},
    {Press("second press during the player's wait", {kPlayer, kBar, kToday})
         .Expect(1, Join({Close(0), Slept(100), Key(kVkControl, false, kNoWindow), Slept(100),
                          Key('Q', false, kNoWindow), Destroyed(0), Slept(100), Key('Q', true, kNoWindow),
                          Slept(100), Key(kVkControl, true, kNoWindow)})),
     Rival::kPressInWait, kNoWindow, 1},
    {Press("press after another has ended", kTwoApps).Expect(1, Join({ClosedAndGone(0), ClosedAndGone(1)})),
     Rival::kPressBefore, kNoWindow, 0},
    {Press("/b: the window brought forward is held", kTwoApps).With(u"/b")
         .Expect(1, Join({ForwardAndBack(1, 0), Slept(100)})), Rival::kLiveOwner, 1, 0},
    {Press("notes tapped through the bar", {kNotes, kBar}).Expect(1, Tap(1, 228, 13)), Rival::kNone, kNoWindow, 0},
    {Press("the navigation bar is held", {kNotes, kBar}).Expect(1, {}), Rival::kLiveOwner, 1, 0},
    {Press("a press killed while it held the lock", kPlainAboveToday).Expect(1, ClosedAndGone(0)),
     Rival::kOwnerDied, kNoWindow, 0},
    {Press("no mutex to be had", kPlainAboveToday).Expect(1, ClosedAndGone(0)), Rival::kNoMutex, kNoWindow, 0},
    {Press("a press 100 ms into the wait on a window hung for 300 ms", {kCalculator.HungFor(300), kBar, kToday})
         .Expect(1, Join({Waited(0, 300), ClosedAndGone(0)})), Rival::kPressWhileHung, kNoWindow, 1},
};

void PrintTo(const LockCase& c, std::ostream* os)
{
    *os << c.press.name;
}

// One press as the system starts one: a process of its own, from the entry
// point, ended when the entry point returns.
int PressAsProcess(Way way, const char16_t* commandLine)
{
    int status = -1;
    standin::RunAsProcess([&] {
        if (way == Way::kHost) {
            std::u16string line(commandLine);
            status = WinMain(standin::ProgramInstance(), NULL, &line[0], 0);
        } else {
            EXPECT_TRUE(RunDeviceProgram(way, kDeviceCloser, commandLine, &status));
        }
    });
    return status;
}

// The name of a window's lock as the press makes it: the device program
// knows the window by the runner's value of its handle.
standin::Text LockName(Way way, HWND window)
{
    if (way != Way::kHost)
        window = (HWND)(uintptr_t)ce::GuestWindow((uintptr_t)window);
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
    standin::Reset();
    const std::vector<HWND> w = standin::Build(c.press);

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
    standin::SetCallHook([&](const char* call) {
        if (inMeanwhile) {
            meanwhile.back().calls.push_back(call);
            return;
        }
        const std::string name(call);
        if (name == "SendMessageW" &&
            standin::MutexOwner(LockName(way, standin::Foreground())) != standin::CurrentProcess())
            unlockedSend = true;
        if (startAt == NULL || started || name != startAt)
            return;
        started = true;
        if (c.rival == Rival::kPressInWait) {
            pressMeanwhile();
            return;
        }
        const int waiting = standin::CurrentProcess();
        for (int i = 0; i < c.dropped; i++)
            pressMeanwhile();
        standin::RaiseToTop(w[1]);
        standin::SetForeground(w[1]);
        pressMeanwhile();
        hungLockHeld = standin::MutexOwner(LockName(way, w[0])) == waiting;
        standin::SetCloseReaction(w[0], kCloses);
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
        standin::RunAsProcess([&] {
            HANDLE owner = CreateMutexW(NULL, FALSE, LockName(way, w[0]).c_str());
            ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(owner, 0));
        });
    }
    standin::FailCreateMutex(c.rival == Rival::kNoMutex);
    if (c.rival == Rival::kPressWhileHung)
        standin::At(100, pressMeanwhile);

    int status = -1;
    if (c.rival == Rival::kLiveOwner) {
        standin::RunAsProcess([&] {
            HANDLE owner = CreateMutexW(NULL, FALSE, LockName(way, w[c.held]).c_str());
            ASSERT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(owner, 0));
            status = PressAsProcess(way, c.press.commandLine.c_str());
            ReleaseMutex(owner);
            CloseHandle(owner);
        });
    } else {
        status = PressAsProcess(way, c.press.commandLine.c_str());
    }

    EXPECT_EQ(c.press.status, status);
    EXPECT_TRUE(Agrees(Match(c.press.steps, standin::Recorded(w), c.press.Names())));
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
        EXPECT_EQ(0, standin::MutexOwner(LockName(way, w[i]))) << "window " << i;
        EXPECT_EQ((DWORD)WAIT_OBJECT_0, WaitForSingleObject(keepAlive[i], 0))
            << "window " << i << "'s lock left abandoned";
        ReleaseMutex(keepAlive[i]);
        CloseHandle(keepAlive[i]);
    }
    for (HWND window : w)
        EXPECT_FALSE(standin::MutexExists(LockName(way, window)));
    EXPECT_EQ(0, standin::KernelHandleCount());
}

INSTANTIATE_ON_EVERY_WAY(Lock, PressLockTest, kLockCases);

}  // namespace
