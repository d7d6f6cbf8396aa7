// window.cpp: the window tree, the Z order of top-level windows and the
// foreground window, as the scene sets them up and as the program reads and moves them.
#include "model.h"

#include <algorithm>

namespace standin {
namespace detail {

Window* Find(HWND handle)
{
    auto it = M().windows.find((uintptr_t)handle);
    if (it == M().windows.end() || !it->second.alive)
        return NULL;
    return &it->second;
}

HWND NewHandle()
{
    M().nextHandle += 0x10;
    return (HWND)M().nextHandle;
}

namespace {

void RemoveFromZOrder(HWND handle)
{
    auto& z = M().zOrder;
    z.erase(std::remove(z.begin(), z.end(), handle), z.end());
}

}  // namespace

// A destroyed active window hands activation to the visible window below it.
// The navigation bar stays on top of everything but never takes activation.
void Destroy(HWND handle, bool traced)
{
    Window* w = Find(handle);
    if (w == NULL)
        return;
    auto& z = M().zOrder;
    auto it = std::find(z.begin(), z.end(), handle);
    HWND below = NULL;
    if (it != z.end()) {
        for (auto next = it + 1; next != z.end(); ++next) {
            const Window* candidate = Find(*next);
            if (candidate->visible && !SameName(candidate->className, kNavigationBar.className)) {
                below = *next;
                break;
            }
        }
    }
    w->alive = false;
    if (w->child != NULL)
        M().windows[(uintptr_t)w->child].alive = false;
    RemoveFromZOrder(handle);
    if (traced)
        Record(kDestroyed, handle);
    if (M().foreground == handle)
        M().foreground = below;
}

}  // namespace detail

using namespace detail;

HWND AddWindow(const SceneWindow& spec)
{
    HWND handle = NewHandle();
    Window w;
    w.className = spec.className;
    w.title = spec.title;
    w.visible = spec.visible;
    w.topmost = spec.topmost;
    w.onClose = spec.onClose;
    w.closeDelay = spec.closeDelay;
    w.hungUntil = spec.hungFor;
    w.style = spec.style;
    // The extended style says what the scene says of the window: OK, and kept on top.
    w.exStyle = spec.exStyle | (spec.showsOk ? WS_EX_CAPTIONOKBTN : 0) | (spec.topmost ? WS_EX_TOPMOST : 0);
    const Screen& screen = M().screen;
    const bool bar = IsNavigationBar(spec.className);
    w.rect = RECT{0, 0, spec.width != 0 ? spec.width : screen.width,
                  spec.height != 0 ? spec.height : bar ? NavigationBarHeight(screen) : screen.height};
    if (spec.placed)
        w.rect = RECT{spec.left, spec.top, spec.right, spec.bottom};
    if (spec.hasChild) {
        HWND child = NewHandle();
        Window c;
        c.className = u"static";
        c.title = spec.childTitle;
        c.isChild = true;
        M().windows[(uintptr_t)child] = c;
        w.child = child;
    }
    M().windows[(uintptr_t)handle] = w;
    M().zOrder.push_back(handle);
    return handle;
}

HWND AddWindow(const Text& className, const Text& title, bool visible)
{
    SceneWindow spec = App("", className, title);
    spec.visible = visible;
    return AddWindow(spec);
}

HWND AddWindowWithChild(const Text& className, const Text& title, const Text& childTitle)
{
    return AddWindow(App("", className, title).WithChild(childTitle));
}

void SetForeground(HWND window)
{
    M().foreground = window;
}

// A window kept on top (the navigation bar) stays above the others.
void RaiseToTop(HWND window)
{
    RemoveFromZOrder(window);
    auto& z = M().zOrder;
    auto at = z.begin();
    const Window* raised = Find(window);
    while (raised != NULL && !raised->topmost && at != z.end() && Find(*at) != NULL && Find(*at)->topmost)
        ++at;
    z.insert(at, window);
}

void LoopZOrder(bool loop)
{
    M().zOrderLoops = loop;
}

void DestroyWindowSilently(HWND window)
{
    Destroy(window, false);
}

void SetCloseReaction(HWND window, CloseAnswer reaction)
{
    if (Window* w = Find(window))
        w->onClose = reaction;
}

void SetHungUntil(HWND window, DWORD time)
{
    if (Window* w = Find(window))
        w->hungUntil = time;
}

void SetPlatformType(const Text& type)
{
    M().platformAvailable = true;
    M().platformType = type;
}

void SetPlatformTypeUnavailable()
{
    M().platformAvailable = false;
}

std::vector<HWND> ZOrder()
{
    return M().zOrder;
}

HWND Foreground()
{
    return M().foreground;
}

bool Exists(HWND window)
{
    return Find(window) != NULL;
}

void SetScreen(const Screen& screen)
{
    if (screen.width <= 0 || screen.height <= 0 || screen.dpi < 96)
        Unmodelled("a screen smaller than one pixel or below 96 dpi");
    M().screen = screen;
}

Screen GetScreen()
{
    return M().screen;
}

void SetLegacyProgram(bool legacy)
{
    M().legacyProgram = legacy;
}

bool IsLegacyProgram()
{
    return M().legacyProgram;
}

}  // namespace standin

