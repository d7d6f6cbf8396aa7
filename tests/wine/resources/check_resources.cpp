// check_resources.cpp: reads the resources back out of the two built programs
// and compares them, field by field, with what each program must carry.
// Usage: check_resources ForegroundDismisser.exe KeyAssigner.exe
#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace {

const WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);  // 0x0411
const WORD kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// Classic dialog templates name the predefined control classes by atom.
const WORD kAtomButton = 0x0080, kAtomStatic = 0x0082, kAtomComboBox = 0x0085;
const WORD kNoId = 0xFFFF;

// ---------------------------------------------------------------------------
// Expected values

// Both programs' version blocks: NT/Win32 applications, one Japanese UTF-16 string table.
const DWORD kFileOS = 0x40004, kFileType = VFT_APP;
const WORD kVersionLanguage = 0x0411, kVersionCodePage = 0x04B0;
const wchar_t kStringTable[] = L"041104B0";

struct VersionString { const char* key; const wchar_t* value; };
struct IconExpect { BYTE size, colours; WORD planes, bitCount; };
struct BitmapExpect { WORD id; LONG width, height; WORD bitCount; DWORD colours; };
struct ResourceExpect { const wchar_t* type; WORD id; };

// A string or an ordinal, as dialog templates store names and texts; an
// empty text means the field is absent.
struct Name {
    bool isOrdinal = false; WORD ordinal = 0; std::wstring text;
    Name(const wchar_t* text) : text(text) {}
    Name(WORD ordinal) : isOrdinal(true), ordinal(ordinal) {}
};

struct ControlExpect { WORD id, classAtom; DWORD style; short x, y, cx, cy; Name text; };
struct DialogExpect {
    WORD id; DWORD style; short x, y, cx, cy;
    const wchar_t* caption; WORD pointSize; const wchar_t* face;
    std::vector<ControlExpect> controls;
};

struct ProgramExpect {
    const char* fileName;
    std::vector<ResourceExpect> resources;  // each must be there, in Japanese
    std::vector<const wchar_t*> types;  // may appear at all; RT_ICON comes with the icon group
    WORD fileVersion[4], productVersion[4];
    std::vector<VersionString> strings;  // the whole string table
    std::vector<IconExpect> icons;       // in icon group 101; empty when there is none
    const DialogExpect* dialog;
    const BitmapExpect* bitmap;
    bool hiResAware;  // carries CEUX HI_RES_AWARE, language neutral, the WORD 1
};

// アクティブなウィンドウを閉じるツールです。
const wchar_t kCloserDescription[] =
    L"\x30A2\x30AF\x30C6\x30A3\x30D6\x306A\x30A6\x30A3\x30F3\x30C9\x30A6\x3092\x9589\x3058\x308B"
    L"\x30C4\x30FC\x30EB\x3067\x3059\x3002";
// ForegroundDismisser用の設定ツールです。
const wchar_t kAssignerDescription[] =
    L"ForegroundDismisser\x7528\x306E\x8A2D\x5B9A\x30C4\x30FC\x30EB\x3067\x3059\x3002";

