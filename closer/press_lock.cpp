// press_lock.cpp: one press at a time, through a named mutex.
#include "press_lock.h"

#include "close_command.h"

const WCHAR kPressLockName[] = TEXT("ForegroundDismisser.Press");

int RunOnePress(LPCWSTR commandLine)
{
    // A press that can't make or query the mutex still runs: it is the press
    // the user made, and nothing says another one is under way.
    HANDLE lock = CreateMutexW(NULL, FALSE, kPressLockName);
    BOOL owned = FALSE;
    if (lock != NULL) {
        const DWORD wait = WaitForSingleObject(lock, 0);
        if (wait == WAIT_TIMEOUT) {
            CloseHandle(lock);
            return 1;
        }
        // Abandoned: a press ended without letting go; the mutex is ours now.
        owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }

    const int status = RunCloseCommand(commandLine);

    if (owned)
        ReleaseMutex(lock);
    if (lock != NULL)
        CloseHandle(lock);
    return status;
}
