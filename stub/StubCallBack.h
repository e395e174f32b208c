#pragma once
#include "CallBack.h"

// The installer's side of the engine's prompts: message boxes for disks, the
// password dialog, and a password remembered for the next prompt.
class StubCallBack : public ICallBack {
public:
    bool askForDisk(int disk) override;
    bool askForSpanning() override { return true; }
    bool askForPassword(CString& password) override;
    CString getPassword() override { return password_; }
    void setStatusText(CString) override {}

private:
    CString password_;
};
