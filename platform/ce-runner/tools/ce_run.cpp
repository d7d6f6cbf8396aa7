// ce_run.cpp: runs any device program under the CE runner, over a Pocket PC
// described by a scene file or over a default one, and prints its system
// calls, its effects on the device and its exit status.
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
//   window CLASS|TITLE|CHILD|SHOWN|ON_CLOSE[|hung-MS][|ok]
//                                      a top-level window, top first; CHILD is
//                                      its first child's title, empty for none;
//                                      SHOWN is visible or hidden; ON_CLOSE is
//                                      closes, ignores, ctrl-q or closes-after-MS;
//                                      hung-MS: answers nothing for MS ms;
//                                      ok: it shows OK rather than X
//   front N                            window N (from 1) is in front, 0: none;
//                                      the first window unless it says so
//   key PATH                           a registry key under HKEY_LOCAL_MACHINE
//   value PATH|NAME|TEXT               a REG_SZ value; empty NAME: the unnamed one
//   module PATH                        the program's path, for GetModuleFileNameW
//   dialog click ID                    in the program's dialog, in order: a tap
//   dialog select ID INDEX             on control ID (a number, ok or cancel),
//   dialog close                       an item picked in a list, the close box
// Any other line is an error naming the file and line, and nothing runs.
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <string>
#include <vector>

#include "ce_runner.h"
#include "device_run.h"
#include "host_scene.h"

