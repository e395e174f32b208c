// regsvr32 on Quaylink.dll: every key, value, the type library and the
// shortcuts appear, and go again without taking anything that is not ours.
#include "Quaylink_h.h"
#include "ShellextTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace shellext_testing;

namespace {

// Everything registration writes, the manager's placeholders included.
std::vector<RegistryValue> everyValue(const std::string& dll)
{
    std::vector<RegistryValue> values = registeredValues(dll);
    const std::vector<RegistryValue> placeholders = placeholderValues();
    values.insert(values.end(), placeholders.begin(), placeholders.end());
    return values;
}

// Keys the product shares with other programs: registering makes what is
// missing, unregistering removes just that.
const std::vector<std::pair<HKEY, std::string>> sharedKeys = {
    {HKEY_CLASSES_ROOT, "AppID"},
    {HKEY_LOCAL_MACHINE, kUninstallParent},
    {HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers"},
    {HKEY_CLASSES_ROOT, "Directory\\shellex\\ContextMenuHandlers"},
    {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers"},
    {HKEY_CLASSES_ROOT, "CLSID"},
};

std::string shortcutTarget(const std::string& path, std::string& arguments)
{
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                       reinterpret_cast<void**>(&link));
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    file->Load(std::wstring(path.begin(), path.end()).c_str(), STGM_READ);
    char target[MAX_PATH] = {};
    char given[MAX_PATH] = {};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetArguments(given, MAX_PATH);
    file->Release();
    link->Release();
    arguments = given;
    return target;
}

} // namespace

// The DLL is registered from a folder with an apostrophe in its name, which
// the registration scripts must carry through to InprocServer32.
TEST(Registration, RegistersAndUnregistersEverything)
{
    ::CoInitialize(nullptr);
    const std::string folder = windowsPath(testing_support::scratchFolder()) + "Packrook's place\\";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(quaylinkPath(), folder + "Quaylink.dll");
    ASSERT_FALSE(keyExists(HKEY_CLASSES_ROOT, kClassKey));
    std::vector<bool> sharedBefore;
    for (const auto& [root, key] : sharedKeys)
        sharedBefore.push_back(keyExists(root, key));

    ASSERT_EQ(0u, regsvr32("/s", folder + "Quaylink.dll"));
    expectValues(everyValue(folder + "Quaylink.dll"));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, kClassKey + "\\Programmable"));
    EXPECT_TRUE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_TRUE(std::filesystem::exists(shortcut)) << shortcut;
    std::string arguments;
    EXPECT_EQ(folder + "Packrook.exe", shortcutTarget(shortcutPaths().back(), arguments));
    EXPECT_EQ("-U", arguments);

    // Registering again starts the class key afresh.
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, kClassKey.c_str(), "Stale", REG_SZ, "x", 2);
    ASSERT_EQ(0u, regsvr32("/s", folder + "Quaylink.dll"));
    std::string stale;
    EXPECT_FALSE(readString(HKEY_CLASSES_ROOT, kClassKey, "Stale", stale));

    // What the manager adds later goes too; a file of the user's keeps the group.
    const std::string userFile = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\Packrook\\notes.txt";
    testing_support::writeBytes(userFile, "mine");
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kUninstallParent + "\\Packrook").c_str(), "UninstallString", REG_SZ, "x", 2);

    ASSERT_EQ(0u, regsvr32("/u /s", folder + "Quaylink.dll"));
    for (const RegistryValue& value : everyValue(folder + "Quaylink.dll"))
        EXPECT_FALSE(keyExists(value.root, value.key)) << value.key;
    for (size_t i = 0; i < sharedKeys.size(); ++i)
        EXPECT_EQ(sharedBefore[i], keyExists(sharedKeys[i].first, sharedKeys[i].second)) << sharedKeys[i].second;
    EXPECT_FALSE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_FALSE(std::filesystem::exists(shortcut)) << shortcut;
    EXPECT_TRUE(std::filesystem::exists(userFile));

    // Installed again after that, it is all there again.
    ASSERT_EQ(0u, regsvr32("/s", folder + "Quaylink.dll"));
    expectValues(registeredValues(folder + "Quaylink.dll"));
    ASSERT_EQ(0u, regsvr32("/u /s", folder + "Quaylink.dll"));
    ::CoUninitialize();
}

// A part already removed counts as removed, and the steps after it still
// run: unregistering twice, or after the type library went by other means.
TEST(Registration, WhatIsAlreadyGoneDoesNotKeepTheRest)
{
    ASSERT_EQ(0u, regsvr32("/s", quaylinkPath()));
    ASSERT_EQ(S_OK, ::UnRegisterTypeLib(LIBID_QuaylinkLib, 1, 0, 0x409, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32));
    EXPECT_EQ(0u, regsvr32("/u /s", quaylinkPath()));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "AppID\\" QUAYLINK_REGISTRY_FORM(QUAYLINK_APPID)));
    EXPECT_EQ(0u, regsvr32("/u /s", quaylinkPath()));
}

// A shared key that registration made stays while another program's
// handler lives in it.
TEST(Registration, AKeyItMadeStaysWhenAnotherProgramMovesIn)
{
    const std::string handlers = "Directory\\shellex\\ContextMenuHandlers";
    ASSERT_FALSE(keyExists(HKEY_CLASSES_ROOT, handlers)) << "the prefix has no handlers for directories";
    ASSERT_EQ(0u, regsvr32("/s", quaylinkPath()));
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, (handlers + "\\Other").c_str(), nullptr, REG_SZ, "x", 2);
    ASSERT_EQ(0u, regsvr32("/u /s", quaylinkPath()));
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, handlers + "\\Other"));
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, handlers + "\\Packrook"));
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, "Directory");
}
