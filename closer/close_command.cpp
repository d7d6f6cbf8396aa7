// close_command.cpp: one press of the button. Reads the options, runs the
// optional pre-step, then dismisses the window in front the way its kind
// calls for, each window it deals with under that window's lock.
#include "close_command.h"

#include "window_lock.h"
#include "window_rules.h"
#include "shell_generation.h"

namespace {

const WCHAR kOptionCloseFirst[] = TEXT("/d");
const WCHAR kOptionBackFirst[] = TEXT("/b");
const WCHAR kOptionNextWindow[] = TEXT("/n");
const WCHAR kOptionNextSkipShell[] = TEXT("/ns");

const WCHAR kClassNavigationBar[] = TEXT("HHTaskBar");

const DWORD kCloseWaitMs = 200;
const DWORD kStepWaitMs = 100;

// The navigation bar's close button sits this far in from its right end and
// this far down, in the bar's own coordinates.
const LONG kTapInsetFromRight = 12;
const LONG kTapY = 13;

const BYTE kKeyQ = 0x51;

bool HasOption(LPCWSTR commandLine, const WCHAR* option)
{
    return wcsstr(commandLine, option) != NULL;
}

void SendClose(HWND window)
{
    SendMessageW(window, WM_CLOSE, 0, 0);
}

// The window coming forward is shown first so that the old one never leaves
// the screen empty when it drops to the bottom.
void SendToBack(HWND window, HWND comingForward)
{
    if (comingForward != NULL)
        SetForegroundWindow(comingForward);
    SetWindowPos(window, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

// The tap waits on the shell's thread, so the bar has its lock as well.
void TapNavigationBarClose()
{
    HWND bar = FindWindowW(kClassNavigationBar, NULL);
    if (bar == NULL)
        return;
    WindowLock lock;
    if (!LockWindow(bar, &lock))
        return;
    RECT rect = {0, 0, 0, 0};
    GetWindowRect(bar, &rect);
    // Worked out in unsigned arithmetic: only the low 16 bits are kept, and
    // a bar at the far left edge of the coordinate range must not overflow.
    const WORD x = (WORD)((DWORD)rect.right - (DWORD)kTapInsetFromRight);
    const LPARAM position = MAKELPARAM(x, kTapY);
    SendMessageW(bar, WM_LBUTTONDOWN, 0, position);
    SendMessageW(bar, WM_LBUTTONUP, 0, position);
    UnlockWindow(&lock);
}

// The window's own close button, pressed for what it does. Up to 6.5 it is at
// the navigation bar's right end. From 6.5.3 on it sits in the bottom bar
// and the top bar opens the status tray, so nothing is tapped: a window
// showing OK gets the IDOK its button sends, and any other gets what X does,
// Smart Minimize: behind the Today screen, with the next window forward, and
// no message to the window. CE's ShowWindow has no SW_MINIMIZE for this.
void PressCloseButton(HWND front)
{
    if (!ShellHasBottomBar()) {
        TapNavigationBarClose();
        return;
    }
    if (((DWORD)GetWindowLongW(front, GWL_EXSTYLE) & WS_EX_CAPTIONOKBTN) != 0)
        SendMessageW(front, WM_COMMAND, IDOK, 0);
    else
        SendToBack(front, FindNextWindow(front, FALSE));
}

void KeyEvent(BYTE key, DWORD flags)
{
    keybd_event(key, 0, flags, 0);
}

// The media player may ignore WM_CLOSE; its own shortcut for quitting is Ctrl+Q.
void CloseMediaPlayer(HWND player)
{
    SendClose(player);
    Sleep(kStepWaitMs);
    if (!IsWindow(player))
        return;
    KeyEvent(VK_CONTROL, 0);
    Sleep(kStepWaitMs);
    KeyEvent(kKeyQ, 0);
    Sleep(kStepWaitMs);
    KeyEvent(kKeyQ, KEYEVENTF_KEYUP);
    Sleep(kStepWaitMs);
    KeyEvent(VK_CONTROL, KEYEVENTF_KEYUP);
}

// The window the pre-step deals with is locked for it, its wait included;
// false when another press holds that lock.
bool RunPreStep(LPCWSTR commandLine)
{
    const bool closeFirst = HasOption(commandLine, kOptionCloseFirst);
    if (!closeFirst && !HasOption(commandLine, kOptionBackFirst))
        return true;
    HWND front = GetForegroundWindow();
    WindowLock lock;
    if (!LockWindow(front, &lock))
        return false;
    if (closeFirst) {
        SendClose(front);
        Sleep(kCloseWaitMs);
    } else {
        SendToBack(front, FindNextWindow(front, FALSE));
        Sleep(kStepWaitMs);
    }
    UnlockWindow(&lock);
    return true;
}

int Dismiss(HWND front, LPCWSTR commandLine)
{
    switch (ClassifyWindow(front)) {
    case CategoryShell: {
        HWND next;
        if (HasOption(commandLine, kOptionNextWindow))
            next = FindNextWindow(front, HasOption(commandLine, kOptionNextSkipShell));
        else
            next = FindWindowW(kClassDesktop, NULL);
        SendToBack(front, next);
        return 1;
    }
    case CategoryTaskbarClose:
        PressCloseButton(front);
        return 1;
    case CategoryMediaPlayer:
        CloseMediaPlayer(front);
        return 1;
    case CategoryDesktop:
        return 0;
    case CategoryPlain:
    default:
        SendClose(front);
        return 1;
    }
}

}  // namespace

// The window in front after the pre-step is locked before it is classified:
// reading its title may wait on its thread.
int RunCloseCommand(LPCWSTR commandLine)
{
    if (commandLine == NULL)
        commandLine = TEXT("");
    if (!RunPreStep(commandLine))
        return 1;

    HWND front = GetForegroundWindow();
    WindowLock lock;
    if (!LockWindow(front, &lock))
        return 1;
    const int status = Dismiss(front, commandLine);
    UnlockWindow(&lock);
    return status;
}
