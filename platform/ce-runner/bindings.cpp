// bindings.cpp: each COREDLL and aygshell export a device program may import,
// answered by the stand-in. Arguments come as Guest::Arg finds them;
// guest pointers are copied in and out, UTF-16 text as it is, handles
// through the guest's table, and records in their 32-bit device layout.
#include "bindings.h"

#include <windows.h>
#include <aygshell.h>

#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "guest.h"
#include "resources.h"
#include "standin.h"

namespace ce {
namespace {

// Guest buffers larger than this are refused rather than copied.
const uint32_t kMaxBuffer = 0x100000;

HWND Window(Guest& r, int i)
{
    return (HWND)r.HostHandle(r.Arg(i));
}

HKEY Key(Guest& r, int i)
{
    return (HKEY)r.HostHandle(r.Arg(i));
}

HANDLE KernelObject(Guest& r, int i)
{
    return (HANDLE)r.HostHandle(r.Arg(i));
}

uint32_t Handle(Guest& r, const void* host)
{
    return r.GuestHandle((uintptr_t)host);
}

// Text the guest passes, or nothing for a NULL pointer.
struct InText {
    bool present;
    std::u16string text;
    InText(Guest& r, uint32_t address) : present(address != 0)
    {
        if (present)
            text = r.ReadText(address);
    }
    const WCHAR* get() const { return present ? text.c_str() : NULL; }
};

// A guest buffer of `count` elements: copied in whole, handed to the
// stand-in, copied back whole, so whatever the call leaves in it arrives.
template <class T>
struct InOut {
    Guest& r;
    uint32_t address;
    std::vector<T> data;
    InOut(Guest& guest, uint32_t at, uint32_t count) : r(guest), address(at)
    {
        if (address == 0)
            return;
        if (count > kMaxBuffer / sizeof(T))
            throw GuestFault{"a buffer of " + std::to_string(count) + " elements"};
        std::vector<uint8_t> bytes = r.ReadBytes(address, count * (uint32_t)sizeof(T));
        data.resize(count);
        if (count > 0)
            memcpy(data.data(), bytes.data(), bytes.size());
    }
    T* get() { return address == 0 ? NULL : data.data(); }
    void Flush()
    {
        if (address != 0)
            r.WriteBytes(address, data.data(), (uint32_t)(data.size() * sizeof(T)));
    }
};

// A DWORD the guest passes by address, or NULL.
struct InOutWord {
    Guest& r;
    uint32_t address;
    DWORD value = 0;
    InOutWord(Guest& guest, uint32_t at) : r(guest), address(at)
    {
        if (address != 0)
            value = r.ReadU32(address);
    }
    DWORD* get() { return address == 0 ? NULL : &value; }
    void Flush()
    {
        if (address != 0)
            r.WriteU32(address, value);
    }
};

// lParam of a message: text for the messages that carry text, otherwise
// the value as MAKELPARAM builds it.
LPARAM MessageParam(Guest& r, UINT message, uint32_t value, std::u16string* keep)
{
    if (message == CB_ADDSTRING && value != 0) {
        *keep = r.ReadText(value);
        return (LPARAM)keep->c_str();
    }
    return (LPARAM)value;
}

// ---- Kernel objects -----------------------------------------------------

uint32_t CallCreateMutexW(Guest& r)
{
    // CE has no security attributes; the stand-in ignores the pointer too.
    InText name(r, r.Arg(2));
    return Handle(r, CreateMutexW(NULL, r.Arg(1), name.get()));
}

uint32_t CallWaitForSingleObject(Guest& r)
{
    return WaitForSingleObject(KernelObject(r, 0), r.Arg(1));
}

uint32_t CallReleaseMutex(Guest& r)
{
    return ReleaseMutex(KernelObject(r, 0));
}

uint32_t CallCloseHandle(Guest& r)
{
    return CloseHandle(KernelObject(r, 0));
}

// ---- Window manager -----------------------------------------------------

uint32_t CallGetForegroundWindow(Guest& r)
{
    return Handle(r, GetForegroundWindow());
}

uint32_t CallSetForegroundWindow(Guest& r)
{
    return SetForegroundWindow(Window(r, 0));
}

uint32_t CallGetWindow(Guest& r)
{
    return Handle(r, GetWindow(Window(r, 0), r.Arg(1)));
}

template <int (*Read)(HWND, LPWSTR, int)>
uint32_t CallReadText(Guest& r)
{
    const int capacity = (int)r.Arg(2);
    InOut<WCHAR> buffer(r, r.Arg(1), capacity > 0 ? (uint32_t)capacity : 0);
    const int n = Read(Window(r, 0), buffer.get(), capacity);
    buffer.Flush();
    return (uint32_t)n;
}

uint32_t CallIsWindowVisible(Guest& r)
{
    return IsWindowVisible(Window(r, 0));
}

uint32_t CallIsWindow(Guest& r)
{
    return IsWindow(Window(r, 0));
}

uint32_t CallFindWindowW(Guest& r)
{
    InText className(r, r.Arg(0)), title(r, r.Arg(1));
    return Handle(r, FindWindowW(className.get(), title.get()));
}

uint32_t CallGetWindowRect(Guest& r)
{
    // RECT is four 32-bit LONGs on both sides.
    InOut<RECT> rect(r, r.Arg(1), 1);
    const BOOL ok = GetWindowRect(Window(r, 0), rect.get());
    rect.Flush();
    return ok;
}

uint32_t CallSetWindowPos(Guest& r)
{
    return SetWindowPos(Window(r, 0), (HWND)r.HostHandle(r.Arg(1)), (int)r.Arg(2),
                        (int)r.Arg(3), (int)r.Arg(4), (int)r.Arg(5), r.Arg(6));
}

uint32_t CallSendMessageW(Guest& r)
{
    const UINT message = r.Arg(1);
    std::u16string text;
    const LPARAM lParam = MessageParam(r, message, r.Arg(3), &text);
    return (uint32_t)SendMessageW(Window(r, 0), message, (WPARAM)r.Arg(2), lParam);
}

uint32_t CallKeybdEvent(Guest& r)
{
    keybd_event((BYTE)r.Arg(0), (BYTE)r.Arg(1), r.Arg(2), r.Arg(3));
    return 0;
}

uint32_t CallSleep(Guest& r)
{
    Sleep(r.Arg(0));
    return 0;
}

uint32_t CallSystemParametersInfoW(Guest& r)
{
    // For the platform type, the size is of the buffer in bytes.
    InOut<uint8_t> buffer(r, r.Arg(2), r.Arg(1));
    const BOOL ok = SystemParametersInfoW(r.Arg(0), r.Arg(1), buffer.get(), r.Arg(3));
    buffer.Flush();
    return ok;
}

uint32_t CallGetWindowLongW(Guest& r)
{
    return (uint32_t)GetWindowLongW(Window(r, 0), (int)r.Arg(1));
}

uint32_t CallGetVersionExW(Guest& r)
{
    // Five DWORDs and 128 WCHARs: the same 276 bytes on both sides.
    static_assert(sizeof(OSVERSIONINFOW) == 276, "the device's OSVERSIONINFOW");
    InOut<OSVERSIONINFOW> info(r, r.Arg(0), 1);
    const BOOL ok = GetVersionExW(info.get());
    info.Flush();
    return ok;
}

// ---- Registry -----------------------------------------------------------

uint32_t CallRegOpenKeyExW(Guest& r)
{
    InText subKey(r, r.Arg(1));
    const uint32_t resultAt = r.Arg(4);
    HKEY opened = NULL;
    const LONG status = RegOpenKeyExW(Key(r, 0), subKey.get(), r.Arg(2), r.Arg(3),
                                      resultAt == 0 ? NULL : &opened);
    if (resultAt != 0 && status == ERROR_SUCCESS)
        r.WriteU32(resultAt, Handle(r, opened));
    return (uint32_t)status;
}

uint32_t CallRegEnumKeyExW(Guest& r)
{
    InOutWord nameChars(r, r.Arg(3));
    InOut<WCHAR> name(r, r.Arg(2), nameChars.value);
    InOutWord reserved(r, r.Arg(4)), classChars(r, r.Arg(6));
    InOut<WCHAR> className(r, r.Arg(5), classChars.value);
    InOut<FILETIME> lastWrite(r, r.Arg(7), 1);
    const LONG status = RegEnumKeyExW(Key(r, 0), r.Arg(1), name.get(), nameChars.get(),
                                      reserved.get(), className.get(), classChars.get(),
                                      lastWrite.get());
    name.Flush();
    nameChars.Flush();
    className.Flush();
    classChars.Flush();
    lastWrite.Flush();
    return (uint32_t)status;
}

uint32_t CallRegQueryValueExW(Guest& r)
{
    InText valueName(r, r.Arg(1));
    InOutWord reserved(r, r.Arg(2)), type(r, r.Arg(3)), bytes(r, r.Arg(5));
    InOut<BYTE> data(r, r.Arg(4), bytes.value);
    const LONG status = RegQueryValueExW(Key(r, 0), valueName.get(), reserved.get(), type.get(),
                                         data.get(), bytes.get());
    type.Flush();
    data.Flush();
    bytes.Flush();
    return (uint32_t)status;
}

uint32_t CallRegSetValueExW(Guest& r)
{
    InText valueName(r, r.Arg(1));
    const uint32_t size = r.Arg(5);
    if (size > kMaxBuffer)
        throw GuestFault{"a value of " + std::to_string(size) + " bytes"};
    std::vector<uint8_t> data = r.ReadBytes(r.Arg(4), size);
    return (uint32_t)RegSetValueExW(Key(r, 0), valueName.get(), r.Arg(2), r.Arg(3),
                                    r.Arg(4) == 0 ? NULL : data.data(), size);
}

uint32_t CallRegCloseKey(Guest& r)
{
    return (uint32_t)RegCloseKey(Key(r, 0));
}

// ---- Module, message boxes, beeps -----------------------------------------

uint32_t CallGetModuleFileNameW(Guest& r)
{
    InOut<WCHAR> buffer(r, r.Arg(1), r.Arg(2));
    const DWORD n = GetModuleFileNameW((HMODULE)r.HostHandle(r.Arg(0)), buffer.get(), r.Arg(2));
    buffer.Flush();
    return n;
}

uint32_t CallMessageBoxW(Guest& r)
{
    InText text(r, r.Arg(1)), caption(r, r.Arg(2));
    return (uint32_t)MessageBoxW(Window(r, 0), text.get(), caption.get(), r.Arg(3));
}

uint32_t CallMessageBeep(Guest& r)
{
    return MessageBeep(r.Arg(0));
}

// ---- Resources and dialogs ------------------------------------------------

uint32_t CallFindResourceW(Guest& r)
{
    return r.Resources().Find(r.Arg(0), r.Arg(1), r.Arg(2));
}

uint32_t CallLoadResource(Guest& r)
{
    return r.Resources().Load(r.Arg(0), r.Arg(1));
}

// The dialog procedure the stand-in calls: the guest's, run from the host
// loop with the handles in the guest's terms.
Guest* dialogGuest = NULL;
uint32_t dialogProc = 0;

INT_PTR CALLBACK GuestDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    Guest& r = *dialogGuest;
    // WM_COMMAND carries the control's window; WM_INITDIALOG the guest's own
    // parameter, which went to the stand-in unchanged.
    const uint32_t param = message == WM_COMMAND ? r.GuestHandle((uintptr_t)lParam)
                                                 : (uint32_t)lParam;
    const uint32_t result =
        r.CallGuest(dialogProc, {r.GuestHandle((uintptr_t)dialog), message, (uint32_t)wParam, param});
    return (INT_PTR)(int32_t)result;
}

// A classic dialog template, read in its device layout: the header, then
// each item DWORD-aligned with its class as an atom.
std::vector<standin::ControlSpec> ReadDialogTemplate(Guest& r, uint32_t at)
{
    const uint32_t kSetFont = 0x40, kGroup = 0x00020000;
    const uint32_t style = r.ReadU32(at);
    const uint32_t count = r.ReadU32(at + 8) & 0xFFFF;
    uint32_t p = at + 18;
    auto skipNameOrId = [&]() {
        const uint32_t first = r.ReadU32(p) & 0xFFFF;
        if (first == 0xFFFF)
            p += 4;
        else
            p += 2 * ((uint32_t)r.ReadText(p).size() + 1);
    };
    skipNameOrId();              // menu
    skipNameOrId();              // class
    p += 2 * ((uint32_t)r.ReadText(p).size() + 1);  // caption
    if (style & kSetFont) {
        p += 2;                  // point size
        p += 2 * ((uint32_t)r.ReadText(p).size() + 1);
    }
    std::vector<standin::ControlSpec> controls;
    for (uint32_t i = 0; i < count && i < 255; i++) {
        p = (p + 3) & ~3u;
        const uint32_t itemStyle = r.ReadU32(p);
        const int id = (int)(r.ReadU32(p + 16) & 0xFFFF);
        p += 18;
        const uint32_t classWord = r.ReadU32(p) & 0xFFFF;
        if (classWord != 0xFFFF)
            throw GuestFault{"dialog item with a class named by text"};
        const uint32_t atom = r.ReadU32(p + 2) & 0xFFFF;
        p += 4;
        skipNameOrId();          // title
        const uint32_t extra = r.ReadU32(p) & 0xFFFF;
        p += 2 + extra;
        standin::ControlSpec control = {id, standin::kStatic, (itemStyle & kGroup) != 0};
        const uint32_t buttonType = itemStyle & 0xF;
        if (atom == 0x80 && (buttonType == 4 || buttonType == 9))
            control.kind = standin::kRadioButton;
        else if (atom == 0x80 && buttonType == 7)
            control.kind = standin::kGroupBox;
        else if (atom == 0x80)
            control.kind = standin::kPushButton;
        else if (atom == 0x85)
            control.kind = standin::kComboBox;
        else if (atom != 0x82)
            throw GuestFault{"dialog item of class atom " + std::to_string(atom)};
        controls.push_back(control);
    }
    return controls;
}

uint32_t CallDialogBoxIndirectParamW(Guest& r)
{
    const uint32_t templateAt = r.Arg(1), proc = r.Arg(3), param = r.Arg(4);
    if (templateAt == 0 || proc == 0)
        return (uint32_t)DialogBoxIndirectParamW(NULL, NULL, NULL, NULL, 0);
    LPCDLGTEMPLATEW dialogTemplate = standin::MakeDialogTemplate(ReadDialogTemplate(r, templateAt));
    // The procedure of the dialog that runs now; the one of an outer dialog
    // comes back however this one ends.
    struct CurrentDialog {
        Guest* outerGuest = dialogGuest;
        uint32_t outerProc = dialogProc;
        ~CurrentDialog()
        {
            dialogGuest = outerGuest;
            dialogProc = outerProc;
        }
    } current;
    dialogGuest = &r;
    dialogProc = proc;
    const INT_PTR result = DialogBoxIndirectParamW((HINSTANCE)r.HostHandle(r.Arg(0)),
                                                   dialogTemplate, Window(r, 2), GuestDialogProc,
                                                   (LPARAM)param);
    return (uint32_t)result;
}

uint32_t CallGetDlgItem(Guest& r)
{
    return Handle(r, GetDlgItem(Window(r, 0), (int)r.Arg(1)));
}

uint32_t CallSendDlgItemMessageW(Guest& r)
{
    const UINT message = r.Arg(2);
    std::u16string text;
    const LPARAM lParam = MessageParam(r, message, r.Arg(4), &text);
    return (uint32_t)SendDlgItemMessageW(Window(r, 0), (int)r.Arg(1), message,
                                         (WPARAM)r.Arg(3), lParam);
}

uint32_t CallEndDialog(Guest& r)
{
    return EndDialog(Window(r, 0), (INT_PTR)(int32_t)r.Arg(1));
}

// ---- C library routines -----------------------------------------------------

uint32_t CallWcscmp(Guest& r)
{
    return (uint32_t)wcscmp(r.ReadText(r.Arg(0)).c_str(), r.ReadText(r.Arg(1)).c_str());
}

uint32_t CallWcsncmp(Guest& r)
{
    // Neither string need be terminated within the count.
    const uint32_t count = std::min<uint32_t>(r.Arg(2), 0x10000);
    std::u16string a = r.ReadText(r.Arg(0), count), b = r.ReadText(r.Arg(1), count);
    return (uint32_t)wcsncmp(a.c_str(), b.c_str(), count);
}

uint32_t CallWcscpy(Guest& r)
{
    std::u16string source = r.ReadText(r.Arg(1));
    std::vector<WCHAR> out(source.size() + 1);
    wcscpy(out.data(), source.c_str());
    r.WriteBytes(r.Arg(0), out.data(), (uint32_t)out.size() * 2);
    return r.Arg(0);
}

uint32_t CallWcscat(Guest& r)
{
    std::u16string start = r.ReadText(r.Arg(0)), tail = r.ReadText(r.Arg(1));
    std::vector<WCHAR> out(start.size() + tail.size() + 1);
    wcscpy(out.data(), start.c_str());
    wcscat(out.data(), tail.c_str());
    r.WriteBytes(r.Arg(0), out.data(), (uint32_t)out.size() * 2);
    return r.Arg(0);
}

uint32_t CallWcslen(Guest& r)
{
    return (uint32_t)wcslen(r.ReadText(r.Arg(0)).c_str());
}

uint32_t CallWcsstr(Guest& r)
{
    std::u16string text = r.ReadText(r.Arg(0)), pattern = r.ReadText(r.Arg(1));
    const WCHAR* found = wcsstr(text.c_str(), pattern.c_str());
    return found == NULL ? 0 : r.Arg(0) + 2 * (uint32_t)(found - text.c_str());
}

uint32_t CallWcsrchr(Guest& r)
{
    std::u16string text = r.ReadText(r.Arg(0));
    const WCHAR* found = wcsrchr(text.c_str(), (WCHAR)r.Arg(1));
    return found == NULL ? 0 : r.Arg(0) + 2 * (uint32_t)(found - text.c_str());
}

uint32_t CallWsprintfW(Guest& r)
{
    // The programs format with %s only; each one takes the next argument.
    std::u16string format = r.ReadText(r.Arg(1));
    std::vector<std::u16string> args;
    size_t room = format.size() + 1;
    for (size_t i = 0; i + 1 < format.size(); i++) {
        if (format[i] == u'%' && format[i + 1] == u'%') {
            i++;
        } else if (format[i] == u'%') {
            if (args.size() == 4)
                throw GuestFault{"wsprintfW with more than four arguments"};
            args.push_back(r.ReadText(r.Arg(2 + (int)args.size())));
            room += args.back().size();
        }
    }
    std::vector<WCHAR> out(room);
    int n;
    switch (args.size()) {
    case 0: n = wsprintfW(out.data(), format.c_str()); break;
    case 1: n = wsprintfW(out.data(), format.c_str(), args[0].c_str()); break;
    case 2: n = wsprintfW(out.data(), format.c_str(), args[0].c_str(), args[1].c_str()); break;
    case 3:
        n = wsprintfW(out.data(), format.c_str(), args[0].c_str(), args[1].c_str(),
                      args[2].c_str());
        break;
    default:
        n = wsprintfW(out.data(), format.c_str(), args[0].c_str(), args[1].c_str(),
                      args[2].c_str(), args[3].c_str());
        break;
    }
    r.WriteBytes(r.Arg(0), out.data(), 2 * (uint32_t)(n + 1));
    return (uint32_t)n;
}

uint32_t CallMemset(Guest& r)
{
    const uint32_t size = r.Arg(2);
    if (size > kMaxBuffer)
        throw GuestFault{"memset of " + std::to_string(size) + " bytes"};
    std::vector<uint8_t> fill(size, (uint8_t)r.Arg(1));
    r.WriteBytes(r.Arg(0), fill.data(), size);
    return r.Arg(0);
}

// memcpy and memmove: the bytes are read whole before any is written, so
// overlapping ranges come out as memmove's do.
uint32_t CallMemmove(Guest& r)
{
    const uint32_t size = r.Arg(2);
    if (size > kMaxBuffer)
        throw GuestFault{"a copy of " + std::to_string(size) + " bytes"};
    std::vector<uint8_t> bytes = r.ReadBytes(r.Arg(1), size);
    r.WriteBytes(r.Arg(0), bytes.data(), size);
    return r.Arg(0);
}

// ---- Shell ------------------------------------------------------------------

uint32_t CallSHInitDialog(Guest& r)
{
    if (r.Arg(0) == 0)
        return SHInitDialog(NULL);
    SHINITDLGINFO info;
    info.dwMask = r.ReadU32(r.Arg(0));
    info.hDlg = (HWND)r.HostHandle(r.ReadU32(r.Arg(0) + 4));
    info.dwFlags = r.ReadU32(r.Arg(0) + 8);
    return SHInitDialog(&info);
}

uint32_t CallSHCreateMenuBar(Guest& r)
{
    // The device's record: nine 32-bit fields, 36 bytes.
    const uint32_t at = r.Arg(0);
    const uint32_t kDeviceSize = 36;
    if (at == 0)
        throw GuestFault{"SHCreateMenuBar without its record"};
    const uint32_t size = r.ReadU32(at);
    if (size != kDeviceSize)
        throw GuestFault{"cbSize " + std::to_string(size) + ", but the device's record is 36 bytes"};
    SHMENUBARINFO info;
    info.cbSize = sizeof(info);
    info.hwndParent = (HWND)r.HostHandle(r.ReadU32(at + 4));
    info.dwFlags = r.ReadU32(at + 8);
    info.nToolBarId = r.ReadU32(at + 12);
    info.hInstRes = (HINSTANCE)r.HostHandle(r.ReadU32(at + 16));
    info.nBmpId = (int)r.ReadU32(at + 20);
    info.cBmpImages = (int)r.ReadU32(at + 24);
    info.hwndMB = (HWND)r.HostHandle(r.ReadU32(at + 28));
    info.clrBk = r.ReadU32(at + 32);
    const BOOL ok = SHCreateMenuBar(&info);
    r.WriteU32(at + 28, Handle(r, info.hwndMB));
    return ok;
}

// ---- Screen, files and the registry's values: DeviceReport's calls ------------

uint32_t CallGetSystemMetrics(Guest& r)
{
    return (uint32_t)GetSystemMetrics((int)r.Arg(0));
}

uint32_t CallGetDC(Guest& r)
{
    return Handle(r, GetDC(Window(r, 0)));
}

uint32_t CallReleaseDC(Guest& r)
{
    return (uint32_t)ReleaseDC(Window(r, 0), (HDC)r.HostHandle(r.Arg(1)));
}

uint32_t CallGetDeviceCaps(Guest& r)
{
    return (uint32_t)GetDeviceCaps((HDC)r.HostHandle(r.Arg(0)), (int)r.Arg(1));
}

// A pointer argument the stand-in only tests for NULL: CE takes none there.
template <class T>
T Unused(uint32_t address)
{
    static char given;
    return address == 0 ? NULL : (T)(void*)&given;
}

// INVALID_HANDLE_VALUE is all ones on both sides, never one of the table's.
const uint32_t kGuestInvalidHandle = 0xFFFFFFFF;

HANDLE FileHandle(Guest& r, int i)
{
    return r.Arg(i) == kGuestInvalidHandle ? INVALID_HANDLE_VALUE : (HANDLE)r.HostHandle(r.Arg(i));
}

uint32_t CallCreateFileW(Guest& r)
{
    InText path(r, r.Arg(0));
    HANDLE file = CreateFileW(path.get(), r.Arg(1), r.Arg(2), Unused<LPSECURITY_ATTRIBUTES>(r.Arg(3)),
                              r.Arg(4), r.Arg(5), (HANDLE)r.HostHandle(r.Arg(6)));
    return file == INVALID_HANDLE_VALUE ? kGuestInvalidHandle : Handle(r, file);
}

uint32_t CallWriteFile(Guest& r)
{
    const uint32_t size = r.Arg(2);
    if (size > kMaxBuffer)
        throw GuestFault{"a write of " + std::to_string(size) + " bytes"};
    std::vector<uint8_t> data = r.ReadBytes(r.Arg(1), size);
    InOutWord written(r, r.Arg(3));
    const BOOL ok = WriteFile(FileHandle(r, 0), r.Arg(1) == 0 ? NULL : data.data(), size,
                              written.get(), Unused<LPOVERLAPPED>(r.Arg(4)));
    written.Flush();
    return ok;
}

uint32_t CallDeleteFileW(Guest& r)
{
    InText path(r, r.Arg(0));
    return DeleteFileW(path.get());
}

uint32_t CallMoveFileW(Guest& r)
{
    InText from(r, r.Arg(0)), to(r, r.Arg(1));
    return MoveFileW(from.get(), to.get());
}

uint32_t CallRegEnumValueW(Guest& r)
{
    InOutWord nameChars(r, r.Arg(3)), reserved(r, r.Arg(4)), type(r, r.Arg(5)), bytes(r, r.Arg(7));
    InOut<WCHAR> name(r, r.Arg(2), nameChars.value);
    InOut<BYTE> data(r, r.Arg(6), bytes.value);
    const LONG status = RegEnumValueW(Key(r, 0), r.Arg(1), name.get(), nameChars.get(),
                                      reserved.get(), type.get(), data.get(), bytes.get());
    name.Flush();
    nameChars.Flush();
    type.Flush();
    data.Flush();
    bytes.Flush();
    return (uint32_t)status;
}

}  // namespace