using namespace standin;
using namespace standin::detail;

HWND GetForegroundWindow(void)
{
    PlatformCall scope("GetForegroundWindow");
    return Find(M().foreground) != NULL ? M().foreground : NULL;
}

BOOL SetForegroundWindow(HWND window)
{
    PlatformCall scope("SetForegroundWindow", {(uintptr_t)window});
    Record(kForeground, window);
    Window* w = Find(window);
    if (w == NULL || w->isChild || w->dialog != NULL)
        return FALSE;
    M().foreground = window;
    RaiseToTop(window);
    return TRUE;
}

HWND GetWindow(HWND window, UINT command)
{
    PlatformCall scope("GetWindow", {(uintptr_t)window, command});
    Window* w = Find(window);
    if (command == GW_CHILD)
        return w == NULL ? NULL : w->child;
    if (command != GW_HWNDNEXT && command != GW_HWNDPREV)
        Unmodelled("GetWindow with this command");
    if (w == NULL || w->isChild)
        return NULL;
    auto& z = M().zOrder;
    auto it = std::find(z.begin(), z.end(), window);
    if (it == z.end())
        return NULL;
    if (command == GW_HWNDPREV) {
        if (it == z.begin())
            return M().zOrderLoops ? z.back() : NULL;
        return *(it - 1);
    }
    if (it + 1 == z.end())
        return M().zOrderLoops ? z.front() : NULL;
    return *(it + 1);
}

int GetClassNameW(HWND window, LPWSTR buffer, int capacity)
{
    PlatformCall scope("GetClassNameW", {(uintptr_t)window, Given(buffer), (uintptr_t)capacity});
    Window* w = Find(window);
    return w == NULL ? 0 : CopyOut(w->className, buffer, capacity);
}

int GetWindowTextW(HWND window, LPWSTR buffer, int capacity)
{
    PlatformCall scope("GetWindowTextW", {(uintptr_t)window, Given(buffer), (uintptr_t)capacity});
    // As GetClassNameW, a call that finds no window writes nothing: what
    // the buffer held before is still there.
    Window* w = Find(window);
    return w == NULL ? 0 : CopyOut(w->title, buffer, capacity);
}

BOOL IsWindowVisible(HWND window)
{
    PlatformCall scope("IsWindowVisible", {(uintptr_t)window});
    Window* w = Find(window);
    return w != NULL && w->visible;
}

BOOL IsWindow(HWND window)
{
    PlatformCall scope("IsWindow", {(uintptr_t)window});
    return Find(window) != NULL;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR title)
{
    PlatformCall scope("FindWindowW", {Given(className), Given(title)}, className);
    if (title != NULL || className == NULL)
        Unmodelled("FindWindowW other than by class name alone");
    Text wanted(className);
    for (HWND handle : M().zOrder) {
        if (SameName(Find(handle)->className, wanted))
            return handle;
    }
    return NULL;
}

