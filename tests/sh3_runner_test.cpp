// sh3_runner_test.cpp: the CE runner as strict as an SH-3 device. Copies of
// the SH-3 ForegroundDismisser.exe get a few instructions of their own at the
// entry point, each doing one thing a device punishes, and the run must end
// naming the instruction. The tables themselves run on this build as their
// sh3 way (device_way.h).
#include <gtest/gtest.h>

#include <stdio.h>
#include <unistd.h>

#include <algorithm>

#include <fstream>
#include <iterator>
#include <sstream>

#include "ce_runner.h"
#include "device_way.h"
#include "host_scene.h"
#include "pe_image.h"

namespace {

// The program's path without ".exe".
std::string Program()
{
    const std::string exe = DeviceProgramPath(Way::kSh3, kDeviceCloser);
    return exe.substr(0, exe.size() - 4);
}

bool Sh3Built()
{
    const std::vector<Way> ways = DeviceWays();
    return std::find(ways.begin(), ways.end(), Way::kSh3) != ways.end();
}

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), bytes.size());
}

// The address of a symbol in the program, from NAME.syms.
uint32_t SymbolAddress(const std::string& name)
{
    std::ifstream in(Program() + ".syms");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string address, size, type, symbol;
        if (fields >> address >> size >> type >> symbol && symbol == name)
            return (uint32_t)strtoul(address.c_str(), NULL, 16);
    }
    ADD_FAILURE() << name << " is not in " << Program() << ".syms";
    return 0;
}

// A word kCallImport becomes "bsr" to the program's GetForegroundWindow stub
// (its delay slot is the next halfword).
const uint16_t kCallImport = 0xFFFF;

struct Damage {
    const char* what;
    std::vector<uint16_t> code;  // SH instructions written over the entry point
    const char* message;
};

TEST(CeRunnerSh3, DamagedCopiesEndTheRunNamingTheInstruction)
{
    if (!Sh3Built())
        GTEST_SKIP() << "the ce-sh3 build is not there";
    const std::vector<uint8_t> original = ReadFile(Program() + ".exe");
    ASSERT_FALSE(original.empty()) << "build the ce-sh3 preset first";
    ce::PeImage image;
    std::string error;
    ASSERT_TRUE(ce::ParsePeImage(original, &image, &error)) << error;
    size_t entry = 0;
    for (const ce::PeSection& s : image.sections) {
        if (image.entryRva >= s.rva && image.entryRva < s.rva + s.rawSize)
            entry = s.rawOffset + (image.entryRva - s.rva);
    }
    ASSERT_NE(0u, entry);
    const uint32_t entryAddress = image.imageBase + image.entryRva;
    const uint32_t stub = SymbolAddress("GetForegroundWindow");

    const Damage damages[] = {
        // r4 holds the instance, 0x10000: one byte past it is no word.
        {"a misaligned word read", {0x7401, 0x6042}, "misaligned access by the instruction 6042"},
        // r15 = 0x800000, far below the stack: the push lands on no page.
        {"a push below the stack",
         {0xEF01, 0x4F28, 0x4F08, 0x4F08, 0x4F08, 0x4F00, 0x2F06},
         "unmapped or protected memory by the instruction 2f06"},
        // r15 = 0xCF1000, the top of the last page of the 64 KB reserve
        // below 0xD00000, in one step: the push (the seventh instruction,
        // at the entry + 12) skips the guard page under the top one.
        {"a push far below the guard page",
         {0xEF67, 0x4F00, 0x7F01, 0x4F18, 0x7F10, 0x4F18, 0x2F06},
         "access to 0x00cf0ffc, below the stack's guard page at 0x00cfe000, by the instruction "
         "2f06 at 0x0001100c"},
        // r15 -= 0x2000, then a push: a frame over a page.
        {"a frame over a page", {0xE120, 0x4118, 0x3F18, 0x2F06},
         "below the stack's guard page at 0x00cfe000, by the instruction 2f06"},
        // Pushes for ever: the stack grows a page at a time, through every
        // guard page, until the guard is the reserve's last page.
        {"a descent page by page through the whole reserve", {0x2F06, 0xAFFD, 0x0009},
         "in the last page of the stack's 65536-byte reserve, by the instruction 2f06"},
        {"a write to the read-only headers", {0x2402}, "unmapped or protected memory by the instruction 2402"},
        {"an undefined instruction", {0xFFFD}, "rejects the instruction fffd"},
        // r6 holds a good address before the call; CE's callee may leave
        // anything in r1-r7, so reading through r6 after it must fail.
        {"r6 trusted across an import", {0x6643, kCallImport, 0x0009, 0x6062},
         "unmapped or protected memory by the instruction 6062"},
        // mov #0, r13; rts; nop: the entry gives CE's loader back a changed r13.
        {"r13 not kept for the caller", {0xED00, 0x000B, 0x0009}, "returned with r13 changed"},
    };
    // Per process: other suites may run this test at the same time.
    const std::string stem = ::testing::TempDir() + "sh3-damaged." + std::to_string(getpid());
    const std::string path = stem + ".exe";
    const std::string symbols = stem + ".syms";
    WriteFile(symbols, ReadFile(Program() + ".syms"));
    for (const Damage& d : damages) {
        std::vector<uint8_t> file = original;
        for (size_t i = 0; i < d.code.size(); i++) {
            uint16_t op = d.code[i];
            if (op == kCallImport)
                op = (uint16_t)(0xB000 | (((stub - (entryAddress + 2 * i + 4)) / 2) & 0x0FFF));
            file[entry + 2 * i] = (uint8_t)op;
            file[entry + 2 * i + 1] = (uint8_t)(op >> 8);
        }
        EXPECT_TRUE(RefusesDamagedCopy(path, file, false, d.message)) << d.what;
    }
    remove(path.c_str());
    remove(symbols.c_str());
}

// The untouched program under the same runner: the damage above is what
// each failure comes from.
TEST(CeRunnerSh3, TheUntouchedProgramRunsToItsEnd)
{
    if (!Sh3Built())
        GTEST_SKIP() << "the ce-sh3 build is not there";
    host::Reset();
    ce::Runner runner;
    ASSERT_TRUE(runner.Load(Program() + ".exe")) << runner.Error();
    int status = -1;
    EXPECT_TRUE(runner.RunProgram(NULL, &status)) << runner.Error();
    EXPECT_EQ(1, status);  // nothing in front: nothing to close
}

}  // namespace
