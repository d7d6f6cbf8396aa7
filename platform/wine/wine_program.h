// wine_program.h: the start of every Wine program of the tests and the demo:
// the command line checked and the built programs it names found.
#ifndef WINE_PROGRAM_H
#define WINE_PROGRAM_H

#include <windows.h>

#include <stdarg.h>
#include <stdio.h>

#include <string>
#include <vector>

// What went wrong in one case, a line each, however long.
struct Report {
    std::vector<std::string> problems;

    void Fail(const char* format, ...)
    {
        va_list args;
        va_start(args, format);
        std::string line(vsnprintf(NULL, 0, format, args), '\0');
        va_end(args);
        va_start(args, format);
        vsnprintf(&line[0], line.size() + 1, format, args);
        va_end(args);
        problems.push_back(line);
    }
    // A count or a status that had to be `want`.
    void Check(bool ok, const char* what, long got, long want)
    {
        if (!ok)
            Fail("%s: %ld, expected %ld", what, got, want);
    }
    // "PASS TITLE" or "FAIL TITLE" and each problem below it; true when it passed.
    bool Print(const char* title) const
    {
        printf("%s %s\n", problems.empty() ? "PASS" : "FAIL", title);
        for (const std::string& problem : problems)
            printf("    %s\n", problem.c_str());
        fflush(stdout);
        return problems.empty();
    }
};

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
