// demo_screen.cpp: a Pocket PC screen for showing ForegroundDismisser at work:
// presses the button with each option in turn and tells what happened.
//
// Usage: demo_screen.exe PATH-TO-ForegroundDismisser.exe [--snap-dir DIR]
// With --snap-dir it asks for a screenshot before and after each press by
// printing "SNAP NAME" and waits until DIR/NAME.png exists.
#include <stdio.h>
#include <string.h>

#include "scene_windows.h"
#include "window_rules.h"
#include "wine_program.h"

namespace {

enum DemoWindow {
    kBar = 1,
    kToday,
    kSettings,
    kPrograms,
    kNotes,
    kCalculator,
    kPlayer,
};

// A 240x320 screen: the navigation bar across the top, and below it one
// tile per window, side by side, so that every window stays in view and
// none overlaps another.
const SceneKind kScreen[] = {
    {kBar, L"HHTaskBar", L"", NULL, kIgnoresClose, true, true, {0, 0, 240, 26}, "Navigation bar"},
    {kToday, L"DesktopExplorerWindow", L"Desktop", NULL, kIgnoresClose, true, false, {0, 26, 120, 124}, "Today screen"},
    {kSettings, L"Dialog", L"", L"\x30B7\x30B9\x30C6\x30E0", kIgnoresClose, true, false, {120, 26, 240, 124}, "Settings"},
    {kPrograms, L"Explore", L"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91", NULL, kIgnoresClose, true, false, {0, 124, 120, 222}, "Programs"},
    {kNotes, L"Notes", L"\xFF92\xFF93", NULL, kIgnoresClose, true, false, {120, 124, 240, 222}, "Notes"},
    {kCalculator, L"Calculator", L"Calculator", NULL, kClosesOnRequest, true, false, {0, 222, 120, 320}, "Calculator"},
    {kPlayer, L"WMP for Pocket PC", L"Windows Media", NULL, kQuitsOnCtrlQ, true, false, {120, 222, 240, 320}, "Media player"},
};
const int kScreenKinds = sizeof(kScreen) / sizeof(kScreen[0]);

struct Press {
    const WCHAR* options;
    int stack[8];  // top of the Z order first; the first below the bar is in front
};

const Press kPresses[] = {
    {L"", {kBar, kSettings, kPrograms, kNotes, kCalculator, kToday, kPlayer}},
    {L"/n", {kBar, kSettings, kPrograms, kNotes, kCalculator, kToday, kPlayer}},
    {L"/ns", {kBar, kSettings, kPrograms, kNotes, kCalculator, kToday, kPlayer}},
    {L"/d", {kBar, kCalculator, kToday, kSettings, kPrograms, kNotes, kPlayer}},
    {L"/b", {kBar, kSettings, kNotes, kCalculator, kToday, kPrograms, kPlayer}},
    {L"", {kBar, kPlayer, kToday, kSettings, kPrograms, kNotes, kCalculator}},
};

const char* const kCategoryNames[] = {
    "CategoryShell (a shell page: sent to the back)",
    "CategoryPlain (an ordinary window: closed)",
    "CategoryTaskbarClose (closed with the navigation bar's button)",
    "CategoryMediaPlayer (closed, then Ctrl+Q if it stays)",
    "CategoryDesktop (the Today screen: left alone)",
};

const DWORD kProgramTimeoutMs = 15000;

std::wstring gSnapDir;

void PrintWindow(const Scene* scene, int id)
{
    const SceneKind* kind = SceneKindOf(scene, id);
    if (kind == NULL) {
        printf("no window of the screen");
        return;
    }
    printf("%s (class \"", kind->label);
    PrintWide(kind->className);
    printf("\", title \"");
    PrintWide(kind->title);
    printf("\"");
    if (kind->pageTitle != NULL) {
        printf(", page \"");
        PrintWide(kind->pageTitle);
        printf("\"");
    }
    printf(")");
}

const char* LabelOf(const Scene* scene, int id)
{
    const SceneKind* kind = SceneKindOf(scene, id);
    return kind != NULL ? kind->label : "no window";
}

bool StillThere(const Scene* scene, int id)
{
    for (int i = 0; i < scene->count; i++) {
        if (scene->kinds[i]->id == id)
            return scene->windows[i] != NULL;
    }
    return false;
}

bool ReceivesMore(const LoggedMessage* rest, int id)
{
    for (int i = 0; rest[i].message != 0; i++) {
        if (rest[i].window == id)
            return true;
    }
    return false;
}

const char* KeyName(UINT_PTR key)
{
    return key == VK_CONTROL ? "Ctrl" : key == 'Q' ? "Q" : "?";
}

// Tells what the closer did from what the windows received, not from what
// it was expected to do.
void PrintActions(const Scene* scene, const LoggedMessage* log)
{
    if (log[0].message == 0)
        printf("  done:     nothing\n");
    for (int i = 0; log[i].message != 0; i++) {
        const LoggedMessage& m = log[i];
        const char* label = LabelOf(scene, m.window);
        printf("  done:     ");
        switch (m.message) {
        case WM_CLOSE:
            printf("sent WM_CLOSE to %s%s\n", label,
                   ReceivesMore(log + i + 1, m.window) || StillThere(scene, m.window)
                       ? " (it stayed)" : " (it closed)");
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            if (m.message == WM_LBUTTONDOWN && log[i + 1].message == WM_LBUTTONUP &&
                log[i + 1].param == m.param && log[i + 1].window == m.window) {
                printf("tapped %s at x=%u,y=%u (button down, then up)\n", label,
                       (unsigned)LOWORD(m.param), (unsigned)HIWORD(m.param));
                i++;
            } else {
                printf("sent %s to %s at x=%u,y=%u\n", MessageName(m.message), label,
                       (unsigned)LOWORD(m.param), (unsigned)HIWORD(m.param));
            }
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
            printf("typed %s %s (received by %s)\n", KeyName(m.param),
                   m.message == WM_KEYDOWN ? "down" : "up", label);
            break;
        case kSentToBottom:
            if ((int)m.param != m.window)
                printf("brought %s forward, sent %s to the back\n", LabelOf(scene, (int)m.param),
                       label);
            else
                printf("sent %s to the back (nothing came forward)\n", label);
            break;
        }
    }
}

void PrintZOrder(const Scene* scene)
{
    int ids[kSceneMaxWindows + 1];
    SceneZOrder(scene, ids);
    printf("  Z order:  ");
    for (int i = 0; ids[i] != 0; i++)
        printf("%s%s", i ? " > " : "", LabelOf(scene, ids[i]));
    printf("\n");
}

bool RunPress(int number, const Press& press, LPCWSTR program)
{
    Scene scene;
    char problem[512];
    if (!BuildScene(&scene, kScreen, kScreenKinds, press.stack, problem, sizeof(problem))) {
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
        if (scene.windows[i] == NULL)
            printf("  gone now: %s\n", scene.kinds[i]->label);
    }
    printf("  now in front: %s\n", LabelOf(&scene, SceneForeground(&scene)));
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
