// check_resources.cpp: reads the resources back out of the two built programs
// and compares them, field by field, with what each program must carry.
// Usage: check_resources ForegroundDismisser.exe KeyAssigner.exe
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);  // 0x0411

// Classic dialog templates name the predefined control classes by atom.
const WORD kAtomButton = 0x0080;
const WORD kAtomStatic = 0x0082;
const WORD kAtomComboBox = 0x0085;

const WORD kNoId = 0xFFFF;

// ---------------------------------------------------------------------------
// Expected values

struct VersionString {
    const wchar_t* key;
    const wchar_t* value;
};

struct VersionExpect {
    WORD fileVersion[4];
    WORD productVersion[4];
    DWORD fileOS;
    DWORD fileType;
    WORD language;
    WORD codePage;
    const wchar_t* stringTable;
    const VersionString* strings;
    size_t stringCount;
};

// アクティブなウィンドウを閉じるツールです。
const wchar_t kCloserDescription[] =
    L"\x30A2\x30AF\x30C6\x30A3\x30D6\x306A\x30A6\x30A3\x30F3\x30C9\x30A6\x3092\x9589\x3058\x308B"
    L"\x30C4\x30FC\x30EB\x3067\x3059\x3002";

const VersionString kCloserStrings[] = {
    {L"FileDescription", kCloserDescription},
    {L"FileVersion", L"1.30"},
    {L"InternalName", L"ForegroundDismisser"},
    {L"OriginalFilename", L"ForegroundDismisser.exe"},
    {L"ProductName", L"ForegroundDismisser"},
    {L"ProductVersion", L"1.30"},
};

const VersionExpect kCloserVersion = {
    {1, 3, 0, 0}, {1, 3, 0, 0}, 0x40004, VFT_APP, 0x0411, 0x04B0, L"041104B0",
    kCloserStrings, sizeof(kCloserStrings) / sizeof(kCloserStrings[0]),
};

// ForegroundDismisser用の設定ツールです。
const wchar_t kAssignerDescription[] =
    L"ForegroundDismisser\x7528\x306E\x8A2D\x5B9A\x30C4\x30FC\x30EB\x3067\x3059\x3002";

const VersionString kAssignerStrings[] = {
    {L"FileDescription", kAssignerDescription},
    {L"FileVersion", L"1.20"},
    {L"InternalName", L"KeyAssigner"},
    {L"OriginalFilename", L"KeyAssigner.exe"},
    {L"ProductName", L"KeyAssigner"},
    {L"ProductVersion", L"1.20"},
};

const VersionExpect kAssignerVersion = {
    {1, 2, 0, 0}, {1, 2, 0, 0}, 0x40004, VFT_APP, 0x0411, 0x04B0, L"041104B0",
    kAssignerStrings, sizeof(kAssignerStrings) / sizeof(kAssignerStrings[0]),
};

struct IconExpect {
    BYTE size;
    BYTE colours;
    WORD planes;
    WORD bitCount;
};

const IconExpect kCloserIcons[] = {
    {16, 16, 1, 4},
    {32, 16, 1, 4},
};

// A string or an ordinal, as dialog templates store names and texts.
// ordinal 0 means text; text "" means the field is absent.
struct Name {
    WORD ordinal;
    const wchar_t* text;
};

struct ControlExpect {
    WORD id;
    WORD classAtom;
    DWORD style;
    short x, y, cx, cy;
    Name text;
};

const DWORD kChild = WS_CHILD | WS_VISIBLE;

