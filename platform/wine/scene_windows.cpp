// scene_windows.cpp: builds screens of Pocket PC windows as real desktop
// windows for the end-to-end tests and the demo, keeps them answering, and
// records what they receive.
#include "scene_windows.h"

#include <stdio.h>
#include <string.h>

namespace {

const WCHAR kPageClass[] = L"ScenePage";
const int kPageHeight = 20;
// Windows lower than this, such as the navigation bar, show one line only.
const int kShortWindowHeight = 40;
const UINT_PTR kCloseTimer = 1;
const WCHAR kTappedProperty[] = L"SceneTapped";
const WCHAR kTapPositionProperty[] = L"SceneTapPosition";

// Cells of the test grid: below where the navigation bar sits, so that no
// two windows overlap. Wine re-stacks overlapping windows as X reports them
// exposed, which would scramble the Z order a scene was built with.
const int kGridTop = 32;
const int kCellWidth = 112;
const int kCellHeight = 88;
const int kCellGap = 4;

// Long enough for X to map new windows and for activation that another
// process asked for to reach this thread.
const DWORD kSettleMs = 200;
const int kStackAttempts = 3;

// Lets X draw what the last message changed before a picture is taken; the
// script that takes it may be slow to start its tool.
const DWORD kPaintMs = 300;
const DWORD kSnapTimeoutMs = 20000;

scene::Steps gLog;
Scene* gScene = NULL;
HFONT gFont = NULL;

void Log(scene::Kind kind, int window, uintptr_t a = 0, uintptr_t b = 0, intptr_t c = 0)
{
    gLog.push_back(scene::Entry(kind, window, a, b, c));
}

const WCHAR* Wide(const std::u16string& text)
{
    return (const WCHAR*)text.c_str();
}

void DispatchPending()
{
    MSG msg;
    while (PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Keeps the scene's windows answering for that long.
void PumpMessagesFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        DispatchPending();
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= milliseconds)
            break;
        MsgWaitForMultipleObjectsEx(0, NULL, milliseconds - elapsed, QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

// Repaints every window, so that the screen shows the current Z order.
void RefreshScene(const Scene* scene)
{
    for (int i = 0; i < scene->count; i++) {
        if (scene->handles[i] != NULL)
            RedrawWindow(scene->handles[i], NULL, NULL,
                         RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
}

// Japanese titles need a font with kana and kanji. Wine offers the faces
// fontconfig knows, but its own default has none of these characters.
const WCHAR* const kJapaneseFaces[] = {L"Noto Sans CJK JP", L"IPAGothic", L"VL Gothic"};

int CALLBACK NoteFaceFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found)
{
    *(bool*)found = true;
    return 0;
}

bool FaceInstalled(const WCHAR* face)
{
    LOGFONTW wanted;
    memset(&wanted, 0, sizeof(wanted));
    wanted.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC screen = GetDC(NULL);
    EnumFontFamiliesExW(screen, &wanted, NoteFaceFound, (LPARAM)&found, 0);
    ReleaseDC(NULL, screen);
    return found;
}

HFONT SceneFont()
{
    if (gFont == NULL) {
        const WCHAR* face = L"";
        for (const WCHAR* candidate : kJapaneseFaces) {
            if (FaceInstalled(candidate)) {
                face = candidate;
                break;
            }
        }
        gFont = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                            DEFAULT_PITCH, face);
    }
    return gFont;
}

int ZRankOf(HWND window)
{
    int rank = 1;
    for (HWND w = GetTopWindow(NULL); w != NULL; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == window)
            return rank;
        for (int i = 0; gScene != NULL && i < gScene->count; i++) {
            if (gScene->handles[i] == w) {
                rank++;
                break;
            }
        }
    }
    return 0;
}

void DrawLine(HDC dc, RECT* area, LPCWSTR text)
{
    RECT line = *area;
    DrawTextW(dc, text, -1, &line, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    area->top += 13;
}

// Each window shows what it stands for, where it is in the Z order and
// whether it is in front, so that a screenshot tells the story on its own.
void PaintScene(HWND window, const SceneWindow* kind)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const bool front = GetForegroundWindow() == window;
    HBRUSH background = CreateSolidBrush(front ? RGB(255, 236, 140) : RGB(235, 240, 250));
    FillRect(dc, &client, background);
    DeleteObject(background);

    HGDIOBJ oldFont = SelectObject(dc, SceneFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    RECT area = client;
    InflateRect(&area, -3, -2);
    if (kind->hasChild)
        area.top += kPageHeight;

    WCHAR label[100];
    MultiByteToWideChar(CP_UTF8, 0, kind->name.c_str(), -1, label, 100);
    WCHAR line[300];
    if (client.bottom < kShortWindowHeight) {
        // A bar: one line, and the point where it was last tapped.
        _snwprintf(line, 300, L"%ls (%ls)  Z %d", label, Wide(kind->className), ZRankOf(window));
        line[299] = 0;
        DrawLine(dc, &area, line);
        if (GetPropW(window, kTappedProperty) != NULL) {
            const LPARAM at = (LPARAM)GetPropW(window, kTapPositionProperty);
            HBRUSH red = CreateSolidBrush(RGB(220, 0, 0));
            HGDIOBJ oldBrush = SelectObject(dc, red);
            Ellipse(dc, (short)LOWORD(at) - 4, (short)HIWORD(at) - 4, (short)LOWORD(at) + 5,
                    (short)HIWORD(at) + 5);
            SelectObject(dc, oldBrush);
            DeleteObject(red);
        }
        SelectObject(dc, oldFont);
        EndPaint(window, &paint);
        return;
    }
    DrawLine(dc, &area, label);
    _snwprintf(line, 300, L"class %ls", Wide(kind->className));
    line[299] = 0;
    DrawLine(dc, &area, line);
    if (!kind->title.empty()) {
        _snwprintf(line, 300, L"title %ls", Wide(kind->title));
        line[299] = 0;
        DrawLine(dc, &area, line);
    }
    _snwprintf(line, 300, L"Z %d%ls", ZRankOf(window), front ? L"  FRONT" : L"");
    line[299] = 0;
    DrawLine(dc, &area, line);

    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
}

int IndexOf(HWND window)
{
    if (window == NULL)
        return scene::kNoWindow;
    for (int i = 0; gScene != NULL && i < gScene->count; i++) {
        if (gScene->handles[i] == window)
            return i;
    }
    return scene::kOtherWindow;
}

void ForgetWindow(HWND window)
{
    for (int i = 0; gScene != NULL && i < gScene->count; i++) {
        if (gScene->handles[i] == window)
            gScene->handles[i] = NULL;
    }
}

LRESULT CALLBACK SceneWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTW* create = (const CREATESTRUCTW*)lParam;
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)create->lpCreateParams);
    }
    const SceneWindow* kind = (const SceneWindow*)GetWindowLongPtrW(window, GWLP_USERDATA);
    if (kind == NULL)
        return DefWindowProcW(window, message, wParam, lParam);
    const int self = IndexOf(window);

    switch (message) {
    case WM_CLOSE:
        Log(scene::kMessage, self, message);
        if (kind->onClose == kCloses && kind->closeDelay == 0)
            DestroyWindow(window);
        else if (kind->onClose == kCloses)
            SetTimer(window, kCloseTimer, kind->closeDelay, NULL);
        return 0;
    case WM_COMMAND:
        Log(scene::kMessage, self, message, wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kCloseTimer) {
            KillTimer(window, kCloseTimer);
            DestroyWindow(window);
            return 0;
        }
        break;
    case WM_LBUTTONDOWN:
        SetPropW(window, kTappedProperty, (HANDLE)1);
        SetPropW(window, kTapPositionProperty, (HANDLE)lParam);
        InvalidateRect(window, NULL, FALSE);
        Log(scene::kMessage, self, message, wParam, lParam);
        return 0;
    case WM_LBUTTONUP:
        Log(scene::kMessage, self, message, wParam, lParam);
        return 0;
    case WM_KEYDOWN:
        Log(scene::kKeyEvent, self, wParam, 0);
        if (kind->onClose == kQuitsOnCtrlQ && wParam == 'Q' && GetKeyState(VK_CONTROL) < 0)
            DestroyWindow(window);
        return 0;
    case WM_KEYUP:
        Log(scene::kKeyEvent, self, wParam, KEYEVENTF_KEYUP);
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // A window sent to the back must find the one replacing it already
        // active, or the screen shows nothing in between: that window is
        // logged as brought forward just before.
        const WINDOWPOS* position = (const WINDOWPOS*)lParam;
        if (!(position->flags & SWP_NOZORDER) && position->hwndInsertAfter == HWND_BOTTOM) {
            const int active = IndexOf(GetActiveWindow());
            if (active != self && active != scene::kNoWindow)
                Log(scene::kForeground, active);
            Log(scene::kZOrder, self, 0, position->flags & (SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE));
        }
        break;
    }
    case WM_ACTIVATE:
        // On the device a window that becomes active also comes to the top;
        // Wine leaves windows without a window manager where they are.
        if (LOWORD(wParam) != WA_INACTIVE)
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        break;
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT:
        PaintScene(window, kind);
        return 0;
    case WM_DESTROY:
        if (gScene != NULL && !gScene->tearingDown)
            Log(scene::kDestroyed, self);
        ForgetWindow(window);
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The Settings window's page: a child whose title names the page shown.
LRESULT CALLBACK PageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ERASEBKGND)
        return 1;
    if (message != WM_PAINT)
        return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH band = CreateSolidBrush(RGB(40, 70, 140));
    FillRect(dc, &client, band);
    DeleteObject(band);
    WCHAR title[256];
    GetWindowTextW(window, title, 256);
    HGDIOBJ oldFont = SelectObject(dc, SceneFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(255, 255, 255));
    InflateRect(&client, -3, 0);
    DrawTextW(dc, title, -1, &client, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
    EndPaint(window, &paint);
    return 0;
}

