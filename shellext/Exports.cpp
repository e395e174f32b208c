// The four entry points of the COM server (named in Quaylink.def).
#include "ClassFactory.h"
#include "Module.h"
#include "QuaylinkGuids.h"
#include "Quaylink_h.h"
#include "Registrar.h"
#include "Shortcuts.h"
#include "TypeLibrary.h"
#include "resource.h"

#include <algorithm>
#include <string>

namespace {

// Where registration notes the shared keys it had to make: the product's
// application key, the last thing unregistration removes.
const std::string kMadeKeysRecord = "HKCR\\AppID\\" QUAYLINK_REGISTRY_FORM(QUAYLINK_APPID);

registrar::Replacements replacements()
{
    // The path goes between apostrophes in the scripts.
    std::string path;
    for (char c : module::path())
        path += c == '\'' ? std::string("''") : std::string(1, c);
    return {{"APPID", QUAYLINK_REGISTRY_FORM(QUAYLINK_APPID)}, {"MODULE", path}};
}

// A registration made again (each first start of a new installation) finds
// the keys it made last time in place and keeps them on the record.
HRESULT registerServer()
{
    registrar::MadeKeys made = registrar::readMadeKeys(kMadeKeysRecord);
    HRESULT result = registrar::runScript(IDR_APPID_SCRIPT, true, replacements(), made);
    if (SUCCEEDED(result))
        result = registrar::runScript(IDR_HANDLER_SCRIPT, true, replacements(), made);
    if (SUCCEEDED(result)) {
        std::sort(made.begin(), made.end());
        made.erase(std::unique(made.begin(), made.end()), made.end());
        registrar::writeMadeKeys(kMadeKeysRecord, made);
        result = registerOwnTypeLibrary();
    }
    return result;
}

// Every step runs, whatever an earlier one gave: a part already removed
// counts as removed and must not keep the rest in place. The first failure
// is the result.
HRESULT unregisterServer()
{
    const registrar::MadeKeys made = registrar::readMadeKeys(kMadeKeysRecord);
    registrar::MadeKeys unused;
    const HRESULT handler = registrar::runScript(IDR_HANDLER_SCRIPT, false, replacements(), unused);
    const HRESULT library = unregisterOwnTypeLibrary();
    const HRESULT application = registrar::runScript(IDR_APPID_SCRIPT, false, replacements(), unused);
    registrar::removeEmptyKeys(made);
    return FAILED(handler) ? handler : FAILED(library) ? library : application;
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
