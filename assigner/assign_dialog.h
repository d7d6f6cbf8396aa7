// assign_dialog.h: the full-screen dialog in which the user picks a button
// and a launch option.
#ifndef ASSIGN_DIALOG_H
#define ASSIGN_DIALOG_H

#include <windows.h>

INT_PTR CALLBACK AssignDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

#endif
