// wine_program.h: the start of every Wine program of the tests and the demo:
// the command line checked and the built programs it names found.
#ifndef WINE_PROGRAM_H
#define WINE_PROGRAM_H

#include <windows.h>

#include <string>
#include <vector>

// A Windows path for a program argument; Wine hands Unix paths over as typed.
std::wstring WindowsPath(const WCHAR* argument);

// For wmain: from `least` to `most` arguments, the first `programs` of them
// built programs. Sets stdout to binary, so that UTF-8 and line ends reach the
// reading script as written, and fills *paths with the programs' Windows
// paths. False, with "usage: USAGE" or "NAME: no program at PATH" on stderr
// (NAME: USAGE's first word), when the count is wrong or a program is missing.
bool StartWineProgram(int argc, wchar_t** argv, const char* usage, int programs, int least,
                      int most, std::vector<std::wstring>* paths);

#endif
