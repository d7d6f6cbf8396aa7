// empty_gui.cpp: a GUI program that does nothing, built the same way as the
// real ones and loading the same window-manager DLL: the baseline against
// which their start-to-exit time is set.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    // Any call into user32 makes the loader bring it in, as it does for the
    // real programs; this one asks nothing of the window manager.
    return IsWindow(NULL) ? 0 : 1;
}
