#pragma once
// The engine's prompts answered without showing anything: the Explorer's
// thread must never stop on a disk or password question.
#include "CallBack.h"

class SilentCallBack : public ICallBack {
public:
    bool askForDisk(int) override { return false; }
    bool askForSpanning() override { return true; }
    bool askForPassword(CString&) override { return false; }
    CString getPassword() override { return CString(); }
    void setStatusText(CString) override {}
};
