// scene_windows.h: stand-ins for the windows of the Pocket PC shell and its
// applications, stacked in a chosen Z order, each recording what it receives.
#ifndef SCENE_WINDOWS_H
#define SCENE_WINDOWS_H

#include <windows.h>

#include <stddef.h>

// What a stand-in does with the requests that can end it.
enum SceneBehaviour {
    kClosesOnRequest,  // WM_CLOSE destroys it, as DefWindowProc would
    kIgnoresClose,     // WM_CLOSE is swallowed: unsaved work, or the shell itself
    kQuitsOnCtrlQ,     // ignores WM_CLOSE and quits on Ctrl+Q, like the media player
    kClosesAfterMoment,  // goes a moment after WM_CLOSE, as one that tidies up first
};

// How long a kClosesAfterMoment window takes to go: well within the waits
// the closer allows after asking a window to close.
const UINT kCloseDelayMs = 30;

// One kind of window a scene can hold; kinds are named by id in the tables.
struct SceneKind {
    int id;                  // nonzero
    const WCHAR* className;
    const WCHAR* title;
    const WCHAR* pageTitle;  // title of its first child window; NULL for no child
    SceneBehaviour behaviour;
    bool visible;
    bool topmost;
    RECT rect;               // all zero: the next free cell of the test grid
    const char* label;       // short English name for reports and the screen
};

const int kSceneMaxWindows = 16;

struct Scene {
    const SceneKind* kinds[kSceneMaxWindows];
    HWND windows[kSceneMaxWindows];  // NULL once the window is gone
    int count;
};

// One message as a window received it. Tables of these end with message 0.
struct LoggedMessage {
    int window;      // SceneKind id
    UINT message;    // WM_CLOSE, WM_LBUTTONDOWN/UP, WM_KEYDOWN/UP or kSentToBottom
    UINT_PTR param;  // lParam for the mouse, the virtual key for keys, the
                     // active window's id for kSentToBottom, else 0
};

// A WM_WINDOWPOSCHANGING that moves the window to the bottom of the Z order.
const UINT kSentToBottom = WM_WINDOWPOSCHANGING;

const int kLogCapacity = 64;

// Creates the windows of stack (kind ids, top first, zero-terminated), each in
// an area of its own, and puts the first one that is not topmost in front.
// Returns false with a reason when the screen does not show that Z order.
bool BuildScene(Scene* scene, const SceneKind* kinds, int kindCount, const int* stack,
                char* problem, size_t problemSize);
void DestroyScene(Scene* scene);

// Scene window ids from the top of the Z order down, zero-terminated; windows
// that are gone are left out. Returns the number listed.
int SceneZOrder(const Scene* scene, int* ids);
// The id of the foreground window: 0 for none, -1 for a window of no scene.
int SceneForeground(const Scene* scene);
const SceneKind* SceneKindOf(const Scene* scene, int id);
// Repaints every window, so that the screen shows the current Z order.
void RefreshScene(const Scene* scene);

void ClearMessageLog();
// The messages received since the last clear, in order, zero-terminated.
const LoggedMessage* MessageLog();

// Keeps the scene's windows answering for that long.
void PumpMessagesFor(DWORD milliseconds);
// Starts program with arguments after its quoted path, answering the scene's
// messages until it exits. False if it could not start or was killed. A
// nameToken, when given, stands in the command line in place of the quoted
// path, as a launcher may write it (unquoted, or quoted around spaces).
bool RunAndPump(LPCWSTR program, LPCWSTR arguments, DWORD timeoutMs, DWORD* exitCode,
                LPCWSTR nameToken = NULL);
// The same with the whole command line as given, the way the shell starts a
// button's command. image, when given, receives the path of the file that
// the started process ran, or "" when the system can't tell.
bool RunCommandAndPump(LPCWSTR program, LPCWSTR commandLine, DWORD timeoutMs, DWORD* exitCode,
                       WCHAR* image = NULL, DWORD imageChars = 0);
// Starts program with the whole command line as given and returns its
// process handle, or NULL when it could not start; nothing is pumped.
HANDLE StartProgram(LPCWSTR program, LPCWSTR commandLine);

// For the demo: repaints the scene, prints "SNAP NAME" and keeps the windows
// answering until snapDir holds NAME.png, taken by the script reading stdout.
// Does nothing when snapDir is NULL or empty.
void SnapScene(const Scene* scene, LPCWSTR snapDir, const char* name);

const char* MessageName(UINT message);
// Writes UTF-16 text to stdout as UTF-8, whatever the console's code page.
void PrintWide(LPCWSTR text);

#endif