void RegisterWindowClass(LPCWSTR name, WNDPROC procedure)
{
    WNDCLASSW windowClass;
    memset(&windowClass, 0, sizeof(windowClass));
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(NULL);
    windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = name;
    // Registering the same class again for the next scene fails harmlessly.
    RegisterClassW(&windowClass);
}

RECT GridCell(int cell)
{
    int columns = GetSystemMetrics(SM_CXSCREEN) / (kCellWidth + kCellGap);
    if (columns < 1)
        columns = 1;
    RECT rect;
    rect.left = (cell % columns) * (kCellWidth + kCellGap);
    rect.top = kGridTop + (cell / columns) * (kCellHeight + kCellGap);
    rect.right = rect.left + kCellWidth;
    rect.bottom = rect.top + kCellHeight;
    return rect;
}

HWND CreateSceneWindow(const SceneWindow* kind, RECT rect)
{
    HINSTANCE instance = GetModuleHandleW(NULL);
    // Popups without a caption, as the platform's full-screen windows are;
    // the class and title are still what other processes read back.
    HWND window = CreateWindowExW(kind->topmost ? WS_EX_TOPMOST : 0, Wide(kind->className), Wide(kind->title),
                                  WS_POPUP | WS_BORDER, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, NULL, NULL,
                                  instance, (LPVOID)kind);
    if (window != NULL && kind->hasChild) {
        CreateWindowExW(0, kPageClass, Wide(kind->childTitle), WS_CHILD | WS_VISIBLE, 0, 0,
                        rect.right - rect.left, kPageHeight, window, NULL, instance, NULL);
    }
    return window;
}

