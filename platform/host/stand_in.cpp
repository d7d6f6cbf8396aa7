// stand_in.cpp: the host model of a Pocket PC: top-level windows in a Z order,
// a foreground window, a registry, a dialog manager and message boxes, with
// one ordered trace of every effect. Calls outside the model abort.
#include <windows.h>
#include <aygshell.h>

#include "host_scene.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace host {
namespace {

[[noreturn]] void Unmodelled(const char* what)
{
    fprintf(stderr, "host stand-in: not modelled: %s\n", what);
    abort();
}

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
    CloseReaction onClose = kClosesOnClose;
    RECT rect = {0, 0, 0, 0};
    HWND child = NULL;     // first child, for top-level windows
    bool isChild = false;  // a child window (it has no Z order of its own)
    HWND dialog = NULL;    // for dialog controls: the dialog they sit in
    int controlIndex = -1;
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

struct Device {
    std::map<uintptr_t, Window> windows;
    std::vector<HWND> zOrder;  // top-level windows, top first
    HWND foreground = NULL;
    uintptr_t nextHandle = 0x10000;
    bool platformAvailable = true;
    Text platformType = u"PocketPC";
    bool ctrlDown = false;

    Key registryRoot;
    std::map<uintptr_t, OpenKey> openKeys;
    uintptr_t nextKey = 0x5000;
    std::vector<Text> failOpen;
    bool failSet = false;

    Text modulePath;
    std::vector<std::unique_ptr<DialogResource>> resources;
    std::function<void(HWND)> dialogScript;
    Dialog dialog;
    bool dialogRan = false;
    std::vector<INT_PTR> procResults;

    std::vector<TraceEntry> trace;
    std::function<void(const char*)> hook;
    std::map<std::string, int> calls;
};

Device& D()
{
    static Device device;
    return device;
}

// Depth of stand-in code on the stack: allocations made there are the
// model's own, not the program's.
int platformDepth = 0;

// Marks one modelled platform call: counts it and runs the test's hook.
struct PlatformCall {
    explicit PlatformCall(const char* call)
    {
        platformDepth++;
        D().calls[call]++;
        if (D().hook)
            D().hook(call);
    }
    ~PlatformCall() { platformDepth--; }
};

// Runs program code (a dialog procedure) from inside a platform call.
struct ProgramCode {
    int saved;
    ProgramCode() : saved(platformDepth) { platformDepth = 0; }
    ~ProgramCode() { platformDepth = saved; }
};

void Record(TraceKind kind, HWND window, uintptr_t a = 0, uintptr_t b = 0, intptr_t c = 0,
            const Text& text1 = Text(), const Text& text2 = Text(),
            const std::vector<BYTE>& bytes = std::vector<BYTE>())
{
    TraceEntry entry;
    entry.kind = kind;
    entry.window = window;
    entry.a = a;
    entry.b = b;
    entry.c = c;
    entry.text1 = text1;
    entry.text2 = text2;
    entry.bytes = bytes;
    D().trace.push_back(entry);
}

Window* Find(HWND handle)
{
    auto it = D().windows.find((uintptr_t)handle);
    if (it == D().windows.end() || !it->second.alive)
        return NULL;
    return &it->second;
}

HWND NewHandle()
{
    D().nextHandle += 0x10;
    return (HWND)D().nextHandle;
}

size_t Length(const WCHAR* text)
{
    size_t n = 0;
    while (text[n] != 0)
        n++;
    return n;
}

// Copies as much as fits and always terminates, like the platform's text reads.
int CopyOut(const Text& text, LPWSTR buffer, int capacity)
{
    if (buffer == NULL || capacity <= 0)
        return 0;
    int n = std::min<int>((int)text.size(), capacity - 1);
    for (int i = 0; i < n; i++)
        buffer[i] = text[i];
    buffer[n] = 0;
    return n;
}

char16_t Fold(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? (char16_t)(c - u'a' + u'A') : c;
}

// Class atoms and registry names compare without case.
bool SameName(const Text& a, const Text& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++) {
        if (Fold(a[i]) != Fold(b[i]))
            return false;
    }
    return true;
}

void RemoveFromZOrder(HWND handle)
{
    auto& z = D().zOrder;
    z.erase(std::remove(z.begin(), z.end(), handle), z.end());
}

