// device_runner_test.cpp: the CE runner itself: a damaged or foreign program
// is refused with a message that names the culprit, one table per CPU, and
// every input of the windows fuzzer's corpus gives the same press, effect
// for effect, from the host build and from each device build's program.
#include <gtest/gtest.h>

#include <dirent.h>
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "close_command.h"
#include "device_way.h"
#include "standin.h"
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
    uint64_t offset = 0;
    EXPECT_TRUE(ce::ParsePeImage(file, &image, &error)) << error;
    EXPECT_TRUE(ce::FileOffset(image, image.entryRva, 4, &offset)) << "entry point outside the sections";
    return (size_t)offset;
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
int32_t StubFromEntry(Way way, const std::string& import)
{
    uint32_t entry = 0, stub = 0;
    for (const ce::Symbol& s : ce::ReadSymbols(DeviceProgramPath(way, kDeviceCloser))) {
        if (s.name == "WinMainCRTStartup")
            entry = s.address;
        if (s.name == import)
            stub = s.address;
    }
    EXPECT_TRUE(entry != 0 && stub != 0) << import << " in the " << WayName(way) << " program";
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
                   ((uint32_t)((StubFromEntry(Way::kArm, "GetWindowTextW") - (at + 8)) / 4) & 0x00FFFFFFu);
        PutU32(file, entry + at, word);
    }
}

// Loads and runs a damaged copy of the way's ForegroundDismisser.exe for
// each damage under a fresh scene, and expects the runner's refusal: at load
// or when it runs, with a message holding the damage's.
void ExpectRefusals(Way way, const std::vector<Damage>& damages)
{
    const std::vector<Way> ways = DeviceWays();
    if (std::find(ways.begin(), ways.end(), way) == ways.end())
        GTEST_SKIP() << "the ce-" << WayName(way) << " build is not there";
    const std::string program = DeviceProgramPath(way, kDeviceCloser);
    const std::vector<uint8_t> original = ReadFile(program);
    ASSERT_FALSE(original.empty()) << "build the ce-" << WayName(way) << " preset first";
    // Per process: other suites may run this test at the same time.
    const std::string path = ::testing::TempDir() + "damaged." + std::to_string(getpid()) + ".exe";
    WriteFile(ce::SymbolsPath(path), ReadFile(ce::SymbolsPath(program)));
    for (const Damage& d : damages) {
        std::vector<uint8_t> file = original;
        d.apply(&file);
        WriteFile(path, file);
        standin::Reset();
        ce::Runner runner;
        const bool loaded = runner.Load(path);
        int status = 0;
        EXPECT_EQ(d.failsAtLoad, !loaded) << d.what << ": " << runner.Error();
        EXPECT_FALSE(loaded && runner.RunProgram(NULL, &status)) << d.what << ": ran to its end, status "
                                                                 << status;
        EXPECT_NE(std::string::npos, runner.Error().find(d.message))
            << d.what << ": the runner said: " << runner.Error();
    }
    remove(path.c_str());
    remove(ce::SymbolsPath(path).c_str());
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
        // What CE's caller keeps: r4-r11 and sp come back as it left them.
        {"r4 not kept for the caller",
         [](std::vector<uint8_t>* f) { PatchWinMain(f, {0xE3A04000, 0xE1A0F00E}); },  // mov r4, #0; mov pc, lr
         false, "0x00011000 (WinMainCRTStartup) returned with r4 changed"},
        {"sp not given back",
         [](std::vector<uint8_t>* f) { PatchWinMain(f, {0xE24DD008, 0xE1A0F00E}); },  // sub sp, sp, #8; mov pc, lr
         false, "returned with sp changed"},
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
        {"s0 not kept for the caller",
         [](std::vector<uint8_t>* f) { PatchMipsEntry(f, {0x00008021, 0x03E00008, 0}); },  // move s0, zero; jr ra; nop
         false, "0x00011000 (WinMainCRTStartup) returned with s0 changed"},
    };
    ExpectRefusals(Way::kMips, damages);
}

// SH instructions written over the entry point; kBsrImport becomes "bsr" to
// the program's GetForegroundWindow stub (its delay slot is the next one).
const uint16_t kBsrImport = 0xFFFF;

