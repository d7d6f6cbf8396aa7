// press_table.h: the one table of presses of ForegroundDismisser. Every row
// runs on the host build, on the ARM, MIPS and SH-3 programs under the CE
// runner (tests/close_command_test.cpp) and under Wine on real windows
// (tests/wine/closer_scenes.cpp), unless it says why a way cannot run it.
#ifndef PRESS_TABLE_H
#define PRESS_TABLE_H

#include <vector>

#include "scenario.h"

const std::vector<scene::Scenario>& PressTable();

// The expected effects as the Wine way records them: it sees no sleeps or
// waits.
scene::Steps StepsOnWine(const scene::Steps& steps);

#endif
