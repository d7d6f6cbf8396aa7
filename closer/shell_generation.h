// shell_generation.h: which generation of the Pocket PC shell the closer
// runs under.
#ifndef SHELL_GENERATION_H
#define SHELL_GENERATION_H

#include <windows.h>

// Windows Mobile 6.5.3 and later (Windows Embedded Handheld 6.5 too): Start
// and the close/OK button sit in a bottom bar, and a tap on the top bar
// opens the status tray. False when the version can't be read, and on any
// system that is not Windows CE.
bool ShellHasBottomBar();

#endif
