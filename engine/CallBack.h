#pragma once
#include "EngineApi.h"
#include "ZipString.h"

// What the engine needs from whoever drives it: disk and password prompts,
// status texts and cancellation. The engine never owns or deletes it.
class PACKROOK_ENGINE_API ICallBack {
public:
    // disk is 1-based, or -1 for the last disk of a spanned set.
    virtual bool askForDisk(int disk) = 0;
    virtual bool askForSpanning() = 0;
    virtual bool askForPassword(CString& password) = 0;
    // An empty answer means the files of this batch are not encrypted.
    virtual CString getPassword() = 0;
    virtual void setStatusText(CString text) = 0;
    virtual bool checkForUserCancel();

protected:
    ~ICallBack();
};