namespace {

using host::Text;

const Text kShellKeys = u"SOFTWARE\\Microsoft\\Shell\\Keys";

struct WindowRow {
    host::WindowSpec spec;
    std::string name;  // for the report: class and title
};

struct RegistryRow {
    bool isValue;
    Text path, name, text;
};

enum ActionKind { kClick, kSelect, kClose };
struct DialogAction {
    int line;
    ActionKind kind;
    int id;
    int index;
};

struct Scene {
    const host::DeviceProfile* profile = &host::DefaultProfile();
    host::Screen screen = host::DefaultProfile().screen;
    bool screenGiven = false;
    bool platformGiven = false;
    bool platformAvailable = true;
    Text platform;
    std::vector<WindowRow> windows;
    int front = 1;  // from 1; 0: no window in front
    bool frontGiven = false;
    std::vector<RegistryRow> registry;
    Text module;
    std::vector<DialogAction> dialog;
};

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> out(1);
    for (char c : text) {
        if (c == separator)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

// A decimal number of at most nine digits, nothing else.
bool Number(const std::string& text, int* out)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *out = atoi(text.c_str());
    return true;
}

bool ControlId(const std::string& text, int* out)
{
    if (text == "ok") {
        *out = IDOK;
        return true;
    }
    if (text == "cancel") {
        *out = IDCANCEL;
        return true;
    }
    return Number(text, out) && *out <= 0xFFFF;
}

// One line of a scene; false with *why set when it is malformed.
bool ReadLine(const std::string& line, int number, Scene* scene, std::string* why)
{
    const size_t space = line.find(' ');
    const std::string keyword = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    const std::vector<std::string> words = Split(rest, ' ');
    const std::vector<std::string> fields = Split(rest, '|');
    if (keyword == "profile") {
        scene->profile = host::FindProfile(rest);
        if (scene->profile == NULL) {
            std::string names;
            for (const host::DeviceProfile& p : host::Profiles())
                names += std::string(names.empty() ? "" : " ") + p.name;
            *why = "profile is one of " + names + ", not \"" + rest + "\"";
            return false;
        }
        if (!scene->screenGiven)
            scene->screen = scene->profile->screen;
    } else if (keyword == "screen") {
        if (words.size() != 3 || !Number(words[0], &scene->screen.width) ||
            !Number(words[1], &scene->screen.height) || !Number(words[2], &scene->screen.dpi) ||
            scene->screen.width == 0 || scene->screen.height == 0 || scene->screen.dpi < 96 ||
            scene->screen.width > 0xFFFF || scene->screen.height > 0xFFFF || scene->screen.dpi > 0xFFFF) {
            *why = "screen wants WIDTH HEIGHT DPI: 1 to 65535 pixels each way, 96 to 65535 dpi";
            return false;
        }
        scene->screenGiven = true;
    } else if (keyword == "platform") {
        if (rest.empty()) {
            *why = "platform wants a type, or - for none";
            return false;
        }
        scene->platformGiven = true;
        scene->platformAvailable = rest != "-";
        scene->platform = WidenUtf8(rest);
    } else if (keyword == "window") {
        if (fields.size() < 5 || fields.size() > 7) {
            *why = "window wants CLASS|TITLE|CHILD|SHOWN|ON_CLOSE[|hung-MS][|ok]";
            return false;
        }
        WindowRow row;
        host::WindowSpec& spec = row.spec;
        spec.className = WidenUtf8(fields[0]);
        spec.title = WidenUtf8(fields[1]);
        spec.hasChild = !fields[2].empty();
        spec.childTitle = WidenUtf8(fields[2]);
        int ms = 0;
        if (spec.className.empty()) {
            *why = "a window needs a class";
            return false;
        }
        if (fields[3] != "visible" && fields[3] != "hidden") {
            *why = "SHOWN is visible or hidden, not \"" + fields[3] + "\"";
            return false;
        }
        spec.visible = fields[3] == "visible";
        const std::string after = "closes-after-";
        if (fields[4] == "closes") {
            spec.onClose = host::kClosesOnClose;
        } else if (fields[4] == "ignores") {
            spec.onClose = host::kIgnoresClose;
        } else if (fields[4] == "ctrl-q") {
            spec.onClose = host::kClosesOnCtrlQ;
        } else if (fields[4].compare(0, after.size(), after) == 0 &&
                   Number(fields[4].substr(after.size()), &ms)) {
            spec.onClose = host::kClosesOnClose;
            spec.closeDelay = (DWORD)ms;
        } else {
            *why = "ON_CLOSE is closes, ignores, ctrl-q or closes-after-MS, not \"" + fields[4] + "\"";
            return false;
        }
        for (size_t i = 5; i < fields.size(); i++) {
            const std::string hung = "hung-";
            if (fields[i] == "ok" && spec.exStyle == 0) {
                spec.exStyle = WS_EX_CAPTIONOKBTN;
            } else if (fields[i].compare(0, hung.size(), hung) == 0 && spec.hungUntil == 0 &&
                       Number(fields[i].substr(hung.size()), &ms)) {
                spec.hungUntil = (DWORD)ms;
            } else {
                *why = "a field after ON_CLOSE is hung-MS or ok, once each, not \"" + fields[i] + "\"";
                return false;
            }
        }
        row.name = fields[0] + (fields[1].empty() ? "" : " \"" + fields[1] + "\"");
        scene->windows.push_back(row);
    } else if (keyword == "front") {
        if (!Number(rest, &scene->front)) {
            *why = "front wants a window's number, from 1, or 0 for none";
            return false;
        }
        scene->frontGiven = true;
    } else if (keyword == "key") {
        if (rest.empty()) {
            *why = "key wants a path";
            return false;
        }
        scene->registry.push_back(RegistryRow{false, WidenUtf8(rest), Text(), Text()});
    } else if (keyword == "value") {
        if (fields.size() != 3 || fields[0].empty()) {
            *why = "value wants PATH|NAME|TEXT";
            return false;
        }
        scene->registry.push_back(
            RegistryRow{true, WidenUtf8(fields[0]), WidenUtf8(fields[1]), WidenUtf8(fields[2])});
    } else if (keyword == "module") {
        if (rest.empty()) {
            *why = "module wants a path";
            return false;
        }
        scene->module = WidenUtf8(rest);
    } else if (keyword == "dialog") {
        DialogAction action = {number, kClose, 0, 0};
        if (words.size() == 2 && words[0] == "click" && ControlId(words[1], &action.id)) {
            action.kind = kClick;
        } else if (words.size() == 3 && words[0] == "select" && ControlId(words[1], &action.id) &&
                   Number(words[2], &action.index)) {
            action.kind = kSelect;
        } else if (words.size() != 1 || words[0] != "close") {
            *why = "dialog wants click ID, select ID INDEX or close";
            return false;
        }
        scene->dialog.push_back(action);
    } else {
        *why = "unknown line \"" + keyword + "\"";
        return false;
    }
    return true;
}

bool ReadScene(const char* path, Scene* scene)
{
    std::ifstream in(path);
    if (!in) {
        fprintf(stderr, "ce-run: cannot read the scene %s\n", path);
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); number++) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        std::string why;
        if (!ReadLine(line, number, scene, &why)) {
            fprintf(stderr, "ce-run: %s:%d: %s\n", path, number, why.c_str());
            return false;
        }
    }
    if (!scene->frontGiven)
        scene->front = scene->windows.empty() ? 0 : 1;
    if (scene->front > (int)scene->windows.size()) {
        fprintf(stderr, "ce-run: %s: front names window %d of %zu\n", path, scene->front,
                scene->windows.size());
        return false;
    }
    return true;
}

