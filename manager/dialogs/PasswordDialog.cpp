#include "PasswordDialog.h"

#include "Settings.h"
#include "resource.h"

namespace {
constexpr int kLongestPassword = 254;
constexpr const char* kEncryptionKey = "EncryptWithAes";
}

Encryption rememberedEncryption()
{
    return settings::readSettingInt(settings::kPrefs, kEncryptionKey, 1) != 0 ? Encryption::Aes256
                                                                               : Encryption::ZipCrypto;
}

int PasswordDialog::dialogTemplate() const
{
    return use_ == PasswordUse::adding ? IDD_PASSWORD : IDD_PASSWORD_READ;
}

void PasswordDialog::onInit()
{
    ::SendDlgItemMessageA(handle(), IDC_PASSWORD_EDIT, EM_LIMITTEXT, kLongestPassword, 0);
    ::SetDlgItemTextA(handle(), IDC_PASSWORD_EDIT, password_.c_str());
    if (use_ == PasswordUse::reading) {
        ::SetDlgItemTextA(handle(), IDC_PASSWORD_NOTE, note_.c_str());
        return;
    }
    const bool aes = rememberedEncryption() == Encryption::Aes256;
    ::CheckRadioButton(handle(), IDC_PASSWORD_AES, IDC_PASSWORD_ZIPCRYPTO,
                       aes ? IDC_PASSWORD_AES : IDC_PASSWORD_ZIPCRYPTO);
}

void PasswordDialog::onOk()
{
    password_ = controlText(IDC_PASSWORD_EDIT, kLongestPassword);
    if (use_ == PasswordUse::adding)
        settings::writeSettingInt(settings::kPrefs, kEncryptionKey, isChecked(IDC_PASSWORD_AES) ? 1 : 0);
}
