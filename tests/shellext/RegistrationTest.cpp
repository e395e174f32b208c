// regsvr32 on Quaylink.dll: every key, value, the type library and the
// shortcuts appear, and go again without taking anything that is not ours.
#include "QuaylinkGuids.h"
#include "Quaylink_h.h"
#include "ShellextTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace shellext_testing;

namespace {

const std::string classKey = "CLSID\\" QUAYLINK_REGISTRY_FORM(QUAYLINK_CLSID);
const std::string classId = QUAYLINK_REGISTRY_FORM(QUAYLINK_CLSID);
const std::string appId = QUAYLINK_REGISTRY_FORM(QUAYLINK_APPID);
const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct Value {
    HKEY root;
    std::string key;
    const char* name;  // null: the default value
    std::string data;
};

std::vector<Value> registeredValues(const std::string& dll)
{
    return {
        {HKEY_CLASSES_ROOT, "AppID\\" + appId, nullptr, "Quaylink"},
        {HKEY_CLASSES_ROOT, "AppID\\Quaylink.DLL", "AppID", appId},
        {HKEY_LOCAL_MACHINE, uninstallKey + "\\Packrook", "DisplayName", "Packrook"},
        {HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\Packrook", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Directory\\shellex\\ContextMenuHandlers\\Packrook", nullptr, classId},
        {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Packrook", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler.1", nullptr, "Packrook Application"},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler.1\\CLSID", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler", nullptr, "Packrook Application"},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\CLSID", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\CurVer", nullptr, "Quaylink.ContextHandler.1"},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\DefaultIcon", nullptr, "dummy"},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\Shell\\Open\\Command", nullptr, ""},
        {HKEY_CLASSES_ROOT, classKey, nullptr, "Packrook Application"},
        {HKEY_CLASSES_ROOT, classKey, "AppID", appId},
        {HKEY_CLASSES_ROOT, classKey + "\\ProgID", nullptr, "Quaylink.ContextHandler.1"},
        {HKEY_CLASSES_ROOT, classKey + "\\VersionIndependentProgID", nullptr, "Quaylink.ContextHandler"},
        {HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", nullptr, dll},
        {HKEY_CLASSES_ROOT, classKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {HKEY_CLASSES_ROOT, classKey + "\\TypeLib", nullptr, QUAYLINK_REGISTRY_FORM(QUAYLINK_LIBID)},
    };
}

const std::vector<std::pair<HKEY, std::string>> keptKeys = {
    {HKEY_CLASSES_ROOT, "AppID"},
    {HKEY_LOCAL_MACHINE, uninstallKey},
    {HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers"},
    {HKEY_CLASSES_ROOT, "Directory\\shellex\\ContextMenuHandlers"},
    {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers"},
    {HKEY_CLASSES_ROOT, "CLSID"},
};

bool typeLibraryRegistered()
{
    ITypeLib* library = nullptr;
    if (FAILED(::LoadRegTypeLib(LIBID_QuaylinkLib, 1, 0, 0x409, &library)))
        return false;
    library->Release();
    return true;
}

std::vector<std::string> shortcutPaths()
{
    const std::string group = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\Packrook\\";
    return {specialFolder(CSIDL_COMMON_STARTMENU) + "\\Packrook.lnk", group + "Packrook.lnk",
            group + "Readme.lnk", group + "help.lnk", group + "UninstallMe.lnk"};
}

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
    ASSERT_FALSE(keyExists(HKEY_CLASSES_ROOT, classKey));

    ASSERT_EQ(0u, regsvr32("/s", folder + "Quaylink.dll"));
    for (const Value& value : registeredValues(folder + "Quaylink.dll")) {
        std::string data;
        EXPECT_TRUE(readString(value.root, value.key, value.name, data)) << value.key;
        EXPECT_EQ(value.data, data) << value.key;
    }
    EXPECT_TRUE(keyExists(HKEY_CLASSES_ROOT, classKey + "\\Programmable"));
    EXPECT_TRUE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_TRUE(std::filesystem::exists(shortcut)) << shortcut;
    std::string arguments;
    EXPECT_EQ(folder + "Packrook.exe", shortcutTarget(shortcutPaths().back(), arguments));
    EXPECT_EQ("-U", arguments);

    // Registering again starts the class key afresh.
    ::RegSetKeyValueA(HKEY_CLASSES_ROOT, classKey.c_str(), "Stale", REG_SZ, "x", 2);
    ASSERT_EQ(0u, regsvr32("/s", folder + "Quaylink.dll"));
    std::string stale;
    EXPECT_FALSE(readString(HKEY_CLASSES_ROOT, classKey, "Stale", stale));

    // What the manager adds later goes too; a file of the user's keeps the group.
    const std::string userFile = specialFolder(CSIDL_COMMON_PROGRAMS) + "\\Packrook\\notes.txt";
    testing_support::writeBytes(userFile, "mine");
    ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, (uninstallKey + "\\Packrook").c_str(), "UninstallString", REG_SZ, "x", 2);

    ASSERT_EQ(0u, regsvr32("/u /s", folder + "Quaylink.dll"));
    for (const Value& value : registeredValues(folder + "Quaylink.dll"))
        EXPECT_FALSE(keyExists(value.root, value.key)) << value.key;
    for (const auto& [root, key] : keptKeys)
        EXPECT_TRUE(keyExists(root, key)) << key;
    EXPECT_FALSE(typeLibraryRegistered());
    for (const std::string& shortcut : shortcutPaths())
        EXPECT_FALSE(std::filesystem::exists(shortcut)) << shortcut;
    EXPECT_TRUE(std::filesystem::exists(userFile));
    ::CoUninitialize();
}
