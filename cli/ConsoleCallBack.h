#pragma once
#include "CallBack.h"

// A console has nobody to change disks or type a password at a prompt: the
// password comes from the command line, every prompt is declined.
class ConsoleCallBack : public ICallBack {
public:
    explicit ConsoleCallBack(CString password = CString(), Encryption encryption = Encryption::ZipCrypto)
        : password_(std::move(password)), encryption_(encryption)
    {
    }

    bool askForDisk(int) override { return false; }
    bool askForSpanning() override { return false; }
    bool askForPassword(CString& password) override
    {
        password = password_;
        return !password_.empty();
    }
    CString getPassword() override { return password_; }
    Encryption getEncryption() override { return encryption_; }
    void setStatusText(CString) override {}

private:
    CString password_;
    Encryption encryption_;
};