// キャンセル
const wchar_t kTextCancel[] = L"\x30AD\x30E3\x30F3\x30BB\x30EB";
// ハードウェアボタンにForegroundDismisserを直接割り当てます。スタートメニュー、
// プログラムフォルダにショートカットを置く必要がなく、スタートメニュー最上段の
// 「最近使ったアプリケーション」にも入らないためお勧めですが、レジストリを操作
// するため、自己責任のもとご使用ください。
const wchar_t kTextNotice[] =
    L"\x30CF\x30FC\x30C9\x30A6\x30A7\x30A2\x30DC\x30BF\x30F3\x306B"
    L"ForegroundDismisser"
    L"\x3092\x76F4\x63A5\x5272\x308A\x5F53\x3066\x307E\x3059\x3002"
    L"\x30B9\x30BF\x30FC\x30C8\x30E1\x30CB\x30E5\x30FC\x3001"
    L"\x30D7\x30ED\x30B0\x30E9\x30E0\x30D5\x30A9\x30EB\x30C0\x306B"
    L"\x30B7\x30E7\x30FC\x30C8\x30AB\x30C3\x30C8\x3092\x7F6E\x304F\x5FC5\x8981\x304C\x306A\x304F\x3001"
    L"\x30B9\x30BF\x30FC\x30C8\x30E1\x30CB\x30E5\x30FC\x6700\x4E0A\x6BB5\x306E"
    L"\x300C\x6700\x8FD1\x4F7F\x3063\x305F\x30A2\x30D7\x30EA\x30B1\x30FC\x30B7\x30E7\x30F3\x300D"
    L"\x306B\x3082\x5165\x3089\x306A\x3044\x305F\x3081\x304A\x52E7\x3081\x3067\x3059\x304C\x3001"
    L"\x30EC\x30B8\x30B9\x30C8\x30EA\x3092\x64CD\x4F5C\x3059\x308B\x305F\x3081\x3001"
    L"\x81EA\x5DF1\x8CAC\x4EFB\x306E\x3082\x3068\x3054\x4F7F\x7528\x304F\x3060\x3055\x3044\x3002";
// ForegroundDismisser 設定
const wchar_t kTextHeader[] = L"ForegroundDismisser \x8A2D\x5B9A";
// なし
const wchar_t kTextNoOption[] = L"\x306A\x3057";
// 起動オプション
const wchar_t kTextOptions[] = L"\x8D77\x52D5\x30AA\x30D7\x30B7\x30E7\x30F3";
// 割り当てるボタン
const wchar_t kTextButtonLabel[] = L"\x5272\x308A\x5F53\x3066\x308B\x30DC\x30BF\x30F3";

const ControlExpect kAssignControls[] = {
    {IDOK, kAtomButton, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 138, 50, 14, {0, L"OK"}},
    {IDCANCEL, kAtomButton, kChild | BS_PUSHBUTTON | WS_TABSTOP, 75, 138, 50, 14, {0, kTextCancel}},
    {kNoId, kAtomStatic, kChild | SS_BITMAP, 12, 4, 20, 20, {103, NULL}},
    {kNoId, kAtomStatic, kChild | SS_LEFT | WS_GROUP, 5, 26, 128, 59, {0, kTextNotice}},
    {kNoId, kAtomStatic, kChild | SS_LEFT | WS_GROUP, 33, 3, 103, 8, {0, kTextHeader}},
    {kNoId, kAtomStatic, kChild | SS_LEFT | WS_GROUP, 33, 14, 103, 8, {0, L"(C) ForegroundDismisser"}},
    {1000, kAtomButton, kChild | BS_AUTORADIOBUTTON, 18, 119, 27, 10, {0, kTextNoOption}},
    {1001, kAtomButton, kChild | BS_AUTORADIOBUTTON, 56, 119, 23, 10, {0, L"/n"}},
    {1002, kAtomButton, kChild | BS_AUTORADIOBUTTON, 90, 119, 26, 10, {0, L"/ns"}},
    {kNoId, kAtomButton, kChild | BS_GROUPBOX, 9, 109, 116, 25, {0, kTextOptions}},
    {1003, kAtomComboBox, kChild | CBS_DROPDOWNLIST | WS_VSCROLL, 62, 95, 61, 48, {0, L""}},
    {kNoId, kAtomStatic, kChild | SS_LEFT | WS_GROUP, 8, 96, 52, 11, {0, kTextButtonLabel}},
};
const size_t kAssignControlCount = sizeof(kAssignControls) / sizeof(kAssignControls[0]);

struct DialogExpect {
    WORD id;
    DWORD style;
    short x, y, cx, cy;
    const wchar_t* caption;
    WORD pointSize;
    const wchar_t* face;
    const ControlExpect* controls;
    size_t controlCount;
};

const DialogExpect kAssignDialog = {
    101, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT, 0, 0, 135, 160,
    L"ForegroundDismisser", 9, L"System", kAssignControls, kAssignControlCount,
};

struct BitmapExpect {
    WORD id;
    LONG width;
    LONG height;
    WORD bitCount;
    DWORD colours;
};

const BitmapExpect kAssignLogo = {103, 32, 32, 4, 16};

