#pragma once
// Drives Quaylink.dll as the Explorer and regsvr32 do: through the registry,
// real COM activation and a drop list of files.
#include "QuaylinkGuids.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace shellext_testing {

std::string quaylinkPath();
// The build's program folder: Quaylink.dll, Packrook.exe, Sledstub.dll.
std::string programFolder();
// The same path with backslashes only, as the Explorer gives paths.
std::string windowsPath(std::string path);

DWORD runAndWait(const std::string& commandLine);
DWORD regsvr32(const std::string& switches, const std::string& dll);
// Waits for every running program of this file name to end.
void waitForPrograms(const char* fileName);
void waitForManagers();

bool keyExists(HKEY root, const std::string& key);
bool readString(HKEY root, const std::string& key, const char* name, std::string& value);
std::string specialFolder(int csidl);

inline const std::string kClassKey = "CLSID\\" QUAYLINK_REGISTRY_FORM(QUAYLINK_CLSID);
inline const std::string kUninstallParent = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

struct RegistryValue {
    HKEY root;
    std::string key;
    const char* name;  // null: the default value
    std::string data;
};
// What registering the DLL at this path writes, but for the placeholders
// that the manager replaces at every start.
std::vector<RegistryValue> registeredValues(const std::string& dll);
std::vector<RegistryValue> placeholderValues();
// Fails the running test for each value that is missing or holds other data.
void expectValues(const std::vector<RegistryValue>& values);
bool typeLibraryRegistered();
// The Start-menu shortcuts, the uninstall one last.
std::vector<std::string> shortcutPaths();

// A data object offering the paths as a wide CF_HDROP drop list, in this
// order. Paths and menu texts are in the engine's spelling of the host:
// UTF-8 once the test has switched it, as the extension's own.
IDataObject* newFileDrop(const std::vector<std::string>& paths);

struct MenuItem {
    UINT id;
    std::string text;
    bool pictured;
};
struct Menu {
    HRESULT result;
    std::vector<MenuItem> items;  // what the handler inserted, in menu order
};
// Creates a handler through COM for the selection and lets it fill a pop-up
// menu between two existing items, with identifiers 100 to lastId.
Menu queryMenu(const std::vector<std::string>& selection, UINT flags = CMF_NORMAL, UINT lastId = 150);

// A handler initialised with the selection, as IContextMenu.
IContextMenu* newHandler(const std::vector<std::string>& selection);
HRESULT invoke(IContextMenu* handler, UINT offset);

} // namespace shellext_testing
