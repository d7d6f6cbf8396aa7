// assign_dialog_test.cpp: the assignment dialog driven as a user would, from
// the program's entry point, with the registry checked afterwards.
#include <gtest/gtest.h>

#include <aygshell.h>

#include "assign_dialog.h"
#include "button_keys.h"
#include "device_way.h"
#include "standin.h"
#include "resource.h"
#include "trace_check.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int);

namespace {

using standin::Text;
using scene::WithText;

const Text kKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys";

// The controls of dialog 101 in template order; groups start at the statics
// that carry WS_GROUP, so the three radio buttons share the one opened by the
// credits line.
const std::vector<standin::ControlSpec> kTemplate = {
    {IDOK, standin::kPushButton},
    {IDCANCEL, standin::kPushButton},
    {IDC_STATIC_NONE, standin::kStatic},
    {IDC_STATIC_NONE, standin::kStatic, true},
    {IDC_STATIC_NONE, standin::kStatic, true},
    {IDC_STATIC_NONE, standin::kStatic, true},
    {IDC_OPTION_NONE, standin::kRadioButton},
    {IDC_OPTION_N, standin::kRadioButton},
    {IDC_OPTION_NS, standin::kRadioButton},
    {IDC_STATIC_NONE, standin::kGroupBox},
    {IDC_BUTTON_LIST, standin::kComboBox},
    {IDC_STATIC_NONE, standin::kStatic, true},
};

void SetUpButtons(int buttons)
{
    standin::Reset();
    standin::AddDialogResource(IDD_ASSIGN, kTemplate);
    standin::SetModulePath(u"\\Program Files\\FD\\KeyAssigner.exe");
    standin::AddKey(kKeys);
    for (int i = 0; i < buttons; i++) {
        Text key = Text(u"40C") + char16_t(u'1' + i);
        standin::SetStringValue(kKeys + u"\\" + key, u"Name", Text(u"Button ") + char16_t(u'1' + i));
    }
}

// Starts KeyAssigner: the host build's WinMain with the instance handle the
// device's loader would pass, or the device program itself. Given actions,
// the user does them at the dialog, which *dialog is told.
int RunProgram(Way way = Way::kHost, std::function<void(HWND)> actions = nullptr,
               HWND* dialog = nullptr)
{
    if (actions) {
        standin::SetDialogScript([=](HWND d) {
            if (dialog != nullptr)
                *dialog = d;
            actions(d);
        });
    }
    if (way == Way::kHost) {
        WCHAR commandLine[] = u"";
        return WinMain(standin::ProgramInstance(), NULL, commandLine, 0);
    }
    int status = -1;
    EXPECT_TRUE(RunDeviceProgram(way, kDeviceAssigner, u"", &status));
    return status;
}

// One of the values a registration writes, as stored.
Text ValueOf(int button, const Text& name)
{
    standin::RegistryValue v = standin::GetValue(kKeys + u"\\40C" + char16_t(u'1' + button), name);
    if (!v.exists)
        return u"<none>";
    if (v.type != REG_SZ)
        return u"<not REG_SZ>";
    // The stored string must carry its terminating zero, and only one.
    Text out;
    for (size_t i = 0; i + 1 < v.bytes.size(); i += 2)
        out += (char16_t)(v.bytes[i] | (v.bytes[i + 1] << 8));
    if (v.bytes.size() % 2 != 0 || out.empty() || out.back() != 0)
        return u"<unterminated>";
    out.pop_back();
    return out;
}

// The button's command: Default, which must agree with the unnamed value
// that the shell starts.
Text DefaultOf(int button)
{
    const Text named = ValueOf(button, u"Default");
    const Text unnamed = ValueOf(button, u"");
    if (named != unnamed)
        return u"<Default " + named + u", unnamed " + unnamed + u">";
    return named;
}

// The stand-in's record, less the messages to the dialog's controls: the
// dialog's own set-up and end, the registry writes, the beep and the boxes,
// with the dialog as window 0.
::testing::AssertionResult DialogDid(const scene::Steps& expected, HWND dialog)
{
    scene::Steps recorded;
    for (const scene::Step& step : standin::Recorded({dialog})) {
        if (step.kind != scene::kControlMessage)
            recorded.push_back(step);
    }
    return Agrees(scene::Match(expected, recorded, {"dialog"}));
}

// An entry without text or bytes, whose empty text and bytes are compared too.
scene::Step Exact(scene::Kind kind, int window, uintptr_t a, uintptr_t b = 0)
{
    return WithText(kind, window, a, b, u"", u"");
}

// Made full screen with an empty menu bar, every other field of the bar's
// record zero; ended with 1 whatever the user did.
const scene::Steps kOpened = {Exact(scene::kInitDialog, 0, SHIDIM_FLAGS, SHIDIF_SIZEDLGFULLSCREEN),
                              Exact(scene::kMenuBar, 0, 0, SHCMBF_EMPTYBAR)};
const scene::Steps kEnded = {Exact(scene::kEndDialog, 0, 1)};
// Nothing registered and no box.
const scene::Steps kLeftAlone = scene::Join({kOpened, kEnded});
// The error box, owned by the dialog, shown before it ends.
const scene::Steps kRefused = scene::Join(
    {kOpened, {WithText(scene::kMessageBox, 0, MB_ICONERROR, 0, u"エラー", u"登録に失敗しました。")},
     kEnded});

// A registration from the dialog: both values of the button's key written
// with the command and its zero, the beep and the success box, then the end.
scene::Steps Registered(const Text& key, const Text& command)
{
    scene::Steps out = kOpened;
    for (const char16_t* name : {u"Default", u""})
        out.push_back(WithText(scene::kRegSetValue, scene::kNoWindow, REG_SZ, 0, key, name,
                               standin::StringBytes(command, true)));
    out.push_back(Exact(scene::kBeep, scene::kNoWindow, MB_ICONASTERISK));
    out.push_back(WithText(scene::kMessageBox, 0, MB_OK, 0, u"登録成功",
                           u"レジストリに登録を行ないました。解除（ほかのアプリケーションの割り当て）は、"
                           u"本体側の「設定」-「ボタン」で行なってください。"));
    return scene::Join({out, kEnded});
}

class OpenTest : public ::testing::TestWithParam<Way> {};

TEST_P(OpenTest, OpensFullScreenWithTheButtonsListedAndNoOption)
{
    SetUpButtons(3);
    std::vector<Text> items;
    HWND opened = NULL;
    EXPECT_EQ(0, RunProgram(GetParam(), [&](HWND dialog) {
        EXPECT_TRUE(standin::IsChecked(dialog, IDC_OPTION_NONE));
        EXPECT_FALSE(standin::IsChecked(dialog, IDC_OPTION_N));
        items = standin::ComboItems(dialog, IDC_BUTTON_LIST);
        EXPECT_EQ(0, standin::ComboSelection(dialog, IDC_BUTTON_LIST));
        standin::Click(dialog, IDCANCEL);
    }, &opened));

    EXPECT_EQ((std::vector<Text>{u"Button 1", u"Button 2", u"Button 3"}), items);
    EXPECT_TRUE(DialogDid(kLeftAlone, opened));

    // Made with no owner and parameter 0; radio button 1000 is checked by a
    // BM_SETCHECK sent to the window GetDlgItem finds for it.
    EXPECT_TRUE(EveryCallCarries("DialogBoxIndirectParamW", {1, 0, 1, 0}));
    int checks = 0;
    const std::vector<standin::Call>& calls = standin::Calls();
    for (size_t i = 0; i < calls.size(); i++) {
        const standin::Call& c = calls[i];
        if ((c.name != "SendMessageW" || c.args[1] != BM_SETCHECK) &&
            (c.name != "SendDlgItemMessageW" || c.args[2] != BM_SETCHECK))
            continue;
        checks++;
        EXPECT_TRUE(c.name == "SendMessageW" &&
                    CallMatches(c, {kAnyArg, BM_SETCHECK, BST_CHECKED, 0}))
            << DescribeCall(c);
        EXPECT_TRUE(i > 0 && calls[i - 1].name == "GetDlgItem" &&
                    CallMatches(calls[i - 1], {kAnyArg, IDC_OPTION_NONE}))
            << "sent to a window GetDlgItem did not find just before";
    }
    EXPECT_EQ(1, checks);
}

INSTANTIATE_TEST_SUITE_P(EveryWay, OpenTest, ::testing::ValuesIn(Ways()),
                         ::testing::PrintToStringParamName());

// The template the host tables stand in for is the one the program carries:
// the device program's own dialog resource, read by the runner, has the
// same controls in the same order and groups.
TEST(AssignDialog, HostTemplateMatchesTheProgramsOwn)
{
    SetUpButtons(1);
    std::vector<standin::ControlSpec> controls;
    RunProgram(Way::kArm, [&](HWND dialog) {
        controls = standin::DialogControls(dialog);
        standin::Click(dialog, IDCANCEL);
    });
    ASSERT_EQ(kTemplate.size(), controls.size());
    for (size_t i = 0; i < controls.size(); i++) {
        EXPECT_EQ(kTemplate[i].id, controls[i].id) << i;
        EXPECT_EQ(kTemplate[i].kind, controls[i].kind) << i;
        EXPECT_EQ(kTemplate[i].group, controls[i].group) << i;
    }
}

// CE finds no resource in a NULL module: a program that passed NULL instead
// of its instance, as desktop Win32 allows, would end without a dialog.
TEST(AssignDialog, TemplateIsFoundThroughTheInstanceOnly)
{
    SetUpButtons(1);
    EXPECT_EQ(NULL, FindResourceW(NULL, MAKEINTRESOURCE(IDD_ASSIGN), RT_DIALOG));
    EXPECT_NE(nullptr,
              FindResourceW(standin::ProgramInstance(), MAKEINTRESOURCE(IDD_ASSIGN), RT_DIALOG));

    standin::SetDialogScript([](HWND d) { standin::Click(d, IDCANCEL); });
    WCHAR commandLine[] = u"";
    EXPECT_EQ(0, WinMain(NULL, NULL, commandLine, 0));
    EXPECT_EQ(0, standin::CallCount("DialogBoxIndirectParamW"));
    EXPECT_EQ(0, RunProgram(Way::kHost));
    EXPECT_EQ(1, standin::CallCount("DialogBoxIndirectParamW"));

    // The device program given no instance finds no template either.
    SetUpButtons(1);
    ce::Runner device;
    ASSERT_TRUE(LoadDeviceProgram(Way::kArm, kDeviceAssigner, &device));
    uint32_t status = 1;
    EXPECT_TRUE(CallDeviceFunction(&device, "WinMain", {0, 0, 0, 0}, &status));
    EXPECT_EQ(0u, status);
    EXPECT_EQ(0, standin::CallCount("DialogBoxIndirectParamW"));
    EXPECT_EQ(0, RunProgram(Way::kArm, [](HWND d) { standin::Click(d, IDCANCEL); }));
    EXPECT_EQ(1, standin::CallCount("DialogBoxIndirectParamW"));
}

// What the user does, and the commands of the buttons after.
struct Session {
    const char* what;
    std::function<void(HWND)> actions;
    Text expected[3];
    bool refused;     // the error box: nothing was registered on OK
    int buttons = 3;  // in the list
};

const Text kNone = u"<none>";
const Text kCommand = u"\"\\Program Files\\FD\\ForegroundDismisser.exe\"";

class SessionTest : public ::testing::TestWithParam<Way> {};

TEST_P(SessionTest, RegistersTheChosenButtonWithTheChosenOption)
{
    const Session sessions[] = {
        {"OK at once", [](HWND d) { standin::Click(d, IDOK); }, {kCommand, kNone, kNone}, false},
        {"/n on the second button",
         [](HWND d) {
             standin::SelectItem(d, IDC_BUTTON_LIST, 1);
             standin::Click(d, IDC_OPTION_N);
             standin::Click(d, IDOK);
         },
         {kNone, kCommand + u" /n", kNone}, false},
        {"/ns on the third button",
         [](HWND d) {
             standin::Click(d, IDC_OPTION_NS);
             standin::SelectItem(d, IDC_BUTTON_LIST, 2);
             standin::Click(d, IDOK);
         },
         {kNone, kNone, kCommand + u" /ns"}, false},
        {"/ns then none",
         [](HWND d) {
             standin::Click(d, IDC_OPTION_NS);
             standin::Click(d, IDC_OPTION_NONE);
             standin::Click(d, IDOK);
         },
         {kCommand, kNone, kNone}, false},
        {"cancel after choosing",
         [](HWND d) {
             standin::Click(d, IDC_OPTION_N);
             standin::SelectItem(d, IDC_BUTTON_LIST, 1);
             standin::Click(d, IDCANCEL);
         },
         {kNone, kNone, kNone}, false},
        {"close box", [](HWND d) { standin::CloseDialog(d); }, {kNone, kNone, kNone}, false},
        {"nothing selected",
         [](HWND d) {
             standin::SelectItem(d, IDC_BUTTON_LIST, CB_ERR);
             standin::Click(d, IDOK);
         },
         {kNone, kNone, kNone}, true},
        // The box is shown while the dialog is still open, then it ends.
        {"OK with one button", [](HWND d) { standin::Click(d, IDOK); }, {kCommand, kNone, kNone},
         false, 1},
        {"OK with no button listed",
         [](HWND d) {
             EXPECT_TRUE(standin::ComboItems(d, IDC_BUTTON_LIST).empty());
             standin::Click(d, IDOK);
         },
         {kNone, kNone, kNone}, true, 0},
    };
    for (const Session& s : sessions) {
        SetUpButtons(s.buttons);
        HWND dialog = NULL;
        EXPECT_EQ(0, RunProgram(GetParam(), s.actions, &dialog)) << s.what;
        // A button that holds a command now was registered from the dialog.
        scene::Steps effects = s.refused ? kRefused : kLeftAlone;
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(s.expected[i], DefaultOf(i)) << s.what << ", button " << i;
            if (s.expected[i] != kNone)
                effects = Registered(kKeys + u"\\40C" + char16_t(u'1' + i), s.expected[i]);
        }
        EXPECT_TRUE(DialogDid(effects, dialog)) << s.what;
        EXPECT_TRUE(standin::DialogEnded()) << s.what;
        EXPECT_EQ(1, standin::DialogResult()) << s.what;
        EXPECT_EQ(0, standin::OpenKeyCount()) << s.what;
    }
}