const wchar_t kTextCancel[] = L"\x30AD\x30E3\x30F3\x30BB\x30EB";  // キャンセル
// ハードウェアボタンにForegroundDismisserを直接割り当てます。スタートメニュー、
// プログラムフォルダにショートカットを置く必要がなく、スタートメニュー最上段の
// 「最近使ったアプリケーション」にも入らないためお勧めですが、レジストリを操作
// するため、自己責任のもとご使用ください。
const wchar_t kTextNotice[] =
    L"\x30CF\x30FC\x30C9\x30A6\x30A7\x30A2\x30DC\x30BF\x30F3\x306B" L"ForegroundDismisser\x3092"
    L"\x76F4\x63A5\x5272\x308A\x5F53\x3066\x307E\x3059\x3002\x30B9\x30BF\x30FC\x30C8\x30E1\x30CB"
    L"\x30E5\x30FC\x3001\x30D7\x30ED\x30B0\x30E9\x30E0\x30D5\x30A9\x30EB\x30C0\x306B\x30B7\x30E7"
    L"\x30FC\x30C8\x30AB\x30C3\x30C8\x3092\x7F6E\x304F\x5FC5\x8981\x304C\x306A\x304F\x3001\x30B9"
    L"\x30BF\x30FC\x30C8\x30E1\x30CB\x30E5\x30FC\x6700\x4E0A\x6BB5\x306E\x300C\x6700\x8FD1\x4F7F"
    L"\x3063\x305F\x30A2\x30D7\x30EA\x30B1\x30FC\x30B7\x30E7\x30F3\x300D\x306B\x3082\x5165\x3089"
    L"\x306A\x3044\x305F\x3081\x304A\x52E7\x3081\x3067\x3059\x304C\x3001\x30EC\x30B8\x30B9\x30C8"
    L"\x30EA\x3092\x64CD\x4F5C\x3059\x308B\x305F\x3081\x3001\x81EA\x5DF1\x8CAC\x4EFB\x306E\x3082"
    L"\x3068\x3054\x4F7F\x7528\x304F\x3060\x3055\x3044\x3002";
const wchar_t kTextHeader[] = L"ForegroundDismisser \x8A2D\x5B9A";  // ForegroundDismisser 設定
const wchar_t kTextNoOption[] = L"\x306A\x3057";                     // なし
const wchar_t kTextOptions[] = L"\x8D77\x52D5\x30AA\x30D7\x30B7\x30E7\x30F3";  // 起動オプション
const wchar_t kTextButtonLabel[] = L"\x5272\x308A\x5F53\x3066\x308B\x30DC\x30BF\x30F3";  // 割り当てるボタン

const DWORD kChild = WS_CHILD | WS_VISIBLE;
const DWORD kLabel = kChild | SS_LEFT | WS_GROUP;

const DialogExpect kAssignDialog = {
    101, WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT, 0, 0, 135, 160,
    L"ForegroundDismisser", 9, L"System", {
        {IDOK, kAtomButton, kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, 10, 138, 50, 14, L"OK"},
        {IDCANCEL, kAtomButton, kChild | BS_PUSHBUTTON | WS_TABSTOP, 75, 138, 50, 14, kTextCancel},
        {kNoId, kAtomStatic, kChild | SS_BITMAP, 12, 4, 20, 20, 103},
        {kNoId, kAtomStatic, kLabel, 5, 26, 128, 59, kTextNotice},
        {kNoId, kAtomStatic, kLabel, 33, 3, 103, 8, kTextHeader},
        {kNoId, kAtomStatic, kLabel, 33, 14, 103, 8, L"(C) ForegroundDismisser"},
        {1000, kAtomButton, kChild | BS_AUTORADIOBUTTON, 18, 119, 27, 10, kTextNoOption},
        {1001, kAtomButton, kChild | BS_AUTORADIOBUTTON, 56, 119, 23, 10, L"/n"},
        {1002, kAtomButton, kChild | BS_AUTORADIOBUTTON, 90, 119, 26, 10, L"/ns"},
        {kNoId, kAtomButton, kChild | BS_GROUPBOX, 9, 109, 116, 25, kTextOptions},
        {1003, kAtomComboBox, kChild | CBS_DROPDOWNLIST | WS_VSCROLL, 62, 95, 61, 48, L""},
        {kNoId, kAtomStatic, kLabel, 8, 96, 52, 11, kTextButtonLabel},
    }};

const BitmapExpect kAssignLogo = {103, 32, 32, 4, 16};

