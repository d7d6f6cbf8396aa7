// command_line.h: where the arguments begin in a process's command line, as
// the C runtime's start-up code finds them for the GUI entry point.
#ifndef COMMAND_LINE_H
#define COMMAND_LINE_H

#include <windows.h>

// The program's own path comes first, quoted when it holds spaces; the
// arguments start after it and the blanks that follow it.
inline LPWSTR SkipProgramName(LPWSTR line)
{
    if (line == NULL)
        return NULL;
    if (*line == '"') {
        line++;
        while (*line != 0 && *line != '"')
            line++;
        if (*line == '"')
            line++;
    } else {
        while (*line != 0 && *line != ' ' && *line != '\t')
            line++;
    }
    while (*line == ' ' || *line == '\t')
        line++;
    return line;
}

#endif
