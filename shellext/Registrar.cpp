#include "Registrar.h"

#include "Module.h"

namespace registrar {

namespace {

bool loadScriptText(int resourceId, std::string& text)
{
    HRSRC found = ::FindResourceA(module::instance(), MAKEINTRESOURCEA(resourceId), "REGISTRY");
    HGLOBAL loaded = found ? ::LoadResource(module::instance(), found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (!bytes)
        return false;
    text.assign(bytes, ::SizeofResource(module::instance(), found));
    return true;
}

LONG setString(HKEY key, const char* name, const std::string& data)
{
    return ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                            static_cast<DWORD>(data.size() + 1));
}

// A key that is already gone counts as deleted.
LONG deleteWhole(HKEY parent, const std::string& name)
{
    const LONG result = ::RegDeleteTreeA(parent, name.c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

LONG writeValues(HKEY handle, const Key& key)
{
    LONG result = key.hasDefault ? setString(handle, nullptr, key.defaultValue) : ERROR_SUCCESS;
    for (const NamedValue& value : key.values) {
        if (result == ERROR_SUCCESS)
            result = setString(handle, value.name.c_str(), value.data);
    }
    return result;
}

LONG registerKey(HKEY parent, const Key& key);
LONG unregisterKey(HKEY parent, const Key& key);

template <typename Step>
LONG forEachSubkey(HKEY handle, const std::vector<Key>& keys, Step step)
{
    for (const Key& key : keys) {
        const LONG result = step(handle, key);
        if (result != ERROR_SUCCESS)
            return result;
    }
    return ERROR_SUCCESS;
}

LONG registerKey(HKEY parent, const Key& key)
{
    if (key.mark == Key::Mark::forceRemove) {
        const LONG removed = deleteWhole(parent, key.name);
        if (removed != ERROR_SUCCESS)
            return removed;
    }
    HKEY handle = nullptr;
    LONG result = ::RegCreateKeyExA(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_READ | KEY_WRITE, nullptr, &handle, nullptr);
    if (result != ERROR_SUCCESS)
        return result;
    result = writeValues(handle, key);
    if (result == ERROR_SUCCESS)
        result = forEachSubkey(handle, key.subkeys, registerKey);
    ::RegCloseKey(handle);
    return result;
}

LONG unregisterKey(HKEY parent, const Key& key)
{
    if (key.mark != Key::Mark::noRemove)
        return deleteWhole(parent, key.name);
    HKEY handle = nullptr;
    LONG result = ::RegOpenKeyExA(parent, key.name.c_str(), 0, KEY_READ | KEY_WRITE, &handle);
    if (result == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    result = forEachSubkey(handle, key.subkeys, unregisterKey);
    ::RegCloseKey(handle);
    return result;
}

LONG registerKeys(const RootKey& root)
{
    return forEachSubkey(root.handle, root.keys, registerKey);
}

LONG unregisterKeys(const RootKey& root)
{
    return forEachSubkey(root.handle, root.keys, unregisterKey);
}

} // namespace

HRESULT runScript(int resourceId, bool registering, const Replacements& replacements)
{
    std::string text;
    std::string replaced;
    std::vector<RootKey> roots;
    if (!loadScriptText(resourceId, text))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (!replaceVariables(text, replacements, replaced) || !parseScript(replaced, roots))
        return E_UNEXPECTED;
    for (const RootKey& root : roots) {
        const LONG result = registering ? registerKeys(root) : unregisterKeys(root);
        if (result != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(result);
    }
    return S_OK;
}

} // namespace registrar
