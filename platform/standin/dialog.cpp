// dialog.cpp: the dialog manager: the one modal dialog, its controls, and the
// user's taps and selections a scene plays into it.
#include "model.h"

namespace standin {
namespace detail {
namespace {

Dialog* DialogOf(HWND dialog)
{
    if (M().dialog.handle == NULL || M().dialog.handle != dialog)
        return NULL;
    return &M().dialog;
}

}  // namespace

Control* ControlOf(HWND handle, HWND* dialogOut)
{
    Window* w = Find(handle);
    if (w == NULL || w->dialog == NULL)
        return NULL;
    Dialog* d = DialogOf(w->dialog);
    if (d == NULL)
        return NULL;
    if (dialogOut != NULL)
        *dialogOut = w->dialog;
    return &d->controls[w->controlIndex];
}

LRESULT ControlMessage(HWND handle, Control* control, UINT message, WPARAM wParam, LPARAM lParam)
{
    Text text;
    if (message == CB_ADDSTRING && lParam != 0)
        text = Text((const WCHAR*)lParam);
    Record(kControlMessage, handle, message, wParam, message == CB_ADDSTRING ? 0 : lParam, text);
    switch (message) {
    case BM_SETCHECK:
        control->check = (int)wParam;
        return 0;
    case BM_GETCHECK:
        return control->check;
    case CB_ADDSTRING:
        control->items.push_back(text);
        return (LRESULT)control->items.size() - 1;
    case CB_GETCOUNT:
        return (LRESULT)control->items.size();
    case CB_SETCURSEL:
        if ((intptr_t)wParam < 0 || wParam >= control->items.size()) {
            control->selection = CB_ERR;
            return CB_ERR;
        }
        control->selection = (int)wParam;
        return control->selection;
    case CB_GETCURSEL:
        return control->selection;
    default:
        Unmodelled("this message to a dialog control");
    }
}

namespace {

INT_PTR CallProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL || d->ended)
        Unmodelled("input to a dialog that is not open");
    INT_PTR result;
    {
        ProgramCode program;
        result = d->proc(dialog, message, wParam, lParam);
    }
    M().procResults.push_back(result);
    return result;
}

}  // namespace
}  // namespace detail

using namespace detail;

void SetDialogScript(std::function<void(HWND)> script)
{
    M().dialogScript = script;
}

void Click(HWND dialog, int id)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        Unmodelled("click outside an open dialog");
    for (size_t i = 0; i < d->controls.size(); i++) {
        Control& c = d->controls[i];
        if (c.id != id)
            continue;
        if (c.kind == kRadioButton) {
            // An auto radio button checks itself and clears the rest of its group.
            size_t first = i;
            while (first > 0 && !d->controls[first].group)
                first--;
            for (size_t j = first; j < d->controls.size(); j++) {
                if (j > first && d->controls[j].group)
                    break;
                if (d->controls[j].kind == kRadioButton)
                    d->controls[j].check = BST_UNCHECKED;
            }
            c.check = BST_CHECKED;
        }
        CallProc(dialog, WM_COMMAND, MAKELONG(id, BN_CLICKED), (LPARAM)d->controlHandles[i]);
        return;
    }
    Unmodelled("click on a control the dialog does not have");
}

void SelectItem(HWND dialog, int id, int index)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        Unmodelled("selection outside an open dialog");
    for (Control& c : d->controls) {
        if (c.id == id && c.kind == kComboBox) {
            c.selection = (index >= 0 && index < (int)c.items.size()) ? index : CB_ERR;
            return;
        }
    }
    Unmodelled("selection in a list the dialog does not have");
}

void CloseDialog(HWND dialog)
{
    CallProc(dialog, WM_CLOSE, 0, 0);
}

bool DialogEnded()
{
    return M().dialog.ended;
}

INT_PTR DialogResult()
{
    return M().dialog.result;
}

static Control* ControlById(HWND dialog, int id)
{
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        return NULL;
    for (Control& c : d->controls) {
        if (c.id == id)
            return &c;
    }
    return NULL;
}