const ProgramExpect kPrograms[] = {
    {"ForegroundDismisser.exe", {{RT_GROUP_ICON, 101}, {RT_VERSION, 1}},
     {RT_ICON, RT_GROUP_ICON, RT_VERSION}, {1, 3, 0, 0}, {1, 3, 0, 0},
     {{"FileDescription", kCloserDescription}, {"FileVersion", L"1.30"},
      {"InternalName", L"ForegroundDismisser"}, {"OriginalFilename", L"ForegroundDismisser.exe"},
      {"ProductName", L"ForegroundDismisser"}, {"ProductVersion", L"1.30"}},
     {{16, 16, 1, 4}, {32, 16, 1, 4}}, NULL, NULL, true},
    {"KeyAssigner.exe", {{RT_DIALOG, 101}, {RT_BITMAP, 103}, {RT_VERSION, 1}},
     {RT_DIALOG, RT_BITMAP, RT_VERSION}, {1, 2, 0, 0}, {1, 2, 0, 0},
     {{"FileDescription", kAssignerDescription}, {"FileVersion", L"1.20"},
      {"InternalName", L"KeyAssigner"}, {"OriginalFilename", L"KeyAssigner.exe"},
      {"ProductName", L"KeyAssigner"}, {"ProductVersion", L"1.20"}},
     {}, &kAssignDialog, &kAssignLogo, false},
};

// ---------------------------------------------------------------------------
// Reporting

int passed = 0, failed = 0;

template <class... Args> std::string Format(const char* format, Args... args)
{
    char text[1024];
    snprintf(text, sizeof(text), format, args...);
    return text;
}

// What the checks below are looking at, e.g. "KeyAssigner.exe: dialog 101:
// control 4"; every failure line starts with it.
std::string where;

bool Check(const std::string& field, bool ok, const std::string& detail)
{
    (ok ? passed : failed)++;
    if (!ok)
        printf("%s: %s: %s\n", where.c_str(), field.c_str(), detail.c_str());
    return ok;
}

bool CheckTrue(const std::string& field, bool condition) { return Check(field, condition, "no"); }

bool CheckNumber(const std::string& field, DWORD expected, DWORD actual)
{
    return Check(field, expected == actual,
                 Format("expected %lu (0x%lX), got %lu (0x%lX)", (unsigned long)expected,
                        (unsigned long)expected, (unsigned long)actual, (unsigned long)actual));
}

// Several numbers, checked in order; reads from a Reader inside the braces run in order too.
struct Expectation { const char* field; DWORD expected, actual; };

void CheckNumbers(std::initializer_list<Expectation> list)
{
    for (const Expectation& e : list)
        CheckNumber(e.field, e.expected, e.actual);
}

// Text is shown as ASCII with every other code point as \uXXXX, so a wrong
// half-width form or a lost character is visible whatever the console shows.
std::string Escape(const std::wstring& text)
{
    std::string out = "\"";
    for (wchar_t c : text)
        out += c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? std::string(1, (char)c)
                                                              : Format("\\u%04X", (unsigned)c);
    return out + "\"";
}

bool CheckText(const std::string& field, const std::wstring& expected, const std::wstring& actual)
{
    auto same = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
    return Check(field, expected == actual,
                 "expected " + Escape(expected) +
                     Format(" (%u chars), got ", (unsigned)expected.size()) + Escape(actual) +
                     Format(" (%u chars), first difference at char %u", (unsigned)actual.size(),
                            (unsigned)(same.first - expected.begin())));
}

// Keys, names and file names are ASCII.
std::wstring Widen(const char* text) { return std::wstring(text, text + strlen(text)); }

const char* TypeName(const wchar_t* type)
{
    static const std::pair<const wchar_t*, const char*> kNames[] = {
        {RT_ICON, "RT_ICON"},       {RT_BITMAP, "RT_BITMAP"},   {RT_DIALOG, "RT_DIALOG"},
        {RT_GROUP_ICON, "RT_GROUP_ICON"}, {RT_VERSION, "RT_VERSION"}, {RT_MANIFEST, "RT_MANIFEST"}};
    for (const auto& [known, name] : kNames)
        if (known == type)
            return name;
    return type == NULL ? "named type" : "unexpected type";
}

// ---------------------------------------------------------------------------
// Reading raw resource data without running off its end: a short or damaged
// resource turns into failed checks, never into a crash.

struct Reader {
    const BYTE *start, *p, *end;
    DWORD size;
    bool found, overrun = false;

    Reader(const void* data, DWORD size, bool found = true)
        : start((const BYTE*)data), p(start), end(start ? start + size : start), size(size),
          found(found) {}

