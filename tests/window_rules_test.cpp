// window_rules_test.cpp: how each kind of window is recognised, and which
// window is chosen to come forward.
#include <gtest/gtest.h>

#include "device_way.h"
#include "host_scene.h"
#include "trace_check.h"
#include "window_rules.h"

namespace {

using host::Text;

// kLongerName begins with "PocketPC" and goes on: it is not a Pocket PC.
// kPocketPC2000 is that release's device, which answers "Palm PC2".
enum Platform { kPocketPC, kOtherPlatform, kNoPlatform, kLongerName, kPocketPC2000 };

struct ClassifyCase {
    const char16_t* className;
    const char16_t* title;
    const char16_t* childTitle;  // NULL: the window has no child
    Platform platform;
    WindowCategory expected;
};

const ClassifyCase kClassifyCases[] = {
    {u"Worker", u"\xFF92\xFF93", NULL, kPocketPC, CategoryTaskbarClose},  // ﾒﾓ
    {u"Worker", u"\x30E1\x30E2", NULL, kPocketPC, CategoryTaskbarClose},  // メモ
    {u"Worker", u"Pocket Word", NULL, kPocketPC, CategoryTaskbarClose},
    {u"Worker", u"Pocket Excel", NULL, kPocketPC, CategoryPlain},
    {u"Worker", u"Pocket Word ", NULL, kPocketPC, CategoryPlain},
    {u"Worker", u"pocket word", NULL, kPocketPC, CategoryPlain},
    {u"BOOKWIN", u"Pocket Excel", NULL, kPocketPC, CategoryTaskbarClose},
    {u"BOOKWIN", u"Book1", NULL, kPocketPC, CategoryPlain},
    {u"Notes", u"", NULL, kPocketPC, CategoryTaskbarClose},
    {u"Notes", u"anything", NULL, kOtherPlatform, CategoryTaskbarClose},
    {u"notes", u"", NULL, kPocketPC, CategoryPlain},
    {u"WMP for Pocket PC", u"", NULL, kPocketPC, CategoryMediaPlayer},
    {u"WMP7.5 for Pocket PC", u"x", NULL, kPocketPC, CategoryMediaPlayer},
    {u"WMP for Mobile Devices", u"", NULL, kPocketPC, CategoryMediaPlayer},
    {u"WMP for Smartphone", u"", NULL, kPocketPC, CategoryPlain},
    {u"DesktopExplorerWindow", u"", NULL, kPocketPC, CategoryDesktop},
    {u"DesktopExplorerWindow", u"Today", NULL, kNoPlatform, CategoryDesktop},
    // ﾌﾟﾛｸﾞﾗﾑ half-width is the Programs folder; the full-width form is not.
    {u"Explore", u"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91", NULL, kPocketPC, CategoryShell},
    {u"Explore", u"\x30D7\x30ED\x30B0\x30E9\x30E0", NULL, kPocketPC, CategoryTaskbarClose},
    {u"Explore", u"My Documents", NULL, kPocketPC, CategoryTaskbarClose},
    // ﾌﾟﾛｸﾞﾗﾑ ﾌｧｲﾙ, a folder whose name begins with the Programs title.
    {u"Explore", u"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91 \xFF8C\xFF67\xFF72\xFF99", NULL,
     kPocketPC, CategoryTaskbarClose},
    {u"CPL_", u"", NULL, kPocketPC, CategoryTaskbarClose},
    {u"CPL_Owner", u"", NULL, kPocketPC, CategoryTaskbarClose},
    {u"CPL", u"", NULL, kPocketPC, CategoryPlain},
    {u"cpl_Owner", u"", NULL, kPocketPC, CategoryPlain},
    {u"Dialog", u"Title", u"\x30B7\x30B9\x30C6\x30E0", kPocketPC, CategoryPlain},
    {u"Dialog", u"", NULL, kPocketPC, CategoryPlain},
    {u"dialog", u"", u"\x30B7\x30B9\x30C6\x30E0", kPocketPC, CategoryPlain},
    // Personal page: 個人用 on a Pocket PC, 個人 elsewhere or when unknown.
    {u"Dialog", u"", u"\x500B\x4EBA\x7528", kPocketPC, CategoryShell},
    {u"Dialog", u"", u"\x500B\x4EBA", kPocketPC, CategoryPlain},
    {u"Dialog", u"", u"\x500B\x4EBA", kOtherPlatform, CategoryShell},
    {u"Dialog", u"", u"\x500B\x4EBA\x7528", kOtherPlatform, CategoryPlain},
    {u"Dialog", u"", u"\x500B\x4EBA", kNoPlatform, CategoryShell},
    {u"Dialog", u"", u"\x500B\x4EBA", kLongerName, CategoryShell},
    {u"Dialog", u"", u"\x500B\x4EBA\x7528", kLongerName, CategoryPlain},
    {u"Dialog", u"", u"\x500B\x4EBA", kPocketPC2000, CategoryShell},
    {u"Dialog", u"", u"\x500B\x4EBA\x7528", kPocketPC2000, CategoryPlain},
    {u"Dialog", u"", u"\x30B7\x30B9\x30C6\x30E0", kPocketPC2000, CategoryShell},
    {u"Dialog", u"", u"\xFF7C\xFF7D\xFF83\xFF91", kPocketPC, CategoryShell},      // ｼｽﾃﾑ
    {u"Dialog", u"", u"\x30B7\x30B9\x30C6\x30E0", kOtherPlatform, CategoryShell},  // システム
    {u"Dialog", u"", u"\x63A5\x7D9A", kPocketPC, CategoryShell},                   // 接続
    {u"Dialog", u"", u"\xFF8C\xFF9F\xFF9B\xFF8A\xFF9F\xFF83\xFF68", kPocketPC,
     CategoryTaskbarClose},                                                         // ﾌﾟﾛﾊﾟﾃｨ
    {u"Dialog", u"", u"\x30D7\x30ED\x30D1\x30C6\x30A3", kPocketPC, CategoryTaskbarClose},
    {u"Dialog", u"", u"Other page", kPocketPC, CategoryPlain},
    {u"Dialog", u"", u"", kPocketPC, CategoryPlain},
};

// Test names and failure messages show the class and title read as text.
void PrintTo(const ClassifyCase& c, std::ostream* os)
{
    *os << host::Narrow(c.className) << " / " << host::Narrow(c.title);
}

// ClassifyWindow of the host build, or the device program's own.
WindowCategory Classify(Way way, HWND window)
{
    if (way == Way::kHost)
        return ClassifyWindow(window);
    ce::Runner device;
    uint32_t category = 0xFFFFFFFF;
    EXPECT_TRUE(LoadDeviceProgram(way, kDeviceCloser, &device));
    EXPECT_TRUE(CallDeviceFunction(&device, "ClassifyWindow",
                                   {device.GuestHandle((uintptr_t)window)}, &category));
    return (WindowCategory)category;
}

class ClassifyWindowTest : public ::testing::TestWithParam<std::tuple<ClassifyCase, Way>> {};

TEST_P(ClassifyWindowTest, GivesTheCategoryOfTheFirstMatchingRule)
{
    const ClassifyCase& c = std::get<0>(GetParam());
    host::Reset();
    if (c.platform == kOtherPlatform)
        host::SetPlatformType(u"Jupiter");
    else if (c.platform == kNoPlatform)
        host::SetPlatformTypeUnavailable();
    else if (c.platform == kLongerName)
        host::SetPlatformType(u"PocketPC2");
    else if (c.platform == kPocketPC2000)
        host::SetProfile(*host::FindProfile("ppc2000"));
    host::WindowSpec spec;
    spec.className = c.className;
    spec.title = c.title;
    spec.hasChild = c.childTitle != NULL;
    spec.childTitle = c.childTitle != NULL ? c.childTitle : u"";
    HWND window = host::AddWindow(spec);

    EXPECT_EQ(c.expected, Classify(std::get<1>(GetParam()), window))
        << host::Narrow(c.className) << " / " << host::Narrow(c.title);
    EXPECT_TRUE(host::Trace().empty()) << "classifying must change nothing";
    // Names and titles into 256 characters, the platform type into 512 bytes.
    EXPECT_TRUE(EveryCallCarries("GetClassNameW", {(uintptr_t)window, 1, 256}));
    EXPECT_TRUE(EveryCallCarries("GetWindowTextW", {kAnyArg, 1, 256}));
    EXPECT_TRUE(EveryCallCarries("SystemParametersInfoW", {SPI_GETPLATFORMTYPE, 512, 1, 0}));
}

INSTANTIATE_TEST_SUITE_P(Rules, ClassifyWindowTest,
                         ::testing::Combine(::testing::ValuesIn(kClassifyCases),
                                            ::testing::ValuesIn(Ways())));

TEST(ClassifyWindow, NoWindowIsPlain)
{
    host::Reset();
    EXPECT_EQ(CategoryPlain, ClassifyWindow(NULL));
}

// Names and titles are cut to 255 characters before they are compared.
TEST(ClassifyWindow, LongNamesAreCutNotOverrun)
{
    host::Reset();
    Text longPrefix = u"CPL_" + Text(400, u'x');
    Text longClass(400, u'A');
    HWND applet = host::AddWindow(longPrefix, Text(300, u'y'));
    HWND plain = host::AddWindow(longClass, u"");
    HWND settings = host::AddWindowWithChild(u"Dialog", u"", Text(1000, u'z'));
    EXPECT_EQ(CategoryTaskbarClose, ClassifyWindow(applet));
    EXPECT_EQ(CategoryPlain, ClassifyWindow(plain));
    EXPECT_EQ(CategoryPlain, ClassifyWindow(settings));
}

// A "Dialog" whose title is exactly 255 characters long still reads as titled.
TEST(ClassifyWindow, TitleOfExactlyBufferLengthCounts)
{
    host::Reset();
    HWND settings = host::AddWindowWithChild(u"Dialog", Text(255, u't'), u"\x63A5\x7D9A");
    EXPECT_EQ(CategoryPlain, ClassifyWindow(settings));
}

// Names and titles of 255 characters fit their buffers whole; from 256 on
// they are cut to 255, and nothing past the buffer is written.
class BufferBoundaryTest : public ::testing::TestWithParam<Way> {};

TEST_P(BufferBoundaryTest, NamesAndTitlesAreReadWholeUpTo255Characters)
{
    const struct {
        Text className;
        Text title;
        Text childTitle;
        WindowCategory expected;
    } cases[] = {
        {u"CPL_" + Text(251, u'x'), Text(255, u'y'), u"", CategoryTaskbarClose},
        {u"CPL_" + Text(252, u'x'), Text(256, u'y'), u"", CategoryTaskbarClose},
        {Text(255, u'A'), u"", u"", CategoryPlain},
        {u"Dialog", Text(256, u't'), u"\x63A5\x7D9A", CategoryPlain},
        {u"Dialog", u"", Text(255, u'p'), CategoryPlain},
        {u"Dialog", u"", Text(256, u'p'), CategoryPlain},
    };
    for (const auto& c : cases) {
        host::Reset();
        HWND window = host::AddWindowWithChild(c.className, c.title, c.childTitle);
        EXPECT_EQ(c.expected, Classify(GetParam(), window))
            << c.className.size() << " / " << c.title.size() << " / " << c.childTitle.size();
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, BufferBoundaryTest, ::testing::ValuesIn(Ways()),
                         [](const ::testing::TestParamInfo<Way>& info) {
                             return std::string(WayName(info.param));
                         });

// ---- FindNextWindow ---------------------------------------------------------

const char16_t kSystemPage[] = u"\x30B7\x30B9\x30C6\x30E0";
const char16_t kConnectionsPage[] = u"\x63A5\x7D9A";

struct Stacked {
    const char16_t* className;
    const char16_t* title;
    const char16_t* childTitle;
    bool visible;
};

// The Z order of a busy device, top first. Index 0 is where the search starts.
const Stacked kBusyDevice[] = {
    {u"Dialog", u"", kSystemPage, true},          // 0: the settings page in front
    {u"HHTaskBar", u"", NULL, true},              // 1
    {u"Hidden app", u"", NULL, false},            // 2
    {u"SipWndClass", u"", NULL, true},            // 3
    {u"menu_worker", u"", NULL, true},            // 4
    {u"Worker", u"Pocket Word", NULL, true},      // 5: never chosen, whatever its title
    {u"MSPOutlook", u"", NULL, true},             // 6
    {u"MS_SIPBUTTON", u"", NULL, true},           // 7
    {u"static", u"", NULL, true},                 // 8
    {u"Dialog", u"", kConnectionsPage, true},     // 9: another shell page
    {u"Explore", u"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91", NULL, true},  // 10: shell
    {u"Static", u"", NULL, true},                 // 11: other case, not skipped
    {u"DesktopExplorerWindow", u"", NULL, true},  // 12
};

std::vector<HWND> Build(const Stacked* rows, size_t count)
{
    std::vector<HWND> handles;
    for (size_t i = 0; i < count; i++) {
        host::WindowSpec spec;
        spec.className = rows[i].className;
        spec.title = rows[i].title;
        spec.visible = rows[i].visible;
        spec.hasChild = rows[i].childTitle != NULL;
        spec.childTitle = spec.hasChild ? rows[i].childTitle : u"";
        handles.push_back(host::AddWindow(spec));
    }
    return handles;
}

struct NextCase {
    int start;
    BOOL skipShell;
    int expected;  // index, or -1 for no window
};

TEST(FindNextWindow, PassesOverHiddenHelperAndShellWindows)
{
    const NextCase cases[] = {
        {0, FALSE, 9},   // the next shell page itself when shell pages count
        {0, TRUE, 11},   // both shell pages passed over
        {9, TRUE, 11},
        {10, FALSE, 11},
        {11, FALSE, 12},
        {12, FALSE, -1},  // the bottom-most window has nothing below it
        {12, TRUE, -1},
    };
    for (const NextCase& c : cases) {
        host::Reset();
        std::vector<HWND> w = Build(kBusyDevice, sizeof(kBusyDevice) / sizeof(kBusyDevice[0]));
        HWND expected = c.expected < 0 ? NULL : w[c.expected];
        EXPECT_EQ(expected, FindNextWindow(w[c.start], c.skipShell))
            << "start " << c.start << " skipShell " << c.skipShell;
        EXPECT_TRUE(host::Trace().empty());
    }
}

// The shell-page test comes first and is made for hidden windows too.
TEST(FindNextWindow, ClassifiesEveryWindowReachedWhenSkippingShellPages)
{
    host::Reset();
    HWND front = host::AddWindow(u"App", u"front");
    host::AddWindow(u"Hidden", u"", false);
    host::AddWindow(u"HHTaskBar", u"");
    HWND target = host::AddWindow(u"App", u"target");

    int titlesReadBefore = host::CallCount("GetWindowTextW");
    EXPECT_EQ(target, FindNextWindow(front, TRUE));
    EXPECT_EQ(3, host::CallCount("GetWindowTextW") - titlesReadBefore);

    titlesReadBefore = host::CallCount("GetWindowTextW");
    EXPECT_EQ(target, FindNextWindow(front, FALSE));
    EXPECT_EQ(0, host::CallCount("GetWindowTextW") - titlesReadBefore);
}

// A Z order that changes during the walk can lead it round for ever; the
// walk gives up after kMaxWindowsWalked windows, with nothing found.
class FindNextWindowLoopTest : public ::testing::TestWithParam<Way> {};

TEST_P(FindNextWindowLoopTest, StopsWhenTheZOrderLoops)
{
    host::Reset();
    HWND start = host::AddWindow(u"App", u"", false);
    host::AddWindow(u"Hidden", u"", false);
    host::AddWindow(u"HHTaskBar", u"");
    host::LoopZOrder(true);
    uintptr_t found = 1;
    if (GetParam() == Way::kHost) {
        found = (uintptr_t)FindNextWindow(start, FALSE);
    } else {
        ce::Runner device;
        uint32_t result = 1;
        EXPECT_TRUE(LoadDeviceProgram(GetParam(), kDeviceCloser, &device));
        EXPECT_TRUE(CallDeviceFunction(&device, "FindNextWindow",
                                       {device.GuestHandle((uintptr_t)start), FALSE}, &result));
        found = result;
    }
    EXPECT_EQ(0u, found);
    EXPECT_EQ(kMaxWindowsWalked, host::CallCount("GetWindow"));
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
    Stacked scene[4];  // top first; the walk starts below window 0
    BOOL skipShell;
    const char* call;  // the change happens as the nth call of this name starts
    int nth;
    Change change;
    int expected;
};

const char16_t kProgramsTitle[] = u"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91";
const char16_t kPersonalPocketPC[] = u"\x500B\x4EBA\x7528";

const LeftoverCase kLeftoverCases[] = {
    // Not a Pocket PC once unreadable, so 個人用 is no shell page.
    {"platform type unreadable for the second window",
     {{u"App", u"", NULL, true},
      {u"Explore", kProgramsTitle, NULL, true},
      {u"Dialog", u"", kPersonalPocketPC, true},
      {u"Calc", u"", NULL, true}},
     TRUE, "SystemParametersInfoW", 2, Change::kPlatformUnreadable, 2},
    // An untitled "Dialog" whose page reads empty is an ordinary window.
    {"settings page gone as it is read",
     {{u"App", u"", NULL, true},
      {u"Dialog", u"", kSystemPage, true},
      {u"Dialog", u"", kConnectionsPage, true},
      {u"Calc", u"", NULL, true}},
     TRUE, "GetWindowTextW", 4, Change::kPageGone, 2},
    // An empty class name is none of the helper windows'.
    {"window gone as its class is read",
     {{u"App", u"", NULL, true},
      {u"HHTaskBar", u"", NULL, true},
      {u"App2", u"", NULL, true},
      {u"Calc", u"", NULL, true}},
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
    host::Reset();
    std::vector<HWND> w = Build(c.scene, 4);
    HWND page = GetWindow(w[2], GW_CHILD);
    int seen = 0;
    host::SetCallHook([&](const char* call) {
        if (std::string(call) != c.call || ++seen != c.nth)
            return;
        if (c.change == Change::kPlatformUnreadable)
            host::SetPlatformTypeUnavailable();
        else
            host::DestroyWindowSilently(c.change == Change::kPageGone ? page : w[2]);
    });
    uintptr_t found = 0, expected = (uintptr_t)w[c.expected];
    if (std::get<1>(GetParam()) == Way::kHost) {
        found = (uintptr_t)FindNextWindow(w[0], c.skipShell);
    } else {
        ce::Runner device;
        uint32_t result = 0;
        ASSERT_TRUE(LoadDeviceProgram(std::get<1>(GetParam()), kDeviceCloser, &device));
        ASSERT_TRUE(CallDeviceFunction(&device, "FindNextWindow",
                                       {device.GuestHandle((uintptr_t)w[0]), (uint32_t)c.skipShell},
                                       &result));
        found = result;
        expected = device.GuestHandle(expected);
    }
    EXPECT_LE(c.nth, seen) << "the change was never made";
    EXPECT_EQ(expected, found);
}

INSTANTIATE_TEST_SUITE_P(
    Reads, LeftoverTest,
    ::testing::Combine(::testing::ValuesIn(kLeftoverCases), ::testing::ValuesIn(Ways())),
    [](const ::testing::TestParamInfo<std::tuple<LeftoverCase, Way>>& info) {
        return CaseName(std::get<0>(info.param).name, std::get<1>(info.param));
    });

TEST(FindNextWindow, NoStartWindowFindsNothing)
{
    host::Reset();
    host::AddWindow(u"App", u"");
    EXPECT_EQ(NULL, FindNextWindow(NULL, FALSE));
}

}  // namespace
