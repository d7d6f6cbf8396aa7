// device_runner_test.cpp: the CE runner itself: a damaged or foreign program
// is refused with a message that names the culprit, on each CPU, and every
// input of the windows fuzzer's corpus gives the same press, effect for
// effect, from the host build and from each device build's program.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "close_command.h"
#include "device_way.h"
#include "host_scene.h"
#include "pe_image.h"
#include "windows_scene.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary).write((const char*)bytes.data(), bytes.size());
}

void PutU32(std::vector<uint8_t>* bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; i++)
        (*bytes)[at + i] = (uint8_t)(value >> (8 * i));
}

// The file offset of the entry point's first instruction.
size_t EntryOffset(const std::vector<uint8_t>& file)
{
    ce::PeImage image;
    std::string error;
    EXPECT_TRUE(ce::ParsePeImage(file, &image, &error)) << error;
    for (const ce::PeSection& s : image.sections) {
        if (image.entryRva >= s.rva && image.entryRva < s.rva + s.rawSize)
            return s.rawOffset + (image.entryRva - s.rva);
    }
    ADD_FAILURE() << "entry point outside the sections";
    return 0;
}

// How a copy of ForegroundDismisser.exe is damaged, and what the runner
// must then say: at load, or when the damaged code runs.
struct Damage {
    const char* what;
    std::function<void(std::vector<uint8_t>*)> apply;
    bool failsAtLoad;
    const char* message;
};

void Rename(std::vector<uint8_t>* file, const std::string& from, const std::string& to)
{
    const std::string needle = from + '\0';
    auto it = std::search(file->begin(), file->end(), needle.begin(), needle.end());
    ASSERT_NE(file->end(), it) << from;
    std::copy(to.begin(), to.end(), it);
}

// Replaces the entry point's first instruction.
void PatchEntry(std::vector<uint8_t>* file, uint32_t instruction)
{
    PutU32(file, EntryOffset(*file), instruction);
}

// Replaces WinMain's first instructions, reached by the entry's branch. A
// word kCallImport becomes "bl" to the program's own GetForegroundWindow
// stub, so that the words after it run on what an import returns;
// kCallGetWindowText to its GetWindowTextW stub.
const uint32_t kCallImport = 0xFFFFFFFF;
const uint32_t kCallGetWindowText = 0xFFFFFFFE;

// Where the program's call stub for an import sits, from its entry point in
// bytes, as its symbols list it.
int32_t StubFromEntry(const std::string& import)
{
    std::string symbols = DeviceProgramPath(Way::kArm, kDeviceCloser);
    symbols.replace(symbols.size() - 4, 4, ".syms");
    std::ifstream in(symbols);
    std::string address, size, type, name;
    uint32_t entry = 0, stub = 0;
    while (in >> address >> size >> type && std::getline(in >> std::ws, name)) {
        if (name == "WinMainCRTStartup")
            entry = (uint32_t)strtoul(address.c_str(), NULL, 16);
        if (name == import)
            stub = (uint32_t)strtoul(address.c_str(), NULL, 16);
    }
    EXPECT_TRUE(entry != 0 && stub != 0) << import << " in " << symbols;
    return (int32_t)(stub - entry);
}

void PatchWinMain(std::vector<uint8_t>* file, const std::vector<uint32_t>& words)
{
    const size_t entry = EntryOffset(*file);
    const uint32_t branch = (uint32_t)(*file)[entry] | (uint32_t)(*file)[entry + 1] << 8 |
                            (uint32_t)(*file)[entry + 2] << 16;
    ASSERT_EQ(0xEAu, (*file)[entry + 3]) << "the entry point should be one branch";
    const int32_t winMain = 8 + (int32_t)(branch << 8) / 64;  // from the entry, in bytes
    // The stub sits right after the entry, as the symbols list it.
    const int32_t stub = 4;
    for (size_t i = 0; i < words.size(); i++) {
        uint32_t word = words[i];
        const int32_t at = winMain + 4 * (int32_t)i;
        if (word == kCallImport)
            word = 0xEB000000u | ((uint32_t)((stub - (at + 8)) / 4) & 0x00FFFFFFu);
        if (word == kCallGetWindowText)
            word = 0xEB000000u |
                   ((uint32_t)((StubFromEntry("GetWindowTextW") - (at + 8)) / 4) & 0x00FFFFFFu);
        PutU32(file, entry + at, word);
    }
}

