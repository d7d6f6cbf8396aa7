// match.cpp: the one matcher of expected effects against a way's record,
// and how an effect is written for people when they differ.
#include "scenario.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace scene {

// ---- The matcher -------------------------------------------------------------

namespace {

std::string Hex(uintptr_t value)
{
    char buffer[32];
    snprintf(buffer, sizeof(buffer), "0x%llx", (unsigned long long)value);
    return buffer;
}

std::string WindowName(int window, const std::vector<std::string>& names)
{
    if (window == kNoWindow)
        return "none";
    if (window == kOtherWindow)
        return "another window";
    if (window >= 0 && window < (int)names.size())
        return names[window];
    return "window " + std::to_string(window);
}

}  // namespace

std::string MessageName(uintptr_t message)
{
    static const struct {
        uintptr_t message;
        const char* name;
    } kNames[] = {{kWmClose, "WM_CLOSE"}, {kWmLButtonDown, "WM_LBUTTONDOWN"},
                  {kWmLButtonUp, "WM_LBUTTONUP"}, {0x100, "WM_KEYDOWN"}, {0x101, "WM_KEYUP"},
                  {kWmCommand, "WM_COMMAND"}};
    for (const auto& n : kNames) {
        if (n.message == message)
            return n.name;
    }
    return "message " + Hex(message);
}

namespace {

bool Same(const Step& e, const Step& a)
{
    if (e.kind != a.kind || e.window != a.window || e.a != a.a || e.b != a.b || e.c != a.c)
        return false;
    return !e.carriesText || (e.text1 == a.text1 && e.text2 == a.text2 && e.bytes == a.bytes);
}

std::string List(const Steps& steps, const std::vector<std::string>& names)
{
    std::string out;
    for (size_t i = 0; i < steps.size(); i++)
        out += "    " + std::to_string(i) + ": " + Describe(steps[i], names) + "\n";
    return out.empty() ? "    (nothing)\n" : out;
}

}  // namespace

std::string Describe(const Step& s, const std::vector<std::string>& names)
{
    static const char* const kKinds[] = {
        "end", "message", "foreground", "z-order", "key", "sleep", "destroyed",
        "control", "reg-set", "beep", "message-box", "init-dialog", "menu-bar", "end-dialog",
        "waited", "tray-opened", "file-created", "file-deleted", "file-moved",
    };
    std::string out = s.optional ? "(optional) " : "";
    out += kKinds[s.kind];
    const std::string window = WindowName(s.window, names);
    switch (s.kind) {
    case kMessage:
        out += " " + window + " " + MessageName(s.a);
        if (s.a == kWmLButtonDown || s.a == kWmLButtonUp)
            out += " at (" + std::to_string(s.c & 0xFFFF) + ", " + std::to_string((s.c >> 16) & 0xFFFF) + ")";
        else
            out += " " + Hex(s.b) + " " + Hex((uintptr_t)s.c);
        break;
    case kForeground:
    case kDestroyed:
    case kTrayOpened:
        out += " " + window;
        break;
    case kKeyEvent:
        out += " " + (s.a == kVkControl ? std::string("Ctrl") : s.a >= 'A' && s.a <= 'Z' ? std::string(1, (char)s.a) : Hex(s.a));
        out += (s.b & kKeyUp) ? " up" : " down";
        if (s.window != kNoWindow)
            out += " to " + window;
        break;
    case kSleep:
        out += " " + std::to_string(s.a) + " ms";
        break;
    case kWaited:
        out += " " + window + " " + std::to_string(s.a) + " ms";
        break;
    default:
        out += " " + window + " a=" + Hex(s.a) + " b=" + Hex(s.b) + " c=" + Hex((uintptr_t)s.c);
    }
    if (!s.text1.empty() || !s.text2.empty())
        out += " \"" + Narrow(s.text1) + "\" \"" + Narrow(s.text2) + "\"";
    if (!s.bytes.empty()) {
        out += " bytes";
        for (uint8_t b : s.bytes) {
            char hex[4];
            snprintf(hex, sizeof(hex), " %02x", b);
            out += hex;
        }
    }
    return out;
}

std::string Match(const Steps& expected, const Steps& actual, const std::vector<std::string>& names)
{
    size_t e = 0, a = 0;
    while (e < expected.size() && a < actual.size()) {
        if (Same(expected[e], actual[a])) {
            e++;
            a++;
        } else if (expected[e].optional) {
            e++;
        } else {
            break;
        }
    }
    while (e < expected.size() && expected[e].optional)
        e++;
    if (e == expected.size() && a == actual.size())
        return "";
    return "effects part at expected " + std::to_string(e) + ", recorded " + std::to_string(a) +
           "\n  expected:\n" + List(expected, names) + "  recorded:\n" + List(actual, names);
}

std::string MatchOrder(const char* what, const std::vector<int>& expected,
                       const std::vector<int>& actual, const std::vector<std::string>& names)
{
    if (expected == actual)
        return "";
    auto list = [&](const std::vector<int>& order) {
        std::string out;
        for (int w : order)
            out += (out.empty() ? "" : ", ") + WindowName(w, names);
        return "[" + out + "]";
    };
    return std::string(what) + ": expected " + list(expected) + ", got " + list(actual) + "\n";
}

}  // namespace scene