    bool Skip(size_t bytes)
    {
        bool fits = (size_t)(end - p) >= bytes;
        overrun = overrun || !fits;
        p = fits ? p + bytes : end;
        return fits;
    }
    template <class T> T Get()
    {
        T value{};
        if (Skip(sizeof(value)))
            memcpy(&value, p - sizeof(value), sizeof(value));
        return value;
    }
    WORD Word() { return Get<WORD>(); }
    DWORD Dword() { return Get<DWORD>(); }
    void AlignDword() { Skip((4 - (p - start) % 4) % 4); }
};

// Finds a resource, in Japanese unless told otherwise: the same id in another language is a fault.
Reader Find(HMODULE module, LPCWSTR type, LPCWSTR name, WORD language = kJapanese)
{
    HRSRC found = FindResourceExW(module, type, name, language);
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    return Reader(loaded ? LockResource(loaded) : NULL, found ? SizeofResource(module, found) : 0,
                  found != NULL);
}

Reader Find(HMODULE m, LPCWSTR type, WORD id) { return Find(m, type, MAKEINTRESOURCEW(id)); }

// Reads a field of a dialog template that is absent (0x0000), an ordinal
// (0xFFFF then the number) or a zero-terminated UTF-16 string, and checks it.
void CheckName(Reader& in, const char* field, const Name& expected)
{
    Name actual(L"");
    WORD first = in.Word();
    if (first == 0xFFFF)
        actual = Name(in.Word());
    else
        for (WORD c = first; c != 0 && !in.overrun; c = in.Word())
            actual.text += (wchar_t)c;
    auto show = [](const Name& n) {
        return n.isOrdinal ? Format("ordinal %u", n.ordinal) : Escape(n.text);
    };
    if (expected.isOrdinal != actual.isOrdinal)
        Check(field, false, "expected " + show(expected) + ", got " + show(actual));
    else if (expected.isOrdinal)
        CheckNumber(field, expected.ordinal, actual.ordinal);
    else
        CheckText(field, expected.text, actual.text);
}

// ---------------------------------------------------------------------------
// Checks

struct Inventory {
    struct Entry { const wchar_t* type; WORD id, language; } entries[64];  // NULL, 0 when named
    size_t count, total;  // total goes beyond count when the file holds more than entries can
    bool named;      // a named type or resource other than HI_RES_AWARE turned up
    int hiResAware;  // HI_RES_AWARE resources found, in any language
};

const wchar_t kTypeHiRes[] = L"CEUX";
const wchar_t kNameHiRes[] = L"HI_RES_AWARE";

BOOL CALLBACK OnLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR param)
{
    Inventory& inventory = *(Inventory*)param;
    // Names come back from enumeration in upper case, as stored. HI_RES_AWARE
    // is checked on its own: it is the one resource not in Japanese.
    if (!IS_INTRESOURCE(type) && !IS_INTRESOURCE(name) && wcscmp(type, kTypeHiRes) == 0 &&
        wcscmp(name, kNameHiRes) == 0) {
        inventory.hiResAware++;
        return TRUE;
    }
    inventory.total++;
    inventory.named = inventory.named || !IS_INTRESOURCE(type) || !IS_INTRESOURCE(name);
    if (inventory.count < std::size(inventory.entries))
        inventory.entries[inventory.count++] = {IS_INTRESOURCE(type) ? type : NULL,
            IS_INTRESOURCE(name) ? (WORD)(ULONG_PTR)name : WORD(0), language};
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
    where = Format("%s: resources", program.fileName);
    CheckTrue("all types and ids numbered", !inventory.named);
    CheckTrue("few enough to examine every one", inventory.total == inventory.count);

    for (size_t i = 0; i < inventory.count; i++) {
        const Inventory::Entry& entry = inventory.entries[i];
        where = Format("%s: %s %u", program.fileName, TypeName(entry.type), entry.id);
        CheckTrue("type belongs to this program",
                  std::count(program.types.begin(), program.types.end(), entry.type) != 0);
        CheckNumber("language", kJapanese, entry.language);
    }
    for (const ResourceExpect& expected : program.resources) {
        where = Format("%s: %s %u", program.fileName, TypeName(expected.type), expected.id);
        CheckTrue(Format("present in language 0x%04X", kJapanese),
                  Find(module, expected.type, expected.id).found);
    }

    where = Format("%s: CEUX HI_RES_AWARE", program.fileName);
    CheckNumber("copies", program.hiResAware ? 1 : 0, (DWORD)inventory.hiResAware);
    if (!program.hiResAware)
        return;
    Reader hiRes = Find(module, kTypeHiRes, kNameHiRes, kNeutral);
    if (CheckTrue("present in the neutral language", hiRes.found) &&
        CheckNumber("size", 2, hiRes.size) && CheckTrue("loadable", hiRes.start != NULL))
        CheckNumber("value", 1, hiRes.Word());
}

