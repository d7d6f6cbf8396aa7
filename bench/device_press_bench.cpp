// device_press_bench.cpp: the device's own cost of one press: instructions
// that a device build's ForegroundDismisser.exe executes on its emulated CPU
// (SA-1110 for ARM, the VR41xx for MIPS), for growing numbers of windows
// below the front one. An SH-3 build runs on qemu, which counts nothing the
// runner can read: its press is run and "n/a" printed. The front
// window is a Settings page and every window below it is hidden, so "/ns"
// walks and classifies the whole Z order: the worst case. The system
// libraries' own instructions (answered by the stand-in) are not counted.
#include <stdio.h>
#include <stdlib.h>

#include "ce_runner.h"
#include "worst_case_scene.h"

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: device_press_bench ForegroundDismisser.exe WINDOWS...\n");
        return 2;
    }
    printf("  %-18s %16s\n", "windows below", "instructions");
    for (int a = 2; a < argc; a++) {
        const int below = atoi(argv[a]);
        SetUpWorstCase(below);
        ce::Runner runner;
        int status = -1;
        if (!runner.Load(argv[1]) || !runner.RunProgram(kWorstCaseOptions, &status)) {
            fprintf(stderr, "%s\n", runner.Error().c_str());
            return 1;
        }
        if (runner.CountsInstructions())
            printf("  %-18d %16llu\n", below, (unsigned long long)runner.Instructions());
        else
            printf("  %-18d %16s\n", below, "n/a");
    }
    return 0;
}
