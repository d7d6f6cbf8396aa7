// windows_fuzzer.cpp: any scene of windows and any command line, one press.
// Checks on every input: the status says whether the Today screen was the
// window acted on; a window comes forward before the old one drops to the
// bottom; mouse-down comes right before mouse-up; the only waits are 100 and
// 200 ms; nothing is sent to a window that did not exist.
#include <stdio.h>
#include <stdlib.h>

#include <set>

#include "close_command.h"
#include "standin.h"
#include "windows_scene.h"

namespace {

[[noreturn]] void Fail(const char* what)
{
    fprintf(stderr, "invariant broken: %s\n%s", what, standin::Describe(standin::Trace()).c_str());
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    standin::Reset();
    const WindowsScene scene = BuildWindowsScene(in);
    const std::vector<HWND>& windows = scene.windows;
    const std::vector<standin::Text>& classes = scene.classes;
    const standin::Text& commandLine = scene.commandLine;

    // The last foreground fetch is the one whose window is classified and acted on.
    HWND actedOn = NULL;
    standin::SetCallHook([&](const char* call) {
        if (std::string(call) == "GetForegroundWindow")
            actedOn = standin::Exists(standin::Foreground()) ? standin::Foreground() : NULL;
    });
    const int status = RunCloseCommand(commandLine.c_str());
    standin::SetCallHook(nullptr);

    bool today = false;
    for (size_t i = 0; i < windows.size(); i++) {
        if (windows[i] == actedOn)
            today = classes[i] == kToday.className;
    }
    if (status != (today ? 0 : 1))
        Fail("status 0 exactly when the Today screen was acted on");

    const std::vector<standin::TraceEntry>& trace = standin::Trace();
    std::set<HWND> known(windows.begin(), windows.end());
    std::set<HWND> gone;
    for (size_t i = 0; i < trace.size(); i++) {
        const standin::TraceEntry& e = trace[i];
        const standin::TraceEntry* next = i + 1 < trace.size() ? &trace[i + 1] : NULL;
        switch (e.kind) {
        case standin::kSleep:
            if (e.a != 100 && e.a != 200)
                Fail("waits are 100 or 200 ms");
            break;
        case standin::kForeground:
            if (next == NULL || next->kind != standin::kZOrder)
                Fail("a window comes forward only just before another drops to the bottom");
            break;
        case standin::kDestroyed:
            gone.insert(e.window);
            break;
        case standin::kTrayOpened:
            Fail("the top bar of 6.5.3 and later is never tapped");
            break;
        case standin::kMessage:
            if (e.window != NULL && (known.count(e.window) == 0 || gone.count(e.window) != 0))
                Fail("messages go only to windows that exist");
            if (e.a == WM_LBUTTONDOWN &&
                (next == NULL || next->kind != standin::kMessage || next->a != WM_LBUTTONUP ||
                 next->window != e.window || next->c != e.c))
                Fail("mouse-down is followed at once by the same mouse-up");
            if (e.a == WM_LBUTTONUP && (i == 0 || trace[i - 1].a != WM_LBUTTONDOWN))
                Fail("mouse-up comes only after mouse-down");
            if ((e.a == WM_LBUTTONDOWN || e.a == WM_LBUTTONUP) && (e.c & ~0xFFFF) != 0xD0000)
                Fail("the tap is 13 pixels down");
            break;
        default:
            break;
        }
    }
    return 0;
}
