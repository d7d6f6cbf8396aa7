// button_keys.cpp: loads the button table from the shell's key list and
// registers ForegroundDismisser on one button. Nothing is written unless the
// whole command fits and the row names a real button.
#include "button_keys.h"

#include <string.h>

const WCHAR kShellKeysPath[] = TEXT("SOFTWARE\\Microsoft\\Shell\\Keys");

ButtonKeyEntry ButtonKeyTable[kButtonKeyRows];
WCHAR LaunchOptions[kLaunchOptionsChars];

namespace {

#ifdef _WIN32_WCE
// CE ignores the access mask of a key opened for reading.
const REGSAM kReadAccess = 0;
#else
// Desktop Win32 refuses enumeration and queries on a key opened with no access.
const REGSAM kReadAccess = KEY_READ;
#endif

const WCHAR kValueName[] = TEXT("Name");
const WCHAR kValueDefault[] = TEXT("Default");
// The key's unnamed value: what a Pocket PC shell actually starts.
const WCHAR kValueUnnamed[] = TEXT("");
const WCHAR kKeyPathFormat[] = TEXT("%s\\%s");
const WCHAR kQuote[] = TEXT("\"");
const WCHAR kCloserFileAndQuote[] = TEXT("ForegroundDismisser.exe\"");

// A Name longer than the display field is read whole into this scratch
// buffer and cut; only a value larger than the scratch is left unread. CE
// allows no stack frame over one page (4 KiB), so the scratch stays at 2 KiB.
const int kNameScratchChars = 1024;

const WCHAR kSuccessCaption[] = TEXT("\x767B\x9332\x6210\x529F");  // 登録成功
// レジストリに登録を行ないました。解除（ほかのアプリケーションの割り当て）は、
// 本体側の「設定」-「ボタン」で行なってください。
const WCHAR kSuccessText[] =
    TEXT("\x30EC\x30B8\x30B9\x30C8\x30EA\x306B\x767B\x9332\x3092\x884C\x306A\x3044\x307E")
    TEXT("\x3057\x305F\x3002\x89E3\x9664\xFF08\x307B\x304B\x306E\x30A2\x30D7\x30EA\x30B1")
    TEXT("\x30FC\x30B7\x30E7\x30F3\x306E\x5272\x308A\x5F53\x3066\xFF09\x306F\x3001\x672C")
    TEXT("\x4F53\x5074\x306E\x300C\x8A2D\x5B9A\x300D\x002D\x300C\x30DC\x30BF\x30F3\x300D")
    TEXT("\x3067\x884C\x306A\x3063\x3066\x304F\x3060\x3055\x3044\x3002");
const WCHAR kErrorCaption[] = TEXT("\x30A8\x30E9\x30FC");  // エラー
const WCHAR kErrorText[] =
    TEXT("\x767B\x9332\x306B\x5931\x6557\x3057\x307E\x3057\x305F\x3002");  // 登録に失敗しました。

// Builds kShellKeysPath\keyName; false when it would not fit.
bool BuildKeyPath(const WCHAR* keyName, WCHAR* path)
{
    if (wcslen(kShellKeysPath) + 1 + wcslen(keyName) + 1 > (size_t)kNameChars)
        return false;
    wsprintfW(path, kKeyPathFormat, kShellKeysPath, keyName);
    return true;
}

void ReadDisplayName(ButtonKeyEntry* row)
{
    WCHAR path[kNameChars];
    if (!BuildKeyPath(row->keyName, path))
        return;
    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, kReadAccess, &key) != ERROR_SUCCESS)
        return;
    // The stored bytes need not end in a zero, nor be a whole number of
    // characters: the text is terminated here after the last whole one.
    WCHAR scratch[kNameScratchChars];
    DWORD bytes = sizeof(scratch) - sizeof(WCHAR);
    if (RegQueryValueExW(key, kValueName, NULL, NULL, (LPBYTE)scratch, &bytes) ==
        ERROR_SUCCESS) {
        size_t chars = bytes / sizeof(WCHAR);
        scratch[chars] = 0;
        if (chars > (size_t)kNameChars - 1)
            scratch[kNameChars - 1] = 0;
        wcscpy(row->displayName, scratch);
    }
    RegCloseKey(key);
}