bool IsChecked(HWND dialog, int id)
{
    Control* c = ControlById(dialog, id);
    return c != NULL && c->check == BST_CHECKED;
}

std::vector<Text> ComboItems(HWND dialog, int id)
{
    Control* c = ControlById(dialog, id);
    return c == NULL ? std::vector<Text>() : c->items;
}

std::vector<ControlSpec> DialogControls(HWND dialog)
{
    std::vector<ControlSpec> out;
    if (DialogOf(dialog) == NULL)
        return out;
    for (const Control& c : M().dialog.controls)
        out.push_back(ControlSpec{c.id, c.kind, c.group});
    return out;
}

int ComboSelection(HWND dialog, int id)
{
    Control* c = ControlById(dialog, id);
    return c == NULL ? CB_ERR : c->selection;
}

std::vector<INT_PTR> DialogProcResults()
{
    return M().procResults;
}

}  // namespace standin

using namespace standin;
using namespace standin::detail;

INT_PTR DialogBoxIndirectParamW(HINSTANCE, LPCDLGTEMPLATEW dialogTemplate, HWND owner,
                                DLGPROC dialogProc, LPARAM initParam)
{
    PlatformCall scope("DialogBoxIndirectParamW",
                       {Given(dialogTemplate), (uintptr_t)owner, Given((const void*)dialogProc),
                        (uintptr_t)initParam});
    if (dialogTemplate == NULL || dialogProc == NULL)
        return -1;
    if (owner != NULL || M().dialogRan)
        Unmodelled("an owned dialog, or a second dialog");
    const DialogResource* resource = NULL;
    for (auto& r : M().resources) {
        if ((const void*)r.get() == (const void*)dialogTemplate)
            resource = r.get();
    }
    if (resource == NULL)
        Unmodelled("a dialog template the stand-in did not make");

    M().dialogRan = true;
    Dialog& d = M().dialog;
    d.handle = NewHandle();
    d.proc = dialogProc;
    Window dw;
    dw.className = u"Dialog";
    M().windows[(uintptr_t)d.handle] = dw;
    for (const ControlSpec& spec : resource->controls) {
        HWND handle = NewHandle();
        Window cw;
        cw.isChild = true;
        cw.dialog = d.handle;
        cw.controlIndex = (int)d.controls.size();
        M().windows[(uintptr_t)handle] = cw;
        Control control;
        control.id = spec.id;
        control.kind = spec.kind;
        control.group = spec.group;
        d.controls.push_back(control);
        d.controlHandles.push_back(handle);
    }
    CallProc(d.handle, WM_INITDIALOG, 0, initParam);
    if (!d.ended && M().dialogScript) {
        PlatformCall script("dialog script");
        M().dialogScript(d.handle);
    }
    if (!d.ended)
        Unmodelled("a dialog left open by its test");
    return d.result;
}

HWND GetDlgItem(HWND dialog, int id)
{
    PlatformCall scope("GetDlgItem", {(uintptr_t)dialog, (uintptr_t)id});
    Dialog* d = DialogOf(dialog);
    if (d == NULL)
        return NULL;
    for (size_t i = 0; i < d->controls.size(); i++) {
        if (d->controls[i].id == id && id != 0xFFFF)
            return d->controlHandles[i];
    }
    return NULL;
}

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    PlatformCall scope("SendDlgItemMessageW", {(uintptr_t)dialog, (uintptr_t)id, message, wParam,
                                               MessageParam(message, lParam)});
    HWND control = GetDlgItem(dialog, id);
    if (control == NULL)
        return 0;
    return SendMessageW(control, message, wParam, lParam);
}

BOOL EndDialog(HWND dialog, INT_PTR result)
{
    PlatformCall scope("EndDialog", {(uintptr_t)dialog, (uintptr_t)result});
    Record(kEndDialog, dialog, (uintptr_t)result);
    Dialog* d = DialogOf(dialog);
    if (d == NULL || d->ended)
        return FALSE;
    d->ended = true;
    d->result = result;
    return TRUE;
}