// A resource the program must carry in Japanese, by type and id.
struct ResourceExpect {
    const wchar_t* type;
    WORD id;
};

const ResourceExpect kCloserResources[] = {
    {RT_GROUP_ICON, 101},
    {RT_VERSION, 1},
};

const ResourceExpect kAssignerResources[] = {
    {RT_DIALOG, 101},
    {RT_BITMAP, 103},
    {RT_VERSION, 1},
};

struct ProgramExpect {
    const char* fileName;
    const ResourceExpect* resources;
    size_t resourceCount;
    // Types that may appear at all; RT_ICON comes with the icon group.
    const wchar_t* const* types;
    size_t typeCount;
    const VersionExpect* version;
    const IconExpect* icons;  // in icon group 101; NULL when there is none
    size_t iconCount;
    const DialogExpect* dialog;
    const BitmapExpect* bitmap;
    bool hiResAware;  // carries CEUX HI_RES_AWARE, language neutral, the WORD 1
};

const wchar_t* const kCloserTypes[] = {RT_ICON, RT_GROUP_ICON, RT_VERSION};
const wchar_t* const kAssignerTypes[] = {RT_DIALOG, RT_BITMAP, RT_VERSION};

const ProgramExpect kPrograms[] = {
    {"ForegroundDismisser.exe", kCloserResources, 2, kCloserTypes, 3, &kCloserVersion,
     kCloserIcons, 2, NULL, NULL, true},
    {"KeyAssigner.exe", kAssignerResources, 3, kAssignerTypes, 3, &kAssignerVersion, NULL, 0,
     &kAssignDialog, &kAssignLogo, false},
};
const size_t kProgramCount = sizeof(kPrograms) / sizeof(kPrograms[0]);

// ---------------------------------------------------------------------------
// Reporting

int passed = 0;
int failed = 0;

// What the checks below are looking at, e.g. "KeyAssigner.exe: dialog 101:
// control 4"; every failure line starts with it.
char where[256];

void SetWhere(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(where, sizeof(where), format, args);
    va_end(args);
}

