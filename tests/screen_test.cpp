// screen_test.cpp: the navigation-bar tap on every screen a Pocket PC has,
// for the program as built (high-resolution aware) and for one the system
// runs through its legacy layer, where the high-dpi taps must miss; and the
// close-button press on every Pocket PC release, 6.5.3's bottom bar among them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "close_command.h"
#include "shell_generation.h"
#include "device_way.h"
#include "standin.h"
#include "trace_check.h"

namespace standin {
void PrintTo(const ReleaseProfile& profile, std::ostream* os)
{
    *os << profile.name;
}
}  // namespace standin

namespace {

struct ScreenCase {
    const char* name;
    standin::Screen screen;
    bool legacyHits;  // whether a legacy program's tap still lands on the button
};

const ScreenCase kScreens[] = {
    {"240x320 96dpi", {240, 320, 96}, true},
    {"320x240 96dpi", {320, 240, 96}, true},
    {"240x240 96dpi", {240, 240, 96}, true},
    {"320x320 128dpi", {320, 320, 128}, false},
    {"320x240 128dpi", {320, 240, 128}, false},
    {"480x640 192dpi", {480, 640, 192}, false},
    {"640x480 192dpi", {640, 480, 192}, false},
    {"480x800 192dpi", {480, 800, 192}, false},
};

void PrintTo(const ScreenCase& c, std::ostream* os)
{
    *os << c.name;
}

// The program as built, or the same program without its HI_RES_AWARE
// resource. The host build has no image, so there the test declares it.
enum class Image { kAsBuilt, kWithoutResource };

// A copy of the device image whose resource name no longer reads
// HI_RES_AWARE: the system then treats the program as legacy.
std::string ImageWithoutResource(Way way)
{
    std::ifstream in(DeviceProgramPath(way, kDeviceCloser), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::u16string name = u"HI_RES_AWARE";
    const std::string utf16((const char*)name.data(), name.size() * 2);
    const size_t at = bytes.find(utf16);
    if (at == std::string::npos)
        return "";
    bytes[at + utf16.size() - 2] = 'X';
    // Per process: the plain and the sanitizer suites may run at once.
    const std::string path =
        ::testing::TempDir() + "WithoutHiResAware." + std::to_string(getpid()) + ".exe";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

void Press(Way way, Image image)
{
    if (way == Way::kHost) {
        standin::SetLegacyProgram(image == Image::kWithoutResource);
        RunCloseCommand(u"");
        return;
    }
    ce::Runner runner;
    int status = -1;
    if (image == Image::kAsBuilt) {
        ASSERT_TRUE(LoadDeviceProgram(way, kDeviceCloser, &runner));
    } else {
        const std::string path = ImageWithoutResource(way);
        ASSERT_NE("", path) << "the device image has no HI_RES_AWARE name to damage";
        const bool loaded = runner.Load(path);
        unlink(path.c_str());  // the runner holds the image in memory once loaded
        ASSERT_TRUE(loaded) << runner.Error();
    }
    ASSERT_TRUE(runner.RunProgram(u"", &status)) << runner.Error();
}

// Whether both taps of the press landed on the bar's close button, in the
// bar's real pixels: its right end, 24 px wide at 96 dpi, 26 px high.
::testing::AssertionResult TapsHitCloseButton(HWND bar, const standin::Screen& s)
{
    const int barHeight = standin::NavigationBarHeight(s);
    const int buttonLeft = s.width - 24 * s.dpi / 96;
    const std::vector<standin::TraceEntry> sent = standin::TraceOf({standin::kMessage});
    const UINT kinds[] = {WM_LBUTTONDOWN, WM_LBUTTONUP};
    if (sent.size() != 2)
        return ::testing::AssertionFailure() << "sent " << standin::Describe(sent);
    for (size_t i = 0; i < 2; i++) {
        const int x = LOWORD(sent[i].c), y = HIWORD(sent[i].c);
        if (sent[i].window != bar || sent[i].a != kinds[i])
            return ::testing::AssertionFailure() << "sent " << standin::Describe(sent);
        if (x < buttonLeft || x >= s.width || y < 0 || y >= barHeight)
            return ::testing::AssertionFailure()
                   << "tap (" << x << ", " << y << ") is outside the close button x " << buttonLeft
                   << ".." << s.width - 1 << ", y 0.." << barHeight - 1;
    }
    return ::testing::AssertionSuccess();
}

// The windows given (Notes when none), the first in front, over the
// navigation bar across the top of the screen and the Today screen: the bar
// and Today are the last two.
std::vector<HWND> BuildScene(const standin::Screen& s, std::vector<SceneWindow> above = {kNotes})
{
    standin::SetScreen(s);
    std::vector<HWND> scene;
    for (const SceneWindow& w : above)
        scene.push_back(standin::AddWindow(w));
    scene.push_back(standin::AddWindow(kNavigationBar));
    scene.push_back(standin::AddWindow(kToday));
    standin::SetForeground(scene[0]);
    return scene;
}

class ScreenTest : public ::testing::TestWithParam<std::tuple<ScreenCase, Way>> {};

TEST_P(ScreenTest, AwareProgramTapsTheCloseButton)
{
    const ScreenCase& c = std::get<0>(GetParam());
    standin::Reset();
    HWND bar = BuildScene(c.screen)[1];
    Press(std::get<1>(GetParam()), Image::kAsBuilt);
    EXPECT_TRUE(TapsHitCloseButton(bar, c.screen));
}

TEST_P(ScreenTest, LegacyProgramMissesOnHighDpi)
{
    const ScreenCase& c = std::get<0>(GetParam());
    standin::Reset();
    HWND bar = BuildScene(c.screen)[1];
    Press(std::get<1>(GetParam()), Image::kWithoutResource);
    EXPECT_EQ(c.legacyHits, (bool)TapsHitCloseButton(bar, c.screen));
    EXPECT_EQ(2u, standin::TraceOf({standin::kMessage}).size());
}

INSTANTIATE_ON_EVERY_WAY(Screens, ScreenTest, kScreens);

// ---- Every release ----------------------------------------------------------

// What is in front when the button is pressed.
enum class Front {
    kX,             // Notes: its button is X
    kXOverPage,     // Notes over a Settings page, which comes forward when Notes goes back
    kOk,            // a Settings property page showing OK (WS_EX_CAPTIONOKBTN)
    kVersionFails,  // Notes, and GetVersionExW fails: taken for a release before 6.5.3
};

struct ReleaseCase {
    const char* name;
    Front front;
};

void PrintTo(const ReleaseCase& c, std::ostream* os)
{
    *os << c.name;
}

const ReleaseCase kFronts[] = {{"X", Front::kX},
                               {"X over a page", Front::kXOverPage},
                               {"OK", Front::kOk},
                               {"no version", Front::kVersionFails}};

// Window indices: 0 in front; the Today screen last.
const scene::Steps kSmartMinimizedToToday = scene::ForwardAndBack(2, 0);
const scene::Steps kSmartMinimizedToPage = scene::ForwardAndBack(1, 0);
const scene::Steps kOkPressed = scene::Ok(0);

class ReleaseTest
    : public ::testing::TestWithParam<std::tuple<standin::ReleaseProfile, ReleaseCase, Way>> {};

TEST_P(ReleaseTest, PressesTheCloseButtonTheReleaseHas)
{
    const standin::ReleaseProfile& profile = std::get<0>(GetParam());
    const Front front = std::get<1>(GetParam()).front;
    standin::Reset();
    standin::SetProfile(profile);
    if (front == Front::kVersionFails)
        standin::SetVersionUnavailable();
    std::vector<SceneWindow> above = {kNotes};
    if (front == Front::kOk)
        above = {kSettingsProperties.ShowingOk()};
    else if (front == Front::kXOverPage)
        above = {kNotes, kSettingsSystem};
    const std::vector<HWND> scene = BuildScene(profile.screen, above);
    HWND bar = scene[scene.size() - 2];
    Press(std::get<2>(GetParam()), Image::kAsBuilt);

    const bool bottomBar = profile.topBar == standin::kTopBarStatusTray && front != Front::kVersionFails;
    const std::vector<standin::TraceEntry> tray = standin::TraceOf({standin::kTrayOpened});
    if (!bottomBar) {
        EXPECT_TRUE(TapsHitCloseButton(bar, profile.screen));
        // Only 6.5.3's top bar opens the tray, even when the version can't be read.
        EXPECT_EQ(profile.topBar == standin::kTopBarStatusTray, tray.size() == 1) << standin::Describe(tray);
        EXPECT_EQ(0, standin::CallCount("GetWindowLongW"));
    } else {
        const scene::Steps& expected = front == Front::kOk          ? kOkPressed
                                       : front == Front::kXOverPage ? kSmartMinimizedToPage
                                                                    : kSmartMinimizedToToday;
        EXPECT_TRUE(Agrees(scene::Match(expected, standin::Recorded(scene), {"front", "next", "today"})));
        EXPECT_TRUE(EveryCallCarries("GetWindowLongW", {(uintptr_t)scene[0], (uintptr_t)GWL_EXSTYLE}));
        EXPECT_EQ(1, standin::CallCount("GetWindowLongW"));
    }
    EXPECT_TRUE(standin::Exists(scene[0])) << "the window is never closed";
    // One query, with the record's size filled in.
    EXPECT_EQ(1, standin::CallCount("GetVersionExW"));
    EXPECT_TRUE(EveryCallCarries("GetVersionExW", {1, sizeof(OSVERSIONINFOW)}));
}

INSTANTIATE_TEST_SUITE_P(
    Releases, ReleaseTest,
    ::testing::Combine(::testing::ValuesIn(standin::Profiles()), ::testing::ValuesIn(kFronts),
                       ::testing::ValuesIn(Ways())),
    [](const ::testing::TestParamInfo<std::tuple<standin::ReleaseProfile, ReleaseCase, Way>>& info) {
        const std::string name = std::string(std::get<0>(info.param).name) + " " +
                                 std::get<1>(info.param).name;
        return CaseName(name.c_str(), std::get<2>(info.param));
    });

// Which system versions have the bottom bar, between and beyond the releases.
struct VersionCase {
    DWORD major, minor, build, platformId;
    bool bottomBar;
};

const VersionCase kVersions[] = {
    {5, 2, 22999, VER_PLATFORM_WIN32_CE, false}, {5, 2, 23000, VER_PLATFORM_WIN32_CE, true},
    {5, 2, 28230, VER_PLATFORM_WIN32_CE, true},  {5, 3, 0, VER_PLATFORM_WIN32_CE, true},
    {6, 0, 0, VER_PLATFORM_WIN32_CE, true},      {5, 1, 30000, VER_PLATFORM_WIN32_CE, false},
    {4, 21, 30000, VER_PLATFORM_WIN32_CE, false},
    {5, 2, 23090, 2, false},  // a desktop Windows (VER_PLATFORM_WIN32_NT)
};

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << c.major << "." << c.minor << "." << c.build << " platform " << c.platformId;
}

class VersionTest : public ::testing::TestWithParam<std::tuple<VersionCase, Way>> {};

TEST_P(VersionTest, BottomBarFromVersion5_2_23000On)
{
    const VersionCase& c = std::get<0>(GetParam());
    standin::Reset();
    standin::SetVersion(c.major, c.minor, c.build, c.platformId);
    bool bottomBar = false;
    if (std::get<1>(GetParam()) == Way::kHost) {
        bottomBar = ShellHasBottomBar();
    } else {
        ce::Runner device;
        uint32_t result = 0xFFFFFFFF;
        ASSERT_TRUE(LoadDeviceProgram(std::get<1>(GetParam()), kDeviceCloser, &device));
        ASSERT_TRUE(CallDeviceFunction(&device, "ShellHasBottomBar", {}, &result));
        bottomBar = (result & 0xFF) != 0;
    }
    EXPECT_EQ(c.bottomBar, bottomBar);
}

INSTANTIATE_TEST_SUITE_P(Versions, VersionTest,
                         ::testing::Combine(::testing::ValuesIn(kVersions), ::testing::ValuesIn(Ways())));

}  // namespace
