// close_command.h: one press of the button: the optional pre-step, then the
// dismissal that suits the window in front.
#ifndef CLOSE_COMMAND_H
#define CLOSE_COMMAND_H

#include <windows.h>

// Returns the process exit status: 0 when the window acted on is the Today
// screen, 1 otherwise.
int RunCloseCommand(LPCWSTR commandLine);

#endif
