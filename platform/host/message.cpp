// message.cpp: messages sent to windows and controls, synthesized keys, sleeps,
// message boxes and beeps.
#include "device.h"

using namespace host;
using namespace host::detail;

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PlatformCall scope("SendMessageW",
                       {(uintptr_t)window, message, wParam, MessageParam(message, lParam)});
    if (Control* control = ControlOf(window))
        return ControlMessage(window, control, message, wParam, lParam);
    // A hung window's thread takes the message only when it recovers; the
    // sender waits for it, and the device goes on meanwhile.
    Window* w = Find(window);
    if (w != NULL && w->hungUntil > D().now) {
        Record(kWaited, window, w->hungUntil - D().now);
        AdvanceTo(w->hungUntil);
    }
    Record(kMessage, window, message, wParam, lParam);
    w = Find(window);
    // From 6.5.3 on the top bar holds only status icons: a tap opens their tray.
    if (w != NULL && message == WM_LBUTTONUP && SameName(w->className, kNavigationBar.className) &&
        D().profile->topBar == kTopBarStatusTray)
        Record(kTrayOpened, window);
    if (w == NULL || message != WM_CLOSE || w->onClose != kCloses || w->isChild)
        return 0;
    if (w->closeDelay == 0) {
        Destroy(window, true);
    } else if (!w->closing) {
        w->closing = true;
        At(D().now + w->closeDelay, [window] { Destroy(window, true); });
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
        D().ctrlDown = !up;
        return;
    }
    // The media player's own shortcut: Ctrl+Q quits the window in front.
    Window* front = Find(D().foreground);
    if (key == 'Q' && !up && D().ctrlDown && front != NULL && front->onClose == kQuitsOnCtrlQ)
        Destroy(D().foreground, true);
}

void Sleep(DWORD milliseconds)
{
    PlatformCall scope("Sleep", {milliseconds});
    Record(kSleep, NULL, milliseconds);
    AdvanceTo(D().now + milliseconds);
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