// One node of a version block: wLength, wValueLength, wType, the key, then
// the value and the children, each starting on a DWORD boundary.
struct VersionNode { std::wstring key; std::vector<VersionNode> children; };

const BYTE* AlignDword(const BYTE* base, const BYTE* p) { return base + ((p - base + 3) & ~3); }

// Reads the node at at, no further than limit, with its children for as long
// as they read; returns the node's end, or NULL when it doesn't fit.
const BYTE* ReadVersionNode(const BYTE* at, const BYTE* limit, VersionNode* node)
{
    WORD header[3] = {};  // length, value length, type (1 = text, counted in chars)
    if (limit - at >= 6)
        memcpy(header, at, 6);
    if (header[0] < 6 || header[0] > limit - at)
        return NULL;
    const BYTE* end = at + header[0];
    const BYTE* p = at + 6;
    for (; p + 2 <= end && (p[0] | p[1]) != 0; p += 2)
        node->key += (wchar_t)(p[0] | p[1] << 8);
    p = AlignDword(at, AlignDword(at, p + 2) + (header[2] == 1 ? header[1] * 2u : header[1]));
    while (p < end) {
        VersionNode child;
        if ((p = ReadVersionNode(p, end, &child)) == NULL)
            break;
        node->children.push_back(child);
        p = AlignDword(at, p);
    }
    return end;
}

// The file's version block as the system reads it, plus the block's own
// layout for what the query calls can't tell: the exact name of the string
// table (lookups ignore case) and that it holds nothing beyond the six strings.
void CheckVersion(const wchar_t* path, const ProgramExpect& program)
{
    where = Format("%s: version block", program.fileName);
    static BYTE block[65536];
    DWORD ignored = 0, size = GetFileVersionInfoSizeW(path, &ignored);
    if (!CheckTrue("readable", size != 0 && size <= sizeof(block) &&
                                   GetFileVersionInfoW(path, 0, sizeof(block), block)))
        return;

    UINT bytes = 0;
    auto query = [&bytes](const std::wstring& name) {
        void* value = NULL;
        return VerQueryValueW(block, name.c_str(), &value, &bytes) ? value : NULL;
    };
    auto* fixed = (const VS_FIXEDFILEINFO*)query(L"\\");
    if (CheckTrue("fixed part present", fixed != NULL && bytes >= sizeof(VS_FIXEDFILEINFO))) {
        CheckNumber("signature", 0xFEEF04BD, fixed->dwSignature);
        const DWORD file[2] = {fixed->dwFileVersionMS, fixed->dwFileVersionLS};
        const DWORD product[2] = {fixed->dwProductVersionMS, fixed->dwProductVersionLS};
        for (int i = 0; i < 4; i++) {
            std::string part = " version part " + std::to_string(i + 1);
            int shift = i % 2 ? 0 : 16;  // each DWORD holds two parts, the first in the high word
            CheckNumber("file" + part, program.fileVersion[i], file[i / 2] >> shift & 0xFFFF);
            CheckNumber("product" + part, program.productVersion[i],
                        product[i / 2] >> shift & 0xFFFF);
        }
        CheckNumbers({{"file OS", kFileOS, fixed->dwFileOS},
                      {"file type", kFileType, fixed->dwFileType}});
    }

    auto* translation = (const WORD*)query(L"\\VarFileInfo\\Translation");
    if (CheckTrue("translation present", translation != NULL) &&
        CheckNumber("translation bytes (one language)", 4, bytes))
        CheckNumbers({{"translation language", kVersionLanguage, translation[0]},
                      {"translation code page", kVersionCodePage, translation[1]}});

    for (const VersionString& string : program.strings) {
        auto* value = (const wchar_t*)query(std::wstring(L"\\StringFileInfo\\") + kStringTable +
                                            L"\\" + Widen(string.key));
        if (value != NULL)  // the length in chars counts the terminator when there is one
            CheckText(string.key, string.value, std::wstring(value, wcsnlen(value, bytes)));
        else
            Check(string.key, false, "missing");
    }

    VersionNode root;
    if (!CheckTrue("layout readable", ReadVersionNode(block, block + size, &root) != NULL))
        return;
    CheckText("root key", L"VS_VERSION_INFO", root.key);
    std::vector<const VersionNode*> infos;
    for (const VersionNode& child : root.children)
        if (child.key == L"StringFileInfo")
            infos.push_back(&child);
    if (CheckNumber("StringFileInfo blocks", 1, infos.size()) &&
        CheckNumber("string tables", 1, infos[0]->children.size())) {
        CheckText("string table name", kStringTable, infos[0]->children[0].key);
        CheckNumber("strings in the table", program.strings.size(),
                    infos[0]->children[0].children.size());
    }
}

