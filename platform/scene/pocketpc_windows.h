// pocketpc_windows.h: the windows a Pocket PC shows, named once: the
// shell's own, the Settings pages, the built-in applications and a few
// ordinary ones, each with its class, title and first child and how it
// answers WM_CLOSE. Every scene is built from these: the stand-in's tables,
// ce-run's scene files, the fuzzer, the demo, the benchmarks and the real
// windows the Wine tests stack. Plain C++, so the desktop programs include
// it too. The programs keep their own constants: a test that took its
// expected text from them would pass a wrong one.
#ifndef POCKETPC_WINDOWS_H
#define POCKETPC_WINDOWS_H

#include <string>

// How a window answers WM_CLOSE.
enum CloseAnswer {
    kCloses,        // it goes (at once, or closeDelay ms later)
    kIgnoresClose,  // it stays: unsaved work, or the shell itself
    kQuitsOnCtrlQ,  // it stays, and goes when Ctrl+Q is typed into it: the media player
};

// One top-level window of a scene. The modifiers return a changed copy, so
// a table row reads kNotes.Ignoring(), kCalculator.ClosingAfter(150).
struct SceneWindow {
    std::string name;  // how scene files, tables and failure messages call it
    std::u16string className;
    std::u16string title;
    bool hasChild = false;
    std::u16string childTitle;  // its first child's title
    CloseAnswer onClose = kCloses;
    bool visible = true;
    bool topmost = false;     // stays above the others, as the navigation bar does
    bool showsOk = false;     // shows OK rather than X (WS_EX_CAPTIONOKBTN)
    unsigned closeDelay = 0;  // kCloses: milliseconds from the first WM_CLOSE until it goes
    unsigned hungFor = 0;     // answers no message for its first milliseconds
    int width = 0;            // 0: the whole screen; the navigation bar: the screen's width
    int height = 0;           // 0: the whole screen; the navigation bar: its own height
    // Where it is, in real pixels, when placed: left, top, right, bottom, as
    // GetWindowRect reads it; width and height above then mean nothing.
    bool placed = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    unsigned style = 0;    // GWL_STYLE
    unsigned exStyle = 0;  // GWL_EXSTYLE; showsOk adds WS_EX_CAPTIONOKBTN to it

    SceneWindow Named(const std::string& n) const { SceneWindow w = *this; w.name = n; return w; }
    SceneWindow Titled(const std::u16string& t) const { SceneWindow w = *this; w.title = t; return w; }
    SceneWindow Hidden() const { SceneWindow w = *this; w.visible = false; return w; }
    SceneWindow Below() const { SceneWindow w = *this; w.topmost = false; return w; }
    SceneWindow Closing() const { SceneWindow w = *this; w.onClose = kCloses; return w; }
    SceneWindow Ignoring() const { SceneWindow w = *this; w.onClose = kIgnoresClose; return w; }
    SceneWindow ClosingAfter(unsigned ms) const { SceneWindow w = Closing(); w.closeDelay = ms; return w; }
    SceneWindow HungFor(unsigned ms) const { SceneWindow w = *this; w.hungFor = ms; return w; }
    SceneWindow ShowingOk() const { SceneWindow w = *this; w.showsOk = true; return w; }
    SceneWindow Sized(int w_, int h_) const { SceneWindow w = *this; w.width = w_; w.height = h_; return w; }
    SceneWindow At(int l, int t, int r, int b) const
    {
        SceneWindow w = *this;
        w.placed = true;
        w.left = l;
        w.top = t;
        w.right = r;
        w.bottom = b;
        return w;
    }
    SceneWindow Styled(unsigned s, unsigned ex) const { SceneWindow w = *this; w.style = s; w.exStyle = ex; return w; }
    SceneWindow WithoutChild() const { SceneWindow w = *this; w.hasChild = false; w.childTitle.clear(); return w; }
    SceneWindow WithChild(const std::u16string& t) const
    {
        SceneWindow w = *this;
        w.hasChild = true;
        w.childTitle = t;
        return w;
    }
};

// An ordinary application's window, closing when asked.
inline SceneWindow App(const std::string& name, const std::u16string& className,
                       const std::u16string& title)
{
    SceneWindow w;
    w.name = name;
    w.className = className;
    w.title = title;
    return w;
}
// A window of the shell or a built-in program, which keeps itself open.
inline SceneWindow Shell(const std::string& name, const std::u16string& className,
                         const std::u16string& title)
{
    return App(name, className, title).Ignoring();
}
// The Settings window showing a page: an untitled "Dialog" whose first
// child carries the page's title.
inline SceneWindow SettingsPage(const std::string& name, const std::u16string& page)
{
    return Shell(name, u"Dialog", u"").WithChild(page);
}

