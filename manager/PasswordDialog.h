#pragma once
// "Enter Password": one hidden edit, pre-filled with the remembered password.
#include "Dialog.h"
#include "ZipString.h"

class PasswordDialog : public Dialog {
public:
    PasswordDialog(HINSTANCE instance, const CString& password) : Dialog(instance), password_(password) {}

    const CString& password() const { return password_; }

protected:
    INT_PTR handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    int dialogTemplate() const override;

private:
    void onInit();
    void onOk();

    CString password_;
};
