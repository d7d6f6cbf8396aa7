// device_way.h: runs a table's case more ways than the host build's: as
// each device build's own machine code (ARM, MIPS, SH-3) under the CE runner,
// against the same stand-in scene; the case's expected trace is the same
// every way.
#ifndef DEVICE_WAY_H
#define DEVICE_WAY_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ce_runner.h"
#include "handles.h"

enum class Way {
    kHost,  // the product code compiled for the host, called directly
    kArm,   // the ARM executables (build/ce-arm), instruction by instruction
    kMips,  // the MIPS executables (build/ce-mips), likewise
    kSh3,   // the SH-3 executables (build/ce-sh3), on qemu
};

// The host, ARM, and each other device build whose programs are there: ARM
// is always among them (its absence fails, saying how to build it); a
// device build not built leaves its way out.
std::vector<Way> Ways();
// The same without the host.
std::vector<Way> DeviceWays();

const char* WayName(Way way);

// Test names and failure messages show the way by its name.
inline void PrintTo(Way way, std::ostream* os)
{
    *os << WayName(way);
}

extern const char kDeviceCloser[];    // closer/ForegroundDismisser.exe
extern const char kDeviceAssigner[];  // assigner/KeyAssigner.exe
extern const char kDeviceReport[];    // report/DeviceReport.exe

// Full path of a device program in that way's build folder.
std::string DeviceProgramPath(Way way, const char* program);

// Loads a fresh copy of the program (a new process, as each press is) into
// *runner; fails, saying how to build it, when that build is missing.
::testing::AssertionResult LoadDeviceProgram(Way way, const char* program, ce::Runner* runner);

// Loads the program and runs it from its entry point with the command line.
::testing::AssertionResult RunDeviceProgram(Way way, const char* program,
                                            const char16_t* commandLine, int* status);

// Loads the program and calls one of its functions by name.
::testing::AssertionResult CallDeviceFunction(ce::Runner* runner, const std::string& name,
                                              const std::vector<uint32_t>& args,
                                              uint32_t* result);

// "name_of_case/host": test names from a case's description and a way.
std::string CaseName(const char* description, Way way);

// Test names for a (case, way) parameter: the case as its PrintTo shows it,
// then the way.
struct CaseOnWay {
    template <class Case>
    std::string operator()(const ::testing::TestParamInfo<std::tuple<Case, Way>>& info) const
    {
        return CaseName(::testing::PrintToString(std::get<0>(info.param)).c_str(), std::get<1>(info.param));
    }
};

// Runs every case of a table on every way.
#define INSTANTIATE_ON_EVERY_WAY(prefix, suite, cases)                                          \
    INSTANTIATE_TEST_SUITE_P(prefix, suite,                                                     \
                             ::testing::Combine(::testing::ValuesIn(cases), ::testing::ValuesIn(Ways())), \
                             CaseOnWay())

#endif
