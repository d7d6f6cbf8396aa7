// ce_run.cpp: runs any device program under the CE runner, over a Pocket PC
// described by a scene file or over a default one, and prints its system
// calls, its effects on the device, its exit status and the files it left.
//
// Usage: ce-run [--scene FILE] PROGRAM.exe [ARGUMENTS...]
//
// A scene file is read line by line; blank lines and lines starting with #
// are skipped, fields within a line are separated by |:
//   profile NAME                       the Pocket PC release (wm61): its system
//                                      version, platform type, typical screen
//                                      and top bar; screen and platform lines
//                                      change it. ppc2000 ppc2002 wm2003
//                                      wm2003se wm5 wm6 wm61 wm65 wm653
//   screen WIDTH HEIGHT DPI            the screen in real pixels (240 320 96),
//                                      up to 65535 each
//   platform TYPE                      SPI_GETPLATFORMTYPE's answer (PocketPC);
//                                      "platform -": the call fails
//   window NAME[|MODIFIER...]         a Pocket PC window by its name (today,
//                                      bar, notes, settings-system, calculator:
//                                      pocketpc_windows.h), top first; modifiers
//                                      as below: visible, hidden, closes,
//                                      ignores, ctrl-q, closes-after-MS,
//                                      hung-MS, ok
//   window CLASS|TITLE|CHILD|SHOWN|ON_CLOSE[|hung-MS][|ok][|rect=L,T,R,B]
//          [|style=0xHEX][|exstyle=0xHEX]
//                                      any top-level window, top first; CHILD is
//                                      its first child's title, empty for none;
//                                      SHOWN is visible or hidden; ON_CLOSE is
//                                      closes, ignores, ctrl-q or closes-after-MS;
//                                      hung-MS: answers nothing for MS ms;
//                                      ok: it shows OK rather than X; rect: where
//                                      it is in real pixels; style, exstyle: its
//                                      styles (exstyle's WS_EX_CAPTIONOKBTN is
//                                      ok, its WS_EX_TOPMOST keeps it on top)
//   version MAJOR.MINOR.BUILD          GetVersionExW's answer; "version -": it fails
//   front N                            window N (from 1) is in front, 0: none;
//                                      the first one not kept on top (as the
//                                      navigation bar is) unless it says so
//   press OPTIONS                      the command line, when ce-run is given none
//   key PATH                           a registry key under HKEY_LOCAL_MACHINE
//   value PATH|NAME|TEXT               a REG_SZ value; empty NAME: the unnamed one
//   module PATH                        the program's path, for GetModuleFileNameW
//   dialog click ID                    in the program's dialog, in order: a tap
//   dialog select ID INDEX             on control ID (a number, ok or cancel),
//   dialog close                       an item picked in a list, the close box
// In text fields %XX (two hex digits) and %uXXXX (one UTF-16 unit) stand for
// that character, as DeviceReport writes |, %, line breaks, other control
// characters and surrogates; any other % is itself.
// Any other line is an error naming the file and line, and nothing runs.
// After the run, every file on the device is printed with its text.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ce_runner.h"
#include "guest_fault.h"
#include "device_run.h"
#include "standin.h"

namespace {

using standin::Text;

const Text kShellKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys";

bool ReadScene(const char* path, scene::Scenario* s)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fprintf(stderr, "ce-run: cannot read the scene %s\n", path);
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::string> releases;
    for (const standin::ReleaseProfile& p : standin::Profiles())
        releases.push_back(p.name);
    std::string why;
    if (!scene::ReadScene(text, s, &why, releases)) {
        fprintf(stderr, "ce-run: %s:%s\n", path, why.c_str());
        return false;
    }
    return true;
}

// A Pocket PC as it is most of the time: an application in front of the
// navigation bar and the Today screen, and four hardware buttons.
scene::Scenario DefaultScene(const std::string& exePath)
{
    scene::Scenario s = scene::Press("default", {kNavigationBar, kCalculator, kToday});
    s.registry.push_back(scene::RegistryRow{false, kShellKeys, Text(), Text()});
    for (char16_t i = u'1'; i <= u'4'; i++) {
        s.registry.push_back(scene::RegistryRow{true, kShellKeys + u"\\40C" + i, u"Name",
                                                Text(u"Button ") + i});
    }
    const size_t slash = exePath.find_last_of('/');
    s.module = u"\\Program Files\\ForegroundDismisser\\" +
               scene::Widen(slash == std::string::npos ? exePath : exePath.substr(slash + 1));
    return s;
}

