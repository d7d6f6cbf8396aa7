// wine_program.cpp: the start of a Wine program: its arguments, the programs
// they name as Windows paths.
#include "wine_program.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <string.h>

namespace {

// Wine's own export that turns a Unix path into the DOS path its loader
// reports for a program started from there.
typedef WCHAR*(CDECL* UnixToDosFunction)(const char*);

}  // namespace

std::wstring WindowsPath(const WCHAR* argument)
{
    UnixToDosFunction toDos = (UnixToDosFunction)(void*)GetProcAddress(
        GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name");
    if (toDos != NULL && argument[0] == L'/') {
        char unixPath[4096];
        WideCharToMultiByte(CP_UTF8, 0, argument, -1, unixPath, sizeof(unixPath), NULL, NULL);
        WCHAR* dos = toDos(unixPath);
        if (dos != NULL) {
            std::wstring result = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    WCHAR full[MAX_PATH];
    GetFullPathNameW(argument, MAX_PATH, full, NULL);
    return full;
}

bool StartWineProgram(int argc, wchar_t** argv, const char* usage, int programs, int least,
                      int most, std::vector<std::wstring>* paths)
{
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 1 + least || argc > 1 + most) {
        fprintf(stderr, "usage: %s\n", usage);
        return false;
    }
    const char* space = strchr(usage, ' ');
    std::string name(usage, space == NULL ? strlen(usage) : (size_t)(space - usage));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
        name.resize(name.size() - 4);
    paths->clear();
    for (int i = 1; i <= programs; i++) {
        paths->push_back(WindowsPath(argv[i]));
        if (GetFileAttributesW(paths->back().c_str()) == INVALID_FILE_ATTRIBUTES) {
            fprintf(stderr, "%s: no program at %ls\n", name.c_str(), paths->back().c_str());
            return false;
        }
    }
    return true;
}