// A destroyed active window hands activation to the visible window below it.
// The navigation bar stays on top of everything but never takes activation.
void Destroy(HWND handle, bool traced)
{
    Window* w = Find(handle);
    if (w == NULL)
        return;
    auto& z = D().zOrder;
    auto it = std::find(z.begin(), z.end(), handle);
    HWND below = NULL;
    if (it != z.end()) {
        for (auto next = it + 1; next != z.end(); ++next) {
            const Window* candidate = Find(*next);
            if (candidate->visible && !SameName(candidate->className, u"HHTaskBar")) {
                below = *next;
                break;
            }
        }
    }
    w->alive = false;
    if (w->child != NULL)
        D().windows[(uintptr_t)w->child].alive = false;
    RemoveFromZOrder(handle);
    if (traced)
        Record(kDestroyed, handle);
    if (D().foreground == handle)
        D().foreground = below;
}

Text Upper(const Text& text)
{
    Text out = text;
    for (auto& c : out)
        c = Fold(c);
    return out;
}

std::vector<Text> SplitPath(const Text& path)
{
    std::vector<Text> parts;
    Text part;
    for (char16_t c : path) {
        if (c == u'\\') {
            if (!part.empty())
                parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(part);
    return parts;
}

Text JoinPath(const std::vector<Text>& parts)
{
    Text out;
    for (size_t i = 0; i < parts.size(); i++) {
        if (i > 0)
            out += u'\\';
        out += parts[i];
    }
    return out;
}

Key* FindKey(Key* from, const std::vector<Text>& parts, bool create)
{
    Key* key = from;
    for (const Text& part : parts) {
        Key* next = NULL;
        for (auto& sub : key->subkeys) {
            if (SameName(sub->name, part)) {
                next = sub.get();
                break;
            }
        }
        if (next == NULL) {
            if (!create)
                return NULL;
            key->subkeys.push_back(std::unique_ptr<Key>(new Key));
            next = key->subkeys.back().get();
            next->name = part;
        }
        key = next;
    }
    return key;
}

OpenKey* FindOpenKey(HKEY key)
{
    auto it = D().openKeys.find((uintptr_t)key);
    return it == D().openKeys.end() ? NULL : &it->second;
}

Value* FindValue(Key* key, const Text& name)
{
    for (auto& v : key->values) {
        if (SameName(v.name, name))
            return &v;
    }
    return NULL;
}

Dialog* DialogOf(HWND dialog)
{
    if (D().dialog.handle == NULL || D().dialog.handle != dialog)
        return NULL;
    return &D().dialog;
}

Control* ControlOf(HWND handle, HWND* dialogOut = NULL)
{
    Window* w = Find(handle);
    if (w == NULL || w->dialog == NULL)
        return NULL;
    Dialog* d = DialogOf(w->dialog);
    if (d == NULL)
        return NULL;
    if (dialogOut != NULL)
        *dialogOut = w->dialog;
    return &d->controls[w->controlIndex];
}

LRESULT ControlMessage(HWND handle, Control* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    Text text;
    if (message == CB_ADDSTRING && lParam != 0)
        text = Text((const WCHAR*)lParam);
    Record(kControlMessage, handle, message, wParam, message == CB_ADDSTRING ? 0 : lParam, text);
    switch (message) {
    case BM_SETCHECK:
        control->check = (int)wParam;
        return 0;
    case BM_GETCHECK:
        return control->check;
    case CB_ADDSTRING:
        control->items.push_back(text);
        return (LRESULT)control->items.size() - 1;
    case CB_GETCOUNT:
        return (LRESULT)control->items.size();
    case CB_SETCURSEL:
        if ((intptr_t)wParam < 0 || wParam >= control->items.size()) {
            control->selection = CB_ERR;
            return CB_ERR;
        }
        control->selection = (int)wParam;
        return control->selection;
    case CB_GETCURSEL:
        return control->selection;
    default:
        Unmodelled("this message to a dialog control");
    }
}

INT_PTR CallProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL || d->ended)
        Unmodelled("input to a dialog that is not open");
    INT_PTR result;
    {
        ProgramCode program;
        result = d->proc(dialog, message, wParam, lParam);
    }
    D().procResults.push_back(result);
    return result;
}

std::string Hex(uintptr_t value)
{
    char buffer[32];
    snprintf(buffer, sizeof(buffer), "0x%lx", (unsigned long)value);
    return buffer;
}

}  // namespace

// ---- Scene -----------------------------------------------------------------

