// scene_windows.h: the Pocket PC shell's and applications' windows as real
// desktop windows, stacked in a chosen Z order, each recording what it
// receives.
#ifndef SCENE_WINDOWS_H
#define SCENE_WINDOWS_H

#include <windows.h>

#include <stddef.h>

#include <vector>

#include "scenario.h"

const int kSceneMaxWindows = 16;

// A screen of real windows, one for each of a scene's windows (top first):
// each records what it receives in the scenario's own terms, its index
// standing for it.
struct Scene {
    std::vector<SceneWindow> windows;
    HWND handles[kSceneMaxWindows];  // NULL once the window is gone
    int count;
    bool tearingDown;  // DestroyScene: what goes now is not logged
};

// Creates the windows, each in an area of its own (the navigation bar
// across the top, as wide as it says or 240), stacks them and puts window
// `front` in front. Returns false with a reason when the screen does not
// show that Z order.
bool BuildScene(Scene* scene, const std::vector<SceneWindow>& windows, int front, char* problem,
                size_t problemSize);
void DestroyScene(Scene* scene);

// The windows still there, by index, top first.
std::vector<int> SceneZOrder(const Scene* scene);
// The foreground window's index: scene::kNoWindow for none,
// scene::kOtherWindow for a window of no scene.
int SceneForeground(const Scene* scene);

// What the windows received since the last clear, in order: WM_CLOSE, taps
// and WM_COMMAND as messages, keys as key events at the window that got
// them, going away as kDestroyed, and a move to the bottom of the Z order
// as kZOrder, after a kForeground for the window then active when that was
// another of the scene's.
void ClearMessageLog();
const scene::Steps& MessageLog();

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

// Writes UTF-16 text to stdout as UTF-8, whatever the console's code page.
void PrintWide(LPCWSTR text);

#endif
