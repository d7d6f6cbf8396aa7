// module.cpp: the program's own module: the path it was started from and the
// dialog templates it carries as resources.
#include "model.h"

namespace standin {

using namespace detail;

void SetModulePath(const Text& path)
{
    M().modulePath = path;
}

HINSTANCE ProgramInstance()
{
    return (HINSTANCE)(uintptr_t)0x10000;
}

void AddDialogResource(int id, const std::vector<ControlSpec>& controls)
{
    M().resources.push_back(std::unique_ptr<DialogResource>(new DialogResource{id, controls}));
}

LPCDLGTEMPLATEW MakeDialogTemplate(const std::vector<ControlSpec>& controls)
{
    M().resources.push_back(
        std::unique_ptr<DialogResource>(new DialogResource{kNoResourceId, controls}));
    return (LPCDLGTEMPLATEW)M().resources.back().get();
}

}  // namespace standin

using namespace standin;
using namespace standin::detail;

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD capacity)
{
    PlatformCall scope("GetModuleFileNameW", {(uintptr_t)module, Given(buffer), capacity});
    if (module != NULL)
        Unmodelled("GetModuleFileNameW for another module");
    if (buffer == NULL || capacity == 0)
        return 0;
    // A path that doesn't fit is cut, terminated, and the full capacity is
    // returned, so the caller can tell.
    const Text& path = M().modulePath;
    CopyOut(path, buffer, (int)capacity);
    return path.size() >= capacity ? capacity : (DWORD)path.size();
}

// CE, unlike desktop Win32, does not take NULL for the program's own module
// here: the search finds nothing.
HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    PlatformCall scope("FindResourceW", {(uintptr_t)module, (uintptr_t)name, (uintptr_t)type});
    if (module == NULL)
        return NULL;
    if (module != ProgramInstance() || type != RT_DIALOG || ((uintptr_t)name >> 16) != 0)
        Unmodelled("FindResourceW other than a numbered dialog of this program");
    for (auto& r : M().resources) {
        if (r->id != kNoResourceId && r->id == (int)(uintptr_t)name)
            return (HRSRC)r.get();
    }
    return NULL;
}

// LoadResource does take NULL for the program's own module on CE 2.0 and later.
HGLOBAL LoadResource(HMODULE module, HRSRC resource)
{
    PlatformCall scope("LoadResource", {(uintptr_t)module, Given(resource)});
    if (module != NULL && module != ProgramInstance())
        Unmodelled("LoadResource from another module");
    return (HGLOBAL)resource;
}
