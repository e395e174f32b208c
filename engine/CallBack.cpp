#include "CallBack.h"

Encryption ICallBack::getEncryption()
{
    return Encryption::ZipCrypto;
}

bool ICallBack::checkForUserCancel()
{
    return false;
}

ICallBack::~ICallBack() = default;
