// The four entry points of the COM server (named in Quaylink.def).
#include "ClassFactory.h"
#include "Module.h"
#include "QuaylinkGuids.h"
#include "Quaylink_h.h"
#include "Registrar.h"
#include "Shortcuts.h"
#include "TypeLibrary.h"
#include "resource.h"

#include <string>

namespace {

registrar::Replacements replacements()
{
    // The path goes between apostrophes in the scripts.
    std::string path;
    for (char c : module::path())
        path += c == '\'' ? std::string("''") : std::string(1, c);
    return {{"APPID", QUAYLINK_REGISTRY_FORM(QUAYLINK_APPID)}, {"MODULE", path}};
}

HRESULT registerServer()
{
    HRESULT result = registrar::runScript(IDR_APPID_SCRIPT, true, replacements());
    if (SUCCEEDED(result))
        result = registrar::runScript(IDR_HANDLER_SCRIPT, true, replacements());
    if (SUCCEEDED(result))
        result = registerOwnTypeLibrary();
    return result;
}

HRESULT unregisterServer()
{
    HRESULT result = registrar::runScript(IDR_HANDLER_SCRIPT, false, replacements());
    if (SUCCEEDED(result))
        result = unregisterOwnTypeLibrary();
    if (SUCCEEDED(result))
        result = registrar::runScript(IDR_APPID_SCRIPT, false, replacements());
    return result;
}

} // namespace

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, LPVOID* object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!::IsEqualCLSID(classId, CLSID_ContextHandler))
        return CLASS_E_CLASSNOTAVAILABLE;
    return ClassFactory::instance().QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow()
{
    return module::isLocked() ? S_FALSE : S_OK;
}

STDAPI DllRegisterServer()
{
    const HRESULT result = registerServer();
    createStartMenuShortcuts();
    return result;
}

STDAPI DllUnregisterServer()
{
    const HRESULT result = unregisterServer();
    removeStartMenuShortcuts();
    return result;
}