// Loads and runs a damaged copy of the way's ForegroundDismisser.exe for
// each damage and expects the runner's refusal.
void ExpectRefusals(Way way, const std::vector<Damage>& damages)
{
    const std::vector<uint8_t> original = ReadFile(DeviceProgramPath(way, kDeviceCloser));
    ASSERT_FALSE(original.empty()) << "build the ce-" << WayName(way) << " preset first";
    // Per process: other suites may run this test at the same time.
    const std::string stem = ::testing::TempDir() + "damaged." + std::to_string(getpid());
    const std::string path = stem + ".exe";
    const std::string symbols = stem + ".syms";
    std::string original_symbols = DeviceProgramPath(way, kDeviceCloser);
    original_symbols.replace(original_symbols.size() - 4, 4, ".syms");
    WriteFile(symbols, ReadFile(original_symbols));
    for (const Damage& d : damages) {
        std::vector<uint8_t> file = original;
        d.apply(&file);
        EXPECT_TRUE(RefusesDamagedCopy(path, file, d.failsAtLoad, d.message)) << d.what;
    }
    remove(path.c_str());
    remove(symbols.c_str());
}

TEST(CeRunner, RefusesDamagedProgramsNamingTheCulprit)
{
    const std::vector<Damage> damages = {
        {"an import the runner does not know",
         [](std::vector<uint8_t>* f) { Rename(f, "Sleep", "Sleex"); }, true,
         "import Sleex from COREDLL.dll is unknown to the runner"},
        {"a desktop machine type", [](std::vector<uint8_t>* f) { (*f)[(*f)[0x3C] + 4] = 0x64; },
         true, "is not ARM"},
        {"cut after its headers", [](std::vector<uint8_t>* f) { f->resize(0x300); }, true,
         "runs past the end of the file"},
        {"no PE signature", [](std::vector<uint8_t>* f) { (*f)[(*f)[0x3C]] = 'X'; }, true,
         "no PE signature"},
        {"bx lr, which ARMv4 lacks", [](std::vector<uint8_t>* f) { PatchEntry(f, 0xE12FFF1E); },
         false, "SA-1110 (ARMv4) rejects the instruction 0xe12fff1e at 0x00011000 (WinMainCRTStartup)"},
        {"a read through the NULL command line",
         [](std::vector<uint8_t>* f) { PatchEntry(f, 0xE5920000); },  // ldr r0, [r2]
         false, "read of unmapped memory at 0x00000000"},
        {"a write into the headers",
         [](std::vector<uint8_t>* f) { PatchEntry(f, 0xE5800000); },  // str r0, [r0]
         false, "write to read-only memory at 0x00010000"},
        {"a jump to address 0", [](std::vector<uint8_t>* f) { PatchEntry(f, 0xE3A0F000); },
         false, "jumped to address 0"},  // mov pc, #0

        // What a device faults on and a lenient emulator lets pass.
        {"a misaligned word read",
         [](std::vector<uint8_t>* f) { PatchEntry(f, 0xE5901001); },  // ldr r1, [r0, #1]
         false, "misaligned 4-byte read of 0x00010001 by the instruction 0xe5901001 at "
                "0x00011000 (WinMainCRTStartup)"},
        {"a misaligned halfword read",
         [](std::vector<uint8_t>* f) { PatchEntry(f, 0xE1D010B1); },  // ldrh r1, [r0, #1]
         false, "misaligned 2-byte read of 0x00010001"},
        {"a misaligned word write to the stack",
         [](std::vector<uint8_t>* f) { PatchEntry(f, 0xE50D0003); },  // str r0, [sp, #-3]
         false, "misaligned 4-byte write to"},
        {"r1 relied on across an import",
         [](std::vector<uint8_t>* f) {
             PatchWinMain(f, {0xE1A01000,      // mov r1, r0 (the instance, readable)
                              kCallImport,     // bl GetForegroundWindow
                              0xE5910000});    // ldr r0, [r1]
         },
         false, "read of unmapped memory at 0xbad1bad0"},
        {"the flags relied on across an import",
         [](std::vector<uint8_t>* f) {
             PatchWinMain(f, {0xE1500000,      // cmp r0, r0 (Z set)
                              kCallImport,     // bl GetForegroundWindow
                              0x13A0F000});    // movne pc, #0
         },
         false, "jumped to address 0"},
        // The stack: the top page committed, the next one down the guard.
        {"a frame over a page that skips the guard page",
         [](std::vector<uint8_t>* f) {
             PatchWinMain(f, {0xE24DDA02,      // sub sp, sp, #0x2000
                              0xE58D0000});    // str r0, [sp]
         },
         false, "write to 0x00cfdfc0, below the stack's guard page at 0x00cfe000, by the "
                "instruction 0xe58d0000 at "},
        {"a stack grown a page at a time past its reserve",
         [](std::vector<uint8_t>* f) {
             PatchWinMain(f, {0xE24DDA01,      // sub sp, sp, #0x1000
                              0xE58D0000,      // str r0, [sp]
                              0xEAFFFFFC});    // b back to the sub
         },
         false, "write to 0x00cf0fc0, in the last page of the stack's 65536-byte reserve, by the "
                "instruction 0xe58d0000 at "},
        {"a call's buffer below the guard page",
         [](std::vector<uint8_t>* f) {
             PatchWinMain(f, {0xE24DDA02,            // sub sp, sp, #0x2000
                              0xE1A0100D,            // mov r1, sp
                              0xE3A02010,            // mov r2, #16
                              kCallGetWindowText});  // bl GetWindowTextW
         },
         false, "the system's access to 0x00cfdfc0 lies below the stack's guard page at 0x00cfe000"},
    };
    ExpectRefusals(Way::kArm, damages);
}

