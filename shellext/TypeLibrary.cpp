#include "TypeLibrary.h"

#include "AnsiText.h"
#include "Module.h"

HRESULT loadOwnTypeLibrary(ITypeLib** library)
{
    // A module path alone names its first TYPELIB resource.
    return ::LoadTypeLibEx(ansi::widenPath(module::path()).c_str(), REGKIND_NONE, library);
}

HRESULT registerOwnTypeLibrary()
{
    ITypeLib* library = nullptr;
    HRESULT result = loadOwnTypeLibrary(&library);
    if (FAILED(result))
        return result;
    std::wstring path = ansi::widenPath(module::path());
    std::wstring helpFolder = ansi::widenPath(module::folder());
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
        result = ::UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                                     attributes->lcid, attributes->syskind);
        library->ReleaseTLibAttr(attributes);
    }
    library->Release();
    return result;
}
