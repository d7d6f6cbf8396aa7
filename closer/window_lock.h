// window_lock.h: a lock per window. A press holds a window's lock, a named
// mutex whose name holds the window's handle, from before its first call
// that could wait on that window's thread until it is done with the window.
// A press that finds the lock held by another ForegroundDismisser ends at
// once: a hung window never keeps more than one press waiting, and presses
// on every other window go on working.
#ifndef WINDOW_LOCK_H
#define WINDOW_LOCK_H

#include <windows.h>

// "ForegroundDismisser.Window." and the low 32 bits of the handle as eight
// upper-case hex digits, with its terminating zero.
const int kWindowLockNameChars = 36;
void WindowLockName(HWND window, WCHAR* name);

// NULL when the press holds nothing: no mutex could be made, or the call
// that made it could not take it.
struct WindowLock {
    HANDLE mutex;
};

// Takes the window's lock, or a mutex left abandoned by a press that died.
// False when another live press holds it: the caller ends with status 1 and
// touches nothing further. True, holding nothing, when CreateMutexW fails.
bool LockWindow(HWND window, WindowLock* lock);
void UnlockWindow(WindowLock* lock);

#endif
