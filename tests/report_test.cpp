// report_test.cpp: DeviceReport on the host build and every device program:
// the scene it writes, read back by the scene reader, is the scene the
// device showed (on every release, with escapes, withheld titles, a Z order
// that loops, nothing in front); the wait it takes; what it leaves when the
// file can't be written; and the reader's own rows for the report's fields.
#include <gtest/gtest.h>

#include <algorithm>

#include "device_report.h"
#include "device_way.h"
#include "standin.h"

namespace {

using standin::Text;

const Text kModule = u"\\Program Files\\Tools\\DeviceReport.exe";
const Text kReport = u"\\Program Files\\Tools\\DeviceReport.txt";
const Text kKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys\\";
const Text kWithheld = u"(title withheld)";

int ReportOn(Way way, const char16_t* commandLine)
{
    standin::SetLegacyProgram(false);  // as the device program is built
    if (way == Way::kHost)
        return RunDeviceReport(commandLine);
    int status = -1;
    EXPECT_TRUE(RunDeviceProgram(way, kDeviceReport, commandLine, &status));
    return status;
}

std::string FileText(const Text& path)
{
    const std::vector<BYTE> bytes = standin::FileBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// A window as the report must give it back: an ordinary application's
// titles withheld.
SceneWindow Withheld(SceneWindow w)
{
    w.title = w.title.empty() ? w.title : kWithheld;
    w.childTitle = w.childTitle.empty() ? w.childTitle : kWithheld;
    return w;
}

const Text kSecretTitle = u"Letter to Hanako";
const Text kSecretChild = u"Meet at 7";
const Text kEscaped = u"a|b\r\nc%41 \x01\x7F\x85 \xD83D\xDE00 \xDC00z \xD800";

struct ReportCase {
    std::string name;
    scene::Scenario scene;
    std::vector<SceneWindow> expected;  // top first; the row's own order
    int front;                          // index in expected, or scene::kNoWindow
    bool loops = false;                 // expected in any order
};

void PrintTo(const ReportCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<ReportCase> ReportCases()
{
    const SceneWindow bar = kNavigationBar.At(0, 0, 240, 26).Styled(0x90000000, 0x00000008);
    const SceneWindow calculator = kCalculator.WithChild(u"42").At(0, 26, 240, 320).Styled(0x10CF0000, 0);
    const SceneWindow page = kSettingsSystem.ShowingOk().At(0, 26, 240, 294);
    const SceneWindow notes = kNotes.Hidden().At(-5, -5, 0, 0);
    const SceneWindow panel = kInputPanel.Hidden().At(0, 0, 0, 0).Styled(0x04000000, 0x08000004);
    const SceneWindow untitled = App("untitled", u"Contacts", u"").Hidden().At(0, 0, 240, 320);
    const SceneWindow today = kToday.At(0, 0, 240, 320).Styled(0x10000000, 0);
    const std::vector<SceneWindow> windows = {bar, calculator, page, notes, panel, untitled, today};
    std::vector<SceneWindow> expected = windows;
    expected[1] = Withheld(calculator);

    auto base = [&](const std::string& name) {
        scene::Scenario s = scene::Press(name, windows);
        s.registry = {{true, kKeys + u"40C1", u"", u"\"\\Windows\\calc.exe\""},
                      {true, kKeys + u"40C1", u"Name", u"Button 1"},
                      {true, kKeys + u"40C2", u"Name", u"Button 2"},
                      {false, kKeys + u"40C3", u"", u""}};
        return s;
    };
    std::vector<ReportCase> cases;
    for (const standin::ReleaseProfile& p : standin::Profiles())
        cases.push_back({p.name, base(p.name).Profile(p.name), expected, 1});

    ReportCase escapes = {"escapes", base("escapes"), expected, 1};
    const SceneWindow explorer = kExplorer.Titled(kEscaped).WithChild(kEscaped).At(1, 2, 3, 4);
    escapes.scene.windows.insert(escapes.scene.windows.begin() + 1, explorer);
    escapes.expected.insert(escapes.expected.begin() + 1, explorer);
    escapes.front = 1;
    escapes.scene.registry.push_back({true, kKeys + u"40C4%|", kEscaped, kEscaped});
    cases.push_back(escapes);

    ReportCase secret = {"withheld", base("withheld"), expected, 1};
    const SceneWindow diary = App("diary", u"Diary", kSecretTitle).WithChild(kSecretChild).At(0, 26, 240, 320);
    secret.scene.windows.insert(secret.scene.windows.begin() + 1, diary);
    secret.expected.insert(secret.expected.begin() + 1, Withheld(diary));
    cases.push_back(secret);

    cases.push_back({"nothing in front", base("nothing in front").Front(scene::kNoWindow), expected,
                     scene::kNoWindow});
    ReportCase silent = {"no version or platform type", base("silent").NoPlatform(), expected, 1};
    silent.scene.versionGiven = true;
    silent.scene.versionAvailable = false;
    cases.push_back(silent);
    ReportCase loop = {"a Z order that loops", base("loop"), expected, 1};
    loop.loops = true;
    cases.push_back(loop);
    return cases;
}

class ReportTest : public ::testing::TestWithParam<std::tuple<ReportCase, Way>> {};

TEST_P(ReportTest, GivesBackTheSceneTheDeviceShows)
{
    const ReportCase& c = std::get<0>(GetParam());
    standin::Reset();
    standin::Build(c.scene);
    const std::string registry = standin::DumpRegistry();
    standin::SetValue(kKeys + u"40C1", u"Flags", REG_DWORD, {1, 0, 0, 0});  // not a string: left out
    standin::LoopZOrder(c.loops);
    standin::SetModulePath(kModule);
    const standin::ReleaseProfile& release = standin::CurrentProfile();
    const standin::Screen screen = standin::GetScreen();

    ASSERT_EQ(0, ReportOn(std::get<1>(GetParam()), u""));
    EXPECT_EQ(std::vector<Text>{kReport}, standin::Files());
    EXPECT_EQ(0, standin::OpenFileCount());
    const std::string text = FileText(kReport);
    EXPECT_EQ(0u, text.find("# DeviceReport 1\r\n"));
    for (const Text& secret : {kSecretTitle, kSecretChild})
        EXPECT_EQ(std::string::npos, text.find(standin::Narrow(secret))) << text;

    scene::Scenario back;
    std::string why;
    ASSERT_TRUE(scene::ReadScene(text, &back, &why)) << why << "\n" << text;
    const bool versionFails = c.scene.versionGiven && !c.scene.versionAvailable;
    EXPECT_TRUE(back.versionGiven);
    EXPECT_EQ(!versionFails, back.versionAvailable);
    if (!versionFails) {
        EXPECT_EQ(release.major, back.major);
        EXPECT_EQ(release.minor, back.minor);
        EXPECT_EQ(release.build, back.build);
    }
    EXPECT_EQ(c.scene.platformAvailable, back.platformAvailable);
    if (c.scene.platformAvailable) {
        EXPECT_EQ(Text(release.platformType), back.platform);
    }
    EXPECT_EQ(screen.width, back.screen.width);
    EXPECT_EQ(screen.height, back.screen.height);
    EXPECT_EQ(screen.dpi, back.screen.dpi);

    std::vector<std::string> expected, got;
    auto describe = [](const SceneWindow& w) {
        const unsigned exStyle = w.exStyle | (w.showsOk ? 0x80000000u : 0);
        return standin::Narrow(w.className + u"|" + w.title + u"|" + w.childTitle) +
               (w.visible ? " visible" : " hidden") + (w.topmost ? " topmost" : "") +
               (w.showsOk ? " ok" : "") + " " + std::to_string(w.left) + "," + std::to_string(w.top) +
               "," + std::to_string(w.right) + "," + std::to_string(w.bottom) + " " +
               std::to_string(w.style) + " " + std::to_string(exStyle);
    };
    for (const SceneWindow& w : c.expected)
        expected.push_back(describe(w));
    for (const SceneWindow& w : back.windows) {
        EXPECT_TRUE(w.placed);
        got.push_back(describe(w));
    }
    if (c.loops) {
        std::sort(expected.begin(), expected.end());
        std::sort(got.begin(), got.end());
    } else {
        EXPECT_EQ(c.front, back.FrontIndex());
    }
    EXPECT_EQ(expected, got);

    standin::Reset();
    standin::Build(back);
    EXPECT_EQ(registry, standin::DumpRegistry());
    // The report names no release; its version makes the model that release again.
    EXPECT_STREQ(versionFails ? standin::DefaultProfile().name : release.name, standin::CurrentProfile().name);
}

INSTANTIATE_ON_EVERY_WAY(Reports, ReportTest, ReportCases());

// The wait: the command line's seconds, from 0 to 60; anything else, five.
struct WaitCase {
    const char16_t* commandLine;
    unsigned milliseconds;
};

void PrintTo(const WaitCase& c, std::ostream* os)
{
    *os << (c.commandLine == NULL ? "null" : "\"" + standin::Narrow(c.commandLine) + "\"");
}

const WaitCase kWaitCases[] = {
    {u"", 5000},     {NULL, 5000},  {u"10", 10000},   {u" 7 ", 7000}, {u"0", 0},
    {u"60", 60000},  {u"61", 5000}, {u"-3", 5000},    {u"1x", 5000},  {u"abc", 5000},
    {u"4294967297", 5000},          {u"1 2", 5000},
};

class WaitTest : public ::testing::TestWithParam<std::tuple<WaitCase, Way>> {};

TEST_P(WaitTest, WaitsThenBeepsThenWrites)
{
    const WaitCase& c = std::get<0>(GetParam());
    standin::Reset();
    standin::SetModulePath(kModule);
    EXPECT_EQ(0, ReportOn(std::get<1>(GetParam()), c.commandLine));
    const std::vector<standin::TraceEntry> t = standin::Trace();
    ASSERT_LE(3u, t.size());
    EXPECT_EQ(standin::kSleep, t[0].kind);
    EXPECT_EQ(c.milliseconds, t[0].a);
    EXPECT_EQ(standin::kBeep, t[1].kind);
    EXPECT_EQ(standin::kFileCreated, t[2].kind);
}

INSTANTIATE_ON_EVERY_WAY(Waits, WaitTest, kWaitCases);

// A report that can't be written: the error box names the report's path,
// and no report and no temporary file is left; an old report stays until a
// whole new one replaces it.
struct FailureCase {
    const char* name;
    std::function<void()> fault;
    bool written;
    std::string left;  // the report's text afterwards, or "" for no files at all
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::vector<BYTE> kOldReport = {'o', 'l', 'd'};

const FailureCase kFailureCases[] = {
    {"create fails", [] { standin::FailCreateFile(u""); }, false, ""},
    {"disk full at once", [] { standin::LimitFileSize(0); }, false, ""},
    {"disk full mid-report", [] { standin::LimitFileSize(700); }, false, ""},
    {"write falls short", [] { standin::LimitFileSize(700, true); }, false, ""},
    {"old report kept", [] { standin::SetFile(kReport, kOldReport); standin::LimitFileSize(100); },
     false, "old"},
    {"old report replaced", [] { standin::SetFile(kReport, kOldReport); }, true, "# DeviceReport 1"},
    {"no folder", [] { standin::SetModulePath(u"DeviceReport.exe"); }, false, ""},
    {"close fails", [] { standin::FailCloseFile(); }, false, ""},
    {"old report read-only", [] { standin::SetFile(kReport, kOldReport, true); }, false, "old"},
};

class FailureTest : public ::testing::TestWithParam<std::tuple<FailureCase, Way>> {};

TEST_P(FailureTest, LeavesNoHalfWrittenReport)
{
    const FailureCase& c = std::get<0>(GetParam());
    standin::Reset();
    // Over 1 KiB of report: the disk fills on its second write.
    standin::Build(scene::Press("", {kNavigationBar, kCalculator, kToday}));
    for (char16_t i = u'1'; i <= u'6'; i++)
        standin::SetStringValue(kKeys + u"40C" + i, u"Name", u"Button");
    standin::SetModulePath(kModule);
    c.fault();
    EXPECT_EQ(c.written ? 0 : 1, ReportOn(std::get<1>(GetParam()), u""));
    EXPECT_EQ(0, standin::OpenFileCount());
    EXPECT_EQ(c.left.empty() ? 0u : 1u, standin::Files().size());
    if (!c.left.empty()) {
        EXPECT_EQ(0u, FileText(kReport).find(c.left));
    }
    const std::vector<standin::TraceEntry> boxes = standin::TraceOf({standin::kMessageBox});
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ(c.written ? (uintptr_t)MB_ICONASTERISK : (uintptr_t)MB_ICONERROR, boxes[0].a);
    const bool located = std::string(c.name) != "no folder";
    EXPECT_EQ(located, boxes[0].text2.find(kReport) != Text::npos) << standin::Narrow(boxes[0].text2);
}

INSTANTIATE_ON_EVERY_WAY(Failures, FailureTest, kFailureCases);

// The reader: the report's fields, well formed or not, and its escapes.
TEST(SceneReader, ReadsTheReportsFieldsAndRefusesMalformedOnes)
{
    const struct {
        const char* line;
        bool valid;
    } cases[] = {
        {"window C|T||visible|closes|rect=-1,2,30,-40|style=0xAbC|exstyle=0x80000008", true},
        {"window C|T||visible|closes|exstyle=0x0|ok|hung-5|style=0x0|rect=0,0,0,0", true},
        {"window C|T||visible|closes|rect=1,2,3", false},
        {"window C|T||visible|closes|rect=1,2,3,4,5", false},
        {"window C|T||visible|closes|rect=a,2,3,4", false},
        {"window C|T||visible|closes|rect=1,2,3,4294967296", false},
        {"window C|T||visible|closes|rect=1,2,3,4|rect=1,2,3,4", false},
        {"window C|T||visible|closes|style=0x1|style=0x1", false},
        {"window C|T||visible|closes|style=12", false},
        {"window C|T||visible|closes|style=0x", false},
        {"window C|T||visible|closes|exstyle=0x123456789", false},
        {"window C|T||visible|closes|ok|exstyle=0x80000000|ok", false},
        {"window C|T||visible|closes|size=3", false},
        {"version 5.2.19202", true},
        {"version -", true},
        {"version 5.2", false},
        {"version 5.x.1", false},
        {"version", false},
    };
    for (const auto& c : cases) {
        scene::Scenario s;
        std::string why;
        EXPECT_EQ(c.valid, scene::ReadScene(c.line, &s, &why)) << c.line << ": " << why;
    }
    scene::Scenario s;
    std::string why;
    ASSERT_TRUE(scene::ReadScene("window C|T||visible|closes|rect=-1,2,30,-40|exstyle=0x80000008", &s, &why));
    EXPECT_EQ((std::vector<int>{-1, 2, 30, -40}),
              (std::vector<int>{s.windows[0].left, s.windows[0].top, s.windows[0].right, s.windows[0].bottom}));
    EXPECT_TRUE(s.windows[0].showsOk && s.windows[0].topmost);

    const struct {
        const char* field;
        Text text;
    } escapes[] = {
        {"%7C%7c", u"||"}, {"%0D%0A", u"\r\n"}, {"%25", u"%"}, {"%uD83D%uDE00", u"\xD83D\xDE00"},
        {"%uDC00", u"\xDC00"}, {"100%", u"100%"}, {"%zz", u"%zz"}, {"%u12", u"%u12"},
        {"%4", u"%4"}, {"%%41", u"%A"}, {"\xE3\x83\xA1", u"\x30E1"},
        // A surrogate written as UTF-8, which has no form for one.
        {"\xED\xA0\xBD", u"\xFFFD"},
    };
    for (const auto& e : escapes)
        EXPECT_EQ(e.text, scene::Unescape(e.field)) << e.field;
}

}  // namespace
