// windows_fuzzer.cpp: any scene of windows and any command line, one press.
// Checks on every input: the status says whether the Today screen was the
// window acted on; a window comes forward before the old one drops to the
// bottom; mouse-down comes right before mouse-up; the only waits are 100 and
// 200 ms; nothing is sent to a window that did not exist.
#include <stdio.h>
#include <stdlib.h>

#include <set>

#include "close_command.h"
#include "fuzz_text.h"
#include "host_scene.h"

namespace {

using host::Text;

const std::vector<Text> kClasses = {
    u"Worker", u"BOOKWIN", u"Notes", u"WMP for Pocket PC", u"WMP7.5 for Pocket PC",
    u"WMP for Mobile Devices", u"DesktopExplorerWindow", u"Explore", u"CPL_Owner", u"CPL",
    u"Dialog", u"HHTaskBar", u"SipWndClass", u"menu_worker", u"MSPOutlook", u"MS_SIPBUTTON",
    u"static", u"App",
};
const std::vector<Text> kTitles = {
    u"", u"\xFF92\xFF93", u"\x30E1\x30E2", u"Pocket Word", u"Pocket Excel",
    u"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91", u"\x500B\x4EBA\x7528", u"\x500B\x4EBA",
    u"\xFF7C\xFF7D\xFF83\xFF91", u"\x30B7\x30B9\x30C6\x30E0", u"\x63A5\x7D9A",
    u"\xFF8C\xFF9F\xFF9B\xFF8A\xFF9F\xFF83\xFF68", u"\x30D7\x30ED\x30D1\x30C6\x30A3",
};
const std::vector<Text> kCommandParts = {u"/d", u"/b", u"/n", u"/ns", u" ", u"/N", u"/", u"d"};

[[noreturn]] void Fail(const char* what)
{
    fprintf(stderr, "invariant broken: %s\n%s", what, host::Describe(host::Trace()).c_str());
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    host::Reset();

    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: break;  // "PocketPC"
    case 1: host::SetPlatformTypeUnavailable(); break;
    case 2: host::SetPlatformType(u"Jupiter"); break;
    default: host::SetPlatformType(ArbitraryText(in, 300)); break;
    }

    std::vector<HWND> windows;
    std::vector<Text> classes;
    const int count = in.ConsumeIntegralInRange<int>(0, 14);
    for (int i = 0; i < count; i++) {
        host::WindowSpec spec;
        spec.className = PickText(in, kClasses, 300);
        spec.title = PickText(in, kTitles, 300);
        spec.visible = in.ConsumeIntegralInRange<int>(0, 3) != 0;
        spec.hasChild = in.ConsumeBool();
        if (spec.hasChild)
            spec.childTitle = PickText(in, kTitles, 300);
        spec.onClose = (host::CloseReaction)in.ConsumeIntegralInRange<int>(0, 2);
        spec.rect.right = in.ConsumeIntegral<int32_t>();
        windows.push_back(host::AddWindow(spec));
        classes.push_back(spec.className);
    }
    if (!windows.empty() && in.ConsumeIntegralInRange<int>(0, 7) != 0)
        host::SetForeground(windows[in.ConsumeIntegralInRange<size_t>(0, windows.size() - 1)]);

    Text commandLine;
    const int parts = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < parts; i++)
        commandLine += in.ConsumeBool() ? PickText(in, kCommandParts, 0) : ArbitraryText(in, 8);

    // The last foreground fetch is the one whose window is classified and acted on.
    HWND actedOn = NULL;
    host::SetCallHook([&](const char* call) {
        if (std::string(call) == "GetForegroundWindow")
            actedOn = host::Exists(host::Foreground()) ? host::Foreground() : NULL;
    });
    const int status = RunCloseCommand(commandLine.c_str());
    host::SetCallHook(nullptr);

    bool today = false;
    for (size_t i = 0; i < windows.size(); i++) {
        if (windows[i] == actedOn)
            today = classes[i] == u"DesktopExplorerWindow";
    }
    if (status != (today ? 0 : 1))
        Fail("status 0 exactly when the Today screen was acted on");

    const std::vector<host::TraceEntry>& trace = host::Trace();
    std::set<HWND> known(windows.begin(), windows.end());
    std::set<HWND> gone;
    for (size_t i = 0; i < trace.size(); i++) {
        const host::TraceEntry& e = trace[i];
        const host::TraceEntry* next = i + 1 < trace.size() ? &trace[i + 1] : NULL;
        switch (e.kind) {
        case host::kSleep:
            if (e.a != 100 && e.a != 200)
                Fail("waits are 100 or 200 ms");
            break;
        case host::kForeground:
            if (next == NULL || next->kind != host::kZOrder)
                Fail("a window comes forward only just before another drops to the bottom");
            break;
        case host::kDestroyed:
            gone.insert(e.window);
            break;
        case host::kMessage:
            if (e.window != NULL && (known.count(e.window) == 0 || gone.count(e.window) != 0))
                Fail("messages go only to windows that exist");
            if (e.a == WM_LBUTTONDOWN &&
                (next == NULL || next->kind != host::kMessage || next->a != WM_LBUTTONUP ||
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