// The BITMAPINFOHEADER that both icon images and bitmaps start with.
void CheckBitmapHeader(Reader& in, DWORD width, const char* heightField, DWORD height, WORD planes,
                       WORD bitCount)
{
    CheckNumbers({{"header size", sizeof(BITMAPINFOHEADER), in.Dword()},
                  {"width", width, in.Dword()}, {heightField, height, in.Dword()},
                  {"planes", planes, in.Word()}, {"bits per pixel", bitCount, in.Word()},
                  {"compression", BI_RGB, in.Dword()}});
}

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved; WORD planes, bitCount; DWORD bytes; WORD id;
};
static_assert(sizeof(GroupIconEntry) == 14, "GRPICONDIRENTRY is 14 bytes");
#pragma pack(pop)

void CheckIconGroup(HMODULE module, const ProgramExpect& program)
{
    where = Format("%s: icon group 101", program.fileName);
    Reader in = Find(module, RT_GROUP_ICON, 101);
    if (!CheckTrue("loadable", in.start != NULL))
        return;
    CheckNumbers({{"reserved", 0, in.Word()}, {"type (1 = icon)", 1, in.Word()}});
    WORD count = in.Word();
    CheckNumber("image count", program.icons.size(), count);
    std::vector<GroupIconEntry> entries;
    while (entries.size() < count && !in.overrun)
        entries.push_back(in.Get<GroupIconEntry>());
    CheckTrue("entries complete", !in.overrun);

    // Images are matched by size: the order within the group carries no meaning.
    for (const IconExpect& want : program.icons) {
        where = Format("%s: icon group 101: %ux%u image", program.fileName, want.size, want.size);
        auto e = std::find_if(entries.begin(), entries.end(),
                              [&](const GroupIconEntry& g) { return g.width == want.size; });
        if (!CheckTrue("present", e != entries.end()))
            continue;
        CheckNumbers({{"height", want.size, e->height}, {"colour count", want.colours, e->colours},
                      {"planes", want.planes, e->planes},
                      {"bits per pixel", want.bitCount, e->bitCount}});

        where = Format("%s: icon group 101: %ux%u image (RT_ICON %u)", program.fileName, want.size,
                       want.size, e->id);
        Reader image = Find(module, RT_ICON, e->id);
        if (!CheckTrue("loadable", image.start != NULL))
            continue;
        CheckNumber("size as listed in the group", e->bytes, image.size);
        // The height covers the colour image and the mask below it.
        CheckBitmapHeader(image, want.size, "height (image and mask)", want.size * 2u, want.planes,
                          want.bitCount);
    }
}

