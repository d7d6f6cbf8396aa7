// device_run.h: runs a device program under the CE runner over the scene the
// stand-in holds, and reports it: in full (every system call as the program
// made it, every effect on the device, the exit status) or, for the demo, in
// short (the window in front, the effects in words, the exit status and the
// instruction count) with the full report in a file.
#ifndef DEVICE_RUN_H
#define DEVICE_RUN_H

#include <windows.h>

#include <functional>
#include <string>

// How the report names a window of the scene.
typedef std::function<std::string(HWND)> WindowNamer;

// Loads the program, runs it from its entry point with the arguments and
// reports it. Without fullReportPath the full report goes to stdout; with it,
// the full report goes to that file and the short one to stdout. False, with
// "tool: the runner's message" on stderr, when the runner refuses the program,
// the run fails or the file cannot be written.
bool RunAndReport(const char* tool, const std::string& exePath, const std::string& arguments,
                  const WindowNamer& nameOf, const char* fullReportPath = NULL);

#endif