void Reset()
{
    Device& d = D();
    d.windows.clear();
    d.zOrder.clear();
    d.foreground = NULL;
    d.platformAvailable = true;
    d.platformType = u"PocketPC";
    d.ctrlDown = false;
    d.registryRoot = Key();
    d.openKeys.clear();
    d.failOpen.clear();
    d.failSet = false;
    d.modulePath.clear();
    d.resources.clear();
    d.dialogScript = nullptr;
    d.dialog = Dialog();
    d.dialogRan = false;
    d.procResults.clear();
    d.trace.clear();
    d.hook = nullptr;
    d.calls.clear();
}

HWND AddWindow(const WindowSpec& spec)
{
    HWND handle = NewHandle();
    Window w;
    w.className = spec.className;
    w.title = spec.title;
    w.visible = spec.visible;
    w.onClose = spec.onClose;
    w.rect = spec.rect;
    if (spec.hasChild) {
        HWND child = NewHandle();
        Window c;
        c.className = u"static";
        c.title = spec.childTitle;
        c.isChild = true;
        D().windows[(uintptr_t)child] = c;
        w.child = child;
    }
    D().windows[(uintptr_t)handle] = w;
    D().zOrder.push_back(handle);
    return handle;
}

HWND AddWindow(const Text& className, const Text& title, bool visible)
{
    WindowSpec spec;
    spec.className = className;
    spec.title = title;
    spec.visible = visible;
    return AddWindow(spec);
}

HWND AddWindowWithChild(const Text& className, const Text& title, const Text& childTitle)
{
    WindowSpec spec;
    spec.className = className;
    spec.title = title;
    spec.hasChild = true;
    spec.childTitle = childTitle;
    return AddWindow(spec);
}

void SetForeground(HWND window)
{
    D().foreground = window;
}

void RaiseToTop(HWND window)
{
    RemoveFromZOrder(window);
    D().zOrder.insert(D().zOrder.begin(), window);
}

void DestroyWindowSilently(HWND window)
{
    Destroy(window, false);
}

void SetCloseReaction(HWND window, CloseReaction reaction)
{
    if (Window* w = Find(window))
        w->onClose = reaction;
}

void SetPlatformType(const Text& type)
{
    D().platformAvailable = true;
    D().platformType = type;
}

void SetPlatformTypeUnavailable()
{
    D().platformAvailable = false;
}

std::vector<HWND> ZOrder()
{
    return D().zOrder;
}

HWND Foreground()
{
    return D().foreground;
}

bool Exists(HWND window)
{
    return Find(window) != NULL;
}

void SetCallHook(std::function<void(const char*)> hook)
{
    D().hook = hook;
}

bool InProgramCode()
{
    return platformDepth == 0;
}

int CallCount(const char* call)
{
    auto it = D().calls.find(call);
    return it == D().calls.end() ? 0 : it->second;
}

// ---- Registry scene --------------------------------------------------------

void AddKey(const Text& path)
{
    FindKey(&D().registryRoot, SplitPath(path), true);
}

void SetValue(const Text& keyPath, const Text& valueName, DWORD type,
              const std::vector<BYTE>& bytes)
{
    Key* key = FindKey(&D().registryRoot, SplitPath(keyPath), true);
    if (Value* v = FindValue(key, valueName)) {
        v->type = type;
        v->bytes = bytes;
        return;
    }
    key->values.push_back(Value{valueName, type, bytes});
}

std::vector<BYTE> StringBytes(const Text& text, bool terminated)
{
    std::vector<BYTE> bytes;
    for (char16_t c : text) {
        bytes.push_back((BYTE)(c & 0xFF));
        bytes.push_back((BYTE)(c >> 8));
    }
    if (terminated) {
        bytes.push_back(0);
        bytes.push_back(0);
    }
    return bytes;
}

void SetStringValue(const Text& keyPath, const Text& valueName, const Text& text)
{
    SetValue(keyPath, valueName, REG_SZ, StringBytes(text));
}

RegistryValue GetValue(const Text& keyPath, const Text& valueName)
{
    RegistryValue out;
    Key* key = FindKey(&D().registryRoot, SplitPath(keyPath), false);
    if (key == NULL)
        return out;
    if (Value* v = FindValue(key, valueName)) {
        out.exists = true;
        out.type = v->type;
        out.bytes = v->bytes;
    }
    return out;
}

