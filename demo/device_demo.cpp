// device_demo.cpp: one press of the button by a device build of
// ForegroundDismisser.exe (ARM, MIPS or SH-3 code under the CE runner), over a
// Pocket PC scene in the stand-in. Prints the window in front, what
// happened to the windows, the exit status and the instruction count; every
// system call the program made goes to the full report.
//
// Usage: device_demo [--notes RELEASE] FULL-REPORT ForegroundDismisser.exe [ARGUMENTS]
// --notes: Notes in front instead, on that Pocket PC release (wm61, wm653, ...)
// with its typical screen.
#include <stdio.h>

#include <string>

#include "device_run.h"
#include "standin.h"

int main(int argc, char** argv)
{
    const standin::ReleaseProfile* release = NULL;
    const bool notes = argc > 1 && std::string(argv[1]) == "--notes";
    if (notes && argc > 2)
        release = standin::FindProfile(argv[2]);
    if (notes) {
        argv += 2;
        argc -= 2;
    }
    if (argc < 3 || (notes && release == NULL)) {
        fprintf(stderr, "usage: device_demo [--notes RELEASE] FULL-REPORT ForegroundDismisser.exe "
                        "[ARGUMENTS]\n");
        return 2;
    }

    // The System page of Settings in front (or Notes, on the release given,
    // with its typical screen), the application the user came from below it,
    // then the navigation bar and the Today screen.
    standin::Reset();
    scene::Scenario press = scene::Press(
        "demo", {release != NULL ? kNotes : kSettingsSystem, kCalculator, kNavigationBar, kToday});
    if (release != NULL)
        press.Profile(release->name);
    const std::vector<HWND> windows = standin::Build(press);
    if (release != NULL) {
        const standin::Screen screen = standin::GetScreen();
        printf("on %s (%u.%u.%u), %dx%d at %d dpi\n", release->release, (unsigned)release->major,
               (unsigned)release->minor, (unsigned)release->build, screen.width, screen.height,
               screen.dpi);
    }
    const char* const names[] = {release != NULL ? "Notes" : "Settings (System page)", "Calculator",
                                 "navigation bar", "Today"};
    auto nameOf = [&](HWND w) -> std::string {
        const int i = standin::IndexOf(w, windows);
        return i >= 0 ? names[i] : i == scene::kNoWindow ? "none" : "?";
    };
    return RunAndReport("device_demo", argv[2], argc > 3 ? argv[3] : "", nameOf, argv[1]) ? 0 : 1;
}
