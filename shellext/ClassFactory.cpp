#include "ClassFactory.h"

#include "ContextHandler.h"
#include "Module.h"

#include <memory>

namespace {
std::unique_ptr<ClassFactory> factory;
}

ClassFactory& ClassFactory::instance()
{
    module::Guard guard;
    if (!factory)
        factory.reset(new ClassFactory);
    return *factory;
}

STDMETHODIMP ClassFactory::QueryInterface(REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IClassFactory)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
}

// The factory lives as long as the DLL; references to it do not keep the
// DLL loaded, only LockServer does.
STDMETHODIMP_(ULONG) ClassFactory::AddRef()
{
    return 2;
}

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    return 1;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    return ContextHandler::create(outer, iid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        module::lock();
    else
        module::unlock();
    return S_OK;
}
