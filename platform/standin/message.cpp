// message.cpp: messages sent to windows and controls, synthesized keys, sleeps,
// message boxes and beeps.
#include "model.h"

using namespace standin;
using namespace standin::detail;

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PlatformCall scope("SendMessageW",
                       {(uintptr_t)window, message, wParam, MessageParam(message, lParam)});
    if (Control* control = ControlOf(window))
        return ControlMessage(window, control, message, wParam, lParam);
    // A hung window's thread takes the message only when it recovers; the
    // sender waits for it, and the model goes on meanwhile.
    Window* w = Find(window);
    if (w != NULL && w->hungUntil > M().now) {
        Record(kWaited, window, w->hungUntil - M().now);
        AdvanceTo(w->hungUntil);
    }
    Record(kMessage, window, message, wParam, lParam);
    w = Find(window);
    // From 6.5.3 on the top bar holds only status icons: a tap opens their tray.
    if (w != NULL && message == WM_LBUTTONUP && SameName(w->className, kNavigationBar.className) &&
        M().profile->topBar == kTopBarStatusTray)
        Record(kTrayOpened, window);
    if (w == NULL || message != WM_CLOSE || w->onClose != kCloses || w->isChild)
        return 0;
    if (w->closeDelay == 0) {
        Destroy(window, true);
    } else if (!w->closing) {
        w->closing = true;
        At(M().now + w->closeDelay, [window] { Destroy(window, true); });
    }
    return 0;
}

void keybd_event(BYTE key, BYTE scan, DWORD flags, ULONG_PTR extraInfo)
{
    PlatformCall scope("keybd_event", {key, scan, flags, extraInfo});
    if (scan != 0 || extraInfo != 0 || (flags & ~(DWORD)KEYEVENTF_KEYUP) != 0)
        Unmodelled("keybd_event with a scan code, extra info or flags other than key-up");
    Record(kKeyEvent, NULL, key, flags);
    const bool up = (flags & KEYEVENTF_KEYUP) != 0;
    if (key == VK_CONTROL) {
        M().ctrlDown = !up;
        return;
    }
    // The media player's own shortcut: Ctrl+Q quits the window in front.
    Window* front = Find(M().foreground);
    if (key == 'Q' && !up && M().ctrlDown && front != NULL && front->onClose == kQuitsOnCtrlQ)
        Destroy(M().foreground, true);
}

void Sleep(DWORD milliseconds)
{
    PlatformCall scope("Sleep", {milliseconds});
    Record(kSleep, NULL, milliseconds);
    AdvanceTo(M().now + milliseconds);
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    PlatformCall scope("MessageBoxW", {(uintptr_t)owner, Given(text), Given(caption), type});
    Record(kMessageBox, owner, type, 0, 0, caption == NULL ? Text() : Text(caption),
           text == NULL ? Text() : Text(text));
    return IDOK;
}

BOOL MessageBeep(UINT type)
{
    PlatformCall scope("MessageBeep", {type});
    Record(kBeep, NULL, type);
    return TRUE;
}