// The keys are opened with options 0, for reading with access 0 and for the
// write with KEY_SET_VALUE; names and the module path come in 260 characters.
TEST_P(SessionTest, OpensReadsAndWritesAsTheDeviceExpects)
{
    SetUpButtons(1);
    EXPECT_EQ(0, RunProgram(GetParam(), [](HWND d) { standin::Click(d, IDOK); }));

    const uintptr_t kMachine = (uintptr_t)HKEY_LOCAL_MACHINE;
    const struct {
        Text path;
        uintptr_t access;
    } opens[] = {{kKeys, 0}, {kKeys + u"\\40C1", 0}, {kKeys + u"\\40C1", KEY_SET_VALUE}};
    const std::vector<standin::Call> made = standin::CallsOf("RegOpenKeyExW");
    ASSERT_EQ(3u, made.size());
    for (size_t i = 0; i < made.size(); i++) {
        EXPECT_EQ(opens[i].path, made[i].text) << i;
        EXPECT_TRUE(CallMatches(made[i], {kMachine, 0, opens[i].access, 1})) << DescribeCall(made[i]);
    }
    EXPECT_TRUE(EveryCallCarries("RegEnumKeyExW", {kAnyArg, kAnyArg, 1, 260, 0, 0, 0, 0}));
    EXPECT_TRUE(EveryCallCarries("GetModuleFileNameW", {0, 1, 260}));

    // The list is filled, set and read through SendDlgItemMessageW.
    const std::vector<uintptr_t> listMessages[] = {
        {kAnyArg, IDC_BUTTON_LIST, CB_ADDSTRING, 0, 1},
        {kAnyArg, IDC_BUTTON_LIST, CB_SETCURSEL, 0, 0},
        {kAnyArg, IDC_BUTTON_LIST, CB_GETCURSEL, 0, 0},
    };
    const std::vector<standin::Call> sent = standin::CallsOf("SendDlgItemMessageW");
    ASSERT_EQ(3u, sent.size());
    for (size_t i = 0; i < sent.size(); i++)
        EXPECT_TRUE(CallMatches(sent[i], listMessages[i])) << DescribeCall(sent[i]);
}

