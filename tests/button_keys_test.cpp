// button_keys_test.cpp: loading the button table from the registry and
// registering the closer's command on one button, including every way the
// registration must refuse to write.
#include <gtest/gtest.h>

#include "button_keys.h"
#include "device_way.h"
#include "standin.h"
#include "trace_check.h"

namespace {

using standin::Text;
using scene::WithText;

const Text kKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys";

void AddButton(const Text& key, const Text& name)
{
    standin::SetStringValue(kKeys + u"\\" + key, u"Name", name);
}

// ---- LoadButtonKeys -----------------------------------------------------------

TEST(LoadButtonKeys, KeepsTheRegistryOrderAndStopsAtTenRows)
{
    standin::Reset();
    // Created out of alphabetical order: rows must follow the registry, not sort.
    const char16_t* const keys[] = {u"40C6", u"40C1", u"40C3", u"40C2", u"40C5", u"40C4",
                                    u"40C9", u"40C8", u"40C7", u"40CB", u"40CA", u"40CC"};
    for (int i = 0; i < 12; i++)
        AddButton(keys[i], Text(u"Button ") + keys[i]);

    ASSERT_EQ(10, LoadButtonKeys());
    for (int i = 0; i < 10; i++) {
        EXPECT_EQ(Text(keys[i]), Text(ButtonKeyTable[i].keyName)) << i;
        EXPECT_EQ(Text(u"Button ") + keys[i], Text(ButtonKeyTable[i].displayName)) << i;
    }
    EXPECT_EQ(0, standin::OpenKeyCount());
}

TEST(LoadButtonKeys, KeepsARowWhoseNameCannotBeRead)
{
    standin::Reset();
    AddButton(u"40C1", u"Calendar");
    standin::AddKey(kKeys + u"\\40C2");  // no Name
    AddButton(u"40C3", u"Contacts");
    standin::FailOpen(kKeys + u"\\40C3");

    ASSERT_EQ(3, LoadButtonKeys());
    EXPECT_EQ(Text(u"Calendar"), Text(ButtonKeyTable[0].displayName));
    EXPECT_EQ(Text(u"40C2"), Text(ButtonKeyTable[1].keyName));
    EXPECT_EQ(Text(u""), Text(ButtonKeyTable[1].displayName));
    EXPECT_EQ(Text(u"40C3"), Text(ButtonKeyTable[2].keyName));
    EXPECT_EQ(Text(u""), Text(ButtonKeyTable[2].displayName));
    EXPECT_EQ(0, standin::OpenKeyCount());
}

TEST(LoadButtonKeys, MissingOrUnreadableKeyListGivesAnEmptyTable)
{
    standin::Reset();
    EXPECT_EQ(0, LoadButtonKeys());
    EXPECT_EQ(0, ButtonKeyTable[0].keyName[0]);

    standin::Reset();
    AddButton(u"40C1", u"Calendar");
    standin::FailOpen(kKeys);
    EXPECT_EQ(0, LoadButtonKeys());
    EXPECT_EQ(0, ButtonKeyTable[0].keyName[0]);
    EXPECT_EQ(0, standin::OpenKeyCount());
}

TEST(LoadButtonKeys, ZeroesRowsLeftFromAnEarlierLoad)
{
    standin::Reset();
    for (int i = 0; i < 5; i++)
        AddButton(Text(u"Key") + char16_t(u'0' + i), u"Name");
    ASSERT_EQ(5, LoadButtonKeys());
    standin::Reset();
    AddButton(u"Only", u"One");
    ASSERT_EQ(1, LoadButtonKeys());
    for (int i = 1; i < kButtonKeyRows; i++) {
        EXPECT_EQ(0, ButtonKeyTable[i].keyName[0]) << i;
        EXPECT_EQ(0, ButtonKeyTable[i].displayName[0]) << i;
    }
}

// Whatever bytes the Name value holds, the display name ends up terminated
// inside its field.
struct NameCase {
    const char* what;
    DWORD type;
    std::vector<BYTE> bytes;
    Text expected;
};

TEST(LoadButtonKeys, DisplayNameIsCutAndTerminated)
{
    const Text longName(300, u'n');
    const std::vector<BYTE> odd = {'A', 0, 'B', 0, 'C'};
    const NameCase cases[] = {
        {"plain", REG_SZ, standin::StringBytes(u"Record", true), u"Record"},
        {"no terminator", REG_SZ, standin::StringBytes(u"Record", false), u"Record"},
        {"odd byte count", REG_SZ, odd, u"AB"},
        {"empty value", REG_SZ, {}, u""},
        {"longer than the field", REG_SZ, standin::StringBytes(longName, true), Text(259, u'n')},
        {"longer, unterminated", REG_SZ, standin::StringBytes(longName, false), Text(259, u'n')},
        {"type not looked at", REG_BINARY, standin::StringBytes(u"Bin", true), u"Bin"},
        {"larger than can be read", REG_SZ, standin::StringBytes(Text(5000, u'x'), true), u""},
        // The scratch holds 1,023 characters and a zero of the stack's 2 KiB.
        {"longest readable", REG_SZ, standin::StringBytes(Text(1022, u'r'), true), Text(259, u'r')},
        {"longest readable, unterminated", REG_SZ, standin::StringBytes(Text(1023, u'r'), false),
         Text(259, u'r')},
        {"one past the readable", REG_SZ, standin::StringBytes(Text(1023, u'r'), true), u""},
    };
    for (const NameCase& c : cases) {
        standin::Reset();
        standin::SetValue(kKeys + u"\\40C1", u"Name", c.type, c.bytes);
        memset(ButtonKeyTable, 0x41, sizeof(ButtonKeyTable));
        ASSERT_EQ(1, LoadButtonKeys()) << c.what;
        EXPECT_EQ(c.expected, Text(ButtonKeyTable[0].displayName)) << c.what;
        EXPECT_EQ(0, standin::OpenKeyCount()) << c.what;
    }
}

// ---- RegisterButton -------------------------------------------------------------

HWND const kOwner = (HWND)0x7777;
const Text kInWindows = u"\"\\Windows\\ForegroundDismisser.exe\"";

// A fault the device shows while the button's key is written.
enum Fault { kNoFault, kOpenFails, kEveryWriteFails, kUnnamedWriteFails };

struct RegisterCase {
    const char* what;
    Text modulePath;
    const char16_t* options;
    int row;
    Text command;  // the command the row makes; empty when it can make none
    Fault fault = kNoFault;
};

const RegisterCase kRegisterCases[] = {
    {"no option", u"\\Windows\\KeyAssigner.exe", u"", 0, kInWindows},
    {"root folder with /n", u"\\KeyAssigner.exe", u" /n", 0, u"\"\\ForegroundDismisser.exe\" /n"},
    {"/ns", u"\\Program Files\\Tools\\KeyAssigner.exe", u" /ns", 1,
     u"\"\\Program Files\\Tools\\ForegroundDismisser.exe\" /ns"},
    {"renamed tool file", u"\\Storage Card\\Assign.exe", u"", 0,
     u"\"\\Storage Card\\ForegroundDismisser.exe\""},
    {"short path", u"\\a.exe", u"", 0, u"\"\\ForegroundDismisser.exe\""},
    {"japanese folder", u"\\ツール\\KeyAssigner.exe", u" /n", 2,
     u"\"\\ツール\\ForegroundDismisser.exe\" /n"},
    {"last row", u"\\KeyAssigner.exe", u"", 2, u"\"\\ForegroundDismisser.exe\""},
    // Longest folder that still fits: 1 + 231 + 24 + 3 characters and the zero.
    {"command just fits", u"\\" + Text(229, u'f') + u"\\KeyAssigner.exe", u" /n", 0,
     u"\"\\" + Text(229, u'f') + u"\\ForegroundDismisser.exe\" /n"},
    {"command one too long", u"\\" + Text(230, u'f') + u"\\KeyAssigner.exe", u" /n", 0, u""},
    {"module path cut by its buffer", u"\\" + Text(300, u'f') + u"\\KeyAssigner.exe", u"", 0,
     u""},
    {"no folder at all", u"KeyAssigner.exe", u"", 0, u""},
    {"empty module path", u"", u"", 0, u""},
    {"nothing selected", u"\\KeyAssigner.exe", u"", CB_ERR, u""},
    {"row past the loaded ones", u"\\KeyAssigner.exe", u"", 3, u""},
    {"row past the table", u"\\KeyAssigner.exe", u"", kButtonKeyRows, u""},
    {"far past the table", u"\\KeyAssigner.exe", u"", 100000, u""},
    // Any failure among opening the key and its two writes is an error to the
    // user: a button whose shell value was not written still starts the old
    // program. Nothing but what did get written changes.
    {"key not opened", u"\\Windows\\KeyAssigner.exe", u"", 1, kInWindows, kOpenFails},
    {"Default not written", u"\\Windows\\KeyAssigner.exe", u"", 1, kInWindows, kEveryWriteFails},
    {"unnamed value not written", u"\\Windows\\KeyAssigner.exe", u"", 1, kInWindows,
     kUnnamedWriteFails},
};

// Test names and failure messages show the case by its description.
void PrintTo(const RegisterCase& c, std::ostream* os)
{
    *os << c.what;
}

const Text kThreeButtons[] = {u"40C1", u"40C2", u"40C3"};

// What a registration shows, its owner as window 0: Default first, then the
// unnamed value the shell starts, each the whole command with its zero, as
// many of them as were written; the beep and the success box once both are,
// else the error box.
scene::Steps Registration(const Text& key, const Text& command, size_t written)
{
    const char16_t* const names[] = {u"Default", u""};
    scene::Steps out;
    for (size_t i = 0; i < written; i++)
        out.push_back(WithText(scene::kRegSetValue, scene::kNoWindow, REG_SZ, 0, key, names[i],
                               standin::StringBytes(command, true)));
    if (written < 2) {
        out.push_back(WithText(scene::kMessageBox, 0, MB_ICONERROR, 0, u"エラー", u"登録に失敗しました。"));
        return out;
    }
    out.push_back(WithText(scene::kBeep, scene::kNoWindow, MB_ICONASTERISK, 0, u"", u""));
    out.push_back(WithText(scene::kMessageBox, 0, MB_OK, 0, u"登録成功",
                           u"レジストリに登録を行ないました。解除（ほかのアプリケーションの割り当て）は、"
                           u"本体側の「設定」-「ボタン」で行なってください。"));
    return out;
}

// KeyAssigner's table and registration, from the host build or from inside
// the device program: its own LoadButtonKeys, LaunchOptions and
// RegisterButton, on the same stand-in device.
class Registrar {
public:
    explicit Registrar(Way way) : way_(way) {}

