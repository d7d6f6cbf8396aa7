// report_file.cpp: encodes the report as escaped UTF-8 into a buffer and
// writes it out a buffer at a time. After the first failed or short write
// nothing more is written: the caller throws the file away.
#include "report_file.h"

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

void Flush(ReportFile* out)
{
    if (out->used == 0 || out->failed) {
        out->used = 0;
        return;
    }
    DWORD written = 0;
    if (!WriteFile(out->file, out->buffer, out->used, &written, NULL) || written != out->used)
        out->failed = TRUE;
    out->used = 0;
}

void PutByte(ReportFile* out, BYTE b)
{
    if (out->used == (DWORD)kReportBufferBytes)
        Flush(out);
    out->buffer[out->used++] = b;
}

// %XX for a character up to 0xFF, %uXXXX for one UTF-16 unit.
void PutEscape(ReportFile* out, WCHAR c, bool unit)
{
    PutByte(out, '%');
    if (unit) {
        PutByte(out, 'u');
        PutByte(out, (BYTE)kHexDigits[(c >> 12) & 0xF]);
        PutByte(out, (BYTE)kHexDigits[(c >> 8) & 0xF]);
    }
    PutByte(out, (BYTE)kHexDigits[(c >> 4) & 0xF]);
    PutByte(out, (BYTE)kHexDigits[c & 0xF]);
}

bool NeedsEscape(WCHAR c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == '%' || c == '|';
}

}  // namespace

void StartReport(ReportFile* out, HANDLE file)
{
    out->file = file;
    out->failed = FALSE;
    out->used = 0;
}

void PutAscii(ReportFile* out, const char* text)
{
    for (; *text != 0; text++)
        PutByte(out, (BYTE)*text);
}

// Surrogates are escaped one unit at a time, so a lone one survives too:
// UTF-8 has no form for it.
void PutText(ReportFile* out, LPCWSTR text)
{
    for (; *text != 0; text++) {
        const WCHAR c = *text;
        if (c >= 0xD800 && c <= 0xDFFF) {
            PutEscape(out, c, true);
        } else if (NeedsEscape(c)) {
            PutEscape(out, c, false);
        } else if (c < 0x80) {
            PutByte(out, (BYTE)c);
        } else if (c < 0x800) {
            PutByte(out, (BYTE)(0xC0 | (c >> 6)));
            PutByte(out, (BYTE)(0x80 | (c & 0x3F)));
        } else {
            PutByte(out, (BYTE)(0xE0 | (c >> 12)));
            PutByte(out, (BYTE)(0x80 | ((c >> 6) & 0x3F)));
            PutByte(out, (BYTE)(0x80 | (c & 0x3F)));
        }
    }
}

// Digit by digit against the powers of ten: no division, which the device
// CPUs do through helpers of their own.
void PutNumber(ReportFile* out, LONG value)
{
    static const DWORD kPowers[] = {1000000000, 100000000, 10000000, 1000000, 100000,
                                    10000,      1000,      100,      10,      1};
    // The magnitude in unsigned arithmetic, so the lowest LONG has one too.
    DWORD magnitude = (DWORD)value;
    if (value < 0) {
        PutByte(out, '-');
        magnitude = 0u - magnitude;
    }
    bool started = false;
    for (size_t i = 0; i < sizeof(kPowers) / sizeof(kPowers[0]); i++) {
        char digit = '0';
        while (magnitude >= kPowers[i]) {
            magnitude -= kPowers[i];
            digit++;
        }
        started = started || digit != '0' || kPowers[i] == 1;
        if (started)
            PutByte(out, (BYTE)digit);
    }
}

void PutHex(ReportFile* out, DWORD value)
{
    PutAscii(out, "0x");
    for (int shift = 28; shift >= 0; shift -= 4)
        PutByte(out, (BYTE)kHexDigits[(value >> shift) & 0xF]);
}

void EndLine(ReportFile* out)
{
    PutAscii(out, "\r\n");
}

BOOL FinishReport(ReportFile* out)
{
    Flush(out);
    return !out->failed;
}
