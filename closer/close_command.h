// close_command.h: one press of the button: the optional pre-step, then the
// dismissal that suits the window in front.
#ifndef CLOSE_COMMAND_H
#define CLOSE_COMMAND_H

#include <windows.h>

// Returns the process exit status: 0 when the window acted on is the Today
// screen, 1 otherwise. Each window the press deals with (the one in front
// before and after the pre-step, the navigation bar it taps) is locked for
// it; a press that finds one of them locked by another press returns 1 at
// once and touches nothing further.
int RunCloseCommand(LPCWSTR commandLine);

#endif
