// window_rules_test.cpp: how each kind of window is recognised, and which
// window is chosen to come forward.
#include <gtest/gtest.h>

#include "device_way.h"
#include "standin.h"
#include "trace_check.h"
#include "window_rules.h"

namespace {

using standin::Text;

// kLongerName begins with "PocketPC" and goes on: it is not a Pocket PC.
// kPocketPC2000 is that release's device, which answers "Palm PC2".
enum Platform { kPocketPC, kOtherPlatform, kNoPlatform, kLongerName, kPocketPC2000 };

struct ClassifyCase {
    SceneWindow window;
    Platform platform;
    WindowCategory expected;
};

const ClassifyCase kClassifyCases[] = {
    {kMemo, kPocketPC, CategoryTaskbarClose},
    {kMemoFullWidth, kPocketPC, CategoryTaskbarClose},
    {kWord, kPocketPC, CategoryTaskbarClose},
    {kWord.Titled(u"Pocket Excel"), kPocketPC, CategoryPlain},
    {kWord.Titled(u"Pocket Word "), kPocketPC, CategoryPlain},
    {kWord.Titled(u"pocket word"), kPocketPC, CategoryPlain},
    {kExcel, kPocketPC, CategoryTaskbarClose},
    {kExcel.Titled(u"Book1"), kPocketPC, CategoryPlain},
    {kNotes.Titled(u""), kPocketPC, CategoryTaskbarClose},
    {kNotes.Titled(u"anything"), kOtherPlatform, CategoryTaskbarClose},
    {App("", u"notes", u""), kPocketPC, CategoryPlain},
    {kPlayer.Titled(u""), kPocketPC, CategoryMediaPlayer},
    {kPlayer75.Titled(u"x"), kPocketPC, CategoryMediaPlayer},
    {kPlayerMobile.Titled(u""), kPocketPC, CategoryMediaPlayer},
    {App("", u"WMP for Smartphone", u""), kPocketPC, CategoryPlain},
    {kToday.Titled(u""), kPocketPC, CategoryDesktop},
    {kToday.Titled(u"Today"), kNoPlatform, CategoryDesktop},
    // The Programs folder's title is half-width; the full-width form is not it.
    {kPrograms, kPocketPC, CategoryShell},
    {kProgramsFullWidth, kPocketPC, CategoryTaskbarClose},
    {kExplorer, kPocketPC, CategoryTaskbarClose},
    // ﾌﾟﾛｸﾞﾗﾑ ﾌｧｲﾙ, a folder whose name begins with the Programs title.
    {kPrograms.Titled(kPrograms.title + u" \xFF8C\xFF67\xFF72\xFF99"), kPocketPC,
     CategoryTaskbarClose},
    {App("", u"CPL_", u""), kPocketPC, CategoryTaskbarClose},
    {kApplet.Titled(u""), kPocketPC, CategoryTaskbarClose},
    {App("", u"CPL", u""), kPocketPC, CategoryPlain},
    {App("", u"cpl_Owner", u""), kPocketPC, CategoryPlain},
    {kSettingsSystem.Titled(u"Title"), kPocketPC, CategoryPlain},
    {kSettingsSystem.WithoutChild(), kPocketPC, CategoryPlain},
    {App("", u"dialog", u"").WithChild(kSettingsSystem.childTitle), kPocketPC, CategoryPlain},
    // Personal page: 個人用 on a Pocket PC, 個人 elsewhere or when unknown.
    {kSettingsPersonalPocketPC, kPocketPC, CategoryShell},
    {kSettingsPersonal, kPocketPC, CategoryPlain},
    {kSettingsPersonal, kOtherPlatform, CategoryShell},
    {kSettingsPersonalPocketPC, kOtherPlatform, CategoryPlain},
    {kSettingsPersonal, kNoPlatform, CategoryShell},
    {kSettingsPersonal, kLongerName, CategoryShell},
    {kSettingsPersonalPocketPC, kLongerName, CategoryPlain},
    {kSettingsPersonal, kPocketPC2000, CategoryShell},
    {kSettingsPersonalPocketPC, kPocketPC2000, CategoryPlain},
    {kSettingsSystem, kPocketPC2000, CategoryShell},
    {kSettingsSystemHalfWidth, kPocketPC, CategoryShell},
    {kSettingsSystem, kOtherPlatform, CategoryShell},
    {kSettingsConnections, kPocketPC, CategoryShell},
    {kSettingsPropertiesHalfWidth, kPocketPC, CategoryTaskbarClose},
    {kSettingsProperties, kPocketPC, CategoryTaskbarClose},
    {kSettingsClock, kPocketPC, CategoryPlain},
    {SettingsPage("blank page", u""), kPocketPC, CategoryPlain},
};

// Test names and failure messages show the class and title read as text.
void PrintTo(const ClassifyCase& c, std::ostream* os)
{
    *os << standin::Narrow(c.window.className) << " / " << standin::Narrow(c.window.title);
}

// ClassifyWindow or FindNextWindow (with skipShell) on a window: the host
// build's, or the device program's own under the CE runner. A window found
// comes back as the stand-in's handle.
uintptr_t RunRule(Way way, const std::string& function, HWND window, BOOL skipShell = FALSE)
{
    const bool classify = function == "ClassifyWindow";
    if (way == Way::kHost)
        return classify ? (uintptr_t)ClassifyWindow(window)
                        : (uintptr_t)FindNextWindow(window, skipShell);
    ce::Runner device;
    uint32_t result = 0xFFFFFFFF;
    EXPECT_TRUE(LoadDeviceProgram(way, kDeviceCloser, &device));
    std::vector<uint32_t> args = {ce::GuestWindow((uintptr_t)window)};
    if (!classify)
        args.push_back((uint32_t)skipShell);
    EXPECT_TRUE(CallDeviceFunction(&device, function, args, &result));
    return classify || result == 0 ? result : ce::HostWindow(result);
}

class ClassifyWindowTest : public ::testing::TestWithParam<std::tuple<ClassifyCase, Way>> {};

TEST_P(ClassifyWindowTest, GivesTheCategoryOfTheFirstMatchingRule)
{
    const ClassifyCase& c = std::get<0>(GetParam());
    standin::Reset();
    if (c.platform == kOtherPlatform)
        standin::SetPlatformType(u"Jupiter");
    else if (c.platform == kNoPlatform)
        standin::SetPlatformTypeUnavailable();
    else if (c.platform == kLongerName)
        standin::SetPlatformType(u"PocketPC2");
    else if (c.platform == kPocketPC2000)
        standin::SetProfile(*standin::FindProfile("ppc2000"));
    HWND window = standin::AddWindow(c.window);

    const Way way = std::get<1>(GetParam());
    EXPECT_EQ(c.expected, (WindowCategory)RunRule(way, "ClassifyWindow", window));
    EXPECT_TRUE(standin::Trace().empty()) << "classifying must change nothing";
    // Names and titles into 256 characters, the platform type into 512 bytes.
    EXPECT_TRUE(EveryCallCarries("GetClassNameW", {(uintptr_t)window, 1, 256}));
    EXPECT_TRUE(EveryCallCarries("GetWindowTextW", {kAnyArg, 1, 256}));
    EXPECT_TRUE(EveryCallCarries("SystemParametersInfoW", {SPI_GETPLATFORMTYPE, 512, 1, 0}));
}

INSTANTIATE_TEST_SUITE_P(Rules, ClassifyWindowTest,
                         ::testing::Combine(::testing::ValuesIn(kClassifyCases),
                                            ::testing::ValuesIn(Ways())));

// DeviceReport shows the titles of the classes the closer has rules for:
// every class a row above gives a category other than Plain, and the
// helper windows FindNextWindow passes over. Ordinary applications', and
// near misses of the rules' names, are not among them.
TEST(ClassHasRule, NamesTheClassesTheRulesLookAt)
{
    for (const ClassifyCase& c : kClassifyCases) {
        if (c.expected != CategoryPlain) {
            EXPECT_TRUE(ClassHasRule(c.window.className.c_str())) << standin::Narrow(c.window.className);
        }
    }
    for (const SceneWindow& w : {kNavigationBar, kInputPanel, kInputPanelButton, kMenuWorker, kOutlook,
                                 kStaticHelper, kSettingsClock, kExcel.Titled(u"Book1")})
        EXPECT_TRUE(ClassHasRule(w.className.c_str())) << w.name;
    for (const char16_t* other : {u"Calculator", u"Calendar", u"notes", u"dialog", u"CPL",
                                  u"WMP for Smartphone", u"HHTaskBar2", u""})
        EXPECT_FALSE(ClassHasRule(other)) << standin::Narrow(other);
    EXPECT_FALSE(ClassHasRule(NULL));
}

TEST(ClassifyWindow, NoWindowIsPlain)
{
    standin::Reset();
    EXPECT_EQ(CategoryPlain, ClassifyWindow(NULL));
}

// Names and titles are cut to 255 characters before they are compared.
TEST(ClassifyWindow, LongNamesAreCutNotOverrun)
{
    standin::Reset();
    HWND applet = standin::AddWindow(u"CPL_" + Text(400, u'x'), Text(300, u'y'));
    HWND plain = standin::AddWindow(Text(400, u'A'), u"");
    HWND settings = standin::AddWindow(SettingsPage("long page", Text(1000, u'z')));
    EXPECT_EQ(CategoryTaskbarClose, ClassifyWindow(applet));
    EXPECT_EQ(CategoryPlain, ClassifyWindow(plain));
    EXPECT_EQ(CategoryPlain, ClassifyWindow(settings));
}

// A "Dialog" whose title is exactly 255 characters long still reads as titled.
TEST(ClassifyWindow, TitleOfExactlyBufferLengthCounts)
{
    standin::Reset();
    HWND settings = standin::AddWindow(kSettingsConnections.Titled(Text(255, u't')));
    EXPECT_EQ(CategoryPlain, ClassifyWindow(settings));
}

// Names and titles of 255 characters fit their buffers whole; from 256 on
// they are cut to 255, and nothing past the buffer is written.
class BufferBoundaryTest : public ::testing::TestWithParam<Way> {};

TEST_P(BufferBoundaryTest, NamesAndTitlesAreReadWholeUpTo255Characters)
{
    const struct {
        SceneWindow window;
        WindowCategory expected;
    } cases[] = {
        {App("", u"CPL_" + Text(251, u'x'), Text(255, u'y')).WithChild(u""), CategoryTaskbarClose},
        {App("", u"CPL_" + Text(252, u'x'), Text(256, u'y')).WithChild(u""), CategoryTaskbarClose},
        {App("", Text(255, u'A'), u"").WithChild(u""), CategoryPlain},
        {kSettingsConnections.Titled(Text(256, u't')), CategoryPlain},
        {SettingsPage("page", Text(255, u'p')), CategoryPlain},
        {SettingsPage("page", Text(256, u'p')), CategoryPlain},
    };
    for (const auto& c : cases) {
        standin::Reset();
        HWND window = standin::AddWindow(c.window);
        EXPECT_EQ(c.expected, (WindowCategory)RunRule(GetParam(), "ClassifyWindow", window))
            << c.window.className.size() << " / " << c.window.title.size() << " / "
            << c.window.childTitle.size();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, BufferBoundaryTest, ::testing::ValuesIn(Ways()),
                         ::testing::PrintToStringParamName());

// ---- FindNextWindow ---------------------------------------------------------

// The Z order of a busy device, top first. Index 0 is where the search starts.
const std::vector<SceneWindow> kBusyDevice = {
    kSettingsSystem,               // 0: the settings page in front
    kNavigationBar,                // 1
    kCalculator.Hidden(),          // 2
    kInputPanel,                   // 3
    kMenuWorker,                   // 4
    kWord,                         // 5: never chosen, whatever its title
    kOutlook,                      // 6
    kInputPanelButton,             // 7
    kStaticHelper,                 // 8
    kSettingsConnections,          // 9: another shell page
    kPrograms,                     // 10: shell
    App("", u"Static", u""),       // 11: other case, not skipped
    kToday.Titled(u""),            // 12
};

std::vector<HWND> AddWindows(const std::vector<SceneWindow>& windows)
{
    std::vector<HWND> handles;
    for (const SceneWindow& w : windows)
        handles.push_back(standin::AddWindow(w));
    return handles;
}

TEST(FindNextWindow, PassesOverHiddenHelperAndShellWindows)
{
    const struct {
        int start;
        BOOL skipShell;
        int expected;  // index, or -1 for no window
    } cases[] = {
        {0, FALSE, 9},   // the next shell page itself when shell pages count
        {0, TRUE, 11},   // both shell pages passed over
        {9, TRUE, 11},
        {10, FALSE, 11},
        {11, FALSE, 12},
        {12, FALSE, -1},  // the bottom-most window has nothing below it
        {12, TRUE, -1},
    };
    for (const auto& c : cases) {
        standin::Reset();
        std::vector<HWND> w = AddWindows(kBusyDevice);
        HWND expected = c.expected < 0 ? NULL : w[c.expected];
        EXPECT_EQ(expected, FindNextWindow(w[c.start], c.skipShell))
            << "start " << c.start << " skipShell " << c.skipShell;
        EXPECT_TRUE(standin::Trace().empty());
    }
}

// The shell-page test comes first and is made for hidden windows too.
TEST(FindNextWindow, ClassifiesEveryWindowReachedWhenSkippingShellPages)
{
    standin::Reset();
    HWND front = standin::AddWindow(u"App", u"front");
    standin::AddWindow(u"Hidden", u"", false);
    standin::AddWindow(kNavigationBar);
    HWND target = standin::AddWindow(u"App", u"target");

    int titlesReadBefore = standin::CallCount("GetWindowTextW");
    EXPECT_EQ(target, FindNextWindow(front, TRUE));
    EXPECT_EQ(3, standin::CallCount("GetWindowTextW") - titlesReadBefore);

    titlesReadBefore = standin::CallCount("GetWindowTextW");
    EXPECT_EQ(target, FindNextWindow(front, FALSE));
    EXPECT_EQ(0, standin::CallCount("GetWindowTextW") - titlesReadBefore);
}

// A Z order that changes during the walk can lead it round for ever; the
// walk gives up after kMaxWindowsWalked windows, with nothing found.
class FindNextWindowLoopTest : public ::testing::TestWithParam<Way> {};

TEST_P(FindNextWindowLoopTest, StopsWhenTheZOrderLoops)
{
    standin::Reset();
    HWND start = standin::AddWindow(u"App", u"", false);
    standin::AddWindow(u"Hidden", u"", false);
    standin::AddWindow(kNavigationBar);
    standin::LoopZOrder(true);
    EXPECT_EQ(0u, RunRule(GetParam(), "FindNextWindow", start, FALSE));
    EXPECT_EQ(kMaxWindowsWalked, standin::CallCount("GetWindow"));
}

INSTANTIATE_TEST_SUITE_P(Loop, FindNextWindowLoopTest, ::testing::ValuesIn(Ways()));

// ---- What a read that fails leaves -------------------------------------------

// A read that fails leaves an empty string, not what the same buffer held
// for the window before: a device's stack keeps what an earlier call left.
enum class Change {
    kPlatformUnreadable,  // the platform type can no longer be read
    kPageGone,            // window 2's page (its child) goes away
    kWindowGone,          // window 2 goes away
};

struct LeftoverCase {
    const char* name;
    std::vector<SceneWindow> scene;  // top first; the walk starts below window 0
    BOOL skipShell;
    const char* call;  // the change happens as the nth call of this name starts
    int nth;
    Change change;
    int expected;
};

const LeftoverCase kLeftoverCases[] = {
    // Not a Pocket PC once unreadable, so 個人用 is no shell page.
    {"platform type unreadable for the second window",
     {kContacts, kPrograms, kSettingsPersonalPocketPC, kCalculator},
     TRUE, "SystemParametersInfoW", 2, Change::kPlatformUnreadable, 2},
    // An untitled "Dialog" whose page reads empty is an ordinary window.
    {"settings page gone as it is read",
     {kContacts, kSettingsSystem, kSettingsConnections, kCalculator},
     TRUE, "GetWindowTextW", 4, Change::kPageGone, 2},
    // An empty class name is none of the helper windows'.
    {"window gone as its class is read",
     {kContacts, kNavigationBar, kCalendar, kCalculator},
     FALSE, "GetClassNameW", 2, Change::kWindowGone, 2},
};

void PrintTo(const LeftoverCase& c, std::ostream* os)
{
    *os << c.name;
}

class LeftoverTest : public ::testing::TestWithParam<std::tuple<LeftoverCase, Way>> {};

TEST_P(LeftoverTest, AFailedReadLeavesNothingOfTheWindowBefore)
{
    const LeftoverCase& c = std::get<0>(GetParam());
    standin::Reset();
    std::vector<HWND> w = AddWindows(c.scene);
    HWND page = GetWindow(w[2], GW_CHILD);
    int seen = 0;
    standin::SetCallHook([&](const char* call) {
        if (std::string(call) != c.call || ++seen != c.nth)
            return;
        if (c.change == Change::kPlatformUnreadable)
            standin::SetPlatformTypeUnavailable();
        else
            standin::DestroyWindowSilently(c.change == Change::kPageGone ? page : w[2]);
    });
    const uintptr_t found = RunRule(std::get<1>(GetParam()), "FindNextWindow", w[0], c.skipShell);
    EXPECT_LE(c.nth, seen) << "the change was never made";
    EXPECT_EQ((uintptr_t)w[c.expected], found);
}

INSTANTIATE_ON_EVERY_WAY(Reads, LeftoverTest, kLeftoverCases);

TEST(FindNextWindow, NoStartWindowFindsNothing)
{
    standin::Reset();
    standin::AddWindow(u"App", u"");
    EXPECT_EQ(NULL, FindNextWindow(NULL, FALSE));
}

}  // namespace
