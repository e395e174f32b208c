#include "TypeLibrary.h"

#include "Module.h"
#include "os/Os.h"

HRESULT loadOwnTypeLibrary(ITypeLib** library)
{
    // A module path alone names its first TYPELIB resource.
    return ::LoadTypeLibEx(os::toWide(module::path()).c_str(), REGKIND_NONE, library);
}

HRESULT registerOwnTypeLibrary()
{
    ITypeLib* library = nullptr;
    HRESULT result = loadOwnTypeLibrary(&library);
    if (FAILED(result))
        return result;
    std::wstring path = os::toWide(module::path());
    std::wstring helpFolder = os::toWide(module::folder());
    result = ::RegisterTypeLib(library, path.data(), helpFolder.data());
    library->Release();
    return result;
}

HRESULT unregisterOwnTypeLibrary()
{
    ITypeLib* library = nullptr;
    HRESULT result = loadOwnTypeLibrary(&library);
    if (FAILED(result))
        return result;
    TLIBATTR* attributes = nullptr;
    result = library->GetLibAttr(&attributes);
    if (SUCCEEDED(result)) {
        // A library no longer registered is as removed as it gets.
        BSTR registered = nullptr;
        if (SUCCEEDED(::QueryPathOfRegTypeLib(attributes->guid, attributes->wMajorVerNum,
                                              attributes->wMinorVerNum, attributes->lcid, &registered)))
            result = ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                         attributes->lcid, attributes->syskind);
        ::SysFreeString(registered);
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
    return result;
}
