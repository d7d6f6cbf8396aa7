// main.cpp: DeviceReport's entry point: one report, and whether it was
// written becomes the process exit code.
#include <windows.h>

#include "device_report.h"

#ifdef _WIN32_WCE
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
#else
// Desktop Win32 hands the wide command line to the wide entry point only.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
#endif
{
    return RunDeviceReport(commandLine);
}