// The command is "<folder>\ForegroundDismisser.exe" quoted, then the options.
// The folder is this program's own, cut after the last backslash so that any
// file name works; false when there is no folder or the command would not fit.
bool BuildCommand(WCHAR* command)
{
    WCHAR path[kNameChars];
    path[0] = 0;
    DWORD length = GetModuleFileNameW(NULL, path, kNameChars);
    if (length == 0 || length >= (DWORD)kNameChars)
        return false;
    path[length] = 0;
    WCHAR* lastSeparator = wcsrchr(path, TEXT('\\'));
    if (lastSeparator == NULL)
        return false;
    lastSeparator[1] = 0;

    const size_t needed = wcslen(kQuote) + wcslen(path) + wcslen(kCloserFileAndQuote) +
                          wcslen(LaunchOptions) + 1;
    if (needed > (size_t)kNameChars)
        return false;
    wcscpy(command, kQuote);
    wcscat(command, path);
    wcscat(command, kCloserFileAndQuote);
    wcscat(command, LaunchOptions);
    return true;
}

// Only a loaded row names a button; a path ending in a bare backslash would
// open the key list itself and write the command to the wrong place.
const ButtonKeyEntry* LoadedRow(int row)
{
    if (row < 0 || row >= kButtonKeyRows || ButtonKeyTable[row].keyName[0] == 0)
        return NULL;
    return &ButtonKeyTable[row];
}

bool WriteCommand(int row)
{
    const ButtonKeyEntry* entry = LoadedRow(row);
    if (entry == NULL)
        return false;
    WCHAR command[kNameChars];
    WCHAR path[kNameChars];
    if (!BuildCommand(command) || !BuildKeyPath(entry->keyName, path))
        return false;

    HKEY key = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return false;
    // Default is the value the tool has always written; the shell itself
    // starts the key's unnamed value, so both get the same command, and only
    // both written count as registered.
    const DWORD bytes = (DWORD)((wcslen(command) + 1) * sizeof(WCHAR));
    const bool written =
        RegSetValueExW(key, kValueDefault, 0, REG_SZ, (const BYTE*)command, bytes) ==
            ERROR_SUCCESS &&
        RegSetValueExW(key, kValueUnnamed, 0, REG_SZ, (const BYTE*)command, bytes) ==
            ERROR_SUCCESS;
    // Closed before the box, so that the key is not held open while the
    // user reads it.
    RegCloseKey(key);
    return written;
}

}  // namespace

int LoadButtonKeys()
{
    memset(ButtonKeyTable, 0, sizeof(ButtonKeyTable));
    HKEY keys = NULL;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kShellKeysPath, 0, kReadAccess, &keys) !=
        ERROR_SUCCESS)
        return 0;

    int rows = 0;
    for (; rows < kButtonKeyRows; rows++) {
        ButtonKeyEntry* row = &ButtonKeyTable[rows];
        DWORD chars = kNameChars;
        if (RegEnumKeyExW(keys, rows, row->keyName, &chars, NULL, NULL, NULL, NULL) !=
            ERROR_SUCCESS) {
            row->keyName[0] = 0;
            break;
        }
        row->keyName[kNameChars - 1] = 0;
        // A button whose Name can't be read keeps its row, so that list items
        // and rows stay at the same index.
        ReadDisplayName(row);
    }
    RegCloseKey(keys);
    return rows;
}

void RegisterButton(HWND owner, int row)
{
    if (WriteCommand(row)) {
        MessageBeep(MB_ICONASTERISK);
        MessageBoxW(owner, kSuccessText, kSuccessCaption, MB_OK);
    } else {
        MessageBoxW(owner, kErrorText, kErrorCaption, MB_ICONERROR);
    }
}
