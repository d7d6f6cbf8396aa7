// shell_generation.cpp: the shell's generation, told from the system version.
#include "shell_generation.h"

namespace {

// 6.5.3 reports 5.2.23090 (23091 and 23096 are seen too), 6.5 5.2.21234,
// and every earlier release a lower version. The 6.5.x builds past 6.5.3
// (Windows Embedded Handheld 6.5) stay at 5.2 with higher builds.
const DWORD kBottomBarMajor = 5;
const DWORD kBottomBarMinor = 2;
const DWORD kBottomBarBuild = 23000;

}  // namespace

bool ShellHasBottomBar()
{
    OSVERSIONINFOW version;
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExW(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_CE)
        return false;
    if (version.dwMajorVersion != kBottomBarMajor)
        return version.dwMajorVersion > kBottomBarMajor;
    if (version.dwMinorVersion != kBottomBarMinor)
        return version.dwMinorVersion > kBottomBarMinor;
    return version.dwBuildNumber >= kBottomBarBuild;
}
