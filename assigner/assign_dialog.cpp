// assign_dialog.cpp: the assignment dialog. Fills the button list when it
// opens, keeps the option suffix in step with the radio buttons, and
// registers the chosen button on OK.
#include "assign_dialog.h"

#include <aygshell.h>
#include <string.h>

#include "button_keys.h"
#include "resource.h"

namespace {

const WCHAR kNoOption[] = TEXT("");
const WCHAR kOptionNext[] = TEXT(" /n");
const WCHAR kOptionNextSkipShell[] = TEXT(" /ns");

void InitDialog(HWND dialog)
{
    SHINITDLGINFO init;
    init.dwMask = SHIDIM_FLAGS;
    init.hDlg = dialog;
    init.dwFlags = SHIDIF_SIZEDLGFULLSCREEN;
    SHInitDialog(&init);

    // An empty soft-key bar: the dialog's own OK and Cancel buttons do the work.
    SHMENUBARINFO bar;
    memset(&bar, 0, sizeof(bar));
    bar.cbSize = sizeof(bar);
    bar.hwndParent = dialog;
    bar.dwFlags = SHCMBF_EMPTYBAR;
    SHCreateMenuBar(&bar);

    SendMessageW(GetDlgItem(dialog, IDC_OPTION_NONE), BM_SETCHECK, BST_CHECKED, 0);
    wcscpy(LaunchOptions, kNoOption);

    // Items are added in row order into an unsorted list, so item i is row i.
    const int rows = LoadButtonKeys();
    for (int i = 0; i < rows; i++) {
        SendDlgItemMessageW(dialog, IDC_BUTTON_LIST, CB_ADDSTRING, 0,
                            (LPARAM)ButtonKeyTable[i].displayName);
    }
    SendDlgItemMessageW(dialog, IDC_BUTTON_LIST, CB_SETCURSEL, 0, 0);
}

INT_PTR OnCommand(HWND dialog, WORD id)
{
    switch (id) {
    case IDOK: {
        const int row = (int)SendDlgItemMessageW(dialog, IDC_BUTTON_LIST, CB_GETCURSEL, 0, 0);
        RegisterButton(dialog, row);
        EndDialog(dialog, 1);
        return TRUE;
    }
    case IDCANCEL:
        EndDialog(dialog, 1);
        return TRUE;
    case IDC_OPTION_NONE:
        wcscpy(LaunchOptions, kNoOption);
        return FALSE;
    case IDC_OPTION_N:
        wcscpy(LaunchOptions, kOptionNext);
        return FALSE;
    case IDC_OPTION_NS:
        wcscpy(LaunchOptions, kOptionNextSkipShell);
        return FALSE;
    default:
        return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK AssignDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        InitDialog(dialog);
        return TRUE;
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam));
    case WM_CLOSE:
        EndDialog(dialog, 1);
        return TRUE;
    default:
        return FALSE;
    }
}