void Fail(const char* field, const char* format, ...)
{
    failed++;
    char detail[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(detail, sizeof(detail), format, args);
    va_end(args);
    printf("%s: %s: %s\n", where, field, detail);
}

bool CheckNumber(const char* field, DWORD expected, DWORD actual)
{
    if (expected == actual) {
        passed++;
        return true;
    }
    Fail(field, "expected %lu (0x%lX), got %lu (0x%lX)", (unsigned long)expected,
         (unsigned long)expected, (unsigned long)actual, (unsigned long)actual);
    return false;
}

bool CheckTrue(const char* field, bool condition)
{
    if (condition) {
        passed++;
        return true;
    }
    Fail(field, "no");
    return false;
}

// Text is shown as ASCII with every other code point as \uXXXX, so a wrong
// half-width form or a lost character is visible whatever the console shows.
void Escape(const wchar_t* text, size_t chars, char* out, size_t outSize)
{
    size_t used = 0;
    out[used++] = '"';
    for (size_t i = 0; i < chars && used + 12 < outSize; i++) {
        unsigned c = text[i];
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\')
            out[used++] = (char)c;
        else
            used += snprintf(out + used, outSize - used, "\\u%04X", c);
    }
    out[used++] = '"';
    out[used] = 0;
}

bool CheckText(const char* field, const wchar_t* expected, const wchar_t* actual,
               size_t actualChars)
{
    size_t expectedChars = wcslen(expected);
    size_t same = 0;
    while (same < expectedChars && same < actualChars && expected[same] == actual[same])
        same++;
    if (same == expectedChars && same == actualChars) {
        passed++;
        return true;
    }
    char want[1024];
    char got[1024];
    Escape(expected, expectedChars, want, sizeof(want));
    Escape(actual, actualChars, got, sizeof(got));
    Fail(field, "expected %s (%u chars), got %s (%u chars), first difference at char %u", want,
         (unsigned)expectedChars, got, (unsigned)actualChars, (unsigned)same);
    return false;
}

// Keys, names and file names are ASCII; these carry them between the
// narrow labels and the wide API.
void Widen(const char* text, wchar_t* out, size_t outChars)
{
    size_t i = 0;
    for (; text[i] != 0 && i + 1 < outChars; i++)
        out[i] = (unsigned char)text[i];
    out[i] = 0;
}

void Narrow(const wchar_t* text, char* out, size_t outSize)
{
    size_t i = 0;
    for (; text[i] != 0 && i + 1 < outSize; i++)
        out[i] = text[i] < 0x80 ? (char)text[i] : '?';
    out[i] = 0;
}

const char* TypeName(const wchar_t* type)
{
    static const struct {
        const wchar_t* type;
        const char* name;
    } kNames[] = {
        {RT_ICON, "RT_ICON"},
        {RT_BITMAP, "RT_BITMAP"},
        {RT_DIALOG, "RT_DIALOG"},
        {RT_GROUP_ICON, "RT_GROUP_ICON"},
        {RT_VERSION, "RT_VERSION"},
        {RT_MANIFEST, "RT_MANIFEST"},
    };
    for (size_t i = 0; i < sizeof(kNames) / sizeof(kNames[0]); i++) {
        if (kNames[i].type == type)
            return kNames[i].name;
    }
    return type == NULL ? "named type" : "unexpected type";
}

// ---------------------------------------------------------------------------
// Reading raw resource data without running off its end: a short or damaged
// resource turns into failed checks, never into a crash.

struct Reader {
    const BYTE* start;
    const BYTE* p;
    const BYTE* end;
    bool overrun;

    Reader(const void* data, DWORD size)
        : start((const BYTE*)data), p((const BYTE*)data), end((const BYTE*)data + size),
          overrun(false)
    {
    }

    bool Has(size_t bytes)
    {
        if ((size_t)(end - p) >= bytes)
            return true;
        overrun = true;
        p = end;
        return false;
    }
    BYTE Byte() { return Has(1) ? *p++ : 0; }
    WORD Word()
    {
        if (!Has(2))
            return 0;
        WORD value;
        memcpy(&value, p, 2);
        p += 2;
        return value;
    }
    DWORD Dword()
    {
        if (!Has(4))
            return 0;
        DWORD value;
        memcpy(&value, p, 4);
        p += 4;
        return value;
    }
    void AlignDword()
    {
        size_t offset = (size_t)(p - start);
        size_t pad = (4 - offset % 4) % 4;
        if (Has(pad))
            p += pad;
    }
};

// A field of a dialog template that is absent (0x0000), an ordinal
// (0xFFFF then the number) or a zero-terminated UTF-16 string.
struct NameField {
    bool isOrdinal;
    WORD ordinal;
    wchar_t text[513];
    size_t chars;
};

void ReadName(Reader& in, NameField* field)
{
    field->isOrdinal = false;
    field->ordinal = 0;
    field->chars = 0;
    WORD first = in.Word();
    if (first == 0xFFFF) {
        field->isOrdinal = true;
        field->ordinal = in.Word();
    } else {
        for (WORD c = first; c != 0 && !in.overrun; c = in.Word()) {
            if (field->chars < 512)
                field->text[field->chars++] = c;
        }
    }
    field->text[field->chars] = 0;
}

void Describe(const NameField& field, char* out, size_t outSize)
{
    if (field.isOrdinal)
        snprintf(out, outSize, "ordinal %u", field.ordinal);
    else
        Escape(field.text, field.chars, out, outSize);
}

void CheckName(const char* label, const Name& expected, const NameField& actual)
{
    if (expected.ordinal == 0 && !actual.isOrdinal) {
        CheckText(label, expected.text, actual.text, actual.chars);
        return;
    }
    if (expected.ordinal != 0 && actual.isOrdinal) {
        CheckNumber(label, expected.ordinal, actual.ordinal);
        return;
    }
    char want[1024];
    char got[1024];
    if (expected.ordinal != 0)
        snprintf(want, sizeof(want), "ordinal %u", expected.ordinal);
    else
        Escape(expected.text, wcslen(expected.text), want, sizeof(want));
    Describe(actual, got, sizeof(got));
    Fail(label, "expected %s, got %s", want, got);
}

// Finds a resource in Japanese only: the same id in another language is a fault.
bool LoadJapanese(HMODULE module, const wchar_t* type, WORD id, const void** data, DWORD* size)
{
    HRSRC found = FindResourceExW(module, type, MAKEINTRESOURCEW(id), kJapanese);
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    *data = loaded ? LockResource(loaded) : NULL;
    *size = found ? SizeofResource(module, found) : 0;
    return *data != NULL;
}

// ---------------------------------------------------------------------------
// Checks

struct ResourceEntry {
    const wchar_t* type;  // an integer type, or NULL for a named one
    WORD id;              // 0 for a named resource
    WORD language;
};

struct Inventory {
    ResourceEntry entries[64];
    size_t count;
    size_t total;  // beyond count when the file holds more than entries can
    bool named;    // a named type or resource other than HI_RES_AWARE turned up
    int hiResAware;  // HI_RES_AWARE resources found, in any language
};

const wchar_t kTypeHiRes[] = L"CEUX";
const wchar_t kNameHiRes[] = L"HI_RES_AWARE";
const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// Resource names come back from enumeration in upper case, as stored.
bool IsHiResAware(LPCWSTR type, LPCWSTR name)
{
    return !IS_INTRESOURCE(type) && !IS_INTRESOURCE(name) && wcscmp(type, kTypeHiRes) == 0 &&
           wcscmp(name, kNameHiRes) == 0;
}

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param)
{
    Inventory* inventory = (Inventory*)param;
    if (IsHiResAware(type, name)) {
        // Checked on its own below: it is the one resource not in Japanese.
        inventory->hiResAware++;
        return TRUE;
    }
    inventory->total++;
    if (!IS_INTRESOURCE(type) || !IS_INTRESOURCE(name))
        inventory->named = true;
    if (inventory->count < sizeof(inventory->entries) / sizeof(inventory->entries[0])) {
        ResourceEntry& entry = inventory->entries[inventory->count++];
        entry.type = IS_INTRESOURCE(type) ? type : NULL;
        entry.id = IS_INTRESOURCE(name) ? (WORD)(ULONG_PTR)name : 0;
        entry.language = language;
    }
    return TRUE;
}

