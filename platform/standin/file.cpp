// file.cpp: the device's files as paths and their bytes, the handles the
// program opens on them, the faults a test can inject (a file that can't be
// made, a disk that fills), and the file calls with CE's rules: no current
// folder, no overlapped writes, MoveFileW never replaces a file.
#include "model.h"

#include <algorithm>

namespace standin {
namespace detail {
namespace {

// CE's file system compares names without case.
Text KeyOf(const Text& path)
{
    return Folded(path);
}

bool IsOpen(const Text& key)
{
    for (const auto& f : M().openFiles) {
        if (f.second.key == key)
            return true;
    }
    return false;
}

}  // namespace

bool CloseFile(HANDLE handle, BOOL* closed)
{
    auto it = M().openFiles.find((uintptr_t)handle);
    if (it == M().openFiles.end() || it->second.process != M().process)
        return false;
    // The handle is gone either way; a failed close may have lost the
    // last of what was written (a card pulled out, say).
    M().openFiles.erase(it);
    *closed = !M().failClose;
    return true;
}

}  // namespace detail

using namespace detail;

std::vector<Text> Files()
{
    std::vector<Text> paths;
    for (const auto& f : M().files)
        paths.push_back(f.second.path);
    return paths;
}

bool FileExists(const Text& path)
{
    return M().files.count(KeyOf(path)) != 0;
}

std::vector<BYTE> FileBytes(const Text& path)
{
    auto it = M().files.find(KeyOf(path));
    return it == M().files.end() ? std::vector<BYTE>() : it->second.bytes;
}

void SetFile(const Text& path, const std::vector<BYTE>& bytes, bool readOnly)
{
    M().files[KeyOf(path)] = File{path, bytes, readOnly};
}

int OpenFileCount()
{
    return (int)M().openFiles.size();
}

void FailCreateFile(const Text& path)
{
    M().failCreate = true;
    M().failCreatePath = KeyOf(path);
}

void FailCloseFile()
{
    M().failClose = true;
}

void LimitFileSize(long bytes, bool shortWrite)
{
    M().writeLimit = bytes;
    M().shortWrite = shortWrite;
}

}  // namespace standin

using namespace standin;
using namespace standin::detail;

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES attributes,
                   DWORD creation, DWORD flags, HANDLE templateFile)
{
    PlatformCall scope("CreateFileW",
                       {Given(path), access, share, Given(attributes), creation, flags,
                        (uintptr_t)templateFile},
                       path);
    if (access != GENERIC_WRITE || share != 0 || attributes != NULL || creation != CREATE_ALWAYS ||
        flags != FILE_ATTRIBUTE_NORMAL || templateFile != NULL)
        Unmodelled("CreateFileW other than a new file for writing alone");
    Model& model = M();
    // Without a current folder, a path not starting at the root names no file.
    if (path == NULL || path[0] != u'\\')
        return INVALID_HANDLE_VALUE;
    const Text key = KeyOf(path);
    if ((model.failCreate && (model.failCreatePath.empty() || model.failCreatePath == key)) ||
        IsOpen(key))
        return INVALID_HANDLE_VALUE;
    model.files[key] = File{path, {}};
    Record(kFileCreated, NULL, 0, 0, 0, path);
    model.nextFile += 4;
    model.openFiles[model.nextFile] = OpenFile{key, model.process};
    return (HANDLE)model.nextFile;
}

BOOL WriteFile(HANDLE file, LPCVOID data, DWORD bytes, LPDWORD written, LPOVERLAPPED overlapped)
{
    PlatformCall scope("WriteFile",
                       {(uintptr_t)file, Given(data), bytes, Given(written), Given(overlapped)});
    if (overlapped != NULL || written == NULL)
        Unmodelled("WriteFile overlapped or without the count written");
    Model& model = M();
    *written = 0;
    auto open = model.openFiles.find((uintptr_t)file);
    if (open == model.openFiles.end() || open->second.process != model.process ||
        (data == NULL && bytes != 0))
        return FALSE;
    std::vector<BYTE>& content = model.files.at(open->second.key).bytes;
    // A full disk takes what fits, then refuses or reports the shortfall.
    DWORD room = bytes;
    if (model.writeLimit >= 0)
        room = (DWORD)std::min<long>(bytes, std::max<long>(0, model.writeLimit - (long)content.size()));
    const BYTE* from = (const BYTE*)data;
    content.insert(content.end(), from, from + room);
    *written = room;
    return room == bytes || model.shortWrite;
}

BOOL DeleteFileW(LPCWSTR path)
{
    PlatformCall scope("DeleteFileW", {Given(path)}, path);
    if (path == NULL)
        return FALSE;
    const Text key = KeyOf(path);
    auto it = M().files.find(key);
    if (it == M().files.end() || IsOpen(key) || it->second.readOnly)
        return FALSE;
    Record(kFileDeleted, NULL, 0, 0, 0, it->second.path);
    M().files.erase(it);
    return TRUE;
}

BOOL MoveFileW(LPCWSTR from, LPCWSTR to)
{
    PlatformCall scope("MoveFileW", {Given(from), Given(to)}, from);
    if (from == NULL || to == NULL || to[0] != u'\\')
        return FALSE;
    const Text source = KeyOf(from), target = KeyOf(to);
    auto it = M().files.find(source);
    if (it == M().files.end() || IsOpen(source) || M().files.count(target) != 0)
        return FALSE;
    File moved{to, it->second.bytes, it->second.readOnly};
    Record(kFileMoved, NULL, 0, 0, 0, it->second.path, to);
    M().files.erase(it);
    M().files[target] = moved;
    return TRUE;
}
