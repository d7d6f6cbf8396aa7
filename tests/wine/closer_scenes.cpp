// closer_scenes.cpp: the press table on real windows. Each row builds its
// screen, runs the real ForegroundDismisser.exe on it and holds the exit
// status, what every window received, the foreground and the Z order to
// the row; a row this way cannot express is skipped with its reason.
//
// Usage: closer_scenes.exe PATH-TO-ForegroundDismisser.exe [NAME-FILTER]
#include <stdio.h>
#include <string.h>

#include "press_table.h"
#include "scene_windows.h"
#include "wine_program.h"

namespace {

const DWORD kProgramTimeoutMs = 15000;

// Why this way cannot run a row, or "" when it can. The row says why; a
// row that needs what only the stand-in can give and says nothing fails.
std::string Unexpressible(const scene::Scenario& s)
{
    if (!s.notUnderWine.empty())
        return s.notUnderWine;
    bool hung = false;
    for (const SceneWindow& w : s.windows)
        hung = hung || w.hungFor != 0 || w.showsOk;
    if (!s.profile.empty() || (s.platformGiven && s.platformAvailable) || hung)
        return "!";
    return "";
}

// Set when the last run's program did not exit by itself in time.
bool gLastRunUnfinished = false;

bool Run(const scene::Scenario& s, LPCWSTR program)
{
    gLastRunUnfinished = false;
    Scene screen;
    char problem[512];
    if (!BuildScene(&screen, s.windows, s.FrontIndex(), problem, sizeof(problem))) {
        printf("FAIL %s: %s\n", s.name.c_str(), problem);
        DestroyScene(&screen);
        return false;
    }

    DWORD status = 0;
    const bool exited = RunAndPump(program, (const WCHAR*)s.commandLine.c_str(), kProgramTimeoutMs, &status,
                                   s.launchedAs.empty() ? NULL : (const WCHAR*)s.launchedAs.c_str());
    const std::vector<std::string> names = s.Names();
    std::string report = scene::Match(StepsOnWine(s.steps), MessageLog(), names);
    if (s.frontAfter != scene::kUnchecked)
        report += scene::MatchOrder("foreground", {s.frontAfter}, {SceneForeground(&screen)}, names);
    if (!s.zAfter.empty())
        report += scene::MatchOrder("Z order", s.zAfter, SceneZOrder(&screen), names);
    if (!exited)
        report += "the program did not run to its end (status " + std::to_string(status) + ")\n";
    else if ((int)status != s.status)
        report += "exit status: expected " + std::to_string(s.status) + ", got " + std::to_string(status) + "\n";
    gLastRunUnfinished = !exited;

    printf("%s %s\n%s", report.empty() ? "PASS" : "FAIL", s.name.c_str(), report.c_str());
    fflush(stdout);
    DestroyScene(&screen);
    return report.empty();
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> built;
    if (!StartWineProgram(argc, argv, "closer_scenes.exe PATH-TO-ForegroundDismisser.exe [NAME-FILTER]",
                          1, 1, 2, &built))
        return 2;
    const WCHAR* program = built[0].c_str();
    char filter[128] = "";
    if (argc > 2)
        WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, filter, sizeof(filter), NULL, NULL);

    int passed = 0, failed = 0, skipped = 0;
    for (const scene::Scenario& s : PressTable()) {
        if (filter[0] != 0 && strstr(s.name.c_str(), filter) == NULL)
            continue;
        const std::string why = Unexpressible(s);
        if (why == "!") {
            printf("FAIL %s: it needs what only the stand-in gives, and says not why\n", s.name.c_str());
            failed++;
            continue;
        }
        if (!why.empty()) {
            printf("SKIP %s: %s\n", s.name.c_str(), why.c_str());
            skipped++;
            continue;
        }
        bool ok = Run(s, program);
        // A start that never reached its end says more about the machine
        // than about the program: the scene gets one more chance, and only
        // its second outcome counts.
        if (!ok && gLastRunUnfinished) {
            printf("    running the scene once more\n");
            ok = Run(s, program);
        }
        if (ok)
            passed++;
        else
            failed++;
    }
    printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
    return failed == 0 ? 0 : 1;
}