void Stack(const Scene* scene)
{
    // Bottom first: each window raised goes on top of those already placed.
    for (int i = scene->count - 1; i >= 0; i--) {
        const SceneWindow* kind = &scene->windows[i];
        UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
        if (kind->visible)
            flags |= SWP_SHOWWINDOW;
        SetWindowPos(scene->handles[i], kind->topmost ? HWND_TOPMOST : HWND_TOP, 0, 0, 0, 0, flags);
    }
}

std::string DescribeOrder(const Scene* scene, const std::vector<int>& order)
{
    std::string out;
    for (int i : order)
        out += (out.empty() ? "" : ", ") + (i >= 0 ? scene->windows[i].name : std::string("?"));
    return out;
}

}  // namespace

bool BuildScene(Scene* scene, const std::vector<SceneWindow>& windows, int front, char* problem,
                size_t problemSize)
{
    RegisterWindowClass(kPageClass, PageWindowProc);
    scene->windows = windows;
    scene->count = 0;
    scene->tearingDown = false;
    gScene = scene;
    problem[0] = 0;

    int cell = 0;
    for (const SceneWindow& kind : scene->windows) {
        if (scene->count == kSceneMaxWindows) {
            snprintf(problem, problemSize, "scene has more than %d windows", kSceneMaxWindows);
            return false;
        }
        RegisterWindowClass(Wide(kind.className), SceneWindowProc);
        RECT rect = GridCell(cell);
        if (IsNavigationBar(kind.className))
            rect = RECT{0, 0, kind.width != 0 ? kind.width : 240, kind.height != 0 ? kind.height : 26};
        else
            cell++;
        scene->handles[scene->count] = CreateSceneWindow(&kind, rect);
        if (scene->handles[scene->count] == NULL) {
            snprintf(problem, problemSize, "could not create %s (error %lu)", kind.name.c_str(),
                     GetLastError());
            return false;
        }
        scene->count++;
    }
    if (front < 0 || front >= scene->count || !scene->windows[front].visible) {
        snprintf(problem, problemSize, "scene has no visible window to put in front");
        return false;
    }

    std::vector<int> expected;
    for (int i = 0; i < scene->count; i++)
        expected.push_back(i);

    for (int attempt = 0; attempt < kStackAttempts; attempt++) {
        Stack(scene);
        SetForegroundWindow(scene->handles[front]);
        PumpMessagesFor(kSettleMs);

        const std::vector<int> actual = SceneZOrder(scene);
        const bool inFront = SceneForeground(scene) == front;
        if (actual == expected && inFront) {
            RefreshScene(scene);
            ClearMessageLog();
            return true;
        }
        snprintf(problem, problemSize, "set-up gave Z order [%s]%s", DescribeOrder(scene, actual).c_str(),
                 inFront ? "" : " and the wrong foreground");
    }
    return false;
}

