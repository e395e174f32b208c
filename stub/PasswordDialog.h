#pragma once
#include "ZipString.h"

#include <windows.h>

// "Enter Password": asks for the password of an encrypted entry, starting
// from the one typed last.
class PasswordDialog {
public:
    explicit PasswordDialog(CString initial) : password_(std::move(initial)) {}

    // True when the user pressed OK; password() then holds what was typed.
    bool show();
    const CString& password() const { return password_; }

private:
    // The edit control takes at most this many characters plus the zero byte.
    static constexpr int kPasswordBuffer = 255;

    static INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onInitDialog(HWND dialog);
    INT_PTR onCommand(HWND dialog, WORD id);

    CString password_;
};
