#pragma once
// IDispatch for a dual interface, answered from the interface's description
// in this DLL's own type library through the system's type-info calls.
#include <oaidl.h>

class TypeInfoDispatch {
public:
    explicit TypeInfoDispatch(REFIID dualInterface);
    ~TypeInfoDispatch();
    TypeInfoDispatch(const TypeInfoDispatch&) = delete;
    TypeInfoDispatch& operator=(const TypeInfoDispatch&) = delete;

    HRESULT getTypeInfoCount(UINT* count);
    HRESULT getTypeInfo(UINT index, ITypeInfo** info);
    HRESULT getIDsOfNames(LPOLESTR* names, UINT count, DISPID* ids);
    // object is the dual interface's pointer on which members are called.
    HRESULT invoke(void* object, DISPID member, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                   EXCEPINFO* exception, UINT* argumentError);

private:
    HRESULT loadTypeInfo();

    const IID& interface_;
    ITypeInfo* info_ = nullptr;
};
