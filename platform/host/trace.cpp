// trace.cpp: the one ordered trace of every effect the program has on the
// device, and its readable form for failure messages.
#include "device.h"

#include <stdio.h>

#include <algorithm>

namespace host {
namespace detail {

void Record(TraceKind kind, HWND window, uintptr_t a, uintptr_t b, intptr_t c,
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
    D().trace.push_back(entry);
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
        "waited", "tray-opened",
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
