// model.h: the stand-in's one modelled Pocket PC, shared by every service, and
// the bookkeeping each modelled call goes through. Internal: tests use standin.h.
#ifndef STANDIN_MODEL_H
#define STANDIN_MODEL_H

#include <windows.h>

#include "standin.h"

#include <stdint.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace standin {
namespace detail {

[[noreturn]] void Unmodelled(const char* what);

struct Control {
    int id = 0;
    ControlKind kind = kStatic;
    bool group = false;
    int check = BST_UNCHECKED;
    std::vector<Text> items;
    int selection = CB_ERR;
};

struct Window {
    Text className;
    Text title;
    bool visible = true;
    bool alive = true;
    CloseAnswer onClose = kCloses;
    bool topmost = false;
    DWORD closeDelay = 0;
    bool closing = false;  // its delayed close is under way
    DWORD hungUntil = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect = {0, 0, 0, 0};
    HWND child = NULL;     // first child, for top-level windows
    bool isChild = false;  // a child window (it has no Z order of its own)
    HWND dialog = NULL;    // for dialog controls: the dialog they sit in
    int controlIndex = -1;
};

// A file, by its path as it was created; names compare without case.
struct File {
    Text path;
    std::vector<BYTE> bytes;
    bool readOnly = false;  // DeleteFileW refuses it
};

struct OpenFile {
    Text key;  // the file's entry in Model::files
    int process;
};

struct Value {
    Text name;
    DWORD type;
    std::vector<BYTE> bytes;
};

struct Key {
    Text name;
    std::vector<std::unique_ptr<Key>> subkeys;  // in creation order
    std::vector<Value> values;
};

struct OpenKey {
    Key* key;
    Text path;
};

// A template made for the runner from a device program's own resource has
// no id: it is reached only through the pointer it was made for.
const int kNoResourceId = -1;

struct DialogResource {
    int id;
    std::vector<ControlSpec> controls;
};

struct Dialog {
    HWND handle = NULL;
    DLGPROC proc = NULL;
    std::vector<Control> controls;
    std::vector<HWND> controlHandles;
    bool ended = false;
    INT_PTR result = 0;
};

// A named (or unnamed) mutex, alive while some process has a handle to it.
struct Mutex {
    Text name;
    int owner = 0;  // process, 0 when free
    int count = 0;  // times its owner has taken it
    bool abandoned = false;
    int handles = 0;
};

struct KernelHandle {
    uintptr_t object;
    int process;
};

struct Model {
    std::map<uintptr_t, Window> windows;
    std::vector<HWND> zOrder;  // top-level windows, top first
    HWND foreground = NULL;
    uintptr_t nextHandle = 0x10000;
    bool platformAvailable = true;
    Text platformType = u"PocketPC";
    const ReleaseProfile* profile = &DefaultProfile();
    bool versionAvailable = true;
    OSVERSIONINFOW version = {sizeof(OSVERSIONINFOW), 0, 0, 0, 0, {0}};
    bool ctrlDown = false;
    Screen screen;
    bool legacyProgram = true;
    bool zOrderLoops = false;

    Key registryRoot;
    std::map<uintptr_t, OpenKey> openKeys;
    uintptr_t nextKey = 0x5000;
    std::vector<Text> failOpen;
    bool failSet = false;
    bool failSetNamed = false;  // only failSetName fails
    Text failSetName;

    Text modulePath;
    std::vector<std::unique_ptr<DialogResource>> resources;
    std::function<void(HWND)> dialogScript;
    Dialog dialog;
    bool dialogRan = false;
    std::vector<INT_PTR> procResults;

    std::map<uintptr_t, Mutex> mutexes;
    std::map<uintptr_t, KernelHandle> kernelHandles;
    uintptr_t nextKernel = 0x3000;
    int process = 1;
    int nextProcess = 2;
    bool failCreateMutex = false;

    // Files by their path folded to upper case, as CE's file system
    // compares names.
    std::map<Text, File> files;
    std::map<uintptr_t, OpenFile> openFiles;
    uintptr_t nextFile = 0x7000;
    Text failCreatePath;  // empty: none fails
    bool failCreate = false;
    long writeLimit = -1;  // bytes a file may reach; -1: no limit
    bool shortWrite = false;  // at the limit: TRUE with fewer bytes, else FALSE
    bool failClose = false;   // CloseHandle on a file answers FALSE
    int dcs = 0;  // device contexts handed out and not released

    DWORD now = 0;
    // Effects the scene scheduled, by the time they are due.
    std::multimap<DWORD, std::function<void()>> scheduled;

    std::vector<TraceEntry> trace;
    std::vector<Call> callLog;
    std::function<void(const char*)> hook;
    std::map<std::string, int> calls;
};

Model& M();

// Depth of stand-in code on the stack: allocations made there are the
// model's own, not the program's.
extern int platformDepth;

// Marks one modelled platform call: counts it, logs it with its arguments
// when the program made it (not the stand-in on its behalf) and runs the
// test's hook.
struct PlatformCall {
    explicit PlatformCall(const char* call, std::initializer_list<uintptr_t> args = {},
                          const WCHAR* text = NULL)
    {
        const bool byProgram = platformDepth == 0;
        platformDepth++;
        if (byProgram)
            M().callLog.push_back(
                Call{call, std::vector<uintptr_t>(args), text == NULL ? Text() : Text(text)});
        M().calls[call]++;
        if (M().hook)
            M().hook(call);
    }
    ~PlatformCall() { platformDepth--; }
};

// Runs program code (a dialog procedure) from inside a platform call.
struct ProgramCode {
    int saved;
    ProgramCode() : saved(platformDepth) { platformDepth = 0; }
    ~ProgramCode() { platformDepth = saved; }
};

void Record(Kind kind, HWND window, uintptr_t a = 0, uintptr_t b = 0, intptr_t c = 0,
            const Text& text1 = Text(), const Text& text2 = Text(),
            const std::vector<BYTE>& bytes = std::vector<BYTE>());

Window* Find(HWND handle);
HWND NewHandle();
void Destroy(HWND handle, bool traced);
// Moves the clock on to `time`, running each effect that falls due.
void AdvanceTo(DWORD time);

// A pointer argument as the log shows it: whether it is NULL.
inline uintptr_t Given(const void* pointer)
{
    return pointer != NULL;
}
// lParam as the log shows it: CB_ADDSTRING's is a pointer to the text.
inline uintptr_t MessageParam(UINT message, LPARAM lParam)
{
    return message == CB_ADDSTRING ? Given((const void*)lParam) : (uintptr_t)lParam;
}

int CopyOut(const Text& text, LPWSTR buffer, int capacity);
// Closes a file's handle of the current process; false when the handle is
// no file's. *closed is what CloseHandle answers.
bool CloseFile(HANDLE handle, BOOL* closed);
char16_t Fold(char16_t c);
// The text with ASCII letters in upper case: how class atoms, registry
// names and file names compare without case.
Text Folded(const Text& text);
bool SameName(const Text& a, const Text& b);

Control* ControlOf(HWND handle, HWND* dialogOut = NULL);
LRESULT ControlMessage(HWND handle, Control* control, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace detail
}  // namespace standin

#endif
