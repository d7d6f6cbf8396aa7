// device_run.h: runs a device program under the CE runner over the scene the
// stand-in holds, and prints what a person wants to see of it: every system
// call as the program made it, every effect on the device, the exit status.
#ifndef DEVICE_RUN_H
#define DEVICE_RUN_H

#include <windows.h>

#include <functional>
#include <string>

// How the report names a window of the scene.
typedef std::function<std::string(HWND)> WindowNamer;

// UTF-8 text (arguments, scene files) as UTF-16.
std::u16string WidenUtf8(const std::string& text);

// Loads the program, runs it from its entry point with the arguments and
// prints the report on stdout. False, with "tool: the runner's message" on
// stderr, when the runner refuses the program or the run fails.
bool RunAndReport(const char* tool, const std::string& exePath, const std::string& arguments,
                  const WindowNamer& nameOf);

#endif