void DeleteValue(const Text& keyPath, const Text& valueName)
{
    Key* key = FindKey(&D().registryRoot, SplitPath(keyPath), false);
    if (key == NULL)
        return;
    auto& values = key->values;
    values.erase(std::remove_if(values.begin(), values.end(),
                                [&](const Value& v) { return SameName(v.name, valueName); }),
                 values.end());
}

static void DumpKey(const Key& key, const std::string& path, std::string* out)
{
    *out += "[" + path + "]\n";
    for (const Value& v : key.values) {
        *out += "  " + Narrow(v.name) + " type " + std::to_string(v.type) + ":";
        for (BYTE b : v.bytes) {
            char hex[4];
            snprintf(hex, sizeof(hex), " %02x", b);
            *out += hex;
        }
        *out += "\n";
    }
    for (const auto& sub : key.subkeys)
        DumpKey(*sub, path.empty() ? Narrow(sub->name) : path + "\\" + Narrow(sub->name), out);
}

std::string DumpRegistry()
{
    std::string out;
    DumpKey(D().registryRoot, "", &out);
    return out;
}

void FailOpen(const Text& path)
{
    D().failOpen.push_back(Upper(JoinPath(SplitPath(path))));
}

void FailSetValue(bool fail)
{
    D().failSet = fail;
}

int OpenKeyCount()
{
    return (int)D().openKeys.size();
}

// ---- Module, resources, dialogs ---------------------------------------------

void SetModulePath(const Text& path)
{
    D().modulePath = path;
}

void AddDialogResource(int id, const std::vector<ControlSpec>& controls)
{
    D().resources.push_back(std::unique_ptr<DialogResource>(new DialogResource{id, controls}));
}

void SetDialogScript(std::function<void(HWND)> script)
{
    D().dialogScript = script;
}

void Click(HWND dialog, int id)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        Unmodelled("click outside an open dialog");
    for (size_t i = 0; i < d->controls.size(); i++) {
        Control& c = d->controls[i];
        if (c.id != id)
            continue;
        if (c.kind == kRadioButton) {
            // An auto radio button checks itself and clears the rest of its group.
            size_t first = i;
            while (first > 0 && !d->controls[first].group)
                first--;
            for (size_t j = first; j < d->controls.size(); j++) {
                if (j > first && d->controls[j].group)
                    break;
                if (d->controls[j].kind == kRadioButton)
                    d->controls[j].check = BST_UNCHECKED;
            }
            c.check = BST_CHECKED;
        }
        CallProc(dialog, WM_COMMAND, MAKELONG(id, BN_CLICKED), (LPARAM)d->controlHandles[i]);
        return;
    }
    Unmodelled("click on a control the dialog does not have");
}

void SelectItem(HWND dialog, int id, int index)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        Unmodelled("selection outside an open dialog");
    for (Control& c : d->controls) {
        if (c.id == id && c.kind == kComboBox) {
            c.selection = (index >= 0 && index < (int)c.items.size()) ? index : CB_ERR;
            return;
        }
    }
    Unmodelled("selection in a list the dialog does not have");
}

void CloseDialog(HWND dialog)
{
    CallProc(dialog, WM_CLOSE, 0, 0);
}

bool DialogEnded()
{
    return D().dialog.ended;
}

INT_PTR DialogResult()
{
    return D().dialog.result;
}

static Control* ControlById(HWND dialog, int id)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        return NULL;
    for (Control& c : d->controls) {
        if (c.id == id)
            return &c;
    }
    return NULL;
}

bool IsChecked(HWND dialog, int id)
{
    Control* c = ControlById(dialog, id);
    return c != NULL && c->check == BST_CHECKED;
}

std::vector<Text> ComboItems(HWND dialog, int id)
{
    Control* c = ControlById(dialog, id);
    return c == NULL ? std::vector<Text>() : c->items;
}

int ComboSelection(HWND dialog, int id)
{
    Control* c = ControlById(dialog, id);
    return c == NULL ? CB_ERR : c->selection;
}

std::vector<INT_PTR> DialogProcResults()
{
    return D().procResults;
}

// ---- Trace -----------------------------------------------------------------

const std::vector<TraceEntry>& Trace()
{
    return D().trace;
}

void ClearTrace()
{
    D().trace.clear();
}

std::vector<TraceEntry> TraceOf(std::initializer_list<TraceKind> kinds)
{
    std::vector<TraceEntry> out;
    for (const TraceEntry& e : D().trace) {
        if (std::find(kinds.begin(), kinds.end(), e.kind) != kinds.end())
            out.push_back(e);
    }
    return out;
}

