// profiles.cpp: the Pocket PC releases the device can be, what each tells a
// program about itself (GetVersionExW, the platform type) and what its top
// bar does with a tap. Sources: platform/ce/README.md.
#include "device.h"

namespace host {
namespace {

const Screen kQvga = {240, 320, 96};
const Screen kVga = {480, 640, 192};
const Screen kWvga = {480, 800, 192};

const std::vector<DeviceProfile> kProfiles = {
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

const std::vector<DeviceProfile>& Profiles()
{
    return kProfiles;
}

const DeviceProfile* FindProfile(const std::string& name)
{
    for (const DeviceProfile& p : kProfiles)
        if (name == p.name)
            return &p;
    return NULL;
}

const DeviceProfile& DefaultProfile()
{
    return *FindProfile("wm61");
}

void SetProfile(const DeviceProfile& profile)
{
    D().profile = &profile;
    SetVersion(profile.major, profile.minor, profile.build);
    SetPlatformType(profile.platformType);
}

const DeviceProfile& CurrentProfile()
{
    return *D().profile;
}

void SetVersion(DWORD major, DWORD minor, DWORD build, DWORD platformId)
{
    D().versionAvailable = true;
    D().version.dwMajorVersion = major;
    D().version.dwMinorVersion = minor;
    D().version.dwBuildNumber = build;
    D().version.dwPlatformId = platformId;
}

void SetVersionUnavailable()
{
    D().versionAvailable = false;
}

}  // namespace host

using namespace host;
using namespace host::detail;

// CE checks the size the caller gives before it writes anything.
BOOL GetVersionExW(LPOSVERSIONINFOW info)
{
    PlatformCall scope("GetVersionExW",
                       {Given(info), info == NULL ? 0 : (uintptr_t)info->dwOSVersionInfoSize});
    if (info == NULL || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOW) ||
        !D().versionAvailable)
        return FALSE;
    *info = D().version;
    return TRUE;
}
