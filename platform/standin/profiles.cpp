// profiles.cpp: the Pocket PC releases the model can be, what each tells a
// program about itself (GetVersionExW, the platform type) and what its top
// bar does with a tap. Sources: platform/ce/README.md.
#include "model.h"

namespace standin {
namespace {

const Screen kQvga = {240, 320, 96};
const Screen kVga = {480, 640, 192};
const Screen kWvga = {480, 800, 192};

const std::vector<ReleaseProfile> kProfiles = {
    {"ppc2000", "Pocket PC 2000", 3, 0, 9348, u"Palm PC2", "ARM, MIPS, SH-3, SH-4", kQvga,
     kTopBarCloseButton},
    {"ppc2002", "Pocket PC 2002", 3, 0, 11171, u"PocketPC", "ARM", kQvga, kTopBarCloseButton},
    {"wm2003", "Windows Mobile 2003", 4, 20, 1081, u"PocketPC", "ARM", kQvga, kTopBarCloseButton},
    {"wm2003se", "Windows Mobile 2003 SE", 4, 21, 1088, u"PocketPC", "ARM", kQvga,
     kTopBarCloseButton},
    {"wm5", "Windows Mobile 5.0", 5, 1, 1700, u"PocketPC", "ARM", kQvga, kTopBarCloseButton},
    {"wm6", "Windows Mobile 6", 5, 2, 1235, u"PocketPC", "ARM", kVga, kTopBarCloseButton},
    {"wm61", "Windows Mobile 6.1", 5, 2, 19202, u"PocketPC", "ARM", kQvga, kTopBarCloseButton},
    {"wm65", "Windows Mobile 6.5", 5, 2, 21234, u"PocketPC", "ARM", kWvga, kTopBarCloseButton},
    {"wm653", "Windows Mobile 6.5.3", 5, 2, 23090, u"PocketPC", "ARM", kWvga, kTopBarStatusTray},
};

}  // namespace

using namespace detail;

const std::vector<ReleaseProfile>& Profiles()
{
    return kProfiles;
}

const ReleaseProfile* FindProfile(const std::string& name)
{
    for (const ReleaseProfile& p : kProfiles)
        if (name == p.name)
            return &p;
    return NULL;
}

const ReleaseProfile& DefaultProfile()
{
    return *FindProfile("wm61");
}

void SetProfile(const ReleaseProfile& profile)
{
    M().profile = &profile;
    SetVersion(profile.major, profile.minor, profile.build);
    SetPlatformType(profile.platformType);
}

const ReleaseProfile& CurrentProfile()
{
    return *M().profile;
}

void SetVersion(DWORD major, DWORD minor, DWORD build, DWORD platformId)
{
    M().versionAvailable = true;
    M().version.dwMajorVersion = major;
    M().version.dwMinorVersion = minor;
    M().version.dwBuildNumber = build;
    M().version.dwPlatformId = platformId;
}

void SetVersionUnavailable()
{
    M().versionAvailable = false;
}

}  // namespace standin

using namespace standin;
using namespace standin::detail;

// CE checks the size the caller gives before it writes anything.
BOOL GetVersionExW(LPOSVERSIONINFOW info)
{
    PlatformCall scope("GetVersionExW",
                       {Given(info), info == NULL ? 0 : (uintptr_t)info->dwOSVersionInfoSize});
    if (info == NULL || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) ||
        !M().versionAvailable)
        return FALSE;
    *info = M().version;
    return TRUE;
}
