// trace.cpp: the one ordered trace of every effect the program has on the
// model, and its readable form for failure messages.
#include "model.h"

#include <stdio.h>

#include <algorithm>

namespace standin {
namespace detail {

void Record(Kind kind, HWND window, uintptr_t a, uintptr_t b, intptr_t c,
            const Text& text1, const Text& text2, const std::vector<BYTE>& bytes)
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
    M().trace.push_back(entry);
}

}  // namespace detail

namespace {

std::string Hex(uintptr_t value)
{
    char buffer[32];
    snprintf(buffer, sizeof(buffer), "0x%lx", (unsigned long)value);
    return buffer;
}

}  // namespace

using namespace detail;

const std::vector<TraceEntry>& Trace()
{
    return M().trace;
}

void ClearTrace()
{
    M().trace.clear();
}

std::vector<TraceEntry> TraceOf(std::initializer_list<Kind> kinds)
{
    std::vector<TraceEntry> out;
    for (const TraceEntry& e : M().trace) {
        if (std::find(kinds.begin(), kinds.end(), e.kind) != kinds.end())
            out.push_back(e);
    }
    return out;
}

std::string Describe(const TraceEntry& e)
{
    static const char* const kNames[] = {
        "end", "message", "foreground", "z-order", "key", "sleep", "destroyed",
        "control", "reg-set", "beep", "message-box", "init-dialog", "menu-bar", "end-dialog",
        "waited", "tray-opened", "file-created", "file-deleted", "file-moved",
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

int IndexOf(HWND window, const std::vector<HWND>& windows)
{
    if (window == NULL)
        return scene::kNoWindow;
    for (size_t i = 0; i < windows.size(); i++) {
        if (windows[i] == window)
            return (int)i;
    }
    return scene::kOtherWindow;
}

Steps Recorded(const std::vector<HWND>& windows)
{
    Steps out;
    for (const TraceEntry& e : M().trace) {
        out.push_back(scene::Step{e.kind, IndexOf(e.window, windows), e.a, e.b, e.c, e.text1, e.text2, e.bytes});
    }
    return out;
}

std::string Describe(const std::vector<TraceEntry>& entries)
{
    std::string out;
    for (const TraceEntry& e : entries)
        out += "  " + Describe(e) + "\n";
    return out;
}

}  // namespace standin
