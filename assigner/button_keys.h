// button_keys.h: the hardware buttons the shell declares in the registry, and
// the registration of ForegroundDismisser's command on one of them.
#ifndef BUTTON_KEYS_H
#define BUTTON_KEYS_H

#include <windows.h>

// Key names, display names, key paths and the command share this capacity.
const int kNameChars = 260;
const int kButtonKeyRows = 10;
const int kLaunchOptionsChars = 6;

extern const WCHAR kShellKeysPath[];

struct ButtonKeyEntry {
    WCHAR keyName[kNameChars];      // the button's subkey under kShellKeysPath
    WCHAR displayName[kNameChars];  // its Name value; empty when unreadable
};

// Row i is the i-th button subkey in the registry's own order and item i of
// the dialog's list.
extern ButtonKeyEntry ButtonKeyTable[kButtonKeyRows];

// The option suffix for the command: empty, " /n" or " /ns".
extern WCHAR LaunchOptions[kLaunchOptionsChars];

// Fills ButtonKeyTable afresh; returns the number of rows loaded (0 to 10).
int LoadButtonKeys();

// Writes the command that starts ForegroundDismisser into the Default value and
// the unnamed value of row `row`'s button and tells the user how it went in a message box.
void RegisterButton(HWND owner, int row);

#endif
