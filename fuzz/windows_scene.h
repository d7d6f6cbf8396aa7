// windows_scene.h: turns bytes into a device's state for one press: the
// platform type, a Z order of windows and the foreground, and a command
// line. Shared by the windows fuzzer and the host/device comparison over
// its corpus, so that both read every input the same way.
#ifndef WINDOWS_SCENE_H
#define WINDOWS_SCENE_H

#include <vector>

#include "fuzz_text.h"
#include "standin.h"

namespace windows_scene {

using standin::Text;

// The Pocket PC's own class names and titles, with a few near misses; the
// order is the corpus's, so an input keeps its meaning.
const std::vector<Text> kClasses = {
    kWord.className, kExcel.className, kNotes.className, kPlayer.className,
    kPlayer75.className, kPlayerMobile.className, kToday.className, kPrograms.className,
    kApplet.className, u"CPL", kSettingsSystem.className, kNavigationBar.className,
    kInputPanel.className, kMenuWorker.className, kOutlook.className,
    kInputPanelButton.className, kStaticHelper.className, u"App",
};
const std::vector<Text> kTitles = {
    u"", kMemo.title, kMemoFullWidth.title, kWord.title, kExcel.title, kPrograms.title,
    kSettingsPersonalPocketPC.childTitle, kSettingsPersonal.childTitle,
    kSettingsSystemHalfWidth.childTitle, kSettingsSystem.childTitle,
    kSettingsConnections.childTitle, kSettingsPropertiesHalfWidth.childTitle,
    kSettingsProperties.childTitle,
};
const std::vector<Text> kCommandParts = {u"/d", u"/b", u"/n", u"/ns", u" ", u"/N", u"/", u"d"};

}  // namespace windows_scene

struct WindowsScene {
    std::vector<HWND> windows;  // top first
    std::vector<standin::Text> classes;
    standin::Text commandLine;
};

// Builds the scene on the stand-in, which the caller has reset. The release
// and the windows showing OK are read last, so that an input written before
// they existed still reads as the default release with no OK windows.
inline WindowsScene BuildWindowsScene(FuzzedDataProvider& in)
{
    using namespace windows_scene;
    WindowsScene scene;
    const int platform = in.ConsumeIntegralInRange<int>(0, 3);
    const Text platformText = platform == 3 ? ArbitraryText(in, 300) : Text();

    std::vector<SceneWindow> specs(in.ConsumeIntegralInRange<int>(0, 14));
    for (SceneWindow& spec : specs) {
        spec.className = PickText(in, kClasses, 300);
        spec.title = PickText(in, kTitles, 300);
        spec.topmost = IsNavigationBar(spec.className);
        spec.visible = in.ConsumeIntegralInRange<int>(0, 3) != 0;
        spec.hasChild = in.ConsumeBool();
        if (spec.hasChild)
            spec.childTitle = PickText(in, kTitles, 300);
        spec.onClose = (CloseAnswer)in.ConsumeIntegralInRange<int>(0, 2);
        spec.width = in.ConsumeIntegral<int32_t>();
    }
    size_t front = specs.size();  // none
    if (!specs.empty() && in.ConsumeIntegralInRange<int>(0, 7) != 0)
        front = in.ConsumeIntegralInRange<size_t>(0, specs.size() - 1);

    const int parts = in.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < parts; i++)
        scene.commandLine +=
            in.ConsumeBool() ? PickText(in, kCommandParts, 0) : ArbitraryText(in, 8);

    // 0: the default release; 1 on: each release, oldest first.
    const int release = in.ConsumeIntegralInRange<int>(0, (int)standin::Profiles().size());
    const uint16_t showsOk = in.ConsumeIntegral<uint16_t>();
    if (release > 0)
        standin::SetProfile(standin::Profiles()[release - 1]);
    switch (platform) {
    case 0: break;  // the release's own
    case 1: standin::SetPlatformTypeUnavailable(); break;
    case 2: standin::SetPlatformType(u"Jupiter"); break;
    default: standin::SetPlatformType(platformText); break;
    }
    for (size_t i = 0; i < specs.size(); i++) {
        specs[i].showsOk = (showsOk & (1u << i)) != 0;
        scene.windows.push_back(standin::AddWindow(specs[i]));
        scene.classes.push_back(specs[i].className);
    }
    if (front < specs.size())
        standin::SetForeground(scene.windows[front]);
    return scene;
}

#endif
