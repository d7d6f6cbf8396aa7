// scene_file.cpp: the scene file's reader, its escapes, and the UTF-8 the
// files and the reports are written in.
#include "scenario.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace scene {

// ---- Text --------------------------------------------------------------------

std::string Narrow(const std::u16string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); i++) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += (char)c;
        } else if (c < 0x800) {
            out += (char)(0xC0 | (c >> 6));
            out += (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += (char)(0xE0 | (c >> 12));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        } else {
            out += (char)(0xF0 | (c >> 18));
            out += (char)(0x80 | ((c >> 12) & 0x3F));
            out += (char)(0x80 | ((c >> 6) & 0x3F));
            out += (char)(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Widen(const std::string& utf8)
{
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        const unsigned char b = (unsigned char)utf8[i];
        uint32_t c = b;
        int extra = b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : 0;
        if (extra > 0)
            c = b & (0x3F >> extra);
        i++;
        for (; extra > 0 && i < utf8.size(); extra--, i++)
            c = (c << 6) | ((unsigned char)utf8[i] & 0x3F);
        // UTF-8 has no form for a surrogate: one written as if it had
        // reads as the replacement character, as Narrow writes a lone one.
        if (c >= 0xD800 && c <= 0xDFFF) {
            out += u'\xFFFD';
        } else if (c >= 0x10000) {
            out += (char16_t)(0xD800 + ((c - 0x10000) >> 10));
            out += (char16_t)(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += (char16_t)c;
        }
    }
    return out;
}

namespace {

int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

// The value of `count` hex digits at text[at], or -1.
long HexAt(const std::u16string& text, size_t at, size_t count)
{
    if (at + count > text.size())
        return -1;
    long value = 0;
    for (size_t i = 0; i < count; i++) {
        const int digit = HexDigit(text[at + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace

std::u16string Unescape(const std::string& utf8)
{
    const std::u16string text = Widen(utf8);
    std::u16string out;
    for (size_t i = 0; i < text.size(); i++) {
        long unit = -1;
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] == u'u' &&
            (unit = HexAt(text, i + 2, 4)) >= 0) {
            i += 5;
        } else if (text[i] == u'%' && (unit = HexAt(text, i + 1, 2)) >= 0) {
            i += 2;
        }
        out += unit >= 0 ? (char16_t)unit : text[i];
    }
    return out;
}

// ---- Scene files -------------------------------------------------------------

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> out(1);
    for (char c : text) {
        if (c == separator)
            out.emplace_back();
        else
            out.back() += c;
    }
    return out;
}

// A decimal number of at most nine digits, nothing else.
bool Number(const std::string& text, int* out)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *out = atoi(text.c_str());
    return true;
}

// NAME-MS: the milliseconds after a prefix.
bool Millis(const std::string& field, const std::string& prefix, int* ms)
{
    return field.compare(0, prefix.size(), prefix) == 0 && Number(field.substr(prefix.size()), ms);
}

bool ControlId(const std::string& text, int* out)
{
    if (text == "ok" || text == "cancel") {
        *out = text == "ok" ? 1 : 2;  // IDOK, IDCANCEL
        return true;
    }
    return Number(text, out) && *out <= 0xFFFF;
}

// One modifier of a window line: how it is shown and how it answers.
bool Modify(const std::string& field, SceneWindow* w)
{
    int ms = 0;
    if (field == "visible" || field == "hidden")
        w->visible = field == "visible";
    else if (field == "closes")
        w->onClose = kCloses;
    else if (field == "ignores")
        w->onClose = kIgnoresClose;
    else if (field == "ctrl-q")
        w->onClose = kQuitsOnCtrlQ;
    else if (Millis(field, "closes-after-", &ms))
        *w = w->ClosingAfter((unsigned)ms);
    else if (Millis(field, "hung-", &ms) && w->hungFor == 0)
        w->hungFor = (unsigned)ms;
    else if (field == "ok" && !w->showsOk)
        w->showsOk = true;
    else
        return false;
    return true;
}

// A signed decimal number that fits 32 bits.
bool Signed(const std::string& text, int* out)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::string digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
        return false;
    const long long value = (negative ? -1 : 1) * atoll(digits.c_str());
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    *out = (int)value;
    return true;
}

// 0x and one to eight hex digits.
bool Hex32(const std::string& text, unsigned* out)
{
    if (text.size() < 3 || text.size() > 10 || text.compare(0, 2, "0x") != 0 ||
        text.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos)
        return false;
    *out = (unsigned)strtoul(text.c_str() + 2, nullptr, 16);
    return true;
}

// L,T,R,B.
bool ReadRect(const std::string& text, SceneWindow* w)
{
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 4 || !Signed(parts[0], &w->left) || !Signed(parts[1], &w->top) ||
        !Signed(parts[2], &w->right) || !Signed(parts[3], &w->bottom))
        return false;
    w->placed = true;
    return true;
}

// One field after ON_CLOSE; `seen` keeps each to once.
bool ReadExtra(const std::string& field, SceneWindow* w, unsigned* seen)
{
    enum { kHung = 1, kOk = 2, kRect = 4, kStyle = 8, kExStyle = 16 };
    auto value = [&](const char* prefix) {
        return field.compare(0, strlen(prefix), prefix) == 0 ? field.substr(strlen(prefix)) : std::string();
    };
    int ms = 0;
    unsigned slot = 0;
    bool read = false;
    if (field == "ok") {
        slot = kOk;
        read = true;
        w->showsOk = true;
    } else if (field.compare(0, 5, "hung-") == 0) {
        slot = kHung;
        read = Millis(field, "hung-", &ms);
        w->hungFor = (unsigned)ms;
    } else if (field.compare(0, 5, "rect=") == 0) {
        slot = kRect;
        read = ReadRect(value("rect="), w);
    } else if (field.compare(0, 6, "style=") == 0) {
        slot = kStyle;
        read = Hex32(value("style="), &w->style);
    } else if (field.compare(0, 8, "exstyle=") == 0) {
        slot = kExStyle;
        read = Hex32(value("exstyle="), &w->exStyle);
        // The extended style says what ok and the shell's own windows say.
        w->showsOk = w->showsOk || (w->exStyle & 0x80000000u) != 0;    // WS_EX_CAPTIONOKBTN
        w->topmost = w->topmost || (w->exStyle & 0x00000008u) != 0;    // WS_EX_TOPMOST
    }
    if (!read || (*seen & slot) != 0)
        return false;
    *seen |= slot;
    return true;
}

// window NAME[|MODIFIER...] names a Pocket PC window; otherwise
// window CLASS|TITLE|CHILD|SHOWN|ON_CLOSE[|hung-MS][|ok][|rect=L,T,R,B]
// [|style=0xHEX][|exstyle=0xHEX].
bool ReadWindow(const std::vector<std::string>& fields, SceneWindow* w, std::string* why)
{
    const SceneWindow* known = FindPocketPcWindow(fields[0]);
    if (known != nullptr && fields.size() < 5) {
        *w = *known;
        for (size_t i = 1; i < fields.size(); i++) {
            if (!Modify(fields[i], w)) {
                *why = "a modifier is visible, hidden, closes, ignores, ctrl-q, closes-after-MS, "
                       "hung-MS or ok, once each, not \"" + fields[i] + "\"";
                return false;
            }
        }
        return true;
    }
    if (fields.size() < 5 || fields.size() > 10) {
        *why = "window wants a Pocket PC window's name, or CLASS|TITLE|CHILD|SHOWN|ON_CLOSE[|hung-MS][|ok]"
               "[|rect=L,T,R,B][|style=0xHEX][|exstyle=0xHEX]";
        return false;
    }
    *w = SceneWindow();
    w->className = Unescape(fields[0]);
    w->title = Unescape(fields[1]);
    w->hasChild = !fields[2].empty();
    w->childTitle = Unescape(fields[2]);
    w->topmost = IsNavigationBar(w->className);
    w->name = fields[0] + (fields[1].empty() ? "" : " \"" + fields[1] + "\"");
    if (w->className.empty()) {
        *why = "a window needs a class";
        return false;
    }
    if (fields[3] != "visible" && fields[3] != "hidden") {
        *why = "SHOWN is visible or hidden, not \"" + fields[3] + "\"";
        return false;
    }
    Modify(fields[3], w);
    if (fields[4] == "visible" || fields[4] == "hidden" || fields[4] == "ok" ||
        fields[4].compare(0, 5, "hung-") == 0 || !Modify(fields[4], w)) {
        *why = "ON_CLOSE is closes, ignores, ctrl-q or closes-after-MS, not \"" + fields[4] + "\"";
        return false;
    }
    unsigned seen = 0;
    for (size_t i = 5; i < fields.size(); i++) {
        if (!ReadExtra(fields[i], w, &seen)) {
            *why = "a field after ON_CLOSE is hung-MS, ok, rect=L,T,R,B, style=0xHEX or "
                   "exstyle=0xHEX, once each, not \"" + fields[i] + "\"";
            return false;
        }
    }
    return true;
}

// version MAJOR.MINOR.BUILD, or - for a GetVersionExW that fails.
bool ReadVersion(const std::string& rest, Scenario* s)
{
    s->versionGiven = true;
    s->versionAvailable = rest != "-";
    if (!s->versionAvailable)
        return true;
    const std::vector<std::string> parts = Split(rest, '.');
    int n[3] = {0, 0, 0};
    if (parts.size() != 3 || !Number(parts[0], &n[0]) || !Number(parts[1], &n[1]) ||
        !Number(parts[2], &n[2]))
        return false;
    s->major = (unsigned)n[0];
    s->minor = (unsigned)n[1];
    s->build = (unsigned)n[2];
    return true;
}

bool ReadLine(const std::string& line, int number, Scenario* s, bool* frontGiven,
              const std::vector<std::string>& releases, std::string* why)
{
    const size_t space = line.find(' ');
    const std::string keyword = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    const std::vector<std::string> words = Split(rest, ' ');
    const std::vector<std::string> fields = Split(rest, '|');
    if (keyword == "profile") {
        if (rest.empty()) {
            *why = "profile wants a release's name";
            return false;
        }
        bool known = releases.empty();
        std::string names;
        for (const std::string& r : releases) {
            known = known || r == rest;
            names += (names.empty() ? "" : " ") + r;
        }
        if (!known) {
            *why = "profile is one of " + names + ", not \"" + rest + "\"";
            return false;
        }
        s->profile = rest;
    } else if (keyword == "screen") {
        Screen& sc = s->screen;
        if (words.size() != 3 || !Number(words[0], &sc.width) || !Number(words[1], &sc.height) ||
            !Number(words[2], &sc.dpi) || sc.width == 0 || sc.height == 0 || sc.dpi < 96 ||
            sc.width > 0xFFFF || sc.height > 0xFFFF || sc.dpi > 0xFFFF) {
            *why = "screen wants WIDTH HEIGHT DPI: 1 to 65535 pixels each way, 96 to 65535 dpi";
            return false;
        }
        s->screenGiven = true;
    } else if (keyword == "platform") {
        if (rest.empty()) {
            *why = "platform wants a type, or - for none";
            return false;
        }
        s->platformGiven = true;
        s->platformAvailable = rest != "-";
        s->platform = Unescape(rest);
    } else if (keyword == "version") {
        if (!ReadVersion(rest, s)) {
            *why = "version wants MAJOR.MINOR.BUILD, numbers of up to nine digits, or - for none";
            return false;
        }
    } else if (keyword == "window") {
        SceneWindow w;
        if (!ReadWindow(fields, &w, why))
            return false;
        s->windows.push_back(w);
    } else if (keyword == "front") {
        int n = 0;
        if (!Number(rest, &n)) {
            *why = "front wants a window's number, from 1, or 0 for none";
            return false;
        }
        s->front = n - 1;  // 0, none, is kNoWindow
        *frontGiven = true;
    } else if (keyword == "press") {
        s->commandLine = Widen(rest);
    } else if (keyword == "key") {
        if (rest.empty()) {
            *why = "key wants a path";
            return false;
        }
        s->registry.push_back(RegistryRow{false, Unescape(rest), u"", u""});
    } else if (keyword == "value") {
        if (fields.size() != 3 || fields[0].empty()) {
            *why = "value wants PATH|NAME|TEXT";
            return false;
        }
        s->registry.push_back(
            RegistryRow{true, Unescape(fields[0]), Unescape(fields[1]), Unescape(fields[2])});
    } else if (keyword == "module") {
        if (rest.empty()) {
            *why = "module wants a path";
            return false;
        }
        s->module = Widen(rest);
    } else if (keyword == "dialog") {
        DialogAction action = {number, kCloseDialog, 0, 0};
        if (words.size() == 2 && words[0] == "click" && ControlId(words[1], &action.id)) {
            action.kind = kClick;
        } else if (words.size() == 3 && words[0] == "select" && ControlId(words[1], &action.id) &&
                   Number(words[2], &action.index)) {
            action.kind = kSelect;
        } else if (words.size() != 1 || words[0] != "close") {
            *why = "dialog wants click ID, select ID INDEX or close";
            return false;
        }
        s->dialog.push_back(action);
    } else {
        *why = "unknown line \"" + keyword + "\"";
        return false;
    }
    return true;
}

}  // namespace

bool ReadScene(const std::string& text, Scenario* s, std::string* why,
               const std::vector<std::string>& releases)
{
    bool frontGiven = false;
    const std::vector<std::string> lines = Split(text, '\n');
    for (size_t i = 0; i < lines.size(); i++) {
        std::string line = lines[i];
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t start = line.find_first_not_of(' ');
        if (start == std::string::npos || line[start] == '#')
            continue;
        if (!ReadLine(line.substr(start), (int)i + 1, s, &frontGiven, releases, why)) {
            *why = std::to_string(i + 1) + ": " + *why;
            return false;
        }
    }
    if (frontGiven && s->front >= (int)s->windows.size()) {
        *why = " front names window " + std::to_string(s->front + 1) + " of " +
               std::to_string(s->windows.size());
        return false;
    }
    return true;
}

Scenario FromText(const std::string& name, const std::string& text)
{
    Scenario s;
    s.name = name;
    std::string why;
    if (!ReadScene(text, &s, &why)) {
        fprintf(stderr, "scene \"%s\", line %s\n", name.c_str(), why.c_str());
        abort();
    }
    return s;
}

}  // namespace scene
