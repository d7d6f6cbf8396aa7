// hung_press.cpp: the button pressed again and again over an application
// that has stopped answering. The application's window blocks inside its
// WM_CLOSE handling until the test lets it recover; each row presses the
// real ForegroundDismisser.exe a number of times meanwhile and checks that
// only the first press stays, waiting, while the others end at once with
// status 1, and that the waiting one ends once the window answers.
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

namespace {

// How long a press that finds another under way may take to end: process
// start-up under Wine included.
const DWORD kDroppedPressMs = 1000;
// How long the first press gets to reach the hung window, and to end after
// the window recovers.
const DWORD kReachMs = 15000;
const DWORD kFinishMs = 5000;
// The hung window waits this long at most, so that a failing run still ends.
const DWORD kHangLimitMs = 60000;

const WCHAR kCloserName[] = L"ForegroundDismisser.exe";
// The mutex a press holds for as long as it runs.
const WCHAR kPressLock[] = L"ForegroundDismisser.Press";

// ---------------------------------------------------------------------------
// The application: two windows on a thread of their own. The one in front
// hangs in WM_CLOSE until `recover` is set, then goes, and the one below
// comes forward; the one below closes at once when asked.

struct App {
    HANDLE thread = NULL;
    HANDLE ready = NULL;    // both windows are up and the hung one is in front
    HANDLE entered = NULL;  // the hung window is inside its WM_CLOSE handling
    HANDLE recover = NULL;  // lets it answer
    HWND hung = NULL;
    HWND below = NULL;
    volatile LONG hungCloses = 0;
    volatile LONG belowCloses = 0;
};

App* g_app = NULL;

LRESULT CALLBACK HungProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        InterlockedIncrement(&g_app->hungCloses);
        SetEvent(g_app->entered);
        // Stops answering: no message of this thread is handled meanwhile.
        WaitForSingleObject(g_app->recover, kHangLimitMs);
        DestroyWindow(window);
        SetForegroundWindow(g_app->below);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK BelowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        InterlockedIncrement(&g_app->belowCloses);
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeWindow(const WCHAR* className, WNDPROC proc, const WCHAR* title, int y)
{
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = className;
    wc.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, className, title, WS_POPUP | WS_VISIBLE | WS_BORDER, 0, y,
                                  240, 120, NULL, NULL, wc.hInstance, NULL);
    return window;
}

DWORD WINAPI AppThread(LPVOID)
{
    g_app->below = MakeWindow(L"Calendar", BelowProc, L"Calendar", 160);
    g_app->hung = MakeWindow(L"Calculator", HungProc, L"Calculator", 30);
    SetForegroundWindow(g_app->hung);
    SetEvent(g_app->ready);
    MSG msg;
    while (GetMessageW(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

bool StartApp(App* app)
{
    g_app = app;
    app->ready = CreateEventW(NULL, TRUE, FALSE, NULL);
    app->entered = CreateEventW(NULL, TRUE, FALSE, NULL);
    app->recover = CreateEventW(NULL, TRUE, FALSE, NULL);
    app->thread = CreateThread(NULL, 0, AppThread, NULL, 0, NULL);
    return app->thread != NULL && WaitForSingleObject(app->ready, 5000) == WAIT_OBJECT_0;
}

void StopApp(App* app)
{
    SetEvent(app->recover);
    if (app->below != NULL)
        PostMessageW(app->below, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(app->thread, 5000) != WAIT_OBJECT_0)
        TerminateThread(app->thread, 1);
    CloseHandle(app->thread);
    CloseHandle(app->ready);
    CloseHandle(app->entered);
    CloseHandle(app->recover);
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
    int presses;           // presses while the window hangs, the first included
    bool killFirst;        // the waiting press is killed, not let finish
    bool pressAfterwards;  // one more press once the hung one has ended
};

const HungCase kCases[] = {
    {"five presses on a hung window", L"", 5, false, false},
    {"five /d presses on a hung window", L"/d", 5, false, false},
    {"a quick double press, then one after recovery", L"", 2, false, true},
    // The system lets go of a killed press's mutex. The test keeps a handle
    // to it meanwhile, so that it outlives the press, abandoned, and the
    // next press has to take it over.
    {"the waiting press killed, then one after recovery", L"", 1, true, true},
};

struct Outcome {
    std::vector<std::string> problems;
    void Fail(const char* what, long got, long want)
    {
        char line[256];
        snprintf(line, sizeof(line), "%s: %ld, expected %ld", what, got, want);
        problems.push_back(line);
    }
    void Check(bool ok, const char* what, long got, long want)
    {
        if (!ok)
            Fail(what, got, want);
    }
};

void RunCase(const std::wstring& closer, const HungCase& c, Outcome* out)
{
    App app;
    if (!StartApp(&app) || GetForegroundWindow() != app.hung) {
        out->Fail("the hung window in front", 0, 1);
        StopApp(&app);
        return;
    }

    HANDLE first = StartPress(closer, c.options);
    const bool reached = first != NULL && WaitForSingleObject(app.entered, kReachMs) == WAIT_OBJECT_0;
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
        out->Check(app.hungCloses == 1, "WM_CLOSE the hung window received", app.hungCloses, 1);
    }

    HANDLE keepAlive = NULL;
    if (first != NULL && c.killFirst) {
        keepAlive = OpenMutexW(SYNCHRONIZE, FALSE, kPressLock);
        out->Check(keepAlive != NULL, "the waiting press's mutex found by name", keepAlive != NULL, 1);
        TerminateProcess(first, 9);
        const long status = WaitForPress(first, kFinishMs);
        out->Check(status == 9, "status of the killed press", status, 9);
        CloseHandle(first);
        first = NULL;
    }
    SetEvent(app.recover);
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

    if (c.pressAfterwards) {
        HANDLE press = StartPress(closer, c.options);
        const long status = press != NULL ? WaitForPress(press, kFinishMs) : -2;
        out->Check(status == 1, "status of a press after the hung one ended", status, 1);
        out->Check(app.belowCloses == 1, "WM_CLOSE the next window received", app.belowCloses, 1);
        if (press != NULL)
            CloseHandle(press);
    }
    if (keepAlive != NULL)
        CloseHandle(keepAlive);
    StopApp(&app);
    const int left = CloserProcesses();
    out->Check(left == 0, "ForegroundDismisser processes left at the end", left, 0);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: hung_press.exe PATH-TO-ForegroundDismisser.exe\n");
        return 2;
    }
    WCHAR path[MAX_PATH];
    UnixPathToWindows(argv[1], path, MAX_PATH);
    const std::wstring closer = path;

    int failed = 0;
    for (const HungCase& c : kCases) {
        printf("%s\n", c.name);
        Outcome out;
        RunCase(closer, c, &out);
        for (const std::string& p : out.problems)
            printf("    FAIL %s\n", p.c_str());
        printf("  %s\n", out.problems.empty() ? "PASS" : "FAIL");
        fflush(stdout);
        if (!out.problems.empty())
            failed++;
    }
    const int count = (int)(sizeof(kCases) / sizeof(kCases[0]));
    printf("%d passed, %d failed\n", count - failed, failed);
    return failed == 0 ? 0 : 1;
}