void CheckDialog(HMODULE module, const ProgramExpect& program)
{
    const DialogExpect& expected = *program.dialog;
    where = Format("%s: dialog %u", program.fileName, expected.id);
    Reader in = Find(module, RT_DIALOG, expected.id);
    if (!CheckTrue("loadable", in.start != NULL))
        return;
    // DLGTEMPLATEEX starts with version 1 and signature 0xFFFF; its fields
    // sit elsewhere, so reading on would only report noise.
    const WORD* first = (const WORD*)in.start;
    if (!CheckTrue("classic DIALOG template, not DIALOGEX",
                   in.size >= 4 && !(first[0] == 1 && first[1] == 0xFFFF)))
        return;

    CheckNumbers({{"style", expected.style, in.Dword()}, {"extended style", 0, in.Dword()}});
    WORD controlCount = in.Word();
    CheckNumber("control count", expected.controls.size(), controlCount);
    CheckNumbers({{"x", (WORD)expected.x, in.Word()}, {"y", (WORD)expected.y, in.Word()},
                  {"width", (WORD)expected.cx, in.Word()},
                  {"height", (WORD)expected.cy, in.Word()}});
    CheckName(in, "menu (none)", L"");
    CheckName(in, "class (the default)", L"");
    CheckName(in, "caption", expected.caption);
    CheckNumber("font point size", expected.pointSize, in.Word());
    CheckName(in, "font face", expected.face);

    for (size_t i = 0; i < expected.controls.size() && i < controlCount && !in.overrun; i++) {
        const ControlExpect& control = expected.controls[i];
        where = Format("%s: dialog %u: control %u", program.fileName, expected.id,
                       (unsigned)(i + 1));
        in.AlignDword();
        CheckNumbers({{"style", control.style, in.Dword()}, {"extended style", 0, in.Dword()},
                      {"x", (WORD)control.x, in.Word()}, {"y", (WORD)control.y, in.Word()},
                      {"width", (WORD)control.cx, in.Word()},
                      {"height", (WORD)control.cy, in.Word()}, {"id", control.id, in.Word()}});
        CheckName(in, "class", control.classAtom);
        CheckName(in, "text", control.text);
        CheckNumber("creation data bytes", 0, in.Word());
    }
    where = Format("%s: dialog %u", program.fileName, expected.id);
    CheckTrue("template complete", !in.overrun);
}

void CheckBitmap(HMODULE module, const ProgramExpect& program)
{
    const BitmapExpect& expected = *program.bitmap;
    where = Format("%s: bitmap %u", program.fileName, expected.id);
    Reader in = Find(module, RT_BITMAP, expected.id);
    if (!CheckTrue("loadable", in.start != NULL))
        return;
    CheckBitmapHeader(in, expected.width, "height (bottom-up)", expected.height, 1,
                      expected.bitCount);
    in.Skip(12);  // image size, horizontal and vertical resolution
    DWORD used = in.Dword();
    CheckNumber("palette colours", expected.colours, used != 0 ? used : 1u << expected.bitCount);
    CheckTrue("header complete", !in.overrun);
}

void CheckProgram(const wchar_t* path, const ProgramExpect& program)
{
    where = program.fileName;
    std::wstring name = path;
    CheckText("file name", Widen(program.fileName), name.substr(name.find_last_of(L"\\/") + 1));

    HMODULE module = LoadLibraryExW(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!CheckTrue("loads as a data file", module != NULL))
        return;
    CheckInventory(module, program);
    CheckVersion(path, program);
    if (!program.icons.empty())
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
    if (argc != 1 + (int)std::size(kPrograms)) {
        fprintf(stderr, "usage: check_resources ForegroundDismisser.exe KeyAssigner.exe\n");
        return 2;
    }
    for (size_t i = 0; i < std::size(kPrograms); i++)
        CheckProgram(argv[1 + i], kPrograms[i]);
    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
