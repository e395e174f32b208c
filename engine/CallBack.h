#pragma once
#include "EngineApi.h"
#include "ZipString.h"

// How the files of a batch are encrypted when there is a password: Zip 2.0's
// traditional encryption, which every reader knows, or AES with 256-bit keys.
enum class Encryption { ZipCrypto, Aes256 };

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
    // Asked with getPassword; a caller that offers no choice keeps Zip 2.0.
    virtual Encryption getEncryption();
    virtual void setStatusText(CString text) = 0;
    virtual bool checkForUserCancel();

protected:
    ~ICallBack();
};