// The user at the program's dialog. A step the dialog cannot take, or a
// dialog left open, ends the run through the runner with the scene's line.
void WorkDialog(const scene::Scenario& scene, HWND dialog)
{
    auto has = [&](int id, standin::ControlKind* kind) {
        for (const standin::ControlSpec& c : standin::DialogControls(dialog)) {
            if (c.id == id) {
                *kind = c.kind;
                return true;
            }
        }
        return false;
    };
    if (scene.dialog.empty()) {
        // Without a script: the first item of the first list, then OK.
        for (const standin::ControlSpec& c : standin::DialogControls(dialog)) {
            if (c.kind == standin::kComboBox && !standin::ComboItems(dialog, c.id).empty()) {
                standin::SelectItem(dialog, c.id, 0);
                break;
            }
        }
        standin::ControlKind kind;
        if (has(IDOK, &kind))
            standin::Click(dialog, IDOK);
        else
            standin::CloseDialog(dialog);
    }
    for (const scene::DialogAction& a : scene.dialog) {
        if (standin::DialogEnded())
            throw ce::GuestFault{"scene line " + std::to_string(a.line) + ": the dialog has already ended"};
        standin::ControlKind kind;
        const std::string where = "scene line " + std::to_string(a.line) + ": ";
        if (a.kind == scene::kCloseDialog) {
            standin::CloseDialog(dialog);
        } else if (!has(a.id, &kind)) {
            throw ce::GuestFault{where + "the dialog has no control " + std::to_string(a.id)};
        } else if (a.kind == scene::kClick) {
            standin::Click(dialog, a.id);
        } else if (kind != standin::kComboBox ||
                   a.index >= (int)standin::ComboItems(dialog, a.id).size()) {
            throw ce::GuestFault{where + "control " + std::to_string(a.id) + " has no item " +
                                 std::to_string(a.index)};
        } else {
            standin::SelectItem(dialog, a.id, a.index);
        }
    }
    if (!standin::DialogEnded())
        throw ce::GuestFault{"the scene's dialog steps leave the dialog open"};
}

// The files on the device after the run (a report the program wrote), each
// line of their text indented, so that it can be cut out and read again.
void PrintFiles()
{
    const std::vector<Text> files = standin::Files();
    if (files.empty())
        return;
    printf("\nfiles on the device:\n");
    for (const Text& path : files) {
        const std::vector<BYTE> bytes = standin::FileBytes(path);
        printf("  %s, %zu bytes:\n", scene::Narrow(path).c_str(), bytes.size());
        std::string line;
        for (size_t i = 0; i <= bytes.size(); i++) {
            if (i == bytes.size() || bytes[i] == '\n') {
                if (i < bytes.size() || !line.empty())
                    printf("    %s\n", line.c_str());
                line.clear();
            } else if (bytes[i] != '\r') {
                line += (char)bytes[i];
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    int first = 1;
    const char* scenePath = NULL;
    if (argc > 2 && strcmp(argv[1], "--scene") == 0) {
        scenePath = argv[2];
        first = 3;
    }
    if (first >= argc || argv[first][0] == '-') {
        fprintf(stderr, "usage: ce-run [--scene FILE] PROGRAM.exe [ARGUMENTS...]\n");
        return 2;
    }
    const std::string exe = argv[first];
    std::string arguments;
    for (int i = first + 1; i < argc; i++)
        arguments += std::string(i > first + 1 ? " " : "") + argv[i];

    scene::Scenario scene;
    if (scenePath != NULL && !ReadScene(scenePath, &scene))
        return 2;
    if (scenePath == NULL)
        scene = DefaultScene(exe);
    if (first + 1 == argc)
        arguments = scene::Narrow(scene.commandLine);
    standin::Reset();
    const std::vector<HWND> windows = standin::Build(scene);
    standin::SetDialogScript([&scene](HWND dialog) { WorkDialog(scene, dialog); });
    const standin::ReleaseProfile& p = standin::CurrentProfile();
    const standin::Screen screen = standin::GetScreen();
    // A version line (a device's report) overrides the release's own.
    std::string version = std::to_string(p.major) + "." + std::to_string(p.minor) + "." +
                          std::to_string(p.build);
    if (scene.versionGiven && (!scene.versionAvailable || scene.major != p.major ||
                               scene.minor != p.minor || scene.build != p.build)) {
        version += "; the scene's version " +
                   (scene.versionAvailable ? std::to_string(scene.major) + "." +
                                                 std::to_string(scene.minor) + "." +
                                                 std::to_string(scene.build)
                                           : std::string("fails"));
    }
    printf("device: %s (%s), %dx%d at %d dpi, shipped on %s\n", p.release, version.c_str(),
           screen.width, screen.height, screen.dpi, p.cpus);
    const std::vector<std::string> names = scene.Names();
    auto nameOf = [&](HWND w) -> std::string {
        const int i = standin::IndexOf(w, windows);
        return i >= 0 ? names[i] : w == NULL ? "none" : "dialog or control";
    };
    if (!RunAndReport("ce-run", exe, arguments, nameOf))
        return 1;
    PrintFiles();
    return 0;
}
