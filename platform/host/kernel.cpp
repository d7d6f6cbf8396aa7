// kernel.cpp: processes and the one kind of kernel object the programs use,
// the mutex: CreateMutexW, WaitForSingleObject, ReleaseMutex, CloseHandle.
// Named mutexes are shared by every process, as on CE, where all named
// objects live in one name space.
#include "device.h"

#include <iterator>

namespace host {
namespace detail {
namespace {

Mutex* MutexOf(HANDLE handle)
{
    Device& d = D();
    auto h = d.kernelHandles.find((uintptr_t)handle);
    if (h == d.kernelHandles.end() || h->second.process != d.process)
        return NULL;
    return &d.mutexes.at(h->second.object);
}

void Close(std::map<uintptr_t, KernelHandle>::iterator h)
{
    Device& d = D();
    Mutex& m = d.mutexes.at(h->second.object);
    if (--m.handles == 0)
        d.mutexes.erase(h->second.object);
    d.kernelHandles.erase(h);
}

// The system's side of a process ending: a mutex it still owns is
// abandoned, then its handles close.
void EndProcess(int process)
{
    Device& d = D();
    for (auto& m : d.mutexes) {
        if (m.second.owner == process) {
            m.second.owner = 0;
            m.second.count = 0;
            m.second.abandoned = true;
        }
    }
    for (auto h = d.kernelHandles.begin(); h != d.kernelHandles.end();) {
        auto next = std::next(h);
        if (h->second.process == process)
            Close(h);
        h = next;
    }
}

// The object id of the named mutex, 0 when there is none.
uintptr_t Named(const Text& name)
{
    for (const auto& m : D().mutexes) {
        if (!m.second.name.empty() && m.second.name == name)
            return m.first;
    }
    return 0;
}

}  // namespace
}  // namespace detail

using namespace detail;

void RunAsProcess(const std::function<void()>& body)
{
    Device& d = D();
    const int outer = d.process;
    const int process = d.nextProcess++;
    d.process = process;
    body();
    EndProcess(process);
    d.process = outer;
}

int CurrentProcess()
{
    return D().process;
}

int MutexOwner(const Text& name)
{
    const uintptr_t object = Named(name);
    return object == 0 ? 0 : D().mutexes.at(object).owner;
}

bool MutexExists(const Text& name)
{
    return Named(name) != 0;
}

int KernelHandleCount()
{
    return (int)D().kernelHandles.size();
}

void FailCreateMutex(bool fail)
{
    D().failCreateMutex = fail;
}

}  // namespace host

using namespace host;
using namespace host::detail;

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name)
{
    PlatformCall call("CreateMutexW", {Given(attributes), (uintptr_t)initialOwner, Given(name)},
                      name);
    Device& d = D();
    if (d.failCreateMutex)
        return NULL;
    // CE's object names "can contain any character except the backslash":
    // such a name makes no mutex, and a lock built on it would not exist.
    if (name != NULL && Text(name).find(u'\\') != Text::npos)
        return NULL;
    uintptr_t object = name != NULL ? Named(name) : 0;
    if (object == 0) {
        object = d.nextKernel;
        d.nextKernel += 4;
        Mutex& m = d.mutexes[object];
        m.name = name != NULL ? Text(name) : Text();
        if (initialOwner) {
            m.owner = d.process;
            m.count = 1;
        }
    }
    d.mutexes[object].handles++;
    const uintptr_t handle = d.nextKernel;
    d.nextKernel += 4;
    d.kernelHandles[handle] = KernelHandle{object, d.process};
    return (HANDLE)handle;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    PlatformCall call("WaitForSingleObject", {(uintptr_t)handle, milliseconds});
    Device& d = D();
    Mutex* m = MutexOf(handle);
    if (m == NULL)
        return WAIT_FAILED;
    if (m->owner != 0 && m->owner != d.process) {
        // One thread in all: a wait that would block can't be modelled.
        if (milliseconds != 0)
            Unmodelled("a wait with a time-out on a mutex another process owns");
        return WAIT_TIMEOUT;
    }
    m->owner = d.process;
    m->count++;
    if (m->abandoned) {
        m->abandoned = false;
        return WAIT_ABANDONED;
    }
    return WAIT_OBJECT_0;
}

BOOL ReleaseMutex(HANDLE handle)
{
    PlatformCall call("ReleaseMutex", {(uintptr_t)handle});
    Mutex* m = MutexOf(handle);
    if (m == NULL || m->owner != D().process)
        return FALSE;
    if (--m->count == 0)
        m->owner = 0;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    PlatformCall call("CloseHandle", {(uintptr_t)handle});
    Device& d = D();
    auto h = d.kernelHandles.find((uintptr_t)handle);
    if (h == d.kernelHandles.end() || h->second.process != d.process)
        return FALSE;
    Close(h);
    return TRUE;
}
