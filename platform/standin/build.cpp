// build.cpp: makes the model what a scenario describes.
#include "model.h"

#include <stdlib.h>

namespace standin {

namespace {

// The release a system version belongs to: the latest whose own version is
// not above it (a device's report names no release, only its version: a
// 6.5.3 device's build may be 23090, 23091 or 23096). The default release
// for one older than every profile.
const ReleaseProfile* ReleaseOf(DWORD major, DWORD minor, DWORD build)
{
    const ReleaseProfile* found = &DefaultProfile();
    for (const ReleaseProfile& p : Profiles()) {
        if (p.major < major || (p.major == major && (p.minor < minor || (p.minor == minor && p.build <= build))))
            found = &p;
    }
    return found;
}

}  // namespace

std::vector<HWND> Build(const scene::Scenario& s)
{
    const ReleaseProfile* profile = !s.profile.empty()                  ? FindProfile(s.profile)
                                    : s.versionGiven && s.versionAvailable ? ReleaseOf(s.major, s.minor, s.build)
                                                                           : &DefaultProfile();
    if (profile == NULL)
        detail::Unmodelled(("no release is called " + s.profile).c_str());
    SetProfile(*profile);
    if (s.versionGiven && s.versionAvailable)
        SetVersion(s.major, s.minor, s.build);
    else if (s.versionGiven)
        SetVersionUnavailable();
    SetScreen(s.screenGiven || s.profile.empty() ? s.screen : profile->screen);
    if (s.platformGiven && s.platformAvailable)
        SetPlatformType(s.platform);
    else if (s.platformGiven)
        SetPlatformTypeUnavailable();
    std::vector<HWND> windows;
    for (const SceneWindow& w : s.windows)
        windows.push_back(AddWindow(w));
    const int front = s.FrontIndex();
    if (front >= 0 && front < (int)windows.size())
        SetForeground(windows[front]);
    for (const scene::RegistryRow& r : s.registry) {
        if (r.isValue)
            SetStringValue(r.path, r.name, r.text);
        else
            AddKey(r.path);
    }
    if (!s.module.empty())
        SetModulePath(s.module);
    return windows;
}

}  // namespace standin