std::string Narrow(const Text& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | (c >> 12));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | (c >> 18));
            out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string Describe(const TraceEntry& e)
{
    static const char* const kNames[] = {
        "end", "message", "foreground", "z-order", "key", "sleep", "destroyed",
        "control", "reg-set", "beep", "message-box", "init-dialog", "menu-bar", "end-dialog",
    };
    std::string out = kNames[e.kind];
    out += " window=" + Hex((uintptr_t)e.window);
    out += " a=" + Hex(e.a) + " b=" + Hex(e.b) + " c=" + Hex((uintptr_t)e.c);
    if (!e.text1.empty())
        out += " \"" + Narrow(e.text1) + "\"";
    if (!e.text2.empty())
        out += " \"" + Narrow(e.text2) + "\"";
    if (!e.bytes.empty())
        out += " bytes=" + std::to_string(e.bytes.size());
    return out;
}

std::string Describe(const std::vector<TraceEntry>& entries)
{
    std::string out;
    for (const TraceEntry& e : entries)
        out += "  " + Describe(e) + "\n";
    return out;
}

}  // namespace host

using namespace host;

// ---- Window-system services ------------------------------------------------

HWND GetForegroundWindow(void)
{
    PlatformCall scope("GetForegroundWindow");
    return Find(D().foreground) != NULL ? D().foreground : NULL;
}

BOOL SetForegroundWindow(HWND window)
{
    PlatformCall scope("SetForegroundWindow");
    Record(kForeground, window);
    Window* w = Find(window);
    if (w == NULL || w->isChild || w->dialog != NULL)
        return FALSE;
    D().foreground = window;
    RaiseToTop(window);
    return TRUE;
}

HWND GetWindow(HWND window, UINT command)
{
    PlatformCall scope("GetWindow");
    Window* w = Find(window);
    if (command == GW_CHILD)
        return w == NULL ? NULL : w->child;
    if (command != GW_HWNDNEXT)
        Unmodelled("GetWindow with this command");
    if (w == NULL || w->isChild)
        return NULL;
    auto& z = D().zOrder;
    auto it = std::find(z.begin(), z.end(), window);
    if (it == z.end() || it + 1 == z.end())
        return NULL;
    return *(it + 1);
}

int GetClassNameW(HWND window, LPWSTR buffer, int capacity)
{
    PlatformCall scope("GetClassNameW");
    Window* w = Find(window);
    return w == NULL ? 0 : CopyOut(w->className, buffer, capacity);
}

int GetWindowTextW(HWND window, LPWSTR buffer, int capacity)
{
    PlatformCall scope("GetWindowTextW");
    Window* w = Find(window);
    if (w == NULL) {
        if (buffer != NULL && capacity > 0)
            buffer[0] = 0;
        return 0;
    }
    return CopyOut(w->title, buffer, capacity);
}

BOOL IsWindowVisible(HWND window)
{
    PlatformCall scope("IsWindowVisible");
    Window* w = Find(window);
    return w != NULL && w->visible;
}

BOOL IsWindow(HWND window)
{
    PlatformCall scope("IsWindow");
    return Find(window) != NULL;
}

HWND FindWindowW(LPCWSTR className, LPCWSTR title)
{
    PlatformCall scope("FindWindowW");
    if (title != NULL || className == NULL)
        Unmodelled("FindWindowW other than by class name alone");
    Text wanted(className);
    for (HWND handle : D().zOrder) {
        if (SameName(Find(handle)->className, wanted))
            return handle;
    }
    return NULL;
}

BOOL GetWindowRect(HWND window, LPRECT rect)
{
    PlatformCall scope("GetWindowRect");
    Window* w = Find(window);
    if (w == NULL || rect == NULL)
        return FALSE;
    *rect = w->rect;
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND after, int x, int y, int cx, int cy, UINT flags)
{
    PlatformCall scope("SetWindowPos");
    if (after != HWND_BOTTOM || x != 0 || y != 0 || cx != 0 || cy != 0 ||
        flags != (SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE))
        Unmodelled("SetWindowPos other than to the bottom, unmoved and unactivated");
    Record(kZOrder, window, 0, flags);
    Window* w = Find(window);
    if (w == NULL || w->isChild)
        return FALSE;
    RemoveFromZOrder(window);
    D().zOrder.push_back(window);
    return TRUE;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PlatformCall scope("SendMessageW");
    if (Control* control = ControlOf(window))
        return ControlMessage(window, control, message, wParam, lParam);
    Record(kMessage, window, message, wParam, lParam);
    Window* w = Find(window);
    if (w != NULL && message == WM_CLOSE && w->onClose == kClosesOnClose && !w->isChild)
        Destroy(window, true);
    return 0;
}

