// launch_timer.cpp: times a program from CreateProcess to its exit under
// Wine, with a real window in front: a plain application window (which
// ignores WM_CLOSE, so it stays for the next press) or a Settings page (put
// back in front before each press). A baseline program takes turns with it,
// run by run, so that a machine slowing down or speeding up during the
// runs moves both alike; prints the median of each, and the median and the
// quartiles of each run's time over the baseline run beside it.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <algorithm>
#include <vector>

#include "pocketpc_windows.h"

namespace {

LRESULT CALLBACK KeepOpen(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE)
        return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

const wchar_t* Wide(const std::u16string& text)
{
    return (const wchar_t*)text.c_str();  // WCHAR is wchar_t, 16 bits, here
}

// A window of the scene at y, with its page as a child window if it has one.
HWND MakeWindow(const SceneWindow& scene, int y)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = KeepOpen;
    wc.hInstance = GetModuleHandleW(NULL);
    for (const wchar_t* className : {Wide(scene.className), L"BenchPage"}) {
        wc.lpszClassName = className;
        RegisterClassW(&wc);
    }
    HWND window = CreateWindowExW(0, Wide(scene.className), Wide(scene.title),
                                  WS_POPUP | WS_VISIBLE, 0, y, 240, 60, NULL, NULL,
                                  GetModuleHandleW(NULL), NULL);
    if (scene.hasChild)
        CreateWindowExW(0, L"BenchPage", Wide(scene.childTitle), WS_CHILD | WS_VISIBLE, 0, 0, 100,
                        20, window, NULL, GetModuleHandleW(NULL), NULL);
    return window;
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Puts the window back in front, runs the command line once, pumping
// messages (the closer sends to our windows) until it exits; returns the
// milliseconds it took.
double RunOnce(const wchar_t* commandLine, HWND front)
{
    SetForegroundWindow(front);
    SetWindowPos(front, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    Pump();
    wchar_t line[1024];
    wcsncpy(line, commandLine, 1023);
    line[1023] = 0;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(NULL, line, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fwprintf(stderr, L"cannot start %ls\n", commandLine);
        exit(2);
    }
    while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 10000, QS_ALLINPUT) != WAIT_OBJECT_0)
        Pump();
    QueryPerformanceCounter(&end);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Pump();
    return (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
}

// The value a quarter, half or three quarters of the way up.
double Quartile(std::vector<double> values, int quarter)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * quarter / 4)];
}

void Quote(wchar_t (&commandLine)[1024], const wchar_t* program)
{
    _snwprintf(commandLine, 1023, L"\"%ls\"", program);
    commandLine[1023] = 0;
}

}  // namespace

// launch_timer BASELINE PROGRAM plain|shell RUNS
int wmain(int argc, wchar_t** argv)
{
    if (argc < 5 || _wtoi(argv[4]) < 1) {
        fwprintf(stderr, L"usage: launch_timer BASELINE PROGRAM plain|shell RUNS\n");
        return 2;
    }
    const bool shell = wcscmp(argv[3], L"shell") == 0;
    const int runs = _wtoi(argv[4]);

    MakeWindow(kToday, 240);
    HWND front = MakeWindow(shell ? kSettingsSystem : kEditor, 0);

    wchar_t baseline[1024], program[1024];
    Quote(baseline, argv[1]);
    Quote(program, argv[2]);
    // Warm-up: the first start of each loads its DLLs.
    RunOnce(baseline, front);
    RunOnce(program, front);
    std::vector<double> baseTimes, times, ratios;
    // Which of a pair goes first alternates (baseline, program, program,
    // baseline, ...): under Wine the second of two starts in a row tends to
    // take a little longer, and alternating cancels that out of the ratios.
    for (int i = 0; i < runs; i++) {
        double base, time;
        if (i % 2 == 0) {
            base = RunOnce(baseline, front);
            time = RunOnce(program, front);
        } else {
            time = RunOnce(program, front);
            base = RunOnce(baseline, front);
        }
        baseTimes.push_back(base);
        times.push_back(time);
        ratios.push_back(time / base);
    }
    // The ratios' middle half says how far the machine let them scatter.
    printf("%.1f %.1f %.2f %.2f %.2f\n", Quartile(baseTimes, 2), Quartile(times, 2),
           Quartile(ratios, 2), Quartile(ratios, 1), Quartile(ratios, 3));
    return 0;
}
