#include "PasswordDialog.h"

#include "resource.h"

bool PasswordDialog::show()
{
    return ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PASSWORD), nullptr, dialogProc,
                             reinterpret_cast<LPARAM>(this))
           == IDOK;
}

INT_PTR CALLBACK PasswordDialog::dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG)
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    auto* self = reinterpret_cast<PasswordDialog*>(::GetWindowLongPtrA(dialog, DWLP_USER));
    if (!self)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        return self->onInitDialog(dialog);
    case WM_COMMAND:
        return self->onCommand(dialog, LOWORD(wParam));
    default:
        return FALSE;
    }
}

INT_PTR PasswordDialog::onInitDialog(HWND dialog)
{
    ::SetDlgItemTextA(dialog, IDC_PASSWORD, password_.c_str());
    return TRUE;
}

INT_PTR PasswordDialog::onCommand(HWND dialog, WORD id)
{
    if (id == IDOK) {
        char typed[kPasswordBuffer] = {};
        ::GetDlgItemTextA(dialog, IDC_PASSWORD, typed, kPasswordBuffer);
        password_ = typed;
    } else if (id != IDCANCEL) {
        return FALSE;
    }
    ::EndDialog(dialog, id);
    return TRUE;
}
