// device_run.cpp: one run of a device program, reported as calls, effects
// and exit status, in full or in short.
#include "device_run.h"

#include <stdio.h>

#include <string>

#include "ce_runner.h"
#include "standin.h"

namespace {

std::string BaseName(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A REG_SZ value as its text, up to its first zero.
std::string ValueText(const standin::TraceEntry& e)
{
    standin::Text text;
    for (size_t i = 0; i + 1 < e.bytes.size(); i += 2) {
        const char16_t c = (char16_t)(e.bytes[i] | e.bytes[i + 1] << 8);
        if (c == 0)
            break;
        text += c;
    }
    return standin::Narrow(text);
}

std::string Hex(uintptr_t value)
{
    char text[24];
    snprintf(text, sizeof(text), "0x%lx", (unsigned long)value);
    return text;
}

// One effect as a person would tell it; the kinds a press or the dialog
// rarely makes keep the trace's own line.
std::string InWords(const standin::TraceEntry& e, const WindowNamer& nameOf)
{
    const std::string window = nameOf(e.window);
    switch (e.kind) {
    case standin::kMessage:
        if (e.a == WM_LBUTTONDOWN || e.a == WM_LBUTTONUP) {
            return scene::MessageName(e.a) + " at (" + std::to_string(LOWORD(e.c)) + ", " +
                   std::to_string(HIWORD(e.c)) + ") sent to " + window;
        }
        if (e.a == WM_COMMAND && e.b == IDOK)
            return "WM_COMMAND IDOK (its OK button) sent to " + window;
        return scene::MessageName(e.a) + " sent to " + window;
    case standin::kTrayOpened:
        return "the status tray opened over the screen (a tap on 6.5.3's top bar)";
    case standin::kForeground:
        return window + " brought to the front";
    case standin::kZOrder:
        return window + " sent to the back";
    case standin::kKeyEvent: {
        const std::string key = e.a == VK_CONTROL ? "Ctrl"
                                : e.a >= 'A' && e.a <= 'Z' ? std::string(1, (char)e.a)
                                                           : "key " + Hex(e.a);
        return key + ((e.b & KEYEVENTF_KEYUP) != 0 ? " released" : " pressed");
    }
    case standin::kSleep:
        return "waited " + std::to_string(e.a) + " ms";
    case standin::kDestroyed:
        return window + " closed";
    case standin::kWaited:
        return "waited " + std::to_string(e.a) + " ms for " + window + " to answer";
    case standin::kRegSetValue:
        return "registry: " + standin::Narrow(e.text1) + " value \"" + standin::Narrow(e.text2) +
               "\" = " + (e.a == REG_SZ ? ValueText(e) : std::to_string(e.bytes.size()) + " bytes");
    case standin::kBeep:
        return "a beep";
    case standin::kMessageBox:
        return "a message box \"" + standin::Narrow(e.text1) + "\": " + standin::Narrow(e.text2);
    default:
        return standin::Describe(e) + "  [" + window + "]";
    }
}

}  // namespace

bool RunAndReport(const char* tool, const std::string& exePath, const std::string& arguments,
                  const WindowNamer& nameOf, const char* fullReportPath)
{
    ce::Runner runner;
    if (!runner.Load(exePath)) {
        fprintf(stderr, "%s: %s\n", tool, runner.Error().c_str());
        return false;
    }
    FILE* full = stdout;
    if (fullReportPath != NULL && (full = fopen(fullReportPath, "w")) == NULL) {
        fprintf(stderr, "%s: cannot write %s\n", tool, fullReportPath);
        return false;
    }
    const bool inShort = full != stdout;
    const std::string set = runner.InstructionSet();
    const char* engine = set == "ARM"    ? "an emulated StrongARM SA-1110"
                         : set == "MIPS" ? "an emulated MIPS core held to the VR41xx's set"
                                         : "qemu's SH-4 model";
    char heading[512];
    snprintf(heading, sizeof(heading), "%s %s, %s code on %s\nin front: %s\n",
             BaseName(exePath).c_str(), arguments.empty() ? "(no arguments)" : arguments.c_str(),
             set.c_str(), engine, nameOf(standin::Foreground()).c_str());
    fputs(heading, full);
    if (inShort)
        fputs(heading, stdout);
    fprintf(full, "\nsystem calls, as the program made them:\n");
    size_t calls = 0;
    runner.SetCallLog([&](const std::string& line) {
        fprintf(full, "  %s\n", line.c_str());
        calls++;
    });
    int status = -1;
    const std::u16string line = scene::Widen(arguments);
    const bool ran = runner.RunProgram(line.c_str(), &status);
    if (!ran) {
        fflush(full);
        fprintf(stderr, "%s: %s\n", tool, runner.Error().c_str());
    } else {
        const unsigned long took = (unsigned long)standin::Now();
        // A window slow to close may go away after the program has ended.
        const size_t during = standin::Trace().size();
        standin::AdvanceClock(1000);
        fprintf(full, "\neffects on the device:\n");
        if (inShort)
            printf("what it did:%s\n", standin::Trace().empty() ? " nothing" : "");
        for (size_t i = 0; i < standin::Trace().size(); i++) {
            const standin::TraceEntry& e = standin::Trace()[i];
            if (i == during) {
                fprintf(full, "  and in the second after it ended:\n");
                if (inShort)
                    printf("  and in the second after it ended:\n");
            }
            fprintf(full, "  %s  [%s]", standin::Describe(e).c_str(), nameOf(e.window).c_str());
            if (e.kind == standin::kRegSetValue && e.a == REG_SZ)
                fprintf(full, " value: %s", ValueText(e).c_str());
            fprintf(full, "\n");
            if (inShort)
                printf("  %s\n", InWords(e, nameOf).c_str());
        }
        const std::vector<HWND> z = standin::ZOrder();
        const std::string counted =
            runner.CountsInstructions() ? std::to_string(runner.Instructions()) + " " +
                                              runner.InstructionSet() + " instructions"
                                        : std::string("no instruction count (SH-3 on qemu)");
        const std::string front = nameOf(standin::Foreground());
        const std::string bottom = z.empty() ? "none" : nameOf(z.back());
        fprintf(full, "\nexit status %d after %lu ms, %s; in front now: %s; at the bottom: %s\n",
                status, took, counted.c_str(), front.c_str(), bottom.c_str());
        if (inShort) {
            printf("exit status %d after %lu ms, %s\n", status, took, counted.c_str());
            printf("in front now: %s; at the bottom: %s\n", front.c_str(), bottom.c_str());
            printf("its %zu system calls, with their arguments and results: %s\n", calls,
                   fullReportPath);
        }
    }
    if (inShort)
        fclose(full);
    return ran;
}

