#include "Installation.h"

#include "../../shellext/QuaylinkGuids.h"
#include "Settings.h"
#include "Version.h"
#include "os/Os.h"

#include <windows.h>
#include <shlobj.h>

#include <initializer_list>
#include <utility>

namespace {
constexpr const char* kCaption = "Packrook";
constexpr const char* kExtension = "Quaylink.dll";
constexpr const char* kServerKey = "CLSID\\" QUAYLINK_REGISTRY_FORM(QUAYLINK_CLSID) "\\InprocServer32";
constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Packrook";
constexpr DWORD kRegistrationWaitMs = 10000;
constexpr const char* kDocumentType = "Quaylink.ContextHandler";
// Beside ".zip"'s own value: the one it held before the product took it.
constexpr const char* kPreviousZipType = "Packrook.Previous";

using NamedValue = std::pair<const char*, CString>; // a null name is the key's default value

using NamedNumber = std::pair<const char*, DWORD>;

HKEY createKey(HKEY root, const char* path)
{
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr)
        != ERROR_SUCCESS)
        return nullptr;
    return key;
}

// A key that cannot be created or opened is skipped: false.
bool writeStrings(HKEY root, const char* path, std::initializer_list<NamedValue> values)
{
    HKEY key = createKey(root, path);
    if (!key)
        return false;
    for (const auto& [name, data] : values)
        ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>(data.size() + 1));
    ::RegCloseKey(key);
    return true;
}

void writeNumbers(HKEY root, const char* path, std::initializer_list<NamedNumber> values)
{
    HKEY key = createKey(root, path);
    if (!key)
        return;
    for (const auto& [name, number] : values)
        ::RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    ::RegCloseKey(key);
}

// What the system's list of programs shows of the product. The key goes
// with the extension's unregistration, these values with it.
void writeUninstallEntry(const CString& manager)
{
    writeStrings(HKEY_LOCAL_MACHINE, kUninstallKey,
                 {{"UninstallString", "\"" + manager + "\" -U"},
                  {"DisplayName", "Packrook"},
                  {"DisplayVersion", PACKROOK_VERSION_TEXT},
                  {"Publisher", PACKROOK_PUBLISHER},
                  {"DisplayIcon", manager + ",0"}});
    // Removing the product is all the entry offers: nothing to change or mend.
    writeNumbers(HKEY_LOCAL_MACHINE, kUninstallKey,
                 {{"EstimatedSize", installedKibibytes(manager)}, {"NoModify", 1}, {"NoRepair", 1}});
}

bool readString(HKEY root, const char* path, const char* name, CString& text)
{
    char value[MAX_PATH * 2] = {};
    DWORD size = sizeof value - 1;
    constexpr DWORD kTexts = RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND;
    if (::RegGetValueA(root, path, name, kTexts, nullptr, value, &size) != ERROR_SUCCESS)
        return false;
    text = value;
    return true;
}

