#pragma once
// Owning pointers for what the shell hands out: COM interfaces, released
// once, and item identifier lists, freed with the task allocator.
#include <windows.h>
#include <shlobj.h>

#include <memory>

struct ReleaseInterface {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using ComPointer = std::unique_ptr<Interface, ReleaseInterface>;

struct FreeIdList {
    void operator()(ITEMIDLIST* list) const { ::CoTaskMemFree(list); }
};
using IdList = std::unique_ptr<ITEMIDLIST, FreeIdList>;
