#include "CallBack.h"

bool ICallBack::checkForUserCancel()
{
    return false;
}

ICallBack::~ICallBack() = default;
