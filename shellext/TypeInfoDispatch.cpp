#include "TypeInfoDispatch.h"

#include "TypeLibrary.h"

TypeInfoDispatch::TypeInfoDispatch(REFIID dualInterface) : interface_(dualInterface) {}

TypeInfoDispatch::~TypeInfoDispatch()
{
    if (info_)
        info_->Release();
}

HRESULT TypeInfoDispatch::loadTypeInfo()
{
    if (info_)
        return S_OK;
    ITypeLib* library = nullptr;
    HRESULT result = loadOwnTypeLibrary(&library);
    if (FAILED(result))
        return result;
    result = library->GetTypeInfoOfGuid(interface_, &info_);
    library->Release();
    return result;
}

HRESULT TypeInfoDispatch::getTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TypeInfoDispatch::getTypeInfo(UINT index, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (index != 0)
        return DISP_E_BADINDEX;
    const HRESULT result = loadTypeInfo();
    if (FAILED(result))
        return result;
    info_->AddRef();
    *info = info_;
    return S_OK;
}

HRESULT TypeInfoDispatch::getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids)
{
    const HRESULT result = loadTypeInfo();
    return FAILED(result) ? result : ::DispGetIDsOfNames(info_, names, count, ids);
}

HRESULT TypeInfoDispatch::invoke(void* object, DISPID member, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                                 EXCEPINFO* exception, UINT* argumentError)
{
    const HRESULT loaded = loadTypeInfo();
    if (FAILED(loaded))
        return loaded;
    return ::DispInvoke(object, info_, member, flags, parameters, result, exception, argumentError);
}
