// worst_case_scene.h: the benchmarks' scene: a Settings page in front and
// `below` hidden windows under it, so that "/ns" walks and classifies the
// whole Z order.
#ifndef WORST_CASE_SCENE_H
#define WORST_CASE_SCENE_H

#include "standin.h"

const char16_t kWorstCaseOptions[] = u"/ns";

inline void SetUpWorstCase(int below)
{
    standin::Reset();
    HWND front = standin::AddWindow(kSettingsSystem);
    for (int i = 0; i < below; i++)
        standin::AddWindow(u"Hidden", u"", false);
    standin::SetForeground(front);
}

#endif
