// scenario.h: one press of a program on a Pocket PC, the same for every way
// that runs it: the scene (release, screen, windows top first, the one in
// front, the command line, registry, the user at a dialog) and what must
// follow (exit status, every effect in order, the foreground and Z order
// after). Scene files (ce-run) read into it; the tables are lists of it;
// the stand-in builds it and the Wine tests stack it as real windows. One
// matcher holds the expected effects against a way's record. Plain C++,
// so the desktop programs use it too.
#ifndef SCENARIO_H
#define SCENARIO_H

#include <stdint.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "pocketpc_windows.h"

namespace scene {

// The Pocket PC's screen in real pixels.
struct Screen {
    int width = 240;
    int height = 320;
    int dpi = 96;
};
// The navigation bar's height on that screen in real pixels: 26 at 96 dpi,
// scaled with the dpi (WM2003 SE to 6.1).
inline int NavigationBarHeight(const Screen& screen)
{
    return 26 * screen.dpi / 96;
}

// What a program did to the Pocket PC, one effect an entry.
enum Kind {
    kEnd = 0,
    kMessage,         // a message to a top-level window: window, message, wParam, lParam
    kForeground,      // SetForegroundWindow: window (null allowed)
    kZOrder,          // SetWindowPos to the bottom: window, 0, flags
    kKeyEvent,        // keybd_event: key, flags (the Wine way: the window that received it)
    kSleep,           // Sleep: milliseconds
    kDestroyed,       // a window went away in answer to what it was sent: window
    kControlMessage,  // a message to a dialog control: control id, message, wParam, lParam
    kRegSetValue,     // RegSetValueExW: key path, value name, type, bytes
    kBeep,            // MessageBeep: type
    kMessageBox,      // MessageBoxW: owner, type, caption, text
    kInitDialog,      // SHInitDialog: dialog, mask, flags
    kMenuBar,         // SHCreateMenuBar: owner, flags
    kEndDialog,       // EndDialog: dialog, result
    kWaited,          // SendMessageW waited for a hung window to answer: window, milliseconds
    kTrayOpened,      // a tap on 6.5.3's top bar opened the status tray: the bar
    kFileCreated,     // CreateFileW made or emptied a file: path
    kFileDeleted,     // DeleteFileW removed a file: path
    kFileMoved,       // MoveFileW: from, to
};

const int kNoWindow = -1;     // the null handle
const int kOtherWindow = -2;  // a window that is not in the scene

struct Step {
    Kind kind = kEnd;
    int window = kNoWindow;  // the scene's index
    uintptr_t a = 0;
    uintptr_t b = 0;
    intptr_t c = 0;
    std::u16string text1;  // key path, caption
    std::u16string text2;  // value name, text
    std::vector<uint8_t> bytes;
    bool carriesText = false;  // expected: text1, text2 and bytes are compared too
    bool optional = false;     // expected: a way may record it or not
};
typedef std::vector<Step> Steps;

// One entry without text.
Step Entry(Kind kind, int window, uintptr_t a = 0, uintptr_t b = 0, intptr_t c = 0);

// ---- What a press may do, for the tables -------------------------------------

const uintptr_t kWmClose = 0x10, kWmCommand = 0x111, kWmLButtonDown = 0x201,
                kWmLButtonUp = 0x202, kIdOk = 1, kKeyUp = 2, kVkControl = 0x11;
// SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE: to the bottom, nothing else.
const uintptr_t kToBottomFlags = 0x13;

Steps Message(int window, uintptr_t message, uintptr_t wParam = 0, intptr_t lParam = 0);
Steps Close(int window);
Steps Destroyed(int window);
Steps ClosedAndGone(int window);  // WM_CLOSE, then the window goes
Steps Slept(unsigned ms);
Steps Forward(int window);
Steps ToBottom(int window);
// window comes forward and `sent` goes to the bottom, as the Settings rule,
// /n, /b and Smart Minimize all do.
Steps ForwardAndBack(int forward, int sent);
// The navigation bar's close button tapped at (x, y), down then up.
Steps Tap(int bar, int x, int y);
// A key typed, down or up; `receiver` is the window a real system gives it.
Steps Key(uintptr_t key, bool up, int receiver);
Steps Ok(int window);  // WM_COMMAND IDOK, as the OK button sends it
Steps Waited(int window, unsigned ms);
// An entry with text or bytes, compared whole.
Step WithText(Kind kind, int window, uintptr_t a, uintptr_t b, const std::u16string& text1,
              const std::u16string& text2, const std::vector<uint8_t>& bytes = {});
Steps Optional(Steps steps);
Steps Join(std::initializer_list<Steps> parts);

// ---- One press ---------------------------------------------------------------

struct RegistryRow {
    bool isValue;  // a REG_SZ value; else a key
    std::u16string path, name, text;
};
enum DialogActionKind { kClick, kSelect, kCloseDialog };
struct DialogAction {
    int line;  // the scene file's line, for messages
    DialogActionKind kind;
    int id;
    int index;
};

const int kFirstBelowTopmost = -3;  // front: the first window not kept on top
const int kUnchecked = -4;

struct Scenario {
    std::string name;

