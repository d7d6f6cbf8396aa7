// kernel.cpp: processes and the one kind of kernel object the programs use,
// the mutex: CreateMutexW, WaitForSingleObject, ReleaseMutex, CloseHandle
// (which closes file handles too, file.cpp).
// Named mutexes are shared by every process, as on CE, where all named
// objects live in one name space.
#include "model.h"

#include <iterator>

namespace standin {
namespace detail {
namespace {

Mutex* MutexOf(HANDLE handle)
{
    Model& model = M();
    auto h = model.kernelHandles.find((uintptr_t)handle);
    if (h == model.kernelHandles.end() || h->second.process != model.process)
        return NULL;
    return &model.mutexes.at(h->second.object);
}

void Close(std::map<uintptr_t, KernelHandle>::iterator h)
{
    Model& model = M();
    Mutex& m = model.mutexes.at(h->second.object);
    if (--m.handles == 0)
        model.mutexes.erase(h->second.object);
    model.kernelHandles.erase(h);
}

// The system's side of a process ending: a mutex it still owns is
// abandoned, then its handles close.
void EndProcess(int process)
{
    Model& model = M();
    for (auto& m : model.mutexes) {
        if (m.second.owner == process) {
            m.second.owner = 0;
            m.second.count = 0;
            m.second.abandoned = true;
        }
    }
    for (auto h = model.kernelHandles.begin(); h != model.kernelHandles.end();) {
        auto next = std::next(h);
        if (h->second.process == process)
            Close(h);
        h = next;
    }
    for (auto f = model.openFiles.begin(); f != model.openFiles.end();) {
        auto next = std::next(f);
        if (f->second.process == process)
            model.openFiles.erase(f);
        f = next;
    }
}

// The object id of the named mutex, 0 when there is none.
uintptr_t Named(const Text& name)
{
    for (const auto& m : M().mutexes) {
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
    Model& model = M();
    const int outer = model.process;
    const int process = model.nextProcess++;
    model.process = process;
    body();
    EndProcess(process);
    model.process = outer;
}

int CurrentProcess()
{
    return M().process;
}

int MutexOwner(const Text& name)
{
    const uintptr_t object = Named(name);
    return object == 0 ? 0 : M().mutexes.at(object).owner;
}

bool MutexExists(const Text& name)
{
    return Named(name) != 0;
}

int KernelHandleCount()
{
    return (int)M().kernelHandles.size();
}

void FailCreateMutex(bool fail)
{
    M().failCreateMutex = fail;
}

}  // namespace standin

using namespace standin;
using namespace standin::detail;

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name)
{
    PlatformCall call("CreateMutexW", {Given(attributes), (uintptr_t)initialOwner, Given(name)},
                      name);
    Model& model = M();
    if (model.failCreateMutex)
        return NULL;
    // CE's object names "can contain any character except the backslash":
    // such a name makes no mutex, and a lock built on it would not exist.
    if (name != NULL && Text(name).find(u'\\') != Text::npos)
        return NULL;
    uintptr_t object = name != NULL ? Named(name) : 0;
    if (object == 0) {
        object = model.nextKernel;
        model.nextKernel += 4;
        Mutex& m = model.mutexes[object];
        m.name = name != NULL ? Text(name) : Text();
        if (initialOwner) {
            m.owner = model.process;
            m.count = 1;
        }
    }
    model.mutexes[object].handles++;
    const uintptr_t handle = model.nextKernel;
    model.nextKernel += 4;
    model.kernelHandles[handle] = KernelHandle{object, model.process};
    return (HANDLE)handle;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    PlatformCall call("WaitForSingleObject", {(uintptr_t)handle, milliseconds});
    Model& model = M();
    Mutex* m = MutexOf(handle);
    if (m == NULL)
        return WAIT_FAILED;
    if (m->owner != 0 && m->owner != model.process) {
        // One thread in all: a wait that would block can't be modelled.
        if (milliseconds != 0)
            Unmodelled("a wait with a time-out on a mutex another process owns");
        return WAIT_TIMEOUT;
    }
    m->owner = model.process;
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
    if (m == NULL || m->owner != M().process)
        return FALSE;
    if (--m->count == 0)
        m->owner = 0;
    return TRUE;
}

BOOL CloseHandle(HANDLE handle)
{
    PlatformCall call("CloseHandle", {(uintptr_t)handle});
    BOOL closed = FALSE;
    if (CloseFile(handle, &closed))
        return closed;
    Model& model = M();
    auto h = model.kernelHandles.find((uintptr_t)handle);
    if (h == model.kernelHandles.end() || h->second.process != model.process)
        return FALSE;
    Close(h);
    return TRUE;
}
