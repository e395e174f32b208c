#pragma once
// "Enter Password": one hidden edit, pre-filled with the remembered password.
// For adding it offers the choice of encryption and remembers it; for
// reading it offers none and leaves the remembered choice alone.
#include "CallBack.h"
#include "Dialog.h"
#include "ZipString.h"

enum class PasswordUse { adding, reading };

class PasswordDialog : public OkCancelDialog {
public:
    // A note (why the password is asked for again) comes with an empty field.
    PasswordDialog(HINSTANCE instance, const CString& password, PasswordUse use, const CString& note = CString())
        : OkCancelDialog(instance), password_(note.empty() ? password : CString()), use_(use), note_(note)
    {
    }

    const CString& password() const { return password_; }

protected:
    int dialogTemplate() const override;
    void onInit() override;
    void onOk() override;

private:
    CString password_;
    PasswordUse use_;
    CString note_;
};

// The encryption last chosen in the dialog, AES-256 until one was.
Encryption rememberedEncryption();
