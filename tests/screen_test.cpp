// screen_test.cpp: the navigation-bar tap on every screen a Pocket PC has,
// for the program as built (high-resolution aware) and for one the system
// runs through its legacy layer, where the high-dpi taps must miss.
#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <iterator>

#include "close_command.h"
#include "device_way.h"
#include "host_scene.h"

namespace {

struct ScreenCase {
    const char* name;
    host::Screen screen;
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
        host::SetLegacyProgram(image == Image::kWithoutResource);
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
::testing::AssertionResult TapsHitCloseButton(HWND bar, const host::Screen& s)
{
    const int barHeight = 26 * s.dpi / 96;
    const int buttonLeft = s.width - 24 * s.dpi / 96;
    const std::vector<host::TraceEntry> sent = host::TraceOf({host::kMessage});
    const UINT kinds[] = {WM_LBUTTONDOWN, WM_LBUTTONUP};
    if (sent.size() != 2)
        return ::testing::AssertionFailure() << "sent " << host::Describe(sent);
    for (size_t i = 0; i < 2; i++) {
        const int x = LOWORD(sent[i].c), y = HIWORD(sent[i].c);
        if (sent[i].window != bar || sent[i].a != kinds[i])
            return ::testing::AssertionFailure() << "sent " << host::Describe(sent);
        if (x < buttonLeft || x >= s.width || y < 0 || y >= barHeight)
            return ::testing::AssertionFailure()
                   << "tap (" << x << ", " << y << ") is outside the close button x " << buttonLeft
                   << ".." << s.width - 1 << ", y 0.." << barHeight - 1;
    }
    return ::testing::AssertionSuccess();
}

class ScreenTest : public ::testing::TestWithParam<std::tuple<ScreenCase, Way>> {
protected:
    HWND BuildScene(const host::Screen& s)
    {
        host::Reset();
        host::SetScreen(s);
        HWND notes = host::AddWindow(u"Notes", u"Notes");
        host::WindowSpec bar;
        bar.className = u"HHTaskBar";
        bar.rect = RECT{0, 0, s.width, 26 * s.dpi / 96};
        bar.onClose = host::kIgnoresClose;
        HWND handle = host::AddWindow(bar);
        host::AddWindow(u"DesktopExplorerWindow", u"");
        host::SetForeground(notes);
        return handle;
    }
};

TEST_P(ScreenTest, AwareProgramTapsTheCloseButton)
{
    const ScreenCase& c = std::get<0>(GetParam());
    HWND bar = BuildScene(c.screen);
    Press(std::get<1>(GetParam()), Image::kAsBuilt);
    EXPECT_TRUE(TapsHitCloseButton(bar, c.screen));
}

TEST_P(ScreenTest, LegacyProgramMissesOnHighDpi)
{
    const ScreenCase& c = std::get<0>(GetParam());
    HWND bar = BuildScene(c.screen);
    Press(std::get<1>(GetParam()), Image::kWithoutResource);
    EXPECT_EQ(c.legacyHits, (bool)TapsHitCloseButton(bar, c.screen));
    EXPECT_EQ(2u, host::TraceOf({host::kMessage}).size());
}

INSTANTIATE_TEST_SUITE_P(
    Screens, ScreenTest, ::testing::Combine(::testing::ValuesIn(kScreens), ::testing::ValuesIn(Ways())),
    [](const ::testing::TestParamInfo<std::tuple<ScreenCase, Way>>& info) {
        return CaseName(std::get<0>(info.param).name, std::get<1>(info.param));
    });

}  // namespace
