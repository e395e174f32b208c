#include "Dialog.h"

#include "resource.h"

#include <utility>
#include <vector>

INT_PTR Dialog::run(HWND owner)
{
    return ::DialogBoxParamA(instance_, MAKEINTRESOURCEA(dialogTemplate()), owner, dialogProc,
                             reinterpret_cast<LPARAM>(this));
}

HWND Dialog::create(HWND owner)
{
    return ::CreateDialogParamA(instance_, MAKEINTRESOURCEA(dialogTemplate()), owner, dialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK Dialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Dialog* starting = message == WM_INITDIALOG ? reinterpret_cast<Dialog*>(lParam) : nullptr;
    return route(window, message, wParam, lParam, starting);
}

INT_PTR Dialog::route(HWND window, UINT message, WPARAM wParam, LPARAM lParam, Dialog* starting)
{
    if (starting) {
        starting->window_ = window;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(starting));
    }
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!dialog)
        return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        dialog->window_ = nullptr;
        return FALSE;
    }
    // The system lays out the dialog for a new DPI; pictures are ours to redraw.
    if (message == WM_INITDIALOG)
        dialog->showProgramIcon(dpi::ofWindow(window));
    if (message == WM_DPICHANGED)
        dialog->showProgramIcon(LOWORD(wParam));
    return dialog->handleMessage(message, wParam, lParam);
}

void Dialog::showProgramIcon(UINT dpi)
{
    if (!programIconControl_)
        return;
    dpi::Icon icon = dpi::loadIcon(instance_, IDI_PACKROOK, SM_CXICON, dpi);
    ::SendDlgItemMessageA(window_, programIconControl_, STM_SETICON, reinterpret_cast<WPARAM>(icon.get()), 0);
    programIcon_ = std::move(icon);
}

bool Dialog::isChecked(int control) const
{
    return ::IsDlgButtonChecked(window_, control) == BST_CHECKED;
}

void Dialog::setChecked(int control, bool checked)
{
    ::CheckDlgButton(window_, control, checked ? BST_CHECKED : BST_UNCHECKED);
}

CString Dialog::controlText(int control, int longest) const
{
    std::vector<char> text(static_cast<size_t>(longest) + 1);
    const UINT length = ::GetDlgItemTextA(window_, control, text.data(), longest + 1);
    return CString(text.data(), length);
}

INT_PTR OkCancelDialog::handleMessage(UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        onInit();
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            onOk();
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            ::EndDialog(handle(), LOWORD(wParam));
        return TRUE;
    default:
        return FALSE;
    }
}
