// device_way.cpp: finding, loading and running the device programs for the
// host tables.
#include "device_way.h"

#include <ctype.h>
#include <sys/stat.h>

const char kDeviceCloser[] = "closer/ForegroundDismisser.exe";
const char kDeviceAssigner[] = "assigner/KeyAssigner.exe";
const char kDeviceReport[] = "report/DeviceReport.exe";

namespace {

struct DeviceBuild {
    Way way;
    const char* name;  // the way's name and the build's preset is "ce-" + it
    const char* folder;
};

const DeviceBuild kDeviceBuilds[] = {
    {Way::kArm, "arm", CE_ARM_BUILD_DIR},
    {Way::kMips, "mips", CE_MIPS_BUILD_DIR},
    {Way::kSh3, "sh3", CE_SH3_BUILD_DIR},
};

const DeviceBuild* BuildOf(Way way)
{
    for (const DeviceBuild& b : kDeviceBuilds) {
        if (b.way == way)
            return &b;
    }
    return NULL;
}

bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

}  // namespace

std::vector<Way> DeviceWays()
{
    std::vector<Way> ways;
    for (const DeviceBuild& b : kDeviceBuilds) {
        if (b.way == Way::kArm || Exists(DeviceProgramPath(b.way, kDeviceCloser)))
            ways.push_back(b.way);
    }
    return ways;
}

std::vector<Way> Ways()
{
    std::vector<Way> ways = DeviceWays();
    ways.insert(ways.begin(), Way::kHost);
    return ways;
}

const char* WayName(Way way)
{
    const DeviceBuild* b = BuildOf(way);
    return b != NULL ? b->name : "host";
}

std::string DeviceProgramPath(Way way, const char* program)
{
    const DeviceBuild* b = BuildOf(way);
    return std::string(b != NULL ? b->folder : "(the host way has no device program)") + "/" +
           program;
}

::testing::AssertionResult LoadDeviceProgram(Way way, const char* program, ce::Runner* runner)
{
    const std::string path = DeviceProgramPath(way, program);
    if (!Exists(path))
        return ::testing::AssertionFailure()
               << path << " is missing: build the device programs first (cmake --preset ce-"
               << WayName(way) << " && cmake --build --preset ce-" << WayName(way) << ")";
    if (!runner->Load(path))
        return ::testing::AssertionFailure() << runner->Error();
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult RunDeviceProgram(Way way, const char* program,
                                            const char16_t* commandLine, int* status)
{
    ce::Runner runner;
    ::testing::AssertionResult loaded = LoadDeviceProgram(way, program, &runner);
    if (!loaded)
        return loaded;
    if (!runner.RunProgram(commandLine, status))
        return ::testing::AssertionFailure() << WayName(way) << " " << program << ": "
                                             << runner.Error();
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