std::function<void(std::vector<uint8_t>*)> Sh(const std::vector<uint16_t>& code)
{
    return [code](std::vector<uint8_t>* file) {
        const size_t entry = EntryOffset(*file);
        const int32_t stub = StubFromEntry(Way::kSh3, "GetForegroundWindow");
        for (size_t i = 0; i < code.size(); i++) {
            const uint16_t op = code[i] != kBsrImport
                                    ? code[i]
                                    : (uint16_t)(0xB000 | (((stub - 2 * (int32_t)i - 4) / 2) & 0x0FFF));
            (*file)[entry + 2 * i] = (uint8_t)op;
            (*file)[entry + 2 * i + 1] = (uint8_t)(op >> 8);
        }
    };
}

// On SH-3 each damage does one thing a device punishes, and the run must end
// naming the instruction.
TEST(CeRunner, RefusesDamagedSh3ProgramsNamingTheInstruction)
{
    const std::vector<Damage> damages = {
        // r4 holds the instance, 0x10000: one byte past it is no word.
        {"a misaligned word read", Sh({0x7401, 0x6042}), false,
         "misaligned access by the instruction 6042"},
        // r15 = 0x800000, far below the stack: the push lands on no page.
        {"a push below the stack", Sh({0xEF01, 0x4F28, 0x4F08, 0x4F08, 0x4F08, 0x4F00, 0x2F06}), false,
         "unmapped or protected memory by the instruction 2f06"},
        // r15 = 0xCF1000, the top of the last page of the 64 KB reserve
        // below 0xD00000, in one step: the push (the seventh instruction,
        // at the entry + 12) skips the guard page under the top one.
        {"a push far below the guard page", Sh({0xEF67, 0x4F00, 0x7F01, 0x4F18, 0x7F10, 0x4F18, 0x2F06}),
         false, "access to 0x00cf0ffc, below the stack's guard page at 0x00cfe000, by the instruction "
                "2f06 at 0x0001100c"},
        // r15 -= 0x2000, then a push: a frame over a page.
        {"a frame over a page", Sh({0xE120, 0x4118, 0x3F18, 0x2F06}), false,
         "below the stack's guard page at 0x00cfe000, by the instruction 2f06"},
        // Pushes for ever: the stack grows a page at a time, through every
        // guard page, until the guard is the reserve's last page.
        {"a descent page by page through the whole reserve", Sh({0x2F06, 0xAFFD, 0x0009}), false,
         "in the last page of the stack's 65536-byte reserve, by the instruction 2f06"},
        {"a write to the read-only headers", Sh({0x2402}), false,
         "unmapped or protected memory by the instruction 2402"},
        {"an undefined instruction", Sh({0xFFFD}), false, "rejects the instruction fffd"},
        // r6 holds a good address before the call; CE's callee may leave
        // anything in r1-r7, so reading through r6 after it must fail.
        {"r6 trusted across an import", Sh({0x6643, kBsrImport, 0x0009, 0x6062}), false,
         "unmapped or protected memory by the instruction 6062"},
        // mov #0, r13; rts; nop: the entry gives CE's loader back a changed r13.
        {"r13 not kept for the caller", Sh({0xED00, 0x000B, 0x0009}), false,
         "returned with r13 changed"},
    };
    ExpectRefusals(Way::kSh3, damages);
}

// The untouched program under the same runner, on every CPU: the damage
// above is what each failure comes from.
TEST(CeRunner, TheUntouchedProgramRunsToItsEnd)
{
    for (Way way : DeviceWays()) {
        standin::Reset();
        int status = -1;
        EXPECT_TRUE(RunDeviceProgram(way, kDeviceCloser, NULL, &status));
        EXPECT_EQ(1, status) << WayName(way);  // nothing in front: nothing to close
    }
}

// ---- Host and device agree on every corpus input ---------------------------

struct Press {
    int status = -1;
    std::vector<standin::TraceEntry> trace;
};

// The trace with each window named by its place in the scene, so that two
// runs over scenes built alike compare equal.
std::string Normalised(const Press& press, const std::vector<HWND>& windows)
{
    std::string out = "status " + std::to_string(press.status) + "\n";
    for (standin::TraceEntry e : press.trace) {
        auto it = std::find(windows.begin(), windows.end(), e.window);
        e.window = it == windows.end() ? e.window : (HWND)(uintptr_t)(0xA000 + (it - windows.begin()));
        out += standin::Describe(e) + " text " + standin::Narrow(e.text1) + "|" + standin::Narrow(e.text2) +
               " bytes " + std::to_string(e.bytes.size()) + "\n";
    }
    return out;
}

std::string PressOnce(const std::vector<uint8_t>& input, Way way)
{
    standin::Reset();
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
    press.trace = standin::Trace();
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
