// device_run.cpp: one run of a device program, reported as calls, effects
// and exit status.
#include "device_run.h"

#include <stdio.h>

#include <string>

#include "ce_runner.h"
#include "host_scene.h"

std::u16string WidenUtf8(const std::string& text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = (unsigned char)text[i];
        uint32_t code = c;
        int extra = 0;
        if (c >= 0xF0) {
            code = c & 0x07;
            extra = 3;
        } else if (c >= 0xE0) {
            code = c & 0x0F;
            extra = 2;
        } else if (c >= 0xC0) {
            code = c & 0x1F;
            extra = 1;
        }
        i++;
        for (int k = 0; k < extra && i < text.size(); k++, i++)
            code = code << 6 | ((unsigned char)text[i] & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out += (char16_t)(0xD800 + (code >> 10));
            out += (char16_t)(0xDC00 + (code & 0x3FF));
        } else {
            out += (char16_t)code;
        }
    }
    return out;
}

namespace {

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A REG_SZ value as its text, up to its first zero.
std::string ValueText(const host::TraceEntry& e)
{
    host::Text text;
    for (size_t i = 0; i + 1 < e.bytes.size(); i += 2) {
        const char16_t c = (char16_t)(e.bytes[i] | e.bytes[i + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return host::Narrow(text);
}

}  // namespace

bool RunAndReport(const char* tool, const std::string& exePath, const std::string& arguments,
                  const WindowNamer& nameOf)
{
    ce::Runner runner;
    if (!runner.Load(exePath)) {
        fprintf(stderr, "%s: %s\n", tool, runner.Error().c_str());
        return false;
    }
    const std::string set = runner.InstructionSet();
    const char* engine = set == "ARM"    ? "an emulated StrongARM SA-1110"
                         : set == "MIPS" ? "an emulated MIPS core held to the VR41xx's set"
                                         : "qemu's SH-4 model";
    printf("%s %s, %s code on %s\n", BaseName(exePath).c_str(),
           arguments.empty() ? "(no arguments)" : arguments.c_str(), set.c_str(), engine);
    printf("in front: %s\n\nsystem calls, as the program made them:\n",
           nameOf(host::Foreground()).c_str());
    runner.SetCallLog([](const std::string& line) { printf("  %s\n", line.c_str()); });
    int status = -1;
    const std::u16string line = WidenUtf8(arguments);
    if (!runner.RunProgram(line.c_str(), &status)) {
        fflush(stdout);
        fprintf(stderr, "%s: %s\n", tool, runner.Error().c_str());
        return false;
    }
    const unsigned long ran = (unsigned long)host::Now();
    // A window slow to close may go away after the program has ended.
    const size_t during = host::Trace().size();
    host::AdvanceClock(1000);
    printf("\neffects on the device:\n");
    for (size_t i = 0; i < host::Trace().size(); i++) {
        const host::TraceEntry& e = host::Trace()[i];
        if (i == during)
            printf("  and in the second after it ended:\n");
        printf("  %s  [%s]", host::Describe(e).c_str(), nameOf(e.window).c_str());
        if (e.kind == host::kRegSetValue && e.a == REG_SZ)
            printf(" value: %s", ValueText(e).c_str());
        printf("\n");
    }
    const std::vector<HWND> z = host::ZOrder();
    const std::string counted =
        runner.CountsInstructions() ? std::to_string(runner.Instructions()) + " " +
                                          runner.InstructionSet() + " instructions"
                                    : std::string("no instruction count (SH-3 on qemu)");
    printf("\nexit status %d after %lu ms, %s; in front now: %s; at the bottom: %s\n", status, ran,
           counted.c_str(), nameOf(host::Foreground()).c_str(),
           z.empty() ? "none" : nameOf(z.back()).c_str());
    return true;
}
