// scenario.cpp: the press's steps and the scenario's own helpers.
#include "scenario.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace scene {

// ---- Steps -------------------------------------------------------------------

Step Entry(Kind kind, int window, uintptr_t a, uintptr_t b, intptr_t c)
{
    Step s;
    s.kind = kind;
    s.window = window;
    s.a = a;
    s.b = b;
    s.c = c;
    return s;
}

Steps Message(int window, uintptr_t message, uintptr_t wParam, intptr_t lParam)
{
    return {Entry(kMessage, window, message, wParam, lParam)};
}
Steps Close(int window) { return Message(window, kWmClose); }
Steps Destroyed(int window) { return {Entry(kDestroyed, window)}; }
Steps ClosedAndGone(int window) { return Join({Close(window), Destroyed(window)}); }
Steps Slept(unsigned ms) { return {Entry(kSleep, kNoWindow, ms)}; }
Steps Forward(int window) { return {Entry(kForeground, window)}; }
Steps ToBottom(int window) { return {Entry(kZOrder, window, 0, kToBottomFlags)}; }
Steps ForwardAndBack(int forward, int sent) { return Join({Forward(forward), ToBottom(sent)}); }
Steps Tap(int bar, int x, int y)
{
    const intptr_t at = (intptr_t)(((uint32_t)y << 16) | ((uint32_t)x & 0xFFFF));
    return Join({Message(bar, kWmLButtonDown, 0, at), Message(bar, kWmLButtonUp, 0, at)});
}
Steps Key(uintptr_t key, bool up, int receiver) { return {Entry(kKeyEvent, receiver, key, up ? kKeyUp : 0)}; }
Steps Ok(int window) { return Message(window, kWmCommand, kIdOk); }
Steps Waited(int window, unsigned ms) { return {Entry(kWaited, window, ms)}; }

Step WithText(Kind kind, int window, uintptr_t a, uintptr_t b, const std::u16string& text1,
              const std::u16string& text2, const std::vector<uint8_t>& bytes)
{
    Step s = Entry(kind, window, a, b);
    s.text1 = text1;
    s.text2 = text2;
    s.bytes = bytes;
    s.carriesText = true;
    return s;
}

Steps Optional(Steps steps)
{
    for (Step& s : steps)
        s.optional = true;
    return steps;
}

Steps Join(std::initializer_list<Steps> parts)
{
    Steps out;
    for (const Steps& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// ---- Scenario ----------------------------------------------------------------

Scenario Press(const std::string& name, std::vector<SceneWindow> windows)
{
    Scenario s;
    s.name = name;
    s.windows = windows;
    return s;
}

int Scenario::FrontIndex() const
{
    if (front != kFirstBelowTopmost)
        return front;
    for (size_t i = 0; i < windows.size(); i++) {
        if (!windows[i].topmost)
            return (int)i;
    }
    return kNoWindow;
}

std::vector<std::string> Scenario::Names() const
{
    std::vector<std::string> names;
    for (size_t i = 0; i < windows.size(); i++) {
        int same = 0, before = 0;
        for (size_t j = 0; j < windows.size(); j++) {
            same += windows[j].name == windows[i].name;
            before += j < i && windows[j].name == windows[i].name;
        }
        names.push_back(same > 1 ? windows[i].name + "#" + std::to_string(before + 1) : windows[i].name);
    }
    return names;
}

}  // namespace scene