void keybd_event(BYTE key, BYTE scan, DWORD flags, ULONG_PTR extraInfo)
{
    PlatformCall scope("keybd_event");
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
    if (key == 'Q' && !up && D().ctrlDown && front != NULL && front->onClose == kClosesOnCtrlQ)
        Destroy(D().foreground, true);
}

void Sleep(DWORD milliseconds)
{
    PlatformCall scope("Sleep");
    Record(kSleep, NULL, milliseconds);
}

BOOL SystemParametersInfoW(UINT action, UINT param, LPVOID buffer, UINT winIni)
{
    PlatformCall scope("SystemParametersInfoW");
    if (action != SPI_GETPLATFORMTYPE || winIni != 0 || buffer == NULL)
        Unmodelled("SystemParametersInfoW other than reading the platform type");
    if (!D().platformAvailable)
        return FALSE;
    // The size is in bytes; the text and its terminator must fit.
    if ((D().platformType.size() + 1) * sizeof(WCHAR) > param)
        return FALSE;
    CopyOut(D().platformType, (LPWSTR)buffer, (int)(param / sizeof(WCHAR)));
    return TRUE;
}

// ---- Registry --------------------------------------------------------------

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM, PHKEY result)
{
    PlatformCall scope("RegOpenKeyExW");
    if (options != 0 || result == NULL)
        Unmodelled("RegOpenKeyExW with options or without a result");
    Key* from;
    std::vector<Text> base;
    if (key == HKEY_LOCAL_MACHINE) {
        from = &D().registryRoot;
    } else if (OpenKey* open = FindOpenKey(key)) {
        from = open->key;
        base = SplitPath(open->path);
    } else {
        return ERROR_INVALID_PARAMETER;
    }
    // Empty path components are passed over, so a path ending in a
    // backslash opens the key above it, as the platform's registry does.
    std::vector<Text> parts = SplitPath(subKey == NULL ? Text() : Text(subKey));
    std::vector<Text> full = base;
    full.insert(full.end(), parts.begin(), parts.end());
    const Text path = JoinPath(full);
    for (const Text& failing : D().failOpen) {
        if (failing == Upper(path))
            return ERROR_ACCESS_DENIED;
    }
    Key* found = FindKey(from, parts, false);
    if (found == NULL)
        return ERROR_FILE_NOT_FOUND;
    D().nextKey += 4;
    D().openKeys[D().nextKey] = OpenKey{found, path};
    *result = (HKEY)D().nextKey;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameChars, LPDWORD reserved,
                   LPWSTR className, LPDWORD classChars, PFILETIME lastWrite)
{
    PlatformCall scope("RegEnumKeyExW");
    if (reserved != NULL || className != NULL || classChars != NULL || lastWrite != NULL ||
        name == NULL || nameChars == NULL)
        Unmodelled("RegEnumKeyExW asking for more than the subkey's name");
    OpenKey* open = FindOpenKey(key);
    if (open == NULL)
        return ERROR_INVALID_PARAMETER;
    if (index >= open->key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    const Text& subName = open->key->subkeys[index]->name;
    if (subName.size() + 1 > *nameChars)
        return ERROR_MORE_DATA;
    CopyOut(subName, name, (int)*nameChars);
    *nameChars = (DWORD)subName.size();
    return ERROR_SUCCESS;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD dataBytes)
{
    PlatformCall scope("RegQueryValueExW");
    if (reserved != NULL)
        Unmodelled("RegQueryValueExW with the reserved argument");
    OpenKey* open = FindOpenKey(key);
    if (open == NULL)
        return ERROR_INVALID_PARAMETER;
    Value* v = FindValue(open->key, valueName == NULL ? Text() : Text(valueName));
    if (v == NULL)
        return ERROR_FILE_NOT_FOUND;
    if (type != NULL)
        *type = v->type;
    if (data == NULL) {
        if (dataBytes != NULL)
            *dataBytes = (DWORD)v->bytes.size();
        return ERROR_SUCCESS;
    }
    if (dataBytes == NULL)
        Unmodelled("RegQueryValueExW with data but no size");
    // Stored bytes are returned as they are: a string need not be terminated.
    if (v->bytes.size() > *dataBytes) {
        *dataBytes = (DWORD)v->bytes.size();
        return ERROR_MORE_DATA;
    }
    std::copy(v->bytes.begin(), v->bytes.end(), data);
    *dataBytes = (DWORD)v->bytes.size();
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD dataBytes)
{
    PlatformCall scope("RegSetValueExW");
    if (reserved != 0)
        Unmodelled("RegSetValueExW with the reserved argument");
    OpenKey* open = FindOpenKey(key);
    if (open == NULL)
        return ERROR_INVALID_PARAMETER;
    if (D().failSet)
        return ERROR_ACCESS_DENIED;
    const Text name = valueName == NULL ? Text() : Text(valueName);
    std::vector<BYTE> bytes(data, data + dataBytes);
    if (Value* v = FindValue(open->key, name)) {
        v->type = type;
        v->bytes = bytes;
    } else {
        open->key->values.push_back(Value{name, type, bytes});
    }
    Record(kRegSetValue, NULL, type, 0, 0, open->path, name, bytes);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    PlatformCall scope("RegCloseKey");
    if (key == HKEY_LOCAL_MACHINE)
        return ERROR_SUCCESS;
    if (D().openKeys.erase((uintptr_t)key) == 0)
        return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

// ---- Module, message boxes, beeps ------------------------------------------

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity)
{
    PlatformCall scope("GetModuleFileNameW");
    if (module != NULL)
        Unmodelled("GetModuleFileNameW for another module");
    if (buffer == NULL || capacity == 0)
        return 0;
    // A path that doesn't fit is cut, terminated, and the full capacity is
    // returned, so the caller can tell.
    const Text& path = D().modulePath;
    CopyOut(path, buffer, (int)capacity);
    return path.size() >= capacity ? capacity : (DWORD)path.size();
}

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    PlatformCall scope("MessageBoxW");
    Record(kMessageBox, owner, type, 0, 0, caption == NULL ? Text() : Text(caption),
           text == NULL ? Text() : Text(text));
    return IDOK;
}