// The MIPS entry point is "j WinMain; nop", the import stubs follow it, 16
// bytes each; words written over the entry may run into the first stub, and
// kCallImport becomes "jal" to the second (SetForegroundWindow's).
void PatchMipsEntry(std::vector<uint8_t>* file, const std::vector<uint32_t>& words)
{
    const size_t entry = EntryOffset(*file);
    const uint32_t stub = 0x11000 + 0x18;  // the entry sits at the start of .text
    ASSERT_EQ(0x08u, (*file)[entry + 3] & 0xFCu) << "the entry point should be one jump";
    ASSERT_LE(words.size(), 6u);
    for (size_t i = 0; i < words.size(); i++)
        PutU32(file, entry + 4 * i, words[i] == kCallImport ? 0x0C000000u | stub >> 2 : words[i]);
}

TEST(CeRunner, RefusesDamagedMipsProgramsNamingTheCulprit)
{
    const std::vector<Way> ways = DeviceWays();
    if (std::find(ways.begin(), ways.end(), Way::kMips) == ways.end())
        GTEST_SKIP() << "the ce-mips build is not there";
    const std::vector<Damage> damages = {
        {"a MIPS32 multiply, which the VR41xx lacks",
         [](std::vector<uint8_t>* f) { PatchMipsEntry(f, {0x70851002}); },  // mul v0, a0, a1
         false, "VR41xx (MIPS II) has no such instruction: 0x70851002, a MIPS32 instruction "
                "(mul, madd, clz), at 0x00011000 (WinMainCRTStartup)"},
        {"a conditional move, which the VR41xx lacks",
         [](std::vector<uint8_t>* f) { PatchMipsEntry(f, {0x0085100B}); },  // movn v0, a0, a1
         false, "0x0085100b, a conditional move (MIPS IV)"},
        {"signed division, wrong on the VR4120 core",
         [](std::vector<uint8_t>* f) { PatchMipsEntry(f, {0x0085001A}); },  // div a0, a1
         false, "signed div"},
        {"a misaligned word read",
         [](std::vector<uint8_t>* f) { PatchMipsEntry(f, {0x8C830001}); },  // lw v1, 1(a0)
         false, "misaligned 4-byte read of 0x00010001 by the instruction 0x8c830001 at "
                "0x00011000 (WinMainCRTStartup)"},
        {"a misaligned halfword write to the stack",
         [](std::vector<uint8_t>* f) { PatchMipsEntry(f, {0xA7A0FFFD}); },  // sh zero, -3(sp)
         false, "misaligned 2-byte write to"},
        {"t0 relied on across an import",
         [](std::vector<uint8_t>* f) {
             PatchMipsEntry(f, {0x00804021,     // move t0, a0 (the instance, readable)
                                kCallImport,    // jal SetForegroundWindow
                                0x00000000,     // nop
                                0x8D020000});   // lw v0, 0(t0)
         },
         false, "read of unmapped memory at 0xbad00"},
        {"hi relied on across an import",
         [](std::vector<uint8_t>* f) {
             PatchMipsEntry(f, {0x00800011,     // mthi a0
                                kCallImport,    // jal SetForegroundWindow
                                0x00000000,     // nop
                                0x00004810,     // mfhi t1
                                0x8D220000});   // lw v0, 0(t1)
         },
         false, "read of unmapped memory at 0xbad00"},
    };
    ExpectRefusals(Way::kMips, damages);
}

