// model.cpp: the one modelled Pocket PC every service shares, its reset, and the count
// and hook every modelled platform call goes through.
#include "model.h"

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>

namespace standin {
namespace detail {

[[noreturn]] void Unmodelled(const char* what)
{
    fprintf(stderr, "stand-in: not modelled: %s\n", what);
    abort();
}

Model& M()
{
    static Model model;
    return model;
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

Text Folded(const Text& text)
{
    Text out = text;
    for (auto& c : out)
        c = Fold(c);
    return out;
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
    Model& model = M();
    while (!model.scheduled.empty() && model.scheduled.begin()->first <= time) {
        auto next = model.scheduled.begin();
        model.now = std::max(model.now, next->first);
        std::function<void()> effect = std::move(next->second);
        model.scheduled.erase(next);
        effect();
    }
    model.now = std::max(model.now, time);
}

}  // namespace detail

using namespace detail;

DWORD Now()
{
    return M().now;
}

void At(DWORD time, std::function<void()> effect)
{
    M().scheduled.emplace(time, std::move(effect));
}

void AdvanceClock(DWORD milliseconds)
{
    AdvanceTo(M().now + milliseconds);
}

void Reset()
{
    Model& model = M();
    model.windows.clear();
    model.zOrder.clear();
    model.foreground = NULL;
    SetProfile(DefaultProfile());
    model.ctrlDown = false;
    model.screen = Screen();
    model.legacyProgram = true;
    model.zOrderLoops = false;
    model.registryRoot = Key();
    model.openKeys.clear();
    model.failOpen.clear();
    model.failSet = false;
    model.failSetNamed = false;
    model.failSetName.clear();
    model.modulePath.clear();
    model.resources.clear();
    model.dialogScript = nullptr;
    model.dialog = Dialog();
    model.dialogRan = false;
    model.procResults.clear();
    model.mutexes.clear();
    model.kernelHandles.clear();
    model.process = 1;
    model.nextProcess = 2;
    model.failCreateMutex = false;
    model.files.clear();
    model.openFiles.clear();
    model.failCreate = false;
    model.failCreatePath.clear();
    model.writeLimit = -1;
    model.shortWrite = false;
    model.failClose = false;
    model.dcs = 0;
    model.now = 0;
    model.scheduled.clear();
    model.trace.clear();
    model.callLog.clear();
    model.hook = nullptr;
    model.calls.clear();
}

void SetCallHook(std::function<void(const char*)> hook)
{
    M().hook = hook;
}

bool InProgramCode()
{
    return platformDepth == 0;
}

const std::vector<Call>& Calls()
{
    return M().callLog;
}

std::vector<Call> CallsOf(const char* name)
{
    std::vector<Call> out;
    for (const Call& c : M().callLog) {
        if (c.name == name)
            out.push_back(c);
    }
    return out;
}

int CallCount(const char* call)
{
    auto it = M().calls.find(call);
    return it == M().calls.end() ? 0 : it->second;
}

}  // namespace standin
