// wide_string.cpp: the core library's wide-string routines the programs use
// in place of a C runtime's.
#include "model.h"

#include <stdarg.h>

using namespace standin;
using namespace standin::detail;

namespace {

size_t Length(const WCHAR* text)
{
    size_t n = 0;
    while (text[n] != 0)
        n++;
    return n;
}

}  // namespace

int wcscmp(const WCHAR* a, const WCHAR* b)
{
    while (*a != 0 && *a == *b) {
        a++;
        b++;
    }
    return (int)*a - (int)*b;
}

int wcsncmp(const WCHAR* a, const WCHAR* b, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        if (a[i] != b[i])
            return (int)a[i] - (int)b[i];
        if (a[i] == 0)
            return 0;
    }
    return 0;
}

WCHAR* wcscpy(WCHAR* destination, const WCHAR* source)
{
    WCHAR* out = destination;
    while ((*out++ = *source++) != 0) {
    }
    return destination;
}

WCHAR* wcscat(WCHAR* destination, const WCHAR* source)
{
    wcscpy(destination + Length(destination), source);
    return destination;
}

size_t wcslen(const WCHAR* text)
{
    return Length(text);
}

const WCHAR* wcsstr(const WCHAR* text, const WCHAR* pattern)
{
    if (*pattern == 0)
        return text;
    for (; *text != 0; text++) {
        size_t i = 0;
        while (pattern[i] != 0 && text[i] == pattern[i])
            i++;
        if (pattern[i] == 0)
            return text;
    }
    return NULL;
}

WCHAR* wcsstr(WCHAR* text, const WCHAR* pattern)
{
    return const_cast<WCHAR*>(wcsstr((const WCHAR*)text, pattern));
}

const WCHAR* wcsrchr(const WCHAR* text, WCHAR c)
{
    const WCHAR* found = NULL;
    for (;; text++) {
        if (*text == c)
            found = text;
        if (*text == 0)
            return found;
    }
}

WCHAR* wcsrchr(WCHAR* text, WCHAR c)
{
    return const_cast<WCHAR*>(wcsrchr((const WCHAR*)text, c));
}

int wsprintfW(LPWSTR buffer, LPCWSTR format, ...)
{
    PlatformCall scope("wsprintfW");
    va_list args;
    va_start(args, format);
    WCHAR* out = buffer;
    for (const WCHAR* f = format; *f != 0; f++) {
        if (*f != u'%') {
            *out++ = *f;
            continue;
        }
        f++;
        if (*f == u'%') {
            *out++ = u'%';
        } else if (*f == u's') {
            for (const WCHAR* s = va_arg(args, const WCHAR*); *s != 0; s++)
                *out++ = *s;
        } else {
            Unmodelled("wsprintfW with a format other than %s");
        }
    }
    *out = 0;
    va_end(args);
    return (int)(out - buffer);
}