// ---- Host and device agree on every corpus input ---------------------------

struct Press {
    int status = -1;
    std::vector<host::TraceEntry> trace;
};

// The trace with each window named by its place in the scene, so that two
// runs over scenes built alike compare equal.
std::string Normalised(const Press& press, const std::vector<HWND>& windows)
{
    std::string out = "status " + std::to_string(press.status) + "\n";
    for (host::TraceEntry e : press.trace) {
        auto it = std::find(windows.begin(), windows.end(), e.window);
        e.window = it == windows.end() ? e.window : (HWND)(uintptr_t)(0xA000 + (it - windows.begin()));
        out += host::Describe(e) + " text " + host::Narrow(e.text1) + "|" + host::Narrow(e.text2) +
               " bytes " + std::to_string(e.bytes.size()) + "\n";
    }
    return out;
}

std::string PressOnce(const std::vector<uint8_t>& input, Way way)
{
    host::Reset();
    FuzzedDataProvider in(input.data(), input.size());
    const WindowsScene scene = BuildWindowsScene(in);
    Press press;
    if (way == Way::kHost) {
        press.status = RunCloseCommand(scene.commandLine.c_str());
    } else {
        ce::Runner runner;
        EXPECT_TRUE(LoadDeviceProgram(way, kDeviceCloser, &runner));
        EXPECT_TRUE(runner.RunProgram(scene.commandLine.c_str(), &press.status)) << runner.Error();
    }
    press.trace = host::Trace();
    return Normalised(press, scene.windows);
}

TEST(CeRunner, CorpusPressesAgreeOnHostAndDevice)
{
    const std::string corpus = std::string(WINDOWS_CORPUS_DIR);
    DIR* dir = opendir(corpus.c_str());
    ASSERT_NE(nullptr, dir) << corpus;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            names.push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    ASSERT_GT(names.size(), 100u) << "the corpus should hold the fuzzer's seeds";

    int compared = 0;
    const std::vector<Way> devices = DeviceWays();
    for (const std::string& name : names) {
        const std::vector<uint8_t> input = ReadFile(corpus + "/" + name);
        const std::string host = PressOnce(input, Way::kHost);
        for (Way way : devices)
            EXPECT_EQ(host, PressOnce(input, way)) << "corpus input " << name << " on " << WayName(way);
        compared++;
        if (::testing::Test::HasFailure())
            break;
    }
    std::string on = "host";
    for (Way way : devices)
        on += std::string(", ") + WayName(way);
    printf("%d corpus inputs pressed on %s\n", compared, on.c_str());
}

}  // namespace
