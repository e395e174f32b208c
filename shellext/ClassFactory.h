#pragma once
// The factory of ContextHandler objects; DllGetClassObject hands out one
// instance, made on first request and kept for the life of the DLL.
#include <unknwn.h>

class ClassFactory : public IClassFactory {
public:
    static ClassFactory& instance();

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    ClassFactory() = default;
};