BOOL CALLBACK OnName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR param)
{
    EnumResourceLanguagesW(module, type, name, OnLanguage, param);
    return TRUE;
}

BOOL CALLBACK OnType(HMODULE module, LPWSTR type, LONG_PTR param)
{
    EnumResourceNamesW(module, type, OnName, param);
    return TRUE;
}

// Every resource in the file is Japanese and of a type the program uses, and
// each one it must carry is there.
void CheckInventory(HMODULE module, const ProgramExpect& program)
{
    Inventory inventory = {};
    EnumResourceTypesW(module, OnType, (LONG_PTR)&inventory);
    SetWhere("%s: resources", program.fileName);
    CheckTrue("all types and ids numbered", !inventory.named);
    CheckTrue("few enough to examine every one", inventory.total == inventory.count);

    char label[128];
    for (size_t i = 0; i < inventory.count; i++) {
        const ResourceEntry& entry = inventory.entries[i];
        SetWhere("%s: %s %u", program.fileName, TypeName(entry.type), entry.id);
        bool known = false;
        for (size_t t = 0; t < program.typeCount; t++)
            known = known || entry.type == program.types[t];
        CheckTrue("type belongs to this program", known);
        CheckNumber("language", kJapanese, entry.language);
    }
    for (size_t i = 0; i < program.resourceCount; i++) {
        const ResourceExpect& expected = program.resources[i];
        SetWhere("%s: %s %u", program.fileName, TypeName(expected.type), expected.id);
        snprintf(label, sizeof(label), "present in language 0x%04X", kJapanese);
        CheckTrue(label, FindResourceExW(module, expected.type, MAKEINTRESOURCEW(expected.id),
                                         kJapanese) != NULL);
    }

    SetWhere("%s: CEUX HI_RES_AWARE", program.fileName);
    CheckNumber("copies", program.hiResAware ? 1 : 0, (DWORD)inventory.hiResAware);
    if (!program.hiResAware)
        return;
    HRSRC found = FindResourceExW(module, kTypeHiRes, kNameHiRes, kNeutral);
    if (!CheckTrue("present in the neutral language", found != NULL))
        return;
    HGLOBAL loaded = LoadResource(module, found);
    const BYTE* data = loaded ? (const BYTE*)LockResource(loaded) : NULL;
    if (CheckNumber("size", 2, SizeofResource(module, found)) && CheckTrue("loadable", data != NULL))
        CheckNumber("value", 1, (DWORD)(data[0] | data[1] << 8));
}

