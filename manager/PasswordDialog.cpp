#include "PasswordDialog.h"

#include "resource.h"

namespace {
constexpr int kLongestPassword = 254;
}

int PasswordDialog::dialogTemplate() const
{
    return IDD_PASSWORD;
}

INT_PTR PasswordDialog::handleMessage(UINT message, WPARAM wParam, LPARAM)
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

void PasswordDialog::onInit()
{
    ::SendDlgItemMessageA(handle(), IDC_PASSWORD_EDIT, EM_LIMITTEXT, kLongestPassword, 0);
    ::SetDlgItemTextA(handle(), IDC_PASSWORD_EDIT, password_.c_str());
}

void PasswordDialog::onOk()
{
    char text[kLongestPassword + 1] = {};
    const UINT length = ::GetDlgItemTextA(handle(), IDC_PASSWORD_EDIT, text, sizeof text);
    password_.assign(text, length);
}
