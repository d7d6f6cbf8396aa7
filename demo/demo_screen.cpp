// demo_screen.cpp: a Pocket PC screen for showing ForegroundDismisser at work:
// presses the button with each option in turn and tells what happened.
//
// Usage: demo_screen.exe PATH-TO-ForegroundDismisser.exe [--snap-dir DIR]
// With --snap-dir it asks for a screenshot before and after each press by
// printing "SNAP NAME" and waits until DIR/NAME.png exists.
#include <stdio.h>
#include <string.h>

#include <string>
#include <vector>

#include "scene_windows.h"
#include "window_rules.h"
#include "wine_program.h"

namespace {

// A 240x320 screen: the navigation bar across the top, and below it one
// cell per window, so that every window stays in view and none overlaps
// another. Each press stacks these windows, top first; the first below the
// bar is in front.
struct Press {
    const WCHAR* options;
    std::vector<SceneWindow> stack;
};

const std::vector<SceneWindow> kSettingsInFront = {
    kNavigationBar, kSettingsSystem, kPrograms, kNotes, kCalculator, kToday, kPlayer};
const Press kPresses[] = {
    {L"", kSettingsInFront},
    {L"/n", kSettingsInFront},
    {L"/ns", kSettingsInFront},
    {L"/d", {kNavigationBar, kCalculator, kToday, kSettingsSystem, kPrograms, kNotes, kPlayer}},
    {L"/b", {kNavigationBar, kSettingsSystem, kNotes, kCalculator, kToday, kPrograms, kPlayer}},
    {L"", {kNavigationBar, kPlayer, kToday, kSettingsSystem, kPrograms, kNotes, kCalculator}},
};
const int kInFront = 1;

const char* const kCategoryNames[] = {
    "CategoryShell (a shell page: sent to the back)",
    "CategoryPlain (an ordinary window: closed)",
    "CategoryTaskbarClose (closed with the navigation bar's button)",
    "CategoryMediaPlayer (closed, then Ctrl+Q if it stays)",
    "CategoryDesktop (the Today screen: left alone)",
};

const DWORD kProgramTimeoutMs = 15000;

std::wstring gSnapDir;

// A window of the scene by its name; the foreground may also be none, or a
// window of another program.
std::string NameOf(const Scene* scene, int window)
{
    if (window >= 0)
        return scene->windows[window].name;
    return window == scene::kNoWindow ? "no window" : "a window of no scene";
}

void PrintWindow(const Scene* scene, int window)
{
    if (window < 0) {
        printf("no window of the screen");
        return;
    }
    const SceneWindow& w = scene->windows[window];
    printf("%s (class \"", w.name.c_str());
    PrintWide((const WCHAR*)w.className.c_str());
    printf("\", title \"");
    PrintWide((const WCHAR*)w.title.c_str());
    printf("\"");
    if (w.hasChild) {
        printf(", page \"");
        PrintWide((const WCHAR*)w.childTitle.c_str());
        printf("\"");
    }
    printf(")");
}

const char* KeyName(uintptr_t key)
{
    return key == VK_CONTROL ? "Ctrl" : key == 'Q' ? "Q" : "?";
}

// Tells what the closer did from what the windows received, not from what
// it was expected to do.
void PrintActions(const Scene* scene, const scene::Steps& log)
{
    if (log.empty())
        printf("  done:     nothing\n");
    for (size_t i = 0; i < log.size(); i++) {
        const scene::Step& s = log[i];
        const scene::Step* next = i + 1 < log.size() ? &log[i + 1] : NULL;
        const bool nextSameWindow = next != NULL && next->window == s.window;
        const std::string name = NameOf(scene, s.window);
        printf("  done:     ");
        if (s.kind == scene::kMessage && s.a == WM_LBUTTONDOWN && nextSameWindow &&
            next->kind == scene::kMessage && next->a == WM_LBUTTONUP && next->c == s.c) {
            printf("tapped %s at x=%u,y=%u (button down, then up)\n", name.c_str(),
                   (unsigned)LOWORD(s.c), (unsigned)HIWORD(s.c));
            i++;
        } else if (s.kind == scene::kMessage && s.a == WM_CLOSE) {
            const bool closed = nextSameWindow && next->kind == scene::kDestroyed;
            printf("sent WM_CLOSE to %s%s\n", name.c_str(), closed ? " (it closed)" : " (it stayed)");
            i += closed;
        } else if (s.kind == scene::kKeyEvent) {
            printf("typed %s %s (received by %s)\n", KeyName(s.a),
                   (s.b & KEYEVENTF_KEYUP) ? "up" : "down", name.c_str());
        } else if (s.kind == scene::kForeground && next != NULL && next->kind == scene::kZOrder) {
            printf("brought %s forward, sent %s to the back\n", name.c_str(),
                   NameOf(scene, next->window).c_str());
            i++;
        } else if (s.kind == scene::kZOrder) {
            printf("sent %s to the back (nothing came forward)\n", name.c_str());
        } else if (s.kind == scene::kDestroyed) {
            printf("%s went away\n", name.c_str());
        } else {
            std::vector<std::string> names;
            for (const SceneWindow& w : scene->windows)
                names.push_back(w.name);
            printf("%s\n", scene::Describe(s, names).c_str());
        }
    }
}

void PrintZOrder(const Scene* scene)
{
    printf("  Z order:  ");
    const std::vector<int> order = SceneZOrder(scene);
    for (size_t i = 0; i < order.size(); i++)
        printf("%s%s", i ? " > " : "", scene->windows[order[i]].name.c_str());
    printf("\n");
}

bool RunPress(int number, const Press& press, LPCWSTR program)
{
    Scene scene;
    char problem[512];
    if (!BuildScene(&scene, press.stack, kInFront, problem, sizeof(problem))) {
        printf("Press %d: could not set up the screen: %s\n", number, problem);
        DestroyScene(&scene);
        return false;
    }

    printf("Press %d: ForegroundDismisser.exe", number);
    if (press.options[0] != 0) {
        printf(" ");
        PrintWide(press.options);
    } else {
        printf(" (no options)");
    }
    printf("\n");
    const int before = SceneForeground(&scene);
    printf("  in front: ");
    PrintWindow(&scene, before);
    printf("\n  category: %s\n", kCategoryNames[ClassifyWindow(GetForegroundWindow())]);
    PrintZOrder(&scene);

    char name[64];
    snprintf(name, sizeof(name), "press%d-before", number);
    SnapScene(&scene, gSnapDir.c_str(), name);
    ClearMessageLog();

    DWORD status = 0;
    const bool exited = RunAndPump(program, press.options, kProgramTimeoutMs, &status);
    PrintActions(&scene, MessageLog());
    for (int i = 0; i < scene.count; i++) {
        if (scene.handles[i] == NULL)
            printf("  gone now: %s\n", scene.windows[i].name.c_str());
    }
    printf("  now in front: %s\n", NameOf(&scene, SceneForeground(&scene)).c_str());
    PrintZOrder(&scene);
    if (exited)
        printf("  exit status: %lu\n", status);
    else
        printf("  the program did not run to its end\n");

    snprintf(name, sizeof(name), "press%d-after", number);
    SnapScene(&scene, gSnapDir.c_str(), name);
    printf("\n");
    fflush(stdout);
    DestroyScene(&scene);
    return exited;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> built;
    if (!StartWineProgram(argc, argv, "demo_screen.exe PATH-TO-ForegroundDismisser.exe [--snap-dir DIR]",
                          1, 1, 3, &built))
        return 2;
    const WCHAR* program = built[0].c_str();
    if (argc > 3 && wcscmp(argv[2], L"--snap-dir") == 0)
        gSnapDir = WindowsPath(argv[3]);

    bool allRan = true;
    int number = 1;
    for (const Press& press : kPresses)
        allRan = RunPress(number++, press, program) && allRan;
    return allRan ? 0 : 1;
}
