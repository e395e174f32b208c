#pragma once
// The type library embedded in this DLL as its "TYPELIB" resource 1.
#include <oaidl.h>

HRESULT loadOwnTypeLibrary(ITypeLib** library);
HRESULT registerOwnTypeLibrary();
HRESULT unregisterOwnTypeLibrary();
