// entry.cpp: the process entry point of every device program. The CE loader
// calls it with WinMain's own four arguments, the command line already
// holding only the arguments, so there is nothing to prepare: it hands them
// on, and WinMain's status becomes the process exit status.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

extern "C" __attribute__((section(".text.entry"))) int WinMainCRTStartup(
    HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show)
{
    return WinMain(instance, previous, commandLine, show);
}
