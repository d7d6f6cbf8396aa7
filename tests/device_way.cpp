// device_way.cpp: finding, loading and running the device programs for the
// host tables.
#include "device_way.h"

#include <ctype.h>
#include <stdlib.h>
#include <sys/stat.h>

const char kDeviceCloser[] = "closer/ForegroundDismisser.exe";
const char kDeviceAssigner[] = "assigner/KeyAssigner.exe";

std::string DeviceProgramPath(const char* program)
{
    // CE_DEVICE_BUILD names another device build (build/ce-sh3) to run
    // every table's device way on that CPU instead.
    const char* other = getenv("CE_DEVICE_BUILD");
    return std::string(other != NULL && *other != 0 ? other : CE_ARM_BUILD_DIR) + "/" + program;
}

::testing::AssertionResult LoadDeviceProgram(const char* program, ce::Runner* runner)
{
    const std::string path = DeviceProgramPath(program);
    struct stat info;
    if (stat(path.c_str(), &info) != 0)
        return ::testing::AssertionFailure()
               << path << " is missing: build the device programs first "
               << (getenv("CE_DEVICE_BUILD") ? "(the build CE_DEVICE_BUILD names)"
                                              : "(cmake --preset ce-arm && cmake --build --preset ce-arm)");
    if (!runner->Load(path))
        return ::testing::AssertionFailure() << runner->Error();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RunDeviceProgram(const char* program, const char16_t* commandLine,
                                            int* status)
{
    ce::Runner runner;
    ::testing::AssertionResult loaded = LoadDeviceProgram(program, &runner);
    if (!loaded)
        return loaded;
    if (!runner.RunProgram(commandLine, status))
        return ::testing::AssertionFailure() << program << ": " << runner.Error();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CallDeviceFunction(ce::Runner* runner, const std::string& name,
                                              const std::vector<uint32_t>& args,
                                              uint32_t* result)
{
    if (!runner->CallFunction(name, args, result))
        return ::testing::AssertionFailure() << name << ": " << runner->Error();
    return ::testing::AssertionSuccess();
}

std::string CaseName(const char* description, Way way)
{
    std::string name;
    for (const char* p = description; *p != 0; p++)
        name += isalnum((unsigned char)*p) ? *p : '_';
    return name + "_" + WayName(way);
}
