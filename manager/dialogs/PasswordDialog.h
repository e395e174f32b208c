#pragma once
// "Enter Password": one hidden edit, pre-filled with the remembered password.
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