BOOL MessageBeep(UINT type)
{
    PlatformCall scope("MessageBeep");
    Record(kBeep, NULL, type);
    return TRUE;
}

// ---- Resources and dialogs -------------------------------------------------

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    PlatformCall scope("FindResourceW");
    if (module != NULL || type != RT_DIALOG || ((uintptr_t)name >> 16) != 0)
        Unmodelled("FindResourceW other than a numbered dialog of this program");
    for (auto& r : D().resources) {
        if (r->id == (int)(uintptr_t)name)
            return (HRSRC)r.get();
    }
    return NULL;
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource)
{
    PlatformCall scope("LoadResource");
    if (module != NULL)
        Unmodelled("LoadResource from another module");
    return (HGLOBAL)resource;
}

INT_PTR DialogBoxIndirectParamW(HINSTANCE, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC dialogProc, LPARAM initParam)
{
    PlatformCall scope("DialogBoxIndirectParamW");
    if (dialogTemplate == NULL || dialogProc == NULL)
        return -1;
    if (owner != NULL || D().dialogRan)
        Unmodelled("an owned dialog, or a second dialog");
    const DialogResource* resource = NULL;
    for (auto& r : D().resources) {
        if ((const void*)r.get() == (const void*)dialogTemplate)
            resource = r.get();
    }
    if (resource == NULL)
        Unmodelled("a dialog template that is not a resource of this program");

    D().dialogRan = true;
    Dialog& d = D().dialog;
    d.handle = NewHandle();
    d.proc = dialogProc;
    Window dw;
    dw.className = u"Dialog";
    D().windows[(uintptr_t)d.handle] = dw;
    for (const ControlSpec& spec : resource->controls) {
        HWND handle = NewHandle();
        Window cw;
        cw.isChild = true;
        cw.dialog = d.handle;
        cw.controlIndex = (int)d.controls.size();
        D().windows[(uintptr_t)handle] = cw;
        Control control;
        control.id = spec.id;
        control.kind = spec.kind;
        control.group = spec.group;
        d.controls.push_back(control);
        d.controlHandles.push_back(handle);
    }
    CallProc(d.handle, WM_INITDIALOG, 0, initParam);
    if (!d.ended && D().dialogScript) {
        PlatformCall script("dialog script");
        D().dialogScript(d.handle);
    }
    if (!d.ended)
        Unmodelled("a dialog left open by its test");
    return d.result;
}

