// device.cpp: the one device every service shares, its reset, and the count
// and hook every modelled platform call goes through.
#include "device.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

namespace host {
namespace detail {

[[noreturn]] void Unmodelled(const char* what)
{
    fprintf(stderr, "host stand-in: not modelled: %s\n", what);
    abort();
}

Device& D()
{
    static Device device;
    return device;
}

int platformDepth = 0;

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

void AdvanceTo(DWORD time)
{
    Device& d = D();
    while (!d.scheduled.empty() && d.scheduled.begin()->first <= time) {
        auto next = d.scheduled.begin();
        d.now = std::max(d.now, next->first);
        std::function<void()> effect = std::move(next->second);
        d.scheduled.erase(next);
        effect();
    }
    d.now = std::max(d.now, time);
}

}  // namespace detail

using namespace detail;

DWORD Now()
{
    return D().now;
}

void At(DWORD time, std::function<void()> effect)
{
    D().scheduled.emplace(time, std::move(effect));
}

void AdvanceClock(DWORD milliseconds)
{
    AdvanceTo(D().now + milliseconds);
}

void Reset()
{
    Device& d = D();
    d.windows.clear();
    d.zOrder.clear();
    d.foreground = NULL;
    SetProfile(DefaultProfile());
    d.ctrlDown = false;
    d.screen = Screen();
    d.legacyProgram = true;
    d.zOrderLoops = false;
    d.registryRoot = Key();
    d.openKeys.clear();
    d.failOpen.clear();
    d.failSet = false;
    d.failSetNamed = false;
    d.failSetName.clear();
    d.modulePath.clear();
    d.resources.clear();
    d.dialogScript = nullptr;
    d.dialog = Dialog();
    d.dialogRan = false;
    d.procResults.clear();
    d.mutexes.clear();
    d.kernelHandles.clear();
    d.process = 1;
    d.nextProcess = 2;
    d.failCreateMutex = false;
    d.now = 0;
    d.scheduled.clear();
    d.trace.clear();
    d.callLog.clear();
    d.hook = nullptr;
    d.calls.clear();
}

void SetCallHook(std::function<void(const char*)> hook)
{
    D().hook = hook;
}

bool InProgramCode()
{
    return platformDepth == 0;
}

const std::vector<Call>& Calls()
{
    return D().callLog;
}

std::vector<Call> CallsOf(const char* name)
{
    std::vector<Call> out;
    for (const Call& c : D().callLog) {
        if (c.name == name)
            out.push_back(c);
    }
    return out;
}

int CallCount(const char* call)
{
    auto it = D().calls.find(call);
    return it == D().calls.end() ? 0 : it->second;
}

}  // namespace host