// One node of a version block: wLength, wValueLength, wType, the key, then
// the value and the children, each starting on a DWORD boundary.
struct VersionNode {
    const BYTE* start;
    const BYTE* end;
    const wchar_t* key;
    size_t keyChars;
    const BYTE* children;
};

bool ReadVersionNode(const BYTE* at, const BYTE* limit, VersionNode* node)
{
    if (limit - at < 6)
        return false;
    WORD length, valueLength, type;
    memcpy(&length, at, 2);
    memcpy(&valueLength, at + 2, 2);
    memcpy(&type, at + 4, 2);
    if (length < 6 || length > limit - at)
        return false;
    node->start = at;
    node->end = at + length;
    node->key = (const wchar_t*)(at + 6);
    node->keyChars = 0;
    const BYTE* p = at + 6;
    while (p + 2 <= node->end && (p[0] | p[1]) != 0) {
        p += 2;
        node->keyChars++;
    }
    p += 2;
    size_t valueBytes = type == 1 ? valueLength * 2u : valueLength;
    p = node->start + ((p - node->start + 3) & ~3);
    p += valueBytes;
    node->children = node->start + ((p - node->start + 3) & ~3);
    if (node->children > node->end)
        node->children = node->end;
    return true;
}

size_t CountChildren(const VersionNode& parent, const wchar_t* key, VersionNode* found)
{
    size_t count = 0;
    const BYTE* at = parent.children;
    VersionNode child;
    while (at < parent.end && ReadVersionNode(at, parent.end, &child)) {
        if (key == NULL || (child.keyChars == wcslen(key) &&
                            memcmp(child.key, key, child.keyChars * 2) == 0)) {
            count++;
            if (found)
                *found = child;
        }
        at = child.start + ((child.end - child.start + 3) & ~3);
    }
    return count;
}

// The file's version block as the system reads it, plus the block's own
// layout for what the query calls can't tell: the exact name of the string
// table (lookups ignore case) and that it holds nothing beyond the six strings.
void CheckVersion(const wchar_t* path, const ProgramExpect& program)
{
    const VersionExpect& expected = *program.version;
    SetWhere("%s: version block", program.fileName);
    static BYTE block[65536];
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!CheckTrue("readable", size != 0 && size <= sizeof(block) &&
                                   GetFileVersionInfoW(path, 0, sizeof(block), block)))
        return;

    VS_FIXEDFILEINFO* fixed = NULL;
    UINT fixedBytes = 0;
    if (CheckTrue("fixed part present",
                  VerQueryValueW(block, L"\\", (void**)&fixed, &fixedBytes) &&
                      fixedBytes >= sizeof(VS_FIXEDFILEINFO))) {
        CheckNumber("signature", 0xFEEF04BD, fixed->dwSignature);
        const DWORD actualFile[4] = {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                                     HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS)};
        const DWORD actualProduct[4] = {
            HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
            HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
        char label[64];
        for (int i = 0; i < 4; i++) {
            snprintf(label, sizeof(label), "file version part %d", i + 1);
            CheckNumber(label, expected.fileVersion[i], actualFile[i]);
            snprintf(label, sizeof(label), "product version part %d", i + 1);
            CheckNumber(label, expected.productVersion[i], actualProduct[i]);
        }
        CheckNumber("file OS", expected.fileOS, fixed->dwFileOS);
        CheckNumber("file type", expected.fileType, fixed->dwFileType);
    }

    WORD* translation = NULL;
    UINT translationBytes = 0;
    if (CheckTrue("translation present",
                  VerQueryValueW(block, L"\\VarFileInfo\\Translation", (void**)&translation,
                                 &translationBytes)) &&
        CheckNumber("translation bytes (one language)", 4, translationBytes)) {
        CheckNumber("translation language", expected.language, translation[0]);
        CheckNumber("translation code page", expected.codePage, translation[1]);
    }

    for (size_t i = 0; i < expected.stringCount; i++) {
        const VersionString& string = expected.strings[i];
        wchar_t query[128] = L"\\StringFileInfo\\";
        wcscat(query, expected.stringTable);
        wcscat(query, L"\\");
        wcscat(query, string.key);
        char label[128];
        Narrow(string.key, label, sizeof(label));
        wchar_t* value = NULL;
        UINT chars = 0;
        if (!VerQueryValueW(block, query, (void**)&value, &chars)) {
            Fail(label, "missing");
            continue;
        }
        // The length counts the terminator when there is one.
        size_t length = 0;
        while (length < chars && value[length] != 0)
            length++;
        CheckText(label, string.value, value, length);
    }

    VersionNode root, stringInfo, table;
    if (!CheckTrue("layout readable", ReadVersionNode(block, block + size, &root)))
        return;
    CheckText("root key", L"VS_VERSION_INFO", root.key, root.keyChars);
    if (CheckNumber("StringFileInfo blocks", 1, CountChildren(root, L"StringFileInfo", &stringInfo)) &&
        CheckNumber("string tables", 1, CountChildren(stringInfo, NULL, &table))) {
        CheckText("string table name", expected.stringTable, table.key, table.keyChars);
        CheckNumber("strings in the table", (DWORD)expected.stringCount,
                    (DWORD)CountChildren(table, NULL, NULL));
    }
}

