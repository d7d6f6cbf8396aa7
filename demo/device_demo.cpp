// device_demo.cpp: one press of the button by the device build: the ARM
// code of ForegroundDismisser.exe on the emulated SA-1110, over a Pocket PC
// scene in the host stand-in. Prints every system call the program makes,
// then what happened to the windows.
//
// Usage: device_demo ForegroundDismisser.exe [ARGUMENTS]
#include <stdio.h>

#include <string>

#include "ce_runner.h"
#include "host_scene.h"

namespace {

std::u16string Widen(const char* text)
{
    std::u16string out;
    for (const char* p = text; *p != 0; p++)
        out += (char16_t)(unsigned char)*p;
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: device_demo ForegroundDismisser.exe [ARGUMENTS]\n");
        return 2;
    }
    const std::u16string arguments = argc > 2 ? Widen(argv[2]) : u"";

    // The System page of Settings in front, the application the user
    // came from below it, then the navigation bar and the Today screen.
    host::Reset();
    HWND settings = host::AddWindowWithChild(u"Dialog", u"", u"\x30B7\x30B9\x30C6\x30E0");
    HWND calculator = host::AddWindow(u"Calculator", u"Calc");
    HWND bar = host::AddWindow(u"HHTaskBar", u"");
    HWND today = host::AddWindow(u"DesktopExplorerWindow", u"");
    host::SetForeground(settings);
    const struct {
        HWND window;
        const char* name;
    } names[] = {{settings, "Settings (System page)"}, {calculator, "Calculator"},
                 {bar, "navigation bar"}, {today, "Today"}};
    auto nameOf = [&](HWND w) -> std::string {
        for (const auto& n : names) {
            if (n.window == w)
                return n.name;
        }
        return w == NULL ? "none" : "?";
    };

    ce::Runner runner;
    if (!runner.Load(argv[1])) {
        fprintf(stderr, "device_demo: %s\n", runner.Error().c_str());
        return 1;
    }
    printf("ForegroundDismisser.exe %s, ARM code on an emulated StrongARM SA-1110\n",
           argc > 2 ? argv[2] : "(no arguments)");
    printf("in front: %s\n\nsystem calls, as the program made them:\n",
           nameOf(host::Foreground()).c_str());
    runner.SetCallLog([](const std::string& line) { printf("  %s\n", line.c_str()); });
    int status = -1;
    if (!runner.RunProgram(arguments.c_str(), &status)) {
        fprintf(stderr, "device_demo: %s\n", runner.Error().c_str());
        return 1;
    }
    printf("\neffects on the device:\n");
    for (const host::TraceEntry& e : host::Trace())
        printf("  %s  [%s]\n", host::Describe(e).c_str(), nameOf(e.window).c_str());
    printf("\nexit status %d, %llu ARM instructions; in front now: %s; at the bottom: %s\n",
           status, (unsigned long long)runner.Instructions(), nameOf(host::Foreground()).c_str(),
           nameOf(host::ZOrder().back()).c_str());
    return 0;
}
