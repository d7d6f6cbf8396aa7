// window_rules.h: the closer's two decisions about windows: what kind of
// window is in front, and which window comes forward when it goes to the back.
#ifndef WINDOW_RULES_H
#define WINDOW_RULES_H

#include <windows.h>

enum WindowCategory {
    CategoryShell = 0,         // a shell page: sent to the back
    CategoryPlain = 1,         // an ordinary window: closed
    CategoryTaskbarClose = 2,  // closed through the navigation bar's button
    CategoryMediaPlayer = 3,   // closed, then Ctrl+Q if it survives
    CategoryDesktop = 4,       // the Today screen: left alone
};

// The Today screen's class.
extern const WCHAR kClassDesktop[];

// Window class names and titles are read into buffers of this many characters.
const int kWindowTextChars = 256;

WindowCategory ClassifyWindow(HWND window);

// Whether the closer has a rule for windows of this class: ClassifyWindow
// names it (its title or first child may decide the category) or
// FindNextWindow passes it over. Every other class is an ordinary
// application's, whose titles mean nothing to the closer.
BOOL ClassHasRule(LPCWSTR className);

// FindNextWindow looks at this many windows below start at most.
const int kMaxWindowsWalked = 4096;

// The first window below start that may come forward: visible, not one of
// the shell's helper windows and, when skipShell is set, not a shell page.
// NULL when there is none within kMaxWindowsWalked windows.
HWND FindNextWindow(HWND start, BOOL skipShell);

#endif
