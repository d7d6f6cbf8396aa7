// entry.cpp: the process entry point of both programs, in place of the C
// runtime's start-up code, which they don't need and which would double
// their size: hands the arguments to wWinMain and exits with its status.
#include <windows.h>

#include "command_line.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

extern "C" void ProgramEntry(void)
{
    LPWSTR arguments = SkipProgramName(GetCommandLineW());
    ExitProcess((UINT)wWinMain(GetModuleHandleW(NULL), NULL, arguments, SW_SHOWDEFAULT));
}
