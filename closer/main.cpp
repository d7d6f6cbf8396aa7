// main.cpp: ForegroundDismisser's entry point. One press, one pass, and the
// status becomes the process exit code.
#include <windows.h>

#include "close_command.h"

#ifdef _WIN32_WCE
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
#else
// Desktop Win32 hands the wide command line to the wide entry point only.
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int)
#endif
{
    return RunCloseCommand(commandLine);
}
