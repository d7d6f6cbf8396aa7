// press_table.cpp: every press of the button, one row each: the scene, the
// command line and what must follow. Windows are named by their index in
// the row's list, top first; the navigation bar is kept on top, as on the
// device, and the first window below it is in front unless a row says.
#include "press_table.h"

using namespace scene;

namespace {

const SceneWindow kBar = kNavigationBar;
// The 240-pixel bar's close button: 12 in from its right end, 13 down.
Steps TapBar() { return Tap(0, 228, 13); }

const char kTimings[] = "the virtual clock's exact timings";
const char kReleases[] = "the desktop system is no Pocket PC release";
const char kPlatformType[] = "Wine answers no platform type";

// A busy device: the Settings window with a hidden window, Pocket Word's
// helper, another page and an application below it.
const std::vector<SceneWindow> kBusy = {
    kBar, kSettingsSystem, kAlarm.Hidden(), kWord, kSettingsConnections, kCalculator, kToday,
};

Steps PlayerKeys(int down, int up)
{
    return Join({Key(kVkControl, false, down), Slept(100), Key('Q', false, down), Slept(100),
                 Key('Q', true, up), Slept(100), Key(kVkControl, true, up)});
}

std::vector<Scenario> Build()
{
    std::vector<Scenario> t = {
        // The Today screen is left alone, whatever the options ask; status 0.
        Press("today left alone", {kBar, kToday, kCalculator}).Expect(0, {}).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("today with /n", {kBar, kToday, kCalculator}).With(u"/n").Expect(0, {}).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("today with /n/ns", {kBar, kToday, kCalculator}).With(u"/n/ns").Expect(0, {}).FrontAfter(1),
        // The /d pre-step closes whatever is in front, even the Today screen.
        Press("/d asks even today to close", {kBar, kToday, kCalculator}).With(u"/d")
            .Expect(0, Join({Close(1), Slept(200)})).FrontAfter(1).ZAfter({0, 1, 2}),

        // Ordinary windows are asked to close, once, whether or not they do.
        Press("plain window closed", {kBar, kCalculator, kToday})
            .Expect(1, ClosedAndGone(1)).FrontAfter(2).ZAfter({0, 2}),
        Press("plain window ignoring close", {kBar, kEditor, kToday})
            .Expect(1, Close(1)).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("titled dialog is plain", {kBar, kSettingsSystem.Titled(u"Find").Named("titled-dialog"), kToday})
            .Expect(1, Close(1)).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("dialog without a page is plain", {kBar, kSettingsSystem.WithoutChild().Named("dialog"), kToday})
            .Expect(1, Close(1)).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("unknown settings page is plain", {kBar, kSettingsClock, kToday})
            .Expect(1, Close(1)).FrontAfter(1).ZAfter({0, 1, 2}),
        // Without a platform type, the Personal page goes by its short title.
        Press("personal pocketpc page without platform type", {kBar, kSettingsPersonalPocketPC, kToday})
            .NoPlatform().Expect(1, Close(1)).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("worker titled pocket excel is plain", {kBar, kWord.Titled(u"Pocket Excel").Named("worker"), kToday})
            .Expect(1, Close(1)).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("plain window without navigation bar", {kCalculator, kToday})
            .Expect(1, ClosedAndGone(0)).FrontAfter(1).ZAfter({1}),
        Press("no window in front: close sent to none", {kBar, kCalculator, kToday}).Front(kNoWindow)
            .Expect(1, Close(kNoWindow)).ZAfter({0, 1, 2})
            .NotUnderWine("a desktop under Wine always has a window in front"),

        // Without a bar there is nothing to tap.
        Press("no bar, nothing tapped", {kNotes, kToday}).Expect(1, {}).FrontAfter(0).ZAfter({0, 1}).AsksVersion(),
        // The tap follows the bar's width.
        Press("tap follows the bar width", {kBar.Sized(480, 26), kNotes, kToday})
            .Expect(1, Tap(0, 468, 13)).FrontAfter(1).ZAfter({0, 1, 2}).AsksVersion(),

        // A shell page in a busy Z order: the Today screen comes forward.
        Press("settings page: today forward", kBusy)
            .Expect(1, ForwardAndBack(6, 1)).FrontAfter(6).ZAfter({0, 6, 2, 3, 4, 5, 1}),
        Press("options are case-sensitive", kBusy).With(u"/N /NS /D /B")
            .Expect(1, ForwardAndBack(6, 1)).FrontAfter(6).ZAfter({0, 6, 2, 3, 4, 5, 1}),
        Press("/n: next window even a shell page", kBusy).With(u"/n")
            .Expect(1, ForwardAndBack(4, 1)).FrontAfter(4).ZAfter({0, 4, 2, 3, 5, 6, 1}),
        Press("/ns: shell pages passed over", kBusy).With(u"/ns")
            .Expect(1, ForwardAndBack(5, 1)).FrontAfter(5).ZAfter({0, 5, 2, 3, 4, 6, 1}),
        Press("/b brings even a shell page forward", kBusy).With(u"/b")
            .Expect(1, Join({ForwardAndBack(4, 1), Slept(100), ForwardAndBack(6, 4)}))
            .FrontAfter(6).ZAfter({0, 6, 2, 3, 5, 1, 4}),
        Press("options anywhere in the line", {kBar, kSettingsSystem, kPrograms, kCalculator, kToday}).With(u"x/nsy")
            .Expect(1, ForwardAndBack(3, 1)).FrontAfter(3).ZAfter({0, 3, 2, 4, 1}),
        Press("upper-case /N /NS are no options", {kBar, kSettingsSystem, kPrograms, kCalculator, kToday}).With(u"/N /NS")
            .Expect(1, ForwardAndBack(4, 1)).FrontAfter(4).ZAfter({0, 4, 2, 3, 1}),
        Press("no today screen: only to the bottom", {kBar, kSettingsSystem, kCalculator})
            .Expect(1, ToBottom(1)).FrontAfter(1).ZAfter({0, 2, 1}),
        Press("/n with nothing below", {kSettingsSystem}).With(u"/n")
            .Expect(1, ToBottom(0)).FrontAfter(0).ZAfter({0}),
        Press("/n with only the bar below", {kSettingsSystem, kBar.Below()}).With(u"/n")
            .Expect(1, ToBottom(0)).FrontAfter(0).ZAfter({1, 0}),
        // /n passes over hidden windows and the shell's helpers.
        Press("/n passes hidden and helper windows",
              {kSettingsSystem, kAlarm.Hidden(), kBar.Below(), kInputPanel, kMenuWorker, kWorker, kOutlook,
               kInputPanelButton, kCalculator, kToday}).With(u"/n")
            .Expect(1, ForwardAndBack(8, 0)).FrontAfter(8).ZAfter({8, 1, 2, 3, 4, 5, 6, 7, 9, 0}),
        Press("/n passes the static helper", {kSettingsSystem, kStaticHelper, kCalculator, kToday}).With(u"/n")
            .Expect(1, ForwardAndBack(2, 0)).FrontAfter(2).ZAfter({2, 1, 3, 0})
            .NotUnderWine("a window of class \"static\" reads back as the system's \"Static\""),
        Press("/n stops at a shell page", {kBar, kSettingsSystem, kSettingsPersonal.Hidden(), kPrograms, kCalculator, kToday})
            .With(u"/n").Expect(1, ForwardAndBack(3, 1)).FrontAfter(3).ZAfter({0, 3, 2, 4, 5, 1}),
        Press("/ns passes shell pages", {kBar, kSettingsSystem, kSettingsPersonal.Hidden(), kPrograms, kSettingsPersonal,
                                         kCalculator, kToday})
            .With(u"/ns").NoPlatform().Expect(1, ForwardAndBack(5, 1)).FrontAfter(5).ZAfter({0, 5, 2, 3, 4, 6, 1}),

        // /d: the window in front is closed first, then whatever is in front is dealt with.
        Press("/d reaches the today screen", {kBar, kCalculator, kToday}).With(u"/d")
            .Expect(0, Join({ClosedAndGone(1), Slept(200)})).FrontAfter(2).ZAfter({0, 2}),
        Press("/d on a window ignoring close", {kBar, kEditor, kToday}).With(u"/d")
            .Expect(1, Join({Close(1), Slept(200), Close(1)})).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("/d then the next window", {kBar, kCalculator, kCalendar, kToday}).With(u"/d")
            .Expect(1, Join({ClosedAndGone(1), Slept(200), ClosedAndGone(2)})).FrontAfter(3).ZAfter({0, 3}),
        Press("/d wins over /b", {kBar, kCalculator, kCalendar, kToday}).With(u"/b /d")
            .Expect(1, Join({ClosedAndGone(1), Slept(200), ClosedAndGone(2)})).FrontAfter(3).ZAfter({0, 3}),
        // The wait lets a window that takes a moment go first.
        Press("/d waits for a window taking a moment", {kBar, kContacts.ClosingAfter(30), kToday}).With(u"/d")
            .Expect(0, Join({Close(1), Slept(200), Destroyed(1)})).FrontAfter(2).ZAfter({0, 2}),
        Press("/d then notes tapped", {kBar, kCalculator, kNotes, kToday}).With(u"/d")
            .Expect(1, Join({ClosedAndGone(1), Slept(200), TapBar()})).FrontAfter(2).ZAfter({0, 2, 3}).AsksVersion(),
        Press("upper-case /D /B are no options", {kBar, kEditor, kCalculator, kToday}).With(u"/D /B")
            .Expect(1, Close(1)).FrontAfter(1).ZAfter({0, 1, 2, 3}),
        Press("/d: gone within the 200 ms wait, next closed", {kBar, kCalculator.ClosingAfter(150), kCalendar, kToday})
            .With(u"/d").NotUnderWine(kTimings)
            .Expect(1, Join({Close(1), Slept(200), Destroyed(1), ClosedAndGone(2)})).FrontAfter(3).ZAfter({0, 3}),
        // Still in front after the wait, so it is asked again; it goes after
        // the press has ended, and the window below it stays.
        Press("/d: gone only after the wait, asked twice", {kBar, kCalculator.ClosingAfter(250), kCalendar, kToday})
            .With(u"/d").NotUnderWine(kTimings)
            .Expect(1, Join({Close(1), Slept(200), Close(1), Destroyed(1)})).FrontAfter(2).ZAfter({0, 2, 3}),
        // The 200 ms wait starts only once the hung window has taken its WM_CLOSE.
        Press("/d waits for a window hung for 300 ms", {kBar, kCalculator.HungFor(300), kToday})
            .With(u"/d").NotUnderWine(kTimings)
            .Expect(0, Join({Waited(1, 300), ClosedAndGone(1), Slept(200)})).FrontAfter(2).ZAfter({0, 2}),

        // /b: the next window comes forward and the front one goes to the
        // back; then the new front window is dealt with.
        Press("/b brings the next window forward", {kBar, kCalculator, kCalendar, kToday}).With(u"/b")
            .Expect(1, Join({ForwardAndBack(2, 1), Slept(100), ClosedAndGone(2)})).FrontAfter(3).ZAfter({0, 3, 1}),
        Press("/b then notes tapped", {kBar, kSettingsSystem, kNotes, kToday}).With(u"/b")
            .Expect(1, Join({ForwardAndBack(2, 1), Slept(100), TapBar()})).FrontAfter(2).ZAfter({0, 2, 3, 1}).AsksVersion(),
        Press("/b from the today screen", {kBar, kToday, kCalculator}).With(u"/b")
            .Expect(1, Join({ForwardAndBack(2, 1), Slept(100), ClosedAndGone(2)})).FrontAfter(1).ZAfter({0, 1}),
        Press("/b /n: the next shell page after", {kBar, kCalculator, kSettingsSystem, kPrograms, kToday}).With(u"/b /n")
            .Expect(1, Join({ForwardAndBack(2, 1), Slept(100), ForwardAndBack(3, 2)})).FrontAfter(3).ZAfter({0, 3, 4, 1, 2}),

        // The media player is asked to close; if it is still there, Ctrl+Q.
        // Gone on Q down: the window below is active and gets the releases.
        Press("player quits on ctrl+q", {kBar, kPlayer, kToday})
            .Expect(1, Join({Close(1), Slept(100), Key(kVkControl, false, 1), Slept(100), Key('Q', false, 1),
                             Destroyed(1), Slept(100), Key('Q', true, 2), Slept(100), Key(kVkControl, true, 2)}))
            .FrontAfter(2).ZAfter({0, 2}),
        Press("player quits on close", {kBar, kPlayerMobile, kToday})
            .Expect(1, Join({ClosedAndGone(1), Slept(100)})).FrontAfter(2).ZAfter({0, 2}),
        Press("player alone quits on close", {kPlayer75})
            .Expect(1, Join({ClosedAndGone(0), Slept(100)})).FrontAfter(kNoWindow)
            .NotUnderWine("the system then activates some window of its own"),
        Press("player ignoring everything", {kBar, kPlayer75.Ignoring(), kToday})
            .Expect(1, Join({Close(1), Slept(100), PlayerKeys(1, 1)})).FrontAfter(1).ZAfter({0, 1, 2}),
        Press("player going within the wait gets no keys", {kBar, kPlayer.ClosingAfter(30), kToday})
            .Expect(1, Join({Close(1), Slept(100), Destroyed(1)})).FrontAfter(2).ZAfter({0, 2}),
        // Still there when the press looks after 100 ms: Ctrl+Q is typed all
        // the same, into the Today screen once the player has gone.
        Press("player closing in 150 ms still gets ctrl+q", {kBar, kPlayer.ClosingAfter(150), kToday})
            .NotUnderWine(kTimings)
            .Expect(1, Join({Close(1), Slept(100), Key(kVkControl, false, 1), Slept(100), Destroyed(1),
                             Key('Q', false, 2), Slept(100), Key('Q', true, 2), Slept(100), Key(kVkControl, true, 2)}))
            .FrontAfter(2).ZAfter({0, 2}),

        // The program's own name is not part of its options, however the
        // launcher wrote it: CE hands a program its options alone.
        Press("name quoted with spaces", {kBar, kCalculator, kToday}).With(u"/d")
            .LaunchedAs(u"\"C:\\Program Files\\FD\\ForegroundDismisser.exe\"")
            .Expect(0, Join({ClosedAndGone(1), Slept(200)})).FrontAfter(2).ZAfter({0, 2}),
        Press("name bare", {kBar, kCalculator, kToday}).With(u"/d").LaunchedAs(u"ForegroundDismisser.exe")
            .Expect(0, Join({ClosedAndGone(1), Slept(200)})).FrontAfter(2).ZAfter({0, 2}),
        Press("options in a quoted name are none", {kBar, kCalculator, kToday})
            .LaunchedAs(u"\"C:\\x /d /b\\ForegroundDismisser.exe\"").Expect(1, ClosedAndGone(1)).FrontAfter(2).ZAfter({0, 2}),
        Press("options in a bare name are none", {kBar, kCalculator, kToday})
            .LaunchedAs(u"C:\\x/d/b\\ForegroundDismisser.exe").Expect(1, ClosedAndGone(1)).FrontAfter(2).ZAfter({0, 2}),
    };
    for (Scenario& s : t) {
        if (!s.launchedAs.empty())
            s.OnlyUnderWine("CE hands the program its command line without its own name");
    }

    // Each window closed through the navigation bar's button: a tap, down then up.
    for (const SceneWindow& w : {kNotes, kMemo, kMemoFullWidth, kWord, kExcel, kExplorer, kProgramsFullWidth,
                                 kApplet, kSettingsProperties, kSettingsPropertiesHalfWidth}) {
        t.push_back(Press(w.name + " tapped through the bar", {kBar, w, kToday})
                        .Expect(1, TapBar()).FrontAfter(1).ZAfter({0, 1, 2}).AsksVersion());
    }
    // Each shell page goes to the back, and the Today screen comes forward.
    for (const SceneWindow& w : {kSettingsSystem, kSettingsSystemHalfWidth, kSettingsPersonal,
                                 kSettingsPersonalPocketPC, kSettingsConnections, kPrograms}) {
        Scenario s = Press(w.name + " sent back", {kBar, w, kCalculator, kToday})
                         .Expect(1, ForwardAndBack(3, 1)).FrontAfter(3).ZAfter({0, 3, 2, 1});
        // 個人 is a shell page where the platform is no Pocket PC; 個人用 on a Pocket PC.
        if (w.name == kSettingsPersonal.name)
            s.NoPlatform();
        if (w.name == kSettingsPersonalPocketPC.name)
            s.Platform(u"PocketPC").NotUnderWine(kPlatformType);
        t.push_back(s);
    }

    // On 6.5.3 the top bar is not tapped: a window showing OK gets IDOK, any
    // other is Smart-Minimized behind the Today screen.
    t.push_back(Press("notes on 6.5.3 smart-minimized", {kBar, kNotes, kToday}).Profile("wm653")
                    .NotUnderWine(kReleases).Expect(1, ForwardAndBack(2, 1)).FrontAfter(2).ZAfter({0, 2, 1}).AsksVersion());
    t.push_back(Press("page showing OK on 6.5.3", {kBar, kSettingsProperties.ShowingOk(), kToday}).Profile("wm653")
                    .NotUnderWine(kReleases).Expect(1, Ok(1)).FrontAfter(1).ZAfter({0, 1, 2}).AsksVersion());
    t.push_back(Press("notes on 6.1 tapped", {kBar, kNotes, kToday}).Profile("wm61")
                    .NotUnderWine(kReleases).Expect(1, TapBar()).FrontAfter(1).ZAfter({0, 1, 2}).AsksVersion());

    // A scene file pasted as it is.
    t.push_back(FromText("scene file: /d over a slow window", R"(
        window AppA|A||visible|closes-after-150
        window AppB|B||visible|closes
        window bar
        window today
        press /d
    )").NotUnderWine(kTimings)
                    .Expect(1, Join({Close(0), Slept(200), Destroyed(0), ClosedAndGone(1)})).FrontAfter(3).ZAfter({2, 3}));
    // A device's report pasted as it is: its version alone makes it 6.5.3.
    t.push_back(FromText("a 6.5.3 device's report", R"(
        # DeviceReport 1
        version 5.2.23091
        platform PocketPC
        screen 480 800 192
        window HHTaskBar|||visible|closes|rect=0,0,480,52|style=0x90000000|exstyle=0x00000008
        window Notes|Notes||visible|closes|rect=0,52,480,800|style=0x10000000|exstyle=0x00000000
        window DesktopExplorerWindow|Desktop||visible|closes|rect=0,0,480,800|style=0x10000000|exstyle=0x00000000
        front 2
        key SOFTWARE\Microsoft\Shell\Keys\40C1
    )").NotUnderWine(kReleases).Expect(1, ForwardAndBack(2, 1)).FrontAfter(2).ZAfter({0, 2, 1}).AsksVersion());
    return t;
}

}  // namespace

const std::vector<Scenario>& PressTable()
{
    static const std::vector<Scenario> table = Build();
    return table;
}

Steps StepsOnWine(const Steps& steps)
{
    Steps out;
    for (const Step& s : steps) {
        if (s.kind != kSleep && s.kind != kWaited)
            out.push_back(s);
    }
    return out;
}
