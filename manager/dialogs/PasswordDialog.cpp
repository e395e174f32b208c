#include "PasswordDialog.h"

#include "resource.h"

namespace {
constexpr int kLongestPassword = 254;
}

int PasswordDialog::dialogTemplate() const
{
    return IDD_PASSWORD;
}

void PasswordDialog::onInit()
{
    ::SendDlgItemMessageA(handle(), IDC_PASSWORD_EDIT, EM_LIMITTEXT, kLongestPassword, 0);
    ::SetDlgItemTextA(handle(), IDC_PASSWORD_EDIT, password_.c_str());
}

void PasswordDialog::onOk()
{
    password_ = controlText(IDC_PASSWORD_EDIT, kLongestPassword);
}