// A key path of 259 characters fits its buffer; one of 260 does not, and
// that button is listed with no name and can't be registered.
TEST_P(SessionTest, KeyPathsUpTo259CharactersAreUsed)
{
    const struct {
        size_t keyChars;  // SOFTWARE\Microsoft\Shell\Keys\ is 30 of the path's characters
        Text listed;
        bool written;
    } cases[] = {
        {229, u"Long", true},
        {230, u"", false},
    };
    for (const auto& c : cases) {
        SetUpButtons(0);
        const Text key = kKeys + u"\\" + Text(c.keyChars, u'k');
        standin::SetStringValue(key, u"Name", u"Long");
        std::vector<Text> items;
        HWND dialog = NULL;
        EXPECT_EQ(0, RunProgram(GetParam(), [&](HWND d) {
            items = standin::ComboItems(d, IDC_BUTTON_LIST);
            standin::Click(d, IDOK);
        }, &dialog));
        EXPECT_EQ(std::vector<Text>{c.listed}, items) << c.keyChars;
        EXPECT_EQ(c.written, standin::GetValue(key, u"Default").exists) << c.keyChars;
        EXPECT_TRUE(DialogDid(c.written ? Registered(key, kCommand) : kRefused, dialog))
            << c.keyChars;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryWay, SessionTest, ::testing::ValuesIn(Ways()),
                         ::testing::PrintToStringParamName());

// Only OK, Cancel, close and the dialog's opening are handled as done; the
// radio buttons leave the rest to the dialog manager.
TEST(AssignDialog, ReturnValuesTellTheDialogManagerWhatWasHandled)
{
    SetUpButtons(1);
    RunProgram(Way::kHost, [](HWND d) {
        standin::Click(d, IDC_OPTION_N);
        standin::Click(d, IDC_OPTION_NS);
        standin::Click(d, IDC_OPTION_NONE);
        standin::Click(d, IDC_BUTTON_LIST);
        EXPECT_EQ(FALSE, AssignDialog(d, WM_KEYDOWN, 0, 0));
        standin::Click(d, IDCANCEL);
    });
    EXPECT_EQ((std::vector<INT_PTR>{TRUE, FALSE, FALSE, FALSE, FALSE, TRUE}),
              standin::DialogProcResults());
}

TEST(AssignDialog, MissingTemplateEndsTheProgramQuietly)
{
    standin::Reset();
    EXPECT_EQ(0, RunProgram());
    EXPECT_TRUE(Agrees(scene::Match({}, standin::Recorded({}), {})));
}

}  // namespace
