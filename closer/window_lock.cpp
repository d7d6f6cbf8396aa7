// window_lock.cpp: a lock per window, through a named mutex.
#include "window_lock.h"

namespace {

const WCHAR kNamePrefix[] = TEXT("ForegroundDismisser.Window.");
const int kNamePrefixChars = sizeof(kNamePrefix) / sizeof(kNamePrefix[0]) - 1;
const WCHAR kHexDigits[] = TEXT("0123456789ABCDEF");
const int kHandleDigits = 8;
static_assert(kNamePrefixChars + kHandleDigits + 1 == kWindowLockNameChars, "name buffer");

}  // namespace

// A handle is the same in every process on the device. On 64-bit Windows
// only its low 32 bits count, so they name the window there too.
void WindowLockName(HWND window, WCHAR* name)
{
    wcscpy(name, kNamePrefix);
    DWORD value = (DWORD)(UINT_PTR)window;
    for (int i = kNamePrefixChars + kHandleDigits - 1; i >= kNamePrefixChars; i--) {
        name[i] = kHexDigits[value & 0xF];
        value >>= 4;
    }
    name[kNamePrefixChars + kHandleDigits] = 0;
}

bool LockWindow(HWND window, WindowLock* lock)
{
    WCHAR name[kWindowLockNameChars];
    WindowLockName(window, name);
    // A press that can't make the mutex still runs: it is the press the
    // user made, and nothing says another one is under way.
    lock->mutex = CreateMutexW(NULL, FALSE, name);
    if (lock->mutex == NULL)
        return true;
    const DWORD wait = WaitForSingleObject(lock->mutex, 0);
    // Abandoned: a press ended without letting go; the mutex is ours now.
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED)
        return true;
    CloseHandle(lock->mutex);
    lock->mutex = NULL;
    return wait != WAIT_TIMEOUT;
}

void UnlockWindow(WindowLock* lock)
{
    if (lock->mutex == NULL)
        return;
    ReleaseMutex(lock->mutex);
    CloseHandle(lock->mutex);
    lock->mutex = NULL;
}
