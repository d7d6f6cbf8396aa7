// report_file.h: the report's text as it goes into its file: UTF-8, one line
// at a time, each text field escaped so that the scene reader gets back the
// same UTF-16; buffered, with the first failed write remembered.
#ifndef REPORT_FILE_H
#define REPORT_FILE_H

#include <windows.h>

const int kReportBufferBytes = 512;

struct ReportFile {
    HANDLE file;
    BOOL failed;  // a write failed or fell short: the file is not the report
    DWORD used;
    BYTE buffer[kReportBufferBytes];
};

void StartReport(ReportFile* out, HANDLE file);
// ASCII written as it is: keywords, separators, the report's own comments.
void PutAscii(ReportFile* out, const char* text);
// A text field: %XX for %, |, and control characters (line breaks among
// them), %uXXXX for each UTF-16 surrogate, paired or not; the rest as UTF-8.
void PutText(ReportFile* out, LPCWSTR text);
void PutNumber(ReportFile* out, LONG value);
// 0x and eight hex digits.
void PutHex(ReportFile* out, DWORD value);
void EndLine(ReportFile* out);
// Writes what is still buffered; TRUE when every byte reached the file.
BOOL FinishReport(ReportFile* out);

#endif
