// main.cpp: KeyAssigner's entry point: runs the assignment dialog from its
// template and exits with 0 however the dialog ended.
#include <windows.h>

#include "assign_dialog.h"
#include "resource.h"

#ifdef _WIN32_WCE
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
#else
// Desktop Win32 hands the wide command line to the wide entry point only.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
#endif
{
    // CE finds no resource for a NULL module: the template is looked up in
    // the module the instance handle names, which is this program.
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCE(IDD_ASSIGN), RT_DIALOG);
    if (resource == NULL)
        return 0;
    LPCDLGTEMPLATEW dialogTemplate = (LPCDLGTEMPLATEW)LoadResource(instance, resource);
    DialogBoxIndirectParamW(instance, dialogTemplate, NULL, AssignDialog, 0);
    return 0;
}
