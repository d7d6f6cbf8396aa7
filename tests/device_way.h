// device_way.h: runs a table's case a second way, as the device build's own
// ARM code under the CE runner, against the same stand-in scene; the case's
// expected trace is the same either way.
#ifndef DEVICE_WAY_H
#define DEVICE_WAY_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce_runner.h"

enum class Way {
    kHost,    // the product code compiled for the host, called directly
    kDevice,  // the ARM executable, instruction by instruction
};

const Way kBothWays[] = {Way::kHost, Way::kDevice};

inline const char* WayName(Way way)
{
    return way == Way::kHost ? "host" : "device";
}

// Test names and failure messages show the way by its name.
inline void PrintTo(Way way, std::ostream* os)
{
    *os << WayName(way);
}

extern const char kDeviceCloser[];    // closer/ForegroundDismisser.exe
extern const char kDeviceAssigner[];  // assigner/KeyAssigner.exe

// Full path of a device program in the ce-arm build folder.
std::string DeviceProgramPath(const char* program);

// Loads a fresh copy of the program (a new process, as each press is) into
// *runner; fails, saying how to build it, when the ce-arm build is missing.
::testing::AssertionResult LoadDeviceProgram(const char* program, ce::Runner* runner);

// Loads the program and runs it from its entry point with the command line.
::testing::AssertionResult RunDeviceProgram(const char* program, const char16_t* commandLine,
                                            int* status);

// Loads the program and calls one of its functions by name.
::testing::AssertionResult CallDeviceFunction(ce::Runner* runner, const std::string& name,
                                              const std::vector<uint32_t>& args,
                                              uint32_t* result);

// "name_of_case/host": test names from a case's description and a way.
std::string CaseName(const char* description, Way way);

#endif
