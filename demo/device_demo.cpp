// device_demo.cpp: one press of the button by a device build of
// ForegroundDismisser.exe (ARM, MIPS or SH-3 code under the CE runner), over a
// Pocket PC scene in the host stand-in. Prints the window in front, what
// happened to the windows, the exit status and the instruction count; every
// system call the program made goes to the full report.
//
// Usage: device_demo FULL-REPORT ForegroundDismisser.exe [ARGUMENTS]
#include <stdio.h>

#include <string>

#include "device_run.h"
#include "host_scene.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: device_demo FULL-REPORT ForegroundDismisser.exe [ARGUMENTS]\n");
        return 2;
    }

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
    return RunAndReport("device_demo", argv[2], argc > 3 ? argv[3] : "", nameOf, argv[1]) ? 0 : 1;
}
