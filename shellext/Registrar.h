#pragma once
// Runs this DLL's "REGISTRY" script resources against the registry.
//
// Registering creates every key the script names (a ForceRemove key is first
// deleted with everything below it) and writes its values. Unregistering
// deletes every key that is not marked NoRemove, with all it holds; NoRemove
// keys are never deleted, only looked into for the keys they name.
#include "RegistrarScript.h"

#include <windows.h>

namespace registrar {

HRESULT runScript(int resourceId, bool registering, const Replacements& replacements);

} // namespace registrar