void associationsChanged()
{
    ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

// Taken back at every start; the value ".zip" had (another program's type)
// is kept beside it, none when it had none.
void takeZipFiles()
{
    CString held;
    const bool hadValue = readString(HKEY_CLASSES_ROOT, ".zip", nullptr, held);
    if (!writeStrings(HKEY_CLASSES_ROOT, ".zip", {{nullptr, kDocumentType}}))
        return;
    if (!hadValue)
        ::RegDeleteKeyValueA(HKEY_CLASSES_ROOT, ".zip", kPreviousZipType);
    else if (held != kDocumentType)
        writeStrings(HKEY_CLASSES_ROOT, ".zip", {{kPreviousZipType, held}});
    associationsChanged();
}

// ".zip" goes back to what it held before the product took it; taken by
// another program since, it stays as it is.
void giveBackZipFiles()
{
    CString held;
    CString previous;
    const bool hadPrevious = readString(HKEY_CLASSES_ROOT, ".zip", kPreviousZipType, previous);
    ::RegDeleteKeyValueA(HKEY_CLASSES_ROOT, ".zip", kPreviousZipType);
    if (!readString(HKEY_CLASSES_ROOT, ".zip", nullptr, held) || held != kDocumentType)
        return;
    if (hadPrevious)
        writeStrings(HKEY_CLASSES_ROOT, ".zip", {{nullptr, previous}});
    else
        ::RegDeleteKeyValueA(HKEY_CLASSES_ROOT, ".zip", nullptr);
    associationsChanged();
}

CString registeredServer()
{
    CString path;
    readString(HKEY_CLASSES_ROOT, kServerKey, nullptr, path);
    return path;
}

// regsvr32 reports nothing with "/s"; whether it worked is not looked at,
// and one that takes too long is left to finish on its own.
void runRegsvr32(const CString& switches, const CString& folder)
{
    const CString parameters = switches + "\"" + folder + kExtension + "\"";
    SHELLEXECUTEINFOA run = {};
    run.cbSize = sizeof run;
    run.fMask = SEE_MASK_NOCLOSEPROCESS;
    run.lpFile = "regsvr32.exe";
    run.lpParameters = parameters.c_str();
    run.nShow = SW_SHOW;
    if (!::ShellExecuteExA(&run) || !run.hProcess)
        return;
    ::WaitForSingleObject(run.hProcess, kRegistrationWaitMs);
    ::CloseHandle(run.hProcess);
}
} // namespace

CString InstallSystem::managerPath() const
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return length < MAX_PATH ? CString(path, length) : CString();
}

bool InstallSystem::isWindows95Family() const
{
    return (::GetVersion() & 0x80000000u) != 0;
}

CString InstallSystem::systemFolder() const
{
    char path[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(path, MAX_PATH);
    return length < MAX_PATH ? CString(path, length) : CString();
}

CString programDirectory(const CString& managerPath)
{
    const size_t last = managerPath.rfind('\\');
    return last == CString::npos ? CString() : managerPath.substr(0, last + 1);
}

// The registered server doubles as the mark of a completed installation:
// registering sets it, uninstalling removes it, and a copy of the product
// moved to another folder registers itself there.
bool shellExtensionNeedsRegistration()
{
    const CString folder = programDirectory(InstallSystem().managerPath());
    const CString extension = folder + kExtension;
    if (folder.empty() || os::fileAttributes(extension) == os::kNoAttributes)
        return false;
    return !os::isSameFile(registeredServer(), extension);
}

void registerShellExtension()
{
    const CString folder = programDirectory(InstallSystem().managerPath());
    if (!folder.empty())
        runRegsvr32("/s ", folder);
}

// A command line names the program in quotes: unquoted, a path with blanks
// ("C:\\Program Files\\...") would first be tried as a shorter program
// ("C:\\Program.exe") that anyone could place there.
void writeShellAssociation()
{
    const CString manager = InstallSystem().managerPath();
    const CString program = "\"" + manager + "\"";
    writeUninstallEntry(manager);
    writeStrings(HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\DefaultIcon", {{nullptr, manager}});
    writeStrings(HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\Shell\\Open\\Command",
                 {{nullptr, program + " \"%1\""}});
    takeZipFiles();
}

int uninstallProduct()
{
    if (::MessageBoxA(nullptr, "Packrook is about to uninstall.\r\n\r\nAre you sure you want to do this?", kCaption,
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return -1;
    const HRESULT com = ::CoInitialize(nullptr);
    const InstallSystem system;
    const CString folder = programDirectory(system.managerPath());
    if (!folder.empty()) {
        ::SetCurrentDirectoryA(folder.c_str());
        runRegsvr32("/u /s ", folder);
    }
    clearUserRegistration();
    scheduleRemovalOnReboot(system);
    ::MessageBoxA(nullptr, "You must restart your machine to complete the uninstall", kCaption, MB_OK);
    if (SUCCEEDED(com))
        ::CoUninitialize();
    return 0;
}

void clearUserRegistration()
{
    settings::removeSettings();
    giveBackZipFiles();
}