// A Pocket PC as it is most of the time: an application in front of the
// navigation bar and the Today screen, and four hardware buttons.
Scene DefaultScene(const std::string& exePath)
{
    Scene scene;
    const char* const windows[][2] = {
        {"Calculator", "Calc"}, {"HHTaskBar", ""}, {"DesktopExplorerWindow", ""}};
    for (const auto& w : windows) {
        WindowRow row;
        row.spec.className = WidenUtf8(w[0]);
        row.spec.title = WidenUtf8(w[1]);
        row.spec.onClose = w[1][0] != 0 ? host::kClosesOnClose : host::kIgnoresClose;
        row.name = std::string(w[0]) + (w[1][0] != 0 ? std::string(" \"") + w[1] + "\"" : "");
        scene.windows.push_back(row);
    }
    scene.registry.push_back(RegistryRow{false, kShellKeys, Text(), Text()});
    for (char16_t i = u'1'; i <= u'4'; i++) {
        scene.registry.push_back(RegistryRow{true, kShellKeys + u"\\40C" + i, u"Name",
                                             Text(u"Button ") + i});
    }
    const size_t slash = exePath.find_last_of('/');
    scene.module = u"\\Program Files\\ForegroundDismisser\\" +
                   WidenUtf8(slash == std::string::npos ? exePath : exePath.substr(slash + 1));
    return scene;
}

// The user at the program's dialog. A step the dialog cannot take, or a
// dialog left open, ends the run through the runner with the scene's line.
void WorkDialog(const Scene& scene, HWND dialog)
{
    auto has = [&](int id, host::ControlKind* kind) {
        for (const host::ControlSpec& c : host::DialogControls(dialog)) {
            if (c.id == id) {
                *kind = c.kind;
                return true;
            }
        }
        return false;
    };
    if (scene.dialog.empty()) {
        // Without a script: the first item of the first list, then OK.
        for (const host::ControlSpec& c : host::DialogControls(dialog)) {
            if (c.kind == host::kComboBox && !host::ComboItems(dialog, c.id).empty()) {
                host::SelectItem(dialog, c.id, 0);
                break;
            }
        }
        host::ControlKind kind;
        if (has(IDOK, &kind))
            host::Click(dialog, IDOK);
        else
            host::CloseDialog(dialog);
    }
    for (const DialogAction& a : scene.dialog) {
        if (host::DialogEnded())
            throw ce::GuestFault{"scene line " + std::to_string(a.line) + ": the dialog has already ended"};
        host::ControlKind kind;
        const std::string where = "scene line " + std::to_string(a.line) + ": ";
        if (a.kind == kClose) {
            host::CloseDialog(dialog);
        } else if (!has(a.id, &kind)) {
            throw ce::GuestFault{where + "the dialog has no control " + std::to_string(a.id)};
        } else if (a.kind == kClick) {
            host::Click(dialog, a.id);
        } else if (kind != host::kComboBox ||
                   a.index >= (int)host::ComboItems(dialog, a.id).size()) {
            throw ce::GuestFault{where + "control " + std::to_string(a.id) + " has no item " +
                                 std::to_string(a.index)};
        } else {
            host::SelectItem(dialog, a.id, a.index);
        }
    }
    if (!host::DialogEnded())
        throw ce::GuestFault{"the scene's dialog steps leave the dialog open"};
}

std::vector<HWND> BuildDevice(const Scene& scene)
{
    host::Reset();
    host::SetProfile(*scene.profile);
    host::SetScreen(scene.screen);
    if (scene.platformGiven && scene.platformAvailable)
        host::SetPlatformType(scene.platform);
    else if (scene.platformGiven)
        host::SetPlatformTypeUnavailable();
    std::vector<HWND> windows;
    for (WindowRow row : scene.windows) {
        // The navigation bar across the top, 26 pixels high at 96 dpi; the
        // rest full screen.
        const bool bar = row.spec.className == u"HHTaskBar";
        row.spec.rect = RECT{0, 0, scene.screen.width,
                             bar ? host::NavigationBarHeight(scene.screen) : scene.screen.height};
        windows.push_back(host::AddWindow(row.spec));
    }
    if (scene.front > 0)
        host::SetForeground(windows[scene.front - 1]);
    for (const RegistryRow& r : scene.registry) {
        if (r.isValue)
            host::SetStringValue(r.path, r.name, r.text);
        else
            host::AddKey(r.path);
    }
    if (!scene.module.empty())
        host::SetModulePath(scene.module);
    host::SetDialogScript([&scene](HWND dialog) { WorkDialog(scene, dialog); });
    return windows;
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

    Scene scene;
    if (scenePath != NULL && !ReadScene(scenePath, &scene))
        return 2;
    if (scenePath == NULL)
        scene = DefaultScene(exe);
    const std::vector<HWND> windows = BuildDevice(scene);
    const host::DeviceProfile& p = host::CurrentProfile();
    const host::Screen screen = host::GetScreen();
    printf("device: %s (%u.%u.%u), %dx%d at %d dpi, shipped on %s\n", p.release, (unsigned)p.major,
           (unsigned)p.minor, (unsigned)p.build, screen.width, screen.height, screen.dpi, p.cpus);
    auto nameOf = [&](HWND w) -> std::string {
        for (size_t i = 0; i < windows.size(); i++) {
            if (windows[i] == w)
                return scene.windows[i].name;
        }
        return w == NULL ? "none" : "dialog or control";
    };
    return RunAndReport("ce-run", exe, arguments, nameOf) ? 0 : 1;
}
