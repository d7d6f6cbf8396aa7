// device_report.h: DeviceReport: what a Pocket PC shows (its system version,
// platform type, screen, top-level windows and hardware-button keys),
// written beside the program as a scene file that ce-run and the tables read.
#ifndef DEVICE_REPORT_H
#define DEVICE_REPORT_H

#include <windows.h>

// The wait before the report, so that the user can bring the window of
// interest forward: the command line's number of seconds, 0 to
// kMaxWaitSeconds, or kDefaultWaitSeconds for anything else.
const DWORD kDefaultWaitSeconds = 5;
const DWORD kMaxWaitSeconds = 60;

// At most this many subkeys of the button keys and values of each are read.
const DWORD kMaxKeysRead = 256;
const DWORD kMaxValuesRead = 64;

// Waits, beeps, writes DeviceReport.txt beside the program and says where
// in a message box. 0 when the report was written, 1 when it was not (the
// box says so, and no report or half-written file is left).
int RunDeviceReport(LPCWSTR commandLine);

#endif