HWND GetDlgItem(HWND dialog, int id)
{
    PlatformCall scope("GetDlgItem");
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        return NULL;
    for (size_t i = 0; i < d->controls.size(); i++) {
        if (d->controls[i].id == id && id != 0xFFFF)
            return d->controlHandles[i];
    }
    return NULL;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    PlatformCall scope("SendDlgItemMessageW");
    HWND control = GetDlgItem(dialog, id);
    if (control == NULL)
        return 0;
    return SendMessageW(control, message, wParam, lParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    PlatformCall scope("EndDialog");
    Record(kEndDialog, dialog, (uintptr_t)result);
    Dialog* d = DialogOf(dialog);
    if (d == NULL || d->ended)
        return FALSE;
    d->ended = true;
    d->result = result;
    return TRUE;
}

// ---- Shell library ---------------------------------------------------------

BOOL SHInitDialog(PSHINITDLGINFO info)
{
    PlatformCall scope("SHInitDialog");
    if (info == NULL)
        Unmodelled("SHInitDialog without its record");
    Record(kInitDialog, info->hDlg, info->dwMask, info->dwFlags);
    return TRUE;
}

BOOL SHCreateMenuBar(SHMENUBARINFO* info)
{
    PlatformCall scope("SHCreateMenuBar");
    if (info == NULL || info->cbSize != sizeof(SHMENUBARINFO))
        Unmodelled("SHCreateMenuBar without a sized record");
    // Every field but the owner and the flags must be left zero.
    const bool othersZero = info->nToolBarId == 0 && info->hInstRes == NULL &&
                            info->nBmpId == 0 && info->cBmpImages == 0 &&
                            info->hwndMB == NULL && info->clrBk == 0;
    Record(kMenuBar, info->hwndParent, othersZero ? 0 : 1, info->dwFlags);
    return TRUE;
}

// ---- Wide-string routines ----------------------------------------------------

int wcscmp(const WCHAR* a, const WCHAR* b)
{
    while (*a != 0 && *a == *b) {
        a++;
        b++;
    }
    return (int)*a - (int)*b;
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (a[i] != b[i])
            return (int)a[i] - (int)b[i];
        if (a[i] == 0)
            return 0;
    }
    return 0;
}

WCHAR* wcscpy(WCHAR* destination, const WCHAR* source)
{
    WCHAR* out = destination;
    while ((*out++ = *source++) != 0) {
    }
    return destination;
}

WCHAR* wcscat(WCHAR* destination, const WCHAR* source)
{
    wcscpy(destination + Length(destination), source);
    return destination;
}

size_t wcslen(const WCHAR* text)
{
    return Length(text);
}

const WCHAR* wcsstr(const WCHAR* text, const WCHAR* pattern)
{
    if (*pattern == 0)
        return text;
    for (; *text != 0; text++) {
        size_t i = 0;
        while (pattern[i] != 0 && text[i] == pattern[i])
            i++;
        if (pattern[i] == 0)
            return text;
    }
    return NULL;
}

WCHAR* wcsstr(WCHAR* text, const WCHAR* pattern)
{
    return const_cast<WCHAR*>(wcsstr((const WCHAR*)text, pattern));
}

const WCHAR* wcsrchr(const WCHAR* text, WCHAR c)
{
    const WCHAR* found = NULL;
    for (;; text++) {
        if (*text == c)
            found = text;
        if (*text == 0)
            return found;
    }
}

WCHAR* wcsrchr(WCHAR* text, WCHAR c)
{
    return const_cast<WCHAR*>(wcsrchr((const WCHAR*)text, c));
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...)
{
    PlatformCall scope("wsprintfW");
    va_list args;
    va_start(args, format);
    WCHAR* out = buffer;
    for (const WCHAR* f = format; *f != 0; f++) {
        if (*f != u'%') {
            *out++ = *f;
            continue;
        }
        f++;
        if (*f == u'%') {
            *out++ = u'%';
        } else if (*f == u's') {
            for (const WCHAR* s = va_arg(args, const WCHAR*); *s != 0; s++)
                *out++ = *s;
        } else {
            Unmodelled("wsprintfW with a format other than %s");
        }
    }
    *out = 0;
    va_end(args);
    return (int)(out - buffer);
}