void CheckIconGroup(HMODULE module, const ProgramExpect& program)
{
    SetWhere("%s: icon group 101", program.fileName);
    const void* data;
    DWORD size;
    if (!CheckTrue("loadable", LoadJapanese(module, RT_GROUP_ICON, 101, &data, &size)))
        return;
    Reader in(data, size);
    CheckNumber("reserved", 0, in.Word());
    CheckNumber("type (1 = icon)", 1, in.Word());
    WORD count = in.Word();
    CheckNumber("image count", (DWORD)program.iconCount, count);

    struct Entry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    } entries[16];
    WORD read = 0;
    for (; read < count && read < 16 && !in.overrun; read++) {
        Entry& e = entries[read];
        e.width = in.Byte();
        e.height = in.Byte();
        e.colours = in.Byte();
        e.reserved = in.Byte();
        e.planes = in.Word();
        e.bitCount = in.Word();
        e.bytes = in.Dword();
        e.id = in.Word();
    }
    CheckTrue("entries complete", !in.overrun);

    // Images are matched by size: the order within the group carries no meaning.
    for (size_t i = 0; i < program.iconCount; i++) {
        const IconExpect& want = program.icons[i];
        SetWhere("%s: icon group 101: %ux%u image", program.fileName, want.size, want.size);
        const Entry* e = NULL;
        for (WORD k = 0; k < read && e == NULL; k++) {
            if (entries[k].width == want.size)
                e = &entries[k];
        }
        if (!CheckTrue("present", e != NULL))
            continue;
        CheckNumber("height", want.size, e->height);
        CheckNumber("colour count", want.colours, e->colours);
        CheckNumber("planes", want.planes, e->planes);
        CheckNumber("bits per pixel", want.bitCount, e->bitCount);

        SetWhere("%s: icon group 101: %ux%u image (RT_ICON %u)", program.fileName, want.size,
                 want.size, e->id);
        const void* image;
        DWORD imageSize;
        if (!CheckTrue("loadable", LoadJapanese(module, RT_ICON, e->id, &image, &imageSize)))
            continue;
        CheckNumber("size as listed in the group", e->bytes, imageSize);
        Reader header(image, imageSize);
        CheckNumber("header size", sizeof(BITMAPINFOHEADER), header.Dword());
        CheckNumber("width", want.size, header.Dword());
        // The height covers the colour image and the mask below it.
        CheckNumber("height (image and mask)", want.size * 2u, header.Dword());
        CheckNumber("planes", want.planes, header.Word());
        CheckNumber("bits per pixel", want.bitCount, header.Word());
        CheckNumber("compression", BI_RGB, header.Dword());
    }
}