// The shell.
inline const SceneWindow kToday = Shell("today", u"DesktopExplorerWindow", u"Desktop");
inline const SceneWindow kNavigationBar = [] {
    SceneWindow w = Shell("bar", u"HHTaskBar", u"");
    w.topmost = true;
    return w;
}();
inline const SceneWindow kInputPanel = Shell("input-panel", u"SipWndClass", u"");
inline const SceneWindow kInputPanelButton = Shell("input-panel-button", u"MS_SIPBUTTON", u"");
inline const SceneWindow kMenuWorker = Shell("menu-worker", u"menu_worker", u"");
inline const SceneWindow kWorker = Shell("worker", u"Worker", u"");
inline const SceneWindow kOutlook = Shell("outlook", u"MSPOutlook", u"");
inline const SceneWindow kStaticHelper = Shell("static", u"static", u"");
// The Programs folder: half-width ﾌﾟﾛｸﾞﾗﾑ; the full-width title is another folder.
inline const SceneWindow kPrograms = Shell("programs", u"Explore", u"\xFF8C\xFF9F\xFF9B\xFF78\xFF9E\xFF97\xFF91");
inline const SceneWindow kProgramsFullWidth = Shell("programs-full-width", u"Explore", u"\x30D7\x30ED\x30B0\x30E9\x30E0");
inline const SceneWindow kExplorer = Shell("explorer", u"Explore", u"My Documents");

// Settings pages, by the title of the page shown: システム / ｼｽﾃﾑ, 個人 and
// 個人用 (Pocket PC 2002 on), 接続, プロパティ / ﾌﾟﾛﾊﾟﾃｨ, and 時計, a page
// the closer does not know.
inline const SceneWindow kSettingsSystem = SettingsPage("settings-system", u"\x30B7\x30B9\x30C6\x30E0");
inline const SceneWindow kSettingsSystemHalfWidth = SettingsPage("settings-system-half-width", u"\xFF7C\xFF7D\xFF83\xFF91");
inline const SceneWindow kSettingsPersonal = SettingsPage("settings-personal", u"\x500B\x4EBA");
inline const SceneWindow kSettingsPersonalPocketPC = SettingsPage("settings-personal-pocketpc", u"\x500B\x4EBA\x7528");
inline const SceneWindow kSettingsConnections = SettingsPage("settings-connections", u"\x63A5\x7D9A");
inline const SceneWindow kSettingsProperties = SettingsPage("settings-properties", u"\x30D7\x30ED\x30D1\x30C6\x30A3");
inline const SceneWindow kSettingsPropertiesHalfWidth = SettingsPage("settings-properties-half-width", u"\xFF8C\xFF9F\xFF9B\xFF8A\xFF9F\xFF83\xFF68");
inline const SceneWindow kSettingsClock = SettingsPage("settings-clock", u"\x6642\x8A08");

// Built-in applications: Notes, ﾒﾓ / メモ (Worker), Pocket Word, Pocket
// Excel, a control-panel applet and the three media players.
inline const SceneWindow kNotes = Shell("notes", u"Notes", u"Notes");
inline const SceneWindow kMemo = Shell("memo", u"Worker", u"\xFF92\xFF93");
inline const SceneWindow kMemoFullWidth = Shell("memo-full-width", u"Worker", u"\x30E1\x30E2");
inline const SceneWindow kWord = Shell("word", u"Worker", u"Pocket Word");
inline const SceneWindow kExcel = Shell("excel", u"BOOKWIN", u"Pocket Excel");
inline const SceneWindow kApplet = Shell("applet", u"CPL_Power", u"Power");
inline const SceneWindow kPlayer = [] {
    SceneWindow w = App("player", u"WMP for Pocket PC", u"Windows Media");
    w.onClose = kQuitsOnCtrlQ;
    return w;
}();
inline const SceneWindow kPlayer75 = App("player-7.5", u"WMP7.5 for Pocket PC", u"Windows Media");
inline const SceneWindow kPlayerMobile = App("player-mobile", u"WMP for Mobile Devices", u"Windows Media");

// Ordinary applications.
inline const SceneWindow kCalculator = App("calculator", u"Calculator", u"Calculator");
inline const SceneWindow kCalendar = App("calendar", u"Calendar", u"Calendar");
inline const SceneWindow kContacts = App("contacts", u"Contacts", u"Contacts");
inline const SceneWindow kEditor = Shell("editor", u"Editor", u"Unsaved");
inline const SceneWindow kAlarm = App("alarm", u"Alarm", u"Alarm");

// Every window above, for finding one by its name.
inline const SceneWindow* const kPocketPcWindows[] = {
    &kToday, &kNavigationBar, &kInputPanel, &kInputPanelButton, &kMenuWorker, &kWorker,
    &kOutlook, &kStaticHelper, &kPrograms, &kProgramsFullWidth, &kExplorer, &kSettingsSystem,
    &kSettingsSystemHalfWidth, &kSettingsPersonal, &kSettingsPersonalPocketPC,
    &kSettingsConnections, &kSettingsProperties, &kSettingsPropertiesHalfWidth, &kSettingsClock,
    &kNotes, &kMemo, &kMemoFullWidth, &kWord, &kExcel, &kApplet, &kPlayer, &kPlayer75,
    &kPlayerMobile, &kCalculator, &kCalendar, &kContacts, &kEditor, &kAlarm,
};

inline const SceneWindow* FindPocketPcWindow(const std::string& name)
{
    for (const SceneWindow* w : kPocketPcWindows) {
        if (w->name == name)
            return w;
    }
    return nullptr;
}

// Whether a window is the navigation bar (the shell's top bar).
inline bool IsNavigationBar(const std::u16string& className)
{
    return className == kNavigationBar.className;
}

#endif
