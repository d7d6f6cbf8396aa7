// standin.h: what tests use to build the modelled Pocket PC's state (windows,
// registry, module path, dialogs) and to read back the one ordered trace of
// every effect the programs had on it.
#ifndef STANDIN_H
#define STANDIN_H

#include <windows.h>

#include "scenario.h"

#include <functional>
#include <string>
#include <vector>

namespace standin {

typedef std::u16string Text;

// ---- Windows ---------------------------------------------------------------

// A scene's windows are the Pocket PC's own (pocketpc_windows.h), and a
// press is a scene::Scenario (scenario.h).
using scene::Steps;
using scene::Screen;
using scene::NavigationBarHeight;

// Empties the whole model: windows, foreground, the release (the default
// profile below, platform type "PocketPC"), processes and mutexes, registry,
// module path, resources, dialog script, trace, hooks.
void Reset();

// Adds a top-level window at the bottom of the Z order and returns it. Its
// rectangle is the screen's, the navigation bar's the screen's width and
// the bar's height, unless the window gives its own size.
HWND AddWindow(const SceneWindow& window);
// Shorthand for the common case.
HWND AddWindow(const Text& className, const Text& title, bool visible = true);
// Adds a window and gives it a first child with that title.
HWND AddWindowWithChild(const Text& className, const Text& title, const Text& childTitle);

// Sets the foreground window without tracing it (scene set-up); may be null.
void SetForeground(HWND window);
// Raises a window to the top of the Z order without tracing it (set-up).
void RaiseToTop(HWND window);
// Fault: GetWindow(GW_HWNDNEXT) of the bottom window answers the top one
// (and GW_HWNDPREV of the top one the bottom one), so a walk along the Z
// order goes round for ever, as one can while the Z order changes under it.
void LoopZOrder(bool loop);
// Destroys a window without tracing it, as if it closed by itself.
void DestroyWindowSilently(HWND window);
void SetCloseReaction(HWND window, CloseAnswer reaction);
void SetHungUntil(HWND window, DWORD time);

// The platform type SystemParametersInfoW reports; an unavailable platform
// type makes the call fail and leave the buffer untouched.
void SetPlatformType(const Text& type);
void SetPlatformTypeUnavailable();

// The model's screen in real pixels (scene::Screen). A program without the HI_RES_AWARE
// resource and with subsystem version 4.20 or lower runs through the legacy
// layer on a screen above 96 dpi: every rectangle it reads is scaled by
// 96/dpi, while coordinates it puts into messages reach their window as sent.
void SetScreen(const Screen& screen);
Screen GetScreen();
// Which kind of program is running. The host build has no image to read, so
// its tests declare it; the CE runner sets it from the image it loads.
// Reset() makes the program legacy, as any program is until it says otherwise.
void SetLegacyProgram(bool legacy);
bool IsLegacyProgram();

// ---- Pocket PC generations ------------------------------------------------

// What the shell's top bar does with a tap at its right end.
enum TopBar {
    kTopBarCloseButton,  // up to 6.5: the navigation bar, its close/OK button at the right end
    kTopBarStatusTray,   // 6.5.3 and later: a status bar; a tap opens the tray (kTrayOpened)
};

// One release of the platform as a device shows it to a program.
struct ReleaseProfile {
    const char* name;     // as a scene names it: "ppc2000", "wm653", ...
    const char* release;  // "Pocket PC 2000", for people
    DWORD major, minor, build;  // GetVersionExW's answer, platform id Windows CE
    const char16_t* platformType;  // SPI_GETPLATFORMTYPE's answer
    const char* cpus;     // the CPUs it shipped with, for people
    Screen screen;        // a typical screen of its devices
    TopBar topBar;
};

// Every profile, oldest first: Pocket PC 2000, 2002, Windows Mobile 2003,
// 2003 SE, 5.0, 6.0, 6.1, 6.5 and 6.5.3.
const std::vector<ReleaseProfile>& Profiles();
// The profile of that name, or NULL.
const ReleaseProfile* FindProfile(const std::string& name);
// What Reset() puts on the model: Windows Mobile 6.1, "PocketPC", 240x320
// at 96 dpi.
const ReleaseProfile& DefaultProfile();
// Makes the model that release: its version, platform type and top bar.
// Its typical screen is for the scene to set (SetScreen): a scene that
// compares the host build with a device program keeps a 96-dpi screen.
void SetProfile(const ReleaseProfile& profile);
const ReleaseProfile& CurrentProfile();
// GetVersionExW's answer on its own, for releases and systems between the
// profiles; a platform id other than VER_PLATFORM_WIN32_CE is a desktop's.
void SetVersion(DWORD major, DWORD minor, DWORD build, DWORD platformId = VER_PLATFORM_WIN32_CE);
// Fault: GetVersionExW fails.
void SetVersionUnavailable();

// Top-level windows that still exist, top first.
std::vector<HWND> ZOrder();
HWND Foreground();
bool Exists(HWND window);

// Called at the start of every modelled platform call with the call's name,
// before it acts; lets a test change the scene between two calls.
void SetCallHook(std::function<void(const char* call)> hook);
// One platform call the program made, in order; the calls the stand-in
// makes on its behalf (SendDlgItemMessageW's own GetDlgItem) are left out.
// args holds what the call is given that decides its effect: numbers,
// sizes, flags and masks as passed, handles as their values, and each
// pointer as 1 or 0 (given or NULL); text holds the name or path it is
// given, if any. Each call's list is written next to it in the stand-in.
struct Call {
    std::string name;
    std::vector<uintptr_t> args;
    Text text;
};
const std::vector<Call>& Calls();
std::vector<Call> CallsOf(const char* name);
// Number of modelled platform calls of that name made since Reset().
int CallCount(const char* call);
// False while the stand-in itself is running (inside a modelled call, or a
// dialog script): tells the program's allocations from the model's own.
bool InProgramCode();

// ---- Time ------------------------------------------------------------------

// The model's clock, in milliseconds since Reset(). It moves only when
// something takes time: Sleep by its milliseconds, a SendMessageW to a hung
// window until the window answers, AdvanceClock.
DWORD Now();
// Runs effect when the clock reaches `time`; effects due at the same time run
// in the order they were scheduled, each with the clock at its own time.
void At(DWORD time, std::function<void()> effect);
// The user waiting after a press: the clock moves on, running whatever falls
// due. Not traced itself.
void AdvanceClock(DWORD milliseconds);

// ---- Processes and kernel objects -----------------------------------------

// Every call is made by the current process: the test's own (1) until
// RunAsProcess. It runs body as a new process and ends that process when
// body returns, as the system does: its handles close, and a mutex it still
// owns is left abandoned for the next waiter. Nested calls nest processes,
// so a press can run while another one is still under way.
void RunAsProcess(const std::function<void()>& body);
int CurrentProcess();
// The process that owns the named mutex; 0 when it is free or gone.
int MutexOwner(const Text& name);
// Whether a mutex of that name exists: some process still has a handle to it.
bool MutexExists(const Text& name);
// Handles to kernel objects that are open, in every process.
int KernelHandleCount();
// Fault: CreateMutexW fails (the system is out of kernel memory).
void FailCreateMutex(bool fail);

// ---- Registry --------------------------------------------------------------

// Key paths are relative to HKEY_LOCAL_MACHINE, separated by backslashes.
// Subkeys enumerate in the order they were created.
void AddKey(const Text& path);
void SetValue(const Text& keyPath, const Text& valueName, DWORD type,
              const std::vector<BYTE>& bytes);
// The bytes of a UTF-16 string as the registry stores them, little-endian,
// with or without the terminating zero.
std::vector<BYTE> StringBytes(const Text& text, bool terminated = true);
// A REG_SZ value holding the text and its terminating zero.
void SetStringValue(const Text& keyPath, const Text& valueName, const Text& text);

struct RegistryValue {
    bool exists = false;
    DWORD type = 0;
    std::vector<BYTE> bytes;
};
RegistryValue GetValue(const Text& keyPath, const Text& valueName);
void DeleteValue(const Text& keyPath, const Text& valueName);
// The whole registry in one comparable text (keys, values, types, bytes).
std::string DumpRegistry();

// Faults: opening this exact path fails; setting any value fails; setting
// the value of that name (empty: the unnamed value) fails.
void FailOpen(const Text& path);
void FailSetValue(bool fail);
void FailSetValueNamed(const Text& valueName);

// The shell's hardware-button handler: the command a Pocket PC starts when
// the button whose key under SOFTWARE\Microsoft\Shell\Keys is named
// buttonKey is pressed. It reads the key's unnamed REG_SZ value, up to its
// first zero; empty when there is none.
Text ButtonCommand(const Text& buttonKey);
// Keys opened by the program and not yet closed.
int OpenKeyCount();

// ---- Files -------------------------------------------------------------------

// Paths start at the root and compare without case, as on CE. A file
// written by the program can be read back here; a test can also lay one down.
std::vector<Text> Files();
bool FileExists(const Text& path);
// The file's bytes; empty when there is none.
std::vector<BYTE> FileBytes(const Text& path);
// A file as the device holds it; a read-only one can't be deleted.
void SetFile(const Text& path, const std::vector<BYTE>& bytes, bool readOnly = false);
// File handles the program opened and has not closed.
int OpenFileCount();
// Faults: CreateFileW fails for that path (empty: for every path); the disk
// fills when a file reaches `bytes`: the write that reaches it takes what
// fits and fails, or, with shortWrite, reports success with fewer bytes
// written; CloseHandle on a file fails (what was written may be lost).
void FailCreateFile(const Text& path);
void FailCloseFile();
void LimitFileSize(long bytes, bool shortWrite = false);

// ---- Module, resources and dialogs ----------------------------------------

void SetModulePath(const Text& path);

// One control of a dialog template, as the stand-in's dialog manager needs it.
enum ControlKind { kPushButton, kRadioButton, kComboBox, kStatic, kGroupBox };
struct ControlSpec {
    int id;
    ControlKind kind;
    bool group = false;  // starts a group of auto radio buttons
};
// The program's instance handle, as its entry point receives it: CE loads
// every program at 0x10000 in its own slot, and the handle is that address.
HINSTANCE ProgramInstance();
// Makes FindResourceW(ProgramInstance(), MAKEINTRESOURCE(id), RT_DIALOG) find
// a template. As on CE, a NULL module finds nothing.
void AddDialogResource(int id, const std::vector<ControlSpec>& controls);
// A template with no resource id, for DialogBoxIndirectParamW: the CE runner
// decodes a device program's own template into one. Lives until Reset().
LPCDLGTEMPLATEW MakeDialogTemplate(const std::vector<ControlSpec>& controls);

// Runs inside DialogBoxIndirectParamW after WM_INITDIALOG, in place of the
// user: it clicks, selects and closes through the helpers below. When it
// returns and the dialog is still open, the dialog is left open and
// DialogBoxIndirectParamW aborts: a test must end what it opens.
void SetDialogScript(std::function<void(HWND dialog)> script);
// What a user's tap does: an auto radio button checks itself and unchecks
// the others of its group, then the dialog gets WM_COMMAND with the id.
void Click(HWND dialog, int id);
// Selects a list item as a user would, then notifies nothing (the dialog
// reads the selection when OK is pressed).
void SelectItem(HWND dialog, int id, int index);
// The close box: the dialog gets WM_CLOSE.
void CloseDialog(HWND dialog);
bool DialogEnded();
INT_PTR DialogResult();
bool IsChecked(HWND dialog, int id);
std::vector<Text> ComboItems(HWND dialog, int id);
// The controls of the open dialog, as its template listed them.
std::vector<ControlSpec> DialogControls(HWND dialog);
int ComboSelection(HWND dialog, int id);
// Return values of the dialog procedure, one per message delivered to it.
std::vector<INT_PTR> DialogProcResults();

// ---- Trace -----------------------------------------------------------------

using scene::Kind;
using scene::kEnd;
using scene::kMessage;
using scene::kForeground;
using scene::kZOrder;
using scene::kKeyEvent;
using scene::kSleep;
using scene::kDestroyed;
using scene::kControlMessage;
using scene::kRegSetValue;
using scene::kBeep;
using scene::kMessageBox;
using scene::kInitDialog;
using scene::kMenuBar;
using scene::kEndDialog;
using scene::kWaited;
using scene::kTrayOpened;
using scene::kFileCreated;
using scene::kFileDeleted;
using scene::kFileMoved;

struct TraceEntry {
    Kind kind;
    HWND window;   // target, owner or dialog
    uintptr_t a;   // message / key / milliseconds / type / control id / mask
    uintptr_t b;   // wParam / flags / after
    intptr_t c;    // lParam
    Text text1;    // key path / caption / file path
    Text text2;    // value name / text / the path a file moved to
    std::vector<BYTE> bytes;
};

const std::vector<TraceEntry>& Trace();
void ClearTrace();
// Only the entries of the given kinds, in order.
std::vector<TraceEntry> TraceOf(std::initializer_list<Kind> kinds);
// One readable line per entry, for failure messages.
std::string Describe(const TraceEntry& entry);
std::string Describe(const std::vector<TraceEntry>& entries);

// UTF-16 to UTF-8 for readable failure messages.
using scene::Narrow;

// ---- Scenarios ---------------------------------------------------------------

// Makes the reset model the scenario's: its release (the default when it
// names none; the caller checks a name with FindProfile), screen (the
// release's typical one unless it gives its own), platform type, windows and
// the one in front, registry and module path. Returns the windows, top first.
std::vector<HWND> Build(const scene::Scenario& scenario);
// The trace as steps, each window named by its index in `windows`.
Steps Recorded(const std::vector<HWND>& windows);
// Each window's index in `windows`: scene::kNoWindow for none,
// scene::kOtherWindow for one not among them.
int IndexOf(HWND window, const std::vector<HWND>& windows);

}  // namespace standin

#endif
