// press_lock.h: one press at a time. A press holds a named mutex from its
// start to its end; a press that finds another one holding it does nothing,
// so presses on a hung window can't pile up blocked processes.
#ifndef PRESS_LOCK_H
#define PRESS_LOCK_H

#include <windows.h>

// The mutex's name, one for every ForegroundDismisser on the device.
extern const WCHAR kPressLockName[];

// Runs RunCloseCommand while holding the mutex and returns its status. When
// another ForegroundDismisser holds it, returns 1 at once and touches no window.
int RunOnePress(LPCWSTR commandLine);

#endif