    ::testing::AssertionResult LoadThreeButtons()
    {
        AddButton(kThreeButtons[0], u"Calendar");
        AddButton(kThreeButtons[1], u"Contacts");
        AddButton(kThreeButtons[2], u"Inbox");
        uint32_t rows = (uint32_t)-1;
        if (way_ == Way::kHost) {
            rows = (uint32_t)LoadButtonKeys();
        } else {
            ::testing::AssertionResult loaded = LoadDeviceProgram(way_, kDeviceAssigner, &device_);
            if (!loaded)
                return loaded;
            loaded = CallDeviceFunction(&device_, "LoadButtonKeys", {}, &rows);
            if (!loaded)
                return loaded;
        }
        if (rows != 3)
            return ::testing::AssertionFailure() << rows << " rows loaded";
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult Register(HWND owner, int row, const char16_t* options)
    {
        if (way_ == Way::kHost) {
            wcscpy(LaunchOptions, options);
            RegisterButton(owner, row);
            return ::testing::AssertionSuccess();
        }
        if (!device_.WriteText("LaunchOptions", options))
            return ::testing::AssertionFailure() << device_.Error();
        uint32_t ignored;
        return CallDeviceFunction(&device_, "RegisterButton",
                                  {ce::GuestWindow((uintptr_t)owner), (uint32_t)row}, &ignored);
    }

private:
    Way way_;
    ce::Runner device_;
};

class RegisterTest : public ::testing::TestWithParam<std::tuple<RegisterCase, Way>> {};

TEST_P(RegisterTest, WritesTheWholeCommandOrNothing)
{
    const RegisterCase& c = std::get<0>(GetParam());
    standin::Reset();
    Registrar registrar(std::get<1>(GetParam()));
    ASSERT_TRUE(registrar.LoadThreeButtons());
    standin::SetModulePath(c.modulePath);
    const Text button = c.command.empty() ? u"" : kThreeButtons[c.row];
    const Text key = kKeys + u"\\" + button;
    if (c.fault == kOpenFails)
        standin::FailOpen(key);
    standin::FailSetValue(c.fault == kEveryWriteFails);
    if (c.fault == kUnnamedWriteFails)
        standin::FailSetValueNamed(u"");
    const std::string before = standin::DumpRegistry();
    standin::ClearTrace();

    ASSERT_TRUE(registrar.Register(kOwner, c.row, c.options));

    const size_t written = c.command.empty() || c.fault == kOpenFails || c.fault == kEveryWriteFails
                               ? 0
                               : c.fault == kUnnamedWriteFails ? 1 : 2;
    EXPECT_TRUE(Agrees(scene::Match(Registration(key, c.command, written),
                                    standin::Recorded({kOwner}), {"owner"})));
    if (written == 0) {
        EXPECT_EQ(before, standin::DumpRegistry());
    } else {
        EXPECT_EQ(standin::StringBytes(c.command, true), standin::GetValue(key, u"Default").bytes);
        EXPECT_EQ(written == 2 ? c.command : Text(), standin::ButtonCommand(button));
    }
    EXPECT_EQ(0, standin::OpenKeyCount());
}

INSTANTIATE_ON_EVERY_WAY(Commands, RegisterTest, kRegisterCases);

// A value already there is replaced, and nothing else in the key changes.
TEST(RegisterButton, ReplacesAnEarlierCommand)
{
    standin::Reset();
    AddButton(u"40C1", u"Calendar");
    standin::SetStringValue(kKeys + u"\\40C1", u"", u"\"\\Windows\\calendar.exe\"");
    standin::SetStringValue(kKeys + u"\\40C1", u"Icon", u"calendar.exe,0");
    ASSERT_EQ(1, LoadButtonKeys());
    standin::SetModulePath(u"\\Tools\\KeyAssigner.exe");
    LaunchOptions[0] = 0;

    RegisterButton(kOwner, 0);

    EXPECT_EQ(standin::StringBytes(u"\"\\Tools\\ForegroundDismisser.exe\"", true),
              standin::GetValue(kKeys + u"\\40C1", u"Default").bytes);
    EXPECT_EQ(Text(u"\"\\Tools\\ForegroundDismisser.exe\""), standin::ButtonCommand(u"40C1"));
    EXPECT_EQ(standin::StringBytes(u"calendar.exe,0", true),
              standin::GetValue(kKeys + u"\\40C1", u"Icon").bytes);
    EXPECT_EQ(standin::StringBytes(u"Calendar", true), standin::GetValue(kKeys + u"\\40C1", u"Name").bytes);
}

}  // namespace