BOOL GetWindowRect(HWND window, LPRECT rect)
{
    PlatformCall scope("GetWindowRect", {(uintptr_t)window, Given(rect)});
    Window* w = Find(window);
    if (w == NULL || rect == NULL)
        return FALSE;
    *rect = w->rect;
    if (M().legacyProgram && M().screen.dpi > 96) {
        // The legacy layer shows the program a 96-dpi screen.
        const int dpi = M().screen.dpi;
        rect->left = rect->left * 96 / dpi;
        rect->top = rect->top * 96 / dpi;
        rect->right = rect->right * 96 / dpi;
        rect->bottom = rect->bottom * 96 / dpi;
    }
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    PlatformCall scope("SetWindowPos", {(uintptr_t)window, (uintptr_t)after, (uintptr_t)x,
                                        (uintptr_t)y, (uintptr_t)cx, (uintptr_t)cy, flags});
    if (after != HWND_BOTTOM || x != 0 || y != 0 || cx != 0 || cy != 0 ||
        flags != (SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE))
        Unmodelled("SetWindowPos other than to the bottom, unmoved and unactivated");
    Record(kZOrder, window, 0, flags);
    Window* w = Find(window);
    if (w == NULL || w->isChild)
        return FALSE;
    RemoveFromZOrder(window);
    M().zOrder.push_back(window);
    return TRUE;
}

LONG GetWindowLongW(HWND window, int index)
{
    PlatformCall scope("GetWindowLongW", {(uintptr_t)window, (uintptr_t)(intptr_t)index});
    if (index != GWL_EXSTYLE && index != GWL_STYLE)
        Unmodelled("GetWindowLongW other than the style or the extended style");
    const Window* w = Find(window);
    if (w == NULL)
        return 0;
    return (LONG)(index == GWL_STYLE ? w->style : w->exStyle);
}

// The legacy layer shows a legacy program a 96-dpi screen, scaled as its
// rectangles are.
int GetSystemMetrics(int index)
{
    PlatformCall scope("GetSystemMetrics", {(uintptr_t)(intptr_t)index});
    if (index != SM_CXSCREEN && index != SM_CYSCREEN)
        Unmodelled("GetSystemMetrics other than the screen's size");
    const Screen& screen = M().screen;
    const int pixels = index == SM_CXSCREEN ? screen.width : screen.height;
    return M().legacyProgram && screen.dpi > 96 ? pixels * 96 / screen.dpi : pixels;
}

// The screen's device context: the one the program gets for the whole
// screen (NULL) and gives back.
HDC GetDC(HWND window)
{
    PlatformCall scope("GetDC", {(uintptr_t)window});
    if (window != NULL)
        Unmodelled("GetDC of a window rather than the screen");
    M().dcs++;
    return (HDC)(uintptr_t)0x6000;
}

int ReleaseDC(HWND window, HDC dc)
{
    PlatformCall scope("ReleaseDC", {(uintptr_t)window, (uintptr_t)dc});
    if (window != NULL || dc != (HDC)(uintptr_t)0x6000 || M().dcs == 0)
        return 0;
    M().dcs--;
    return 1;
}

int GetDeviceCaps(HDC dc, int index)
{
    PlatformCall scope("GetDeviceCaps", {(uintptr_t)dc, (uintptr_t)(intptr_t)index});
    if (index != LOGPIXELSX)
        Unmodelled("GetDeviceCaps other than the horizontal dpi");
    if (dc != (HDC)(uintptr_t)0x6000 || M().dcs == 0)
        return 0;
    return M().legacyProgram ? 96 : M().screen.dpi;
}

BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID buffer, UINT winIni)
{
    PlatformCall scope("SystemParametersInfoW", {action, param, Given(buffer), winIni});
    if (action != SPI_GETPLATFORMTYPE || winIni != 0 || buffer == NULL)
        Unmodelled("SystemParametersInfoW other than reading the platform type");
    if (!M().platformAvailable)
        return FALSE;
    // The size is in bytes; the text and its terminator must fit.
    if ((M().platformType.size() + 1) * sizeof(WCHAR) > param)
        return FALSE;
    CopyOut(M().platformType, (LPWSTR)buffer, (int)(param / sizeof(WCHAR)));
    return TRUE;
}
