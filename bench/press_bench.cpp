// press_bench.cpp: one press of the button on a host scene with a given
// number of windows below the front one, for callgrind to count. The front
// window is a Settings page and every window below it is hidden, so "/ns"
// walks and classifies the whole Z order: the worst case.
#include <stdio.h>
#include <stdlib.h>

#include "close_command.h"
#include "worst_case_scene.h"

int main(int argc, char** argv)
{
    const int below = argc > 1 ? atoi(argv[1]) : 10;
    SetUpWorstCase(below);
    const int status = RunCloseCommand(kWorstCaseOptions);
    printf("%d windows below, status %d, %zu effects\n", below, status, standin::Trace().size());
    return 0;
}