    // The scene.
    std::string profile;  // the release by its name; empty: the default
    Screen screen;
    bool screenGiven = false;
    std::u16string platform;  // SPI_GETPLATFORMTYPE's answer
    bool platformGiven = false;
    bool platformAvailable = true;
    // GetVersionExW's answer (platform id Windows CE), when the scene gives one.
    bool versionGiven = false;
    bool versionAvailable = true;
    unsigned major = 0, minor = 0, build = 0;
    std::vector<SceneWindow> windows;  // top first
    int front = kFirstBelowTopmost;    // the window in front: an index, or kNoWindow
    std::u16string commandLine;
    std::vector<RegistryRow> registry;
    std::u16string module;  // the program's own path
    std::vector<DialogAction> dialog;

    // What must follow.
    int status = kUnchecked;
    Steps steps;
    int frontAfter = kUnchecked;  // an index, or kNoWindow
    std::vector<int> zAfter;      // windows still there, top first; empty: not checked
    bool asksVersion = false;     // the press asks for the system version (host and device)

    // Where it cannot run, and why: such a row is skipped there, never passed.
    std::string notUnderWine;
    std::string onlyUnderWine;
    std::u16string launchedAs;  // Wine: the program's name as a launcher wrote it

    // The row builders the tables read with.
    Scenario& With(const std::u16string& line) { commandLine = line; return *this; }
    Scenario& Expect(int exitStatus, Steps effects) { status = exitStatus; steps = effects; return *this; }
    Scenario& FrontAfter(int window) { frontAfter = window; return *this; }
    Scenario& ZAfter(std::vector<int> order) { zAfter = order; return *this; }
    Scenario& Front(int window) { front = window; return *this; }
    Scenario& Profile(const std::string& release) { profile = release; return *this; }
    Scenario& Platform(const std::u16string& type) { platformGiven = true; platform = type; return *this; }
    Scenario& NoPlatform() { platformGiven = true; platformAvailable = false; return *this; }
    Scenario& AsksVersion() { asksVersion = true; return *this; }
    Scenario& NotUnderWine(const std::string& why) { notUnderWine = why; return *this; }
    Scenario& OnlyUnderWine(const std::string& why) { onlyUnderWine = why; return *this; }
    Scenario& LaunchedAs(const std::u16string& token) { launchedAs = token; return *this; }

    // The index of the window in front when the press starts, or kNoWindow.
    int FrontIndex() const;
    // The window names for messages: each window's own, numbered from 1
    // where two share one.
    std::vector<std::string> Names() const;
};

Scenario Press(const std::string& name, std::vector<SceneWindow> windows);

// Reads a scene file's text (format: docs/DEVELOPING.md, "Running a device
// program"). False with *why naming the line when it is malformed. In text
// fields (class, title, child, platform, key paths, value names and text)
// %XX (two hex digits) is that character and %uXXXX that UTF-16 unit; a %
// that starts neither stays as it is.
// `releases`, when given, are the profile names a profile line may use.
bool ReadScene(const std::string& text, Scenario* scenario, std::string* why,
               const std::vector<std::string>& releases = {});
// A scene written as text, for a table row: a malformed one aborts.
Scenario FromText(const std::string& name, const std::string& text);

// ---- The matcher -------------------------------------------------------------

// Holds expected against what a way recorded, in order: an entry matches on
// kind, window and numbers, and on text and bytes where it carries them; an
// optional entry may be missing. Empty when they match; otherwise both
// lists, windows by name, and where they part.
std::string Match(const Steps& expected, const Steps& actual, const std::vector<std::string>& names);
std::string Describe(const Step& step, const std::vector<std::string>& names);
// "WM_CLOSE", ...; "message 0x..." for one without a name here.
std::string MessageName(uintptr_t message);
// Compares two lists of window indices (foreground, Z order), with names.
std::string MatchOrder(const char* what, const std::vector<int>& expected,
                       const std::vector<int>& actual, const std::vector<std::string>& names);

// A text field of a scene file as the text it stands for: its escapes read.
std::u16string Unescape(const std::string& utf8);

// UTF-16 to UTF-8 and back, for files and messages.
std::string Narrow(const std::u16string& text);
std::u16string Widen(const std::string& utf8);

}  // namespace scene

#endif
