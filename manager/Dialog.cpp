#include "Dialog.h"

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
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<Dialog*>(lParam);
        dialog->window_ = window;
        ::SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    }
    auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!dialog)
        return FALSE;
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        dialog->window_ = nullptr;
        return FALSE;
    }
    return dialog->handleMessage(message, wParam, lParam);
}
