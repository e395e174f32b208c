#include "Registrar.h"

#include "Module.h"
#include "os/Os.h"

#include <algorithm>

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

// Names and values are UTF-8 (the DLL's own path among them); the registry
// takes them in UTF-16, whatever the host's code page.
std::wstring wide(const std::string& text)
{
    return os::toWide(text);
}

LONG setString(HKEY key, const std::string* name, const std::string& data)
{
    const std::wstring value = wide(data);
    return ::RegSetValueExW(key, name ? wide(*name).c_str() : nullptr, 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(value.c_str()),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// A key that is already gone counts as deleted.
LONG deleteWhole(HKEY parent, const std::string& name)
{
    const LONG result = ::RegDeleteTreeW(parent, wide(name).c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

LONG writeValues(HKEY handle, const Key& key)
{
    LONG result = key.hasDefault ? setString(handle, nullptr, key.defaultValue) : ERROR_SUCCESS;
    for (const NamedValue& value : key.values) {
        if (result == ERROR_SUCCESS)
            result = setString(handle, &value.name, value.data);
    }
    return result;
}

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

// path is the key's full path from its root's name on ("HKCR\\Directory").
LONG registerKey(HKEY parent, const std::string& path, const Key& key, MadeKeys& made)
{
    if (key.mark == Key::Mark::forceRemove) {
        const LONG removed = deleteWhole(parent, key.name);
        if (removed != ERROR_SUCCESS)
            return removed;
    }
    HKEY handle = nullptr;
    DWORD disposition = 0;
    LONG result = ::RegCreateKeyExW(parent, wide(key.name).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_READ | KEY_WRITE, nullptr, &handle, &disposition);
    if (result != ERROR_SUCCESS)
        return result;
    if (key.mark == Key::Mark::noRemove && disposition == REG_CREATED_NEW_KEY)
        made.push_back(path);
    result = writeValues(handle, key);
    if (result == ERROR_SUCCESS)
        result = forEachSubkey(handle, key.subkeys, [&](HKEY subParent, const Key& subkey) {
            return registerKey(subParent, path + "\\" + subkey.name, subkey, made);
        });
    ::RegCloseKey(handle);
    return result;
}

LONG unregisterKey(HKEY parent, const Key& key)
{
    if (key.mark != Key::Mark::noRemove)
        return deleteWhole(parent, key.name);
    HKEY handle = nullptr;
    LONG result = ::RegOpenKeyExW(parent, wide(key.name).c_str(), 0, KEY_READ | KEY_WRITE, &handle);
    if (result == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS)
        return result;
    result = forEachSubkey(handle, key.subkeys, unregisterKey);
    ::RegCloseKey(handle);
    return result;
}

LONG registerKeys(const RootKey& root, MadeKeys& made)
{
    return forEachSubkey(root.handle, root.keys, [&](HKEY parent, const Key& key) {
        return registerKey(parent, root.name + "\\" + key.name, key, made);
    });
}

LONG unregisterKeys(const RootKey& root)
{
    return forEachSubkey(root.handle, root.keys, unregisterKey);
}

// The root and the rest of a path "HKCR\\Directory\\shellex".
HKEY splitPath(const std::string& path, std::wstring& below)
{
    const size_t backslash = path.find('\\');
    if (backslash == std::string::npos)
        return nullptr;
    below = wide(path.substr(backslash + 1));
    return rootKeyNamed(path.substr(0, backslash));
}

bool isEmpty(HKEY root, const std::wstring& path)
{
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    DWORD subkeys = 1;
    DWORD values = 1;
    ::RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                       nullptr, nullptr);
    ::RegCloseKey(handle);
    return subkeys == 0 && values == 0;
}

} // namespace

HRESULT runScript(int resourceId, bool registering, const Replacements& replacements, MadeKeys& made)
{
    std::string text;
    std::string replaced;
    std::vector<RootKey> roots;
    if (!loadScriptText(resourceId, text))
        return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    if (!replaceVariables(text, replacements, replaced) || !parseScript(replaced, roots))
        return E_UNEXPECTED;
    for (const RootKey& root : roots) {
        const LONG result = registering ? registerKeys(root, made) : unregisterKeys(root);
        if (result != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(result);
    }
    return S_OK;
}

MadeKeys readMadeKeys(const std::string& record)
{
    std::wstring below;
    const HKEY root = splitPath(record, below);
    DWORD size = 0;
    if (!root || ::RegGetValueW(root, below.c_str(), kMadeKeysValue, RRF_RT_REG_MULTI_SZ, nullptr, nullptr, &size)
                     != ERROR_SUCCESS)
        return MadeKeys();
    std::wstring list(size / sizeof(wchar_t), L'\0');
    ::RegGetValueW(root, below.c_str(), kMadeKeysValue, RRF_RT_REG_MULTI_SZ, nullptr, &list[0], &size);
    MadeKeys keys;
    for (const wchar_t* next = list.c_str(); *next; next += std::wcslen(next) + 1) {
        std::string path;
        os::fromWide(next, path);
        keys.push_back(path);
    }
    return keys;
}

void writeMadeKeys(const std::string& record, const MadeKeys& keys)
{
    std::wstring below;
    const HKEY root = splitPath(record, below);
    std::wstring list;
    for (const std::string& path : keys)
        list += wide(path) + L'\0';
    list += L'\0';
    if (root)
        ::RegSetKeyValueW(root, below.c_str(), kMadeKeysValue, REG_MULTI_SZ, list.c_str(),
                          static_cast<DWORD>(list.size() * sizeof(wchar_t)));
}

void removeEmptyKeys(const MadeKeys& keys)
{
    for (auto path = keys.rbegin(); path != keys.rend(); ++path) {
        std::wstring below;
        const HKEY root = splitPath(*path, below);
        if (root && isEmpty(root, below))
            ::RegDeleteKeyW(root, below.c_str());
    }
}

} // namespace registrar