void CheckDialog(HMODULE module, const ProgramExpect& program)
{
    const DialogExpect& expected = *program.dialog;
    SetWhere("%s: dialog %u", program.fileName, expected.id);
    const void* data;
    DWORD size;
    if (!CheckTrue("loadable", LoadJapanese(module, RT_DIALOG, expected.id, &data, &size)))
        return;
    Reader in(data, size);
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF; its fields
    // sit elsewhere, so reading on would only report noise.
    WORD first[2] = {0, 0};
    if (size >= 4)
        memcpy(first, data, 4);
    if (!CheckTrue("classic DIALOG template, not DIALOGEX",
                   size >= 4 && !(first[0] == 1 && first[1] == 0xFFFF)))
        return;

    CheckNumber("style", expected.style, in.Dword());
    CheckNumber("extended style", 0, in.Dword());
    WORD controlCount = in.Word();
    CheckNumber("control count", (DWORD)expected.controlCount, controlCount);
    CheckNumber("x", (WORD)expected.x, in.Word());
    CheckNumber("y", (WORD)expected.y, in.Word());
    CheckNumber("width", (WORD)expected.cx, in.Word());
    CheckNumber("height", (WORD)expected.cy, in.Word());
    NameField field;
    const Name kNone = {0, L""};
    ReadName(in, &field);
    CheckName("menu (none)", kNone, field);
    ReadName(in, &field);
    CheckName("class (the default)", kNone, field);
    ReadName(in, &field);
    CheckName("caption", Name{0, expected.caption}, field);
    CheckNumber("font point size", expected.pointSize, in.Word());
    ReadName(in, &field);
    CheckName("font face", Name{0, expected.face}, field);

    for (size_t i = 0; i < expected.controlCount && i < controlCount && !in.overrun; i++) {
        const ControlExpect& control = expected.controls[i];
        SetWhere("%s: dialog %u: control %u", program.fileName, expected.id, (unsigned)(i + 1));
        in.AlignDword();
        CheckNumber("style", control.style, in.Dword());
        CheckNumber("extended style", 0, in.Dword());
        CheckNumber("x", (WORD)control.x, in.Word());
        CheckNumber("y", (WORD)control.y, in.Word());
        CheckNumber("width", (WORD)control.cx, in.Word());
        CheckNumber("height", (WORD)control.cy, in.Word());
        CheckNumber("id", control.id, in.Word());
        ReadName(in, &field);
        CheckName("class", Name{control.classAtom, NULL}, field);
        ReadName(in, &field);
        CheckName("text", control.text, field);
        CheckNumber("creation data bytes", 0, in.Word());
    }
    SetWhere("%s: dialog %u", program.fileName, expected.id);
    CheckTrue("template complete", !in.overrun);
}

void CheckBitmap(HMODULE module, const ProgramExpect& program)
{
    const BitmapExpect& expected = *program.bitmap;
    SetWhere("%s: bitmap %u", program.fileName, expected.id);
    const void* data;
    DWORD size;
    if (!CheckTrue("loadable", LoadJapanese(module, RT_BITMAP, expected.id, &data, &size)))
        return;
    Reader in(data, size);
    CheckNumber("header size", sizeof(BITMAPINFOHEADER), in.Dword());
    CheckNumber("width", (DWORD)expected.width, in.Dword());
    CheckNumber("height (bottom-up)", (DWORD)expected.height, in.Dword());
    CheckNumber("planes", 1, in.Word());
    CheckNumber("bits per pixel", expected.bitCount, in.Word());
    CheckNumber("compression", BI_RGB, in.Dword());
    in.Dword();  // image size
    in.Dword();  // horizontal resolution
    in.Dword();  // vertical resolution
    DWORD used = in.Dword();
    CheckNumber("palette colours", expected.colours, used != 0 ? used : 1u << expected.bitCount);
    CheckTrue("header complete", !in.overrun);
}

const wchar_t* BaseName(const wchar_t* path)
{
    const wchar_t* base = path;
    for (const wchar_t* p = path; *p; p++) {
        if (*p == L'\\' || *p == L'/')
            base = p + 1;
    }
    return base;
}

void CheckProgram(const wchar_t* path, const ProgramExpect& program)
{
    SetWhere("%s", program.fileName);
    wchar_t expectedName[64];
    Widen(program.fileName, expectedName, 64);
    const wchar_t* name = BaseName(path);
    CheckText("file name", expectedName, name, wcslen(name));

    HMODULE module = LoadLibraryExW(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!CheckTrue("loads as a data file", module != NULL))
        return;
    CheckInventory(module, program);
    CheckVersion(path, program);
    if (program.icons)
        CheckIconGroup(module, program);
    if (program.dialog)
        CheckDialog(module, program);
    if (program.bitmap)
        CheckBitmap(module, program);
    FreeLibrary(module);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 1 + (int)kProgramCount) {
        fprintf(stderr, "usage: check_resources ForegroundDismisser.exe KeyAssigner.exe\n");
        return 2;
    }
    for (size_t i = 0; i < kProgramCount; i++)
        CheckProgram(argv[1 + i], kPrograms[i]);
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
