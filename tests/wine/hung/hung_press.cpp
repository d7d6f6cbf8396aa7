// hung_press.cpp: the button pressed again and again over an application
// that has stopped answering, with a healthy one beside it. The hung
// window blocks inside its WM_CLOSE handling until the test lets it
// recover; each row presses the real ForegroundDismisser.exe a number of
// times meanwhile and checks that only the first press stays, waiting,
// while the others end at once with status 1; that a healthy window brought
// forward meanwhile is closed by the next press; and that every press has
// ended once the hung window answers again.
//
// Usage: hung_press.exe PATH-TO-ForegroundDismisser.exe
#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <wchar.h>

#include <algorithm>
#include <string>
#include <vector>

#include "scene_windows.h"
#include "wine_program.h"

namespace {

// How long a press that finds a window's lock held may take to end:
// process start-up under Wine included.
const DWORD kDroppedPressMs = 1000;
// How long the first press gets to reach the hung window, and any press to
// end on a window that answers.
const DWORD kReachMs = 15000;
const DWORD kFinishMs = 5000;
// The hung window waits this long at most, so that a failing run still ends.
const DWORD kHangLimitMs = 60000;
// How long a window gets to come forward when asked.
const DWORD kForwardMs = 2000;

const WCHAR kCloserName[] = L"ForegroundDismisser.exe";

// The name of the lock a press holds while it deals with the window.
std::wstring LockName(HWND window)
{
    WCHAR name[64];
    swprintf(name, 64, L"ForegroundDismisser.Window.%08X", (unsigned)(DWORD)(UINT_PTR)window);
    return name;
}

// ---------------------------------------------------------------------------
// The applications: two windows, each on a thread of its own. The hung one
// is in front; its first WM_CLOSE blocks until `recover` is set, then it
// answers again and stays, and it goes at the next WM_CLOSE. The healthy
// one goes at once when asked.

const UINT kComeForward = WM_APP;
const UINT kQuit = WM_APP + 1;

HANDLE g_entered = NULL;  // the hung window is inside its WM_CLOSE handling
HANDLE g_recover = NULL;  // lets it answer

struct App {
    const WCHAR* className;
    int y;
    bool hangs;
    HANDLE thread = NULL;
    HANDLE ready = NULL;
    HWND window = NULL;
    volatile LONG closes = 0;
};

LRESULT CALLBACK AppProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          (LONG_PTR)((CREATESTRUCTW*)lParam)->lpCreateParams);
    App* app = (App*)GetWindowLongPtrW(window, GWLP_USERDATA);
    switch (message) {
    case WM_CLOSE:
        if (InterlockedIncrement(&app->closes) == 1 && app->hangs) {
            SetEvent(g_entered);
            // Stops answering: no message of this thread is handled meanwhile.
            WaitForSingleObject(g_recover, kHangLimitMs);
            return 0;
        }
        DestroyWindow(window);
        return 0;
    case kComeForward:
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(window);
        return 0;
    case kQuit:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI AppThread(LPVOID param)
{
    App* app = (App*)param;
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = AppProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = app->className;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    RegisterClassW(&wc);
    app->window = CreateWindowExW(0, app->className, app->className,
                                  WS_POPUP | WS_VISIBLE | WS_BORDER, 0, app->y, 240, 120, NULL,
                                  NULL, wc.hInstance, app);
    SetForegroundWindow(app->window);
    SetEvent(app->ready);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

bool StartApp(App* app)
{
    app->ready = CreateEventW(NULL, TRUE, FALSE, NULL);
    app->thread = CreateThread(NULL, 0, AppThread, app, 0, NULL);
    return app->thread != NULL && WaitForSingleObject(app->ready, 5000) == WAIT_OBJECT_0 &&
           app->window != NULL;
}

void StopApp(App* app)
{
    if (app->thread == NULL)
        return;
    if (IsWindow(app->window))
        PostMessageW(app->window, kQuit, 0, 0);
    if (WaitForSingleObject(app->thread, 5000) != WAIT_OBJECT_0)
        TerminateThread(app->thread, 1);
    CloseHandle(app->thread);
    CloseHandle(app->ready);
}

// Asks the window to come forward and waits until it is the foreground window.
bool BringForward(HWND window)
{
    PostMessageW(window, kComeForward, 0, 0);
    for (DWORD waited = 0; waited < kForwardMs; waited += 10) {
        if (GetForegroundWindow() == window)
            return true;
        Sleep(10);
    }
    return false;
}

// ---------------------------------------------------------------------------
// Presses

HANDLE StartPress(const std::wstring& closer, const WCHAR* options)
{
    const std::wstring line = L"\"" + closer + L"\" " + options;
    return StartProgram(closer.c_str(), line.c_str());
}

// Waits for the press to end: its exit status, or -1 if it is still running.
long WaitForPress(HANDLE process, DWORD ms)
{
    if (WaitForSingleObject(process, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD status = 0;
    GetExitCodeProcess(process, &status);
    return (long)status;
}

// ForegroundDismisser processes on the system, by their file name.
int CloserProcesses()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32W entry;
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
        const WCHAR* name = wcsrchr(entry.szExeFile, L'\\');
        name = name != NULL ? name + 1 : entry.szExeFile;
        if (_wcsicmp(name, kCloserName) == 0)
            count++;
    }
    CloseHandle(snapshot);
    return count;
}

// ---------------------------------------------------------------------------
// The table

struct HungCase {
    const char* name;
    const WCHAR* options;
    int presses;        // presses while the window hangs, the first included
    bool healthyPress;  // then the healthy window is brought forward and pressed
    bool killFirst;     // the waiting press is killed, not let finish
};

const HungCase kCases[] = {
    {"five presses on a hung window, then a healthy one", L"", 5, true, false},
    {"five /d presses on a hung window, then a healthy one", L"/d", 5, true, false},
    // The system lets go of a killed press's mutex. The test keeps a handle
    // to it meanwhile, so that it outlives the press, abandoned, and the
    // next press on the window has to take it over.
    {"the waiting press killed, then the next press works", L"", 1, false, true},
};


// Starts a press and waits for it to end; its status, -1 if it was still
// running (it is killed then), -2 if it could not start.
long PressAndWait(const std::wstring& closer, const WCHAR* options, DWORD ms)
{
    HANDLE press = StartPress(closer, options);
    if (press == NULL)
        return -2;
    const long status = WaitForPress(press, ms);
    if (status == -1)
        TerminateProcess(press, 255);
    CloseHandle(press);
    return status;
}

void PressTheHealthyWindow(const std::wstring& closer, const HungCase& c, App* healthy,
                           HANDLE first, Report* out)
{
    const bool forward = BringForward(healthy->window);
    out->Check(forward, "the healthy window brought forward", forward, 1);
    const long status = PressAndWait(closer, c.options, kFinishMs);
    out->Check(status == 1, "status of the press on the healthy window", status, 1);
    out->Check(healthy->closes == 1, "WM_CLOSE the healthy window received", healthy->closes, 1);
    const bool closed = !IsWindow(healthy->window);
    out->Check(closed, "the healthy window closed", closed, 1);
    const long stillWaiting = WaitForPress(first, 0);
    out->Check(stillWaiting == -1, "first press still waiting once the healthy window closed",
               stillWaiting, -1);
}

void RunCase(const std::wstring& closer, const HungCase& c, Report* out)
{
    ResetEvent(g_entered);
    ResetEvent(g_recover);
    App healthy = {L"Calendar", 160, false};
    App hung = {L"Calculator", 30, true};
    if (!StartApp(&healthy) || !StartApp(&hung) || GetForegroundWindow() != hung.window) {
        out->Check(false, "the hung window in front", 0, 1);
        SetEvent(g_recover);
        StopApp(&hung);
        StopApp(&healthy);
        return;
    }

    HANDLE first = StartPress(closer, c.options);
    const bool reached = first != NULL && WaitForSingleObject(g_entered, kReachMs) == WAIT_OBJECT_0;
    out->Check(reached, "first press reached the window", reached, 1);

    // Presses that did not end in time stay until the window recovers, so
    // that they are counted.
    std::vector<HANDLE> stuck;
    long slowest = 0;
    for (int n = 1; reached && n < c.presses; n++) {
        const DWORD start = GetTickCount();
        HANDLE press = StartPress(closer, c.options);
        const long status = press != NULL ? WaitForPress(press, kDroppedPressMs) : -2;
        slowest = std::max(slowest, (long)(GetTickCount() - start));
        out->Check(status == 1, "status of a press made while the first waits", status, 1);
        if (status == -1)
            stuck.push_back(press);
        else if (press != NULL)
            CloseHandle(press);
        const int running = CloserProcesses();
        out->Check(running == 1, "ForegroundDismisser processes while the window hangs", running, 1);
    }
    if (reached) {
        if (c.presses > 1)
            printf("    %d more presses; the slowest took %ld ms\n", c.presses - 1, slowest);
        const long stillWaiting = WaitForPress(first, 0);
        out->Check(stillWaiting == -1, "first press still waiting on the hung window", stillWaiting, -1);
        out->Check(hung.closes == 1, "WM_CLOSE the hung window received", hung.closes, 1);
    }
    if (reached && c.healthyPress)
        PressTheHealthyWindow(closer, c, &healthy, first, out);

    HANDLE keepAlive = NULL;
    if (first != NULL && c.killFirst) {
        keepAlive = OpenMutexW(SYNCHRONIZE, FALSE, LockName(hung.window).c_str());
        out->Check(keepAlive != NULL, "the waiting press's lock found by name", keepAlive != NULL,
                   1);
        TerminateProcess(first, 9);
        const long status = WaitForPress(first, kFinishMs);
        out->Check(status == 9, "status of the killed press", status, 9);
        CloseHandle(first);
        first = NULL;
    }
    SetEvent(g_recover);
    if (first != NULL) {
        const long status = WaitForPress(first, kFinishMs);
        out->Check(status == 1, "status of the first press after the window recovered", status, 1);
        if (status == -1)
            TerminateProcess(first, 255);
        CloseHandle(first);
    }
    for (HANDLE press : stuck) {
        if (WaitForPress(press, kFinishMs) == -1)
            TerminateProcess(press, 255);
        CloseHandle(press);
    }

    // The window answers again and is still in front: the next press takes
    // over its abandoned lock and closes it.
    if (c.killFirst) {
        const long status = PressAndWait(closer, c.options, kFinishMs);
        out->Check(status == 1, "status of the next press on the window", status, 1);
        out->Check(hung.closes == 2, "WM_CLOSE the recovered window received", hung.closes, 2);
        const bool closed = !IsWindow(hung.window);
        out->Check(closed, "the recovered window closed", closed, 1);
    }
    if (keepAlive != NULL)
        CloseHandle(keepAlive);
    StopApp(&hung);
    StopApp(&healthy);
    const int left = CloserProcesses();
    out->Check(left == 0, "ForegroundDismisser processes left at the end", left, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> built;
    if (!StartWineProgram(argc, argv, "hung_press.exe PATH-TO-ForegroundDismisser.exe", 1, 1, 1, &built))
        return 2;
    const std::wstring closer = built[0];
    g_entered = CreateEventW(NULL, TRUE, FALSE, NULL);
    g_recover = CreateEventW(NULL, TRUE, FALSE, NULL);

    int failed = 0;
    for (const HungCase& c : kCases) {
        Report out;
        RunCase(closer, c, &out);
        if (!out.Print(c.name))
            failed++;
    }
    const int count = (int)(sizeof(kCases) / sizeof(kCases[0]));
    printf("%d passed, %d failed\n", count - failed, failed);
    return failed == 0 ? 0 : 1;
}