void DestroyScene(Scene* scene)
{
    scene->tearingDown = true;
    for (int i = 0; i < scene->count; i++) {
        if (scene->handles[i] != NULL)
            DestroyWindow(scene->handles[i]);
    }
    PumpMessagesFor(50);
    if (gScene == scene)
        gScene = NULL;
    scene->count = 0;
}

std::vector<int> SceneZOrder(const Scene* scene)
{
    std::vector<int> order;
    for (HWND w = GetTopWindow(NULL); w != NULL; w = GetWindow(w, GW_HWNDNEXT)) {
        for (int i = 0; i < scene->count; i++) {
            if (scene->handles[i] == w)
                order.push_back(i);
        }
    }
    return order;
}

int SceneForeground(const Scene* scene)
{
    HWND front = GetForegroundWindow();
    if (front == NULL)
        return scene::kNoWindow;
    for (int i = 0; i < scene->count; i++) {
        if (scene->handles[i] == front)
            return i;
    }
    return scene::kOtherWindow;
}


void ClearMessageLog()
{
    gLog.clear();
}

const scene::Steps& MessageLog()
{
    return gLog;
}


bool RunAndPump(LPCWSTR program, LPCWSTR arguments, DWORD timeoutMs, DWORD* exitCode,
                LPCWSTR nameToken)
{
    // The program's start-up drops the first word of the command line as
    // the program's name; only what follows reaches the program's options.
    WCHAR commandLine[1024];
    if (nameToken != NULL)
        _snwprintf(commandLine, 1024, L"%ls %ls", nameToken, arguments);
    else
        _snwprintf(commandLine, 1024, L"\"%ls\" %ls", program, arguments);
    commandLine[1023] = 0;
    return RunCommandAndPump(program, commandLine, timeoutMs, exitCode);
}

HANDLE StartProgram(LPCWSTR program, LPCWSTR commandLine)
{
    // CreateProcessW may write into the command line it is given.
    WCHAR line[1024];
    lstrcpynW(line, commandLine, 1024);
    STARTUPINFOW startup;
    memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    if (!CreateProcessW(program, line, NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return NULL;
    CloseHandle(process.hThread);
    return process.hProcess;
}

bool RunCommandAndPump(LPCWSTR program, LPCWSTR commandLine, DWORD timeoutMs, DWORD* exitCode,
                       WCHAR* image, DWORD imageChars)
{
    if (image != NULL && imageChars > 0)
        image[0] = 0;
    HANDLE process = StartProgram(program, commandLine);
    if (process == NULL)
        return false;

    // The program's SendMessageW calls wait for this thread to answer, so it
    // keeps dispatching until the program has gone.
    bool exited = false;
    const DWORD start = GetTickCount();
    DWORD woken = WAIT_TIMEOUT;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs)
            break;
        woken = MsgWaitForMultipleObjectsEx(1, &process, timeoutMs - elapsed,
                                            QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) {
            exited = true;
            break;
        }
        if (woken != WAIT_OBJECT_0 + 1)
            break;
        DispatchPending();
    }
    if (!exited) {
        printf("    waiting for the program ended with 0x%lx (error %lu) after %lu ms\n", woken,
               GetLastError(), GetTickCount() - start);
        TerminateProcess(process, 255);
        WaitForSingleObject(process, 5000);
    }
    // Key events the program typed just before it exited, and activation it
    // asked for, reach the windows only after it has gone.
    PumpMessagesFor(kSettleMs);

    // Asked of the process itself, after it has run, rather than taken from
    // what it was started with.
    DWORD imageLength = imageChars;
    if (image != NULL && imageChars > 0 &&
        !QueryFullProcessImageNameW(process, 0, image, &imageLength))
        image[0] = 0;
    GetExitCodeProcess(process, exitCode);
    CloseHandle(process);
    return exited;
}

void SnapScene(const Scene* scene, LPCWSTR snapDir, const char* name)
{
    if (snapDir == NULL || snapDir[0] == 0)
        return;
    RefreshScene(scene);
    PumpMessagesFor(kPaintMs);
    WCHAR path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%ls\\%hs.png", snapDir, name);
    path[MAX_PATH - 1] = 0;
    DeleteFileW(path);
    printf("SNAP %s\n", name);
    fflush(stdout);
    // The windows keep answering while the picture is taken.
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES &&
           GetTickCount() - start < kSnapTimeoutMs)
        PumpMessagesFor(50);
}

void PrintWide(LPCWSTR text)
{
    char utf8[1024];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), NULL, NULL);
    if (bytes > 1)
        fwrite(utf8, 1, (size_t)bytes - 1, stdout);
}
