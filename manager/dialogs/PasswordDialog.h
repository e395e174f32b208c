#pragma once
// "Enter Password": one hidden edit, pre-filled with the remembered password,
// and the choice of encryption for the files added with it.
#include "CallBack.h"
#include "Dialog.h"
#include "ZipString.h"

class PasswordDialog : public OkCancelDialog {
public:
    PasswordDialog(HINSTANCE instance, const CString& password) : OkCancelDialog(instance), password_(password) {}

    const CString& password() const { return password_; }

protected:
    int dialogTemplate() const override;
    void onInit() override;
    void onOk() override;

private:
    CString password_;
};

// The encryption last chosen in the dialog, AES-256 until one was.
Encryption rememberedEncryption();
