#pragma once
// Runs this DLL's "REGISTRY" script resources against the registry.
//
// Registering creates every key the script names (a ForceRemove key is first
// deleted with everything below it) and writes its values. Unregistering
// deletes every key that is not marked NoRemove, with all it holds; NoRemove
// keys are never deleted there, only looked into for the keys they name.
#include "RegistrarScript.h"

#include <windows.h>

namespace registrar {

// Keys marked NoRemove that registering had to make, as full paths from the
// root's name on ("HKCR\\Directory\\shellex"), parents first. They are the
// product's own for as long as nothing else moves in.
using MadeKeys = std::vector<std::string>;

HRESULT runScript(int resourceId, bool registering, const Replacements& replacements, MadeKeys& made);

// The made keys are kept in a value of a key of the product's own (record,
// a full path as above) from registration to unregistration.
constexpr wchar_t kMadeKeysValue[] = L"MadeKeys";
MadeKeys readMadeKeys(const std::string& record);
void writeMadeKeys(const std::string& record, const MadeKeys& keys);
// Deletes each of the keys that holds nothing, children before parents; a
// key where another program has put something stays.
void removeEmptyKeys(const MadeKeys& keys);

} // namespace registrar