const Binding kBindings[] = {
    {"COREDLL.dll", "GetForegroundWindow", 0, CallGetForegroundWindow},
    {"COREDLL.dll", "SetForegroundWindow", 1, CallSetForegroundWindow},
    {"COREDLL.dll", "GetWindow", 2, CallGetWindow},
    {"COREDLL.dll", "GetClassNameW", 3, CallReadText<GetClassNameW>},
    {"COREDLL.dll", "GetWindowTextW", 3, CallReadText<GetWindowTextW>},
    {"COREDLL.dll", "IsWindowVisible", 1, CallIsWindowVisible},
    {"COREDLL.dll", "IsWindow", 1, CallIsWindow},
    {"COREDLL.dll", "FindWindowW", 2, CallFindWindowW},
    {"COREDLL.dll", "GetWindowRect", 2, CallGetWindowRect},
    {"COREDLL.dll", "SetWindowPos", 7, CallSetWindowPos},
    {"COREDLL.dll", "SendMessageW", 4, CallSendMessageW},
    {"COREDLL.dll", "keybd_event", 4, CallKeybdEvent},
    {"COREDLL.dll", "Sleep", 1, CallSleep},
    {"COREDLL.dll", "SystemParametersInfoW", 4, CallSystemParametersInfoW},
    {"COREDLL.dll", "GetWindowLongW", 2, CallGetWindowLongW},
    {"COREDLL.dll", "GetVersionExW", 1, CallGetVersionExW},
    {"COREDLL.dll", "CreateMutexW", 3, CallCreateMutexW},
    {"COREDLL.dll", "WaitForSingleObject", 2, CallWaitForSingleObject},
    {"COREDLL.dll", "ReleaseMutex", 1, CallReleaseMutex},
    {"COREDLL.dll", "CloseHandle", 1, CallCloseHandle},
    {"COREDLL.dll", "RegOpenKeyExW", 5, CallRegOpenKeyExW},
    {"COREDLL.dll", "RegEnumKeyExW", 8, CallRegEnumKeyExW},
    {"COREDLL.dll", "RegQueryValueExW", 6, CallRegQueryValueExW},
    {"COREDLL.dll", "RegSetValueExW", 6, CallRegSetValueExW},
    {"COREDLL.dll", "RegCloseKey", 1, CallRegCloseKey},
    {"COREDLL.dll", "GetModuleFileNameW", 3, CallGetModuleFileNameW},
    {"COREDLL.dll", "MessageBoxW", 4, CallMessageBoxW},
    {"COREDLL.dll", "MessageBeep", 1, CallMessageBeep},
    {"COREDLL.dll", "FindResourceW", 3, CallFindResourceW},
    {"COREDLL.dll", "LoadResource", 2, CallLoadResource},
    {"COREDLL.dll", "DialogBoxIndirectParamW", 5, CallDialogBoxIndirectParamW},
    {"COREDLL.dll", "GetDlgItem", 2, CallGetDlgItem},
    {"COREDLL.dll", "SendDlgItemMessageW", 5, CallSendDlgItemMessageW},
    {"COREDLL.dll", "EndDialog", 2, CallEndDialog},
    {"COREDLL.dll", "wcscmp", 2, CallWcscmp},
    {"COREDLL.dll", "wcsncmp", 3, CallWcsncmp},
    {"COREDLL.dll", "wcscpy", 2, CallWcscpy},
    {"COREDLL.dll", "wcscat", 2, CallWcscat},
    {"COREDLL.dll", "wcslen", 1, CallWcslen},
    {"COREDLL.dll", "wcsstr", 2, CallWcsstr},
    {"COREDLL.dll", "wcsrchr", 2, CallWcsrchr},
    {"COREDLL.dll", "wsprintfW", 2, CallWsprintfW},
    {"COREDLL.dll", "memset", 3, CallMemset},
    {"COREDLL.dll", "memcpy", 3, CallMemmove},
    {"COREDLL.dll", "memmove", 3, CallMemmove},
    {"aygshell.dll", "SHInitDialog", 1, CallSHInitDialog},
    {"aygshell.dll", "SHCreateMenuBar", 1, CallSHCreateMenuBar},
    {"COREDLL.dll", "GetSystemMetrics", 1, CallGetSystemMetrics},
    {"COREDLL.dll", "GetDC", 1, CallGetDC},
    {"COREDLL.dll", "ReleaseDC", 2, CallReleaseDC},
    {"COREDLL.dll", "GetDeviceCaps", 2, CallGetDeviceCaps},
    {"COREDLL.dll", "CreateFileW", 7, CallCreateFileW},
    {"COREDLL.dll", "WriteFile", 5, CallWriteFile},
    {"COREDLL.dll", "DeleteFileW", 1, CallDeleteFileW},
    {"COREDLL.dll", "MoveFileW", 2, CallMoveFileW},
    {"COREDLL.dll", "RegEnumValueW", 8, CallRegEnumValueW},
};
const size_t kBindingCount = sizeof(kBindings) / sizeof(kBindings[0]);

}  // namespace ce
