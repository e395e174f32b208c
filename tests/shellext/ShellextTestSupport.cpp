#include "ShellextTestSupport.h"

#include "Quaylink_h.h"
#include "os/Os.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace shellext_testing {

std::string quaylinkPath()
{
    const char* path = std::getenv("PACKROOK_QUAYLINK_DLL");
    if (!path)
        throw std::runtime_error("PACKROOK_QUAYLINK_DLL is not set");
    return windowsPath(path);
}

std::string programFolder()
{
    const std::string dll = quaylinkPath();
    return dll.substr(0, dll.rfind('\\') + 1);
}

std::string windowsPath(std::string path)
{
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

DWORD runAndWait(const std::string& commandLine)
{
    std::string line = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + commandLine);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return exitCode;
}

DWORD regsvr32(const std::string& switches, const std::string& dll)
{
    return runAndWait("regsvr32.exe " + switches + " \"" + dll + "\"");
}

void waitForPrograms(const char* fileName)
{
    HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32First(snapshot, &entry); more; more = ::Process32Next(snapshot, &entry)) {
        if (_stricmp(entry.szExeFile, fileName) != 0)
            continue;
        HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID);
        // However long a busy machine makes it take; the test's own time
        // limit stands for a program that never ends.
        if (process) {
            ::WaitForSingleObject(process, INFINITE);
            ::CloseHandle(process);
        }
    }
    ::CloseHandle(snapshot);
}

void waitForManagers()
{
    waitForPrograms("Packrook.exe");
}

bool keyExists(HKEY root, const std::string& key)
{
    HKEY handle = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(handle);
    return true;
}

bool readString(HKEY root, const std::string& key, const char* name, std::string& value)
{
    char data[MAX_PATH * 2] = {};
    DWORD size = sizeof data;
    if (::RegGetValueA(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return false;
    value = data;
    return true;
}

std::string specialFolder(int csidl)
{
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::vector<RegistryValue> registeredValues(const std::string& dll)
{
    const std::string classId = QUAYLINK_REGISTRY_FORM(QUAYLINK_CLSID);
    const std::string appId = QUAYLINK_REGISTRY_FORM(QUAYLINK_APPID);
    return {
        {HKEY_CLASSES_ROOT, "AppID\\" + appId, nullptr, "Quaylink"},
        {HKEY_CLASSES_ROOT, "AppID\\Quaylink.DLL", "AppID", appId},
        {HKEY_LOCAL_MACHINE, kUninstallParent + "\\Packrook", "DisplayName", "Packrook"},
        {HKEY_CLASSES_ROOT, "Folder\\shellex\\ContextMenuHandlers\\Packrook", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Directory\\shellex\\ContextMenuHandlers\\Packrook", nullptr, classId},
        {HKEY_CLASSES_ROOT, "*\\shellex\\ContextMenuHandlers\\Packrook", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler.1", nullptr, "Packrook Application"},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler.1\\CLSID", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler", nullptr, "Packrook Application"},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\CLSID", nullptr, classId},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\CurVer", nullptr, "Quaylink.ContextHandler.1"},
        {HKEY_CLASSES_ROOT, kClassKey, nullptr, "Packrook Application"},
        {HKEY_CLASSES_ROOT, kClassKey, "AppID", appId},
        {HKEY_CLASSES_ROOT, kClassKey + "\\ProgID", nullptr, "Quaylink.ContextHandler.1"},
        {HKEY_CLASSES_ROOT, kClassKey + "\\VersionIndependentProgID", nullptr, "Quaylink.ContextHandler"},
        {HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", nullptr, dll},
        {HKEY_CLASSES_ROOT, kClassKey + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {HKEY_CLASSES_ROOT, kClassKey + "\\TypeLib", nullptr, QUAYLINK_REGISTRY_FORM(QUAYLINK_LIBID)},
    };
}

std::vector<RegistryValue> placeholderValues()
{
    return {
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\DefaultIcon", nullptr, "dummy"},
        {HKEY_CLASSES_ROOT, "Quaylink.ContextHandler\\Shell\\Open\\Command", nullptr, ""},
    };
}

void expectValues(const std::vector<RegistryValue>& values)
{
    for (const RegistryValue& value : values) {
        std::string data;
        EXPECT_TRUE(readString(value.root, value.key, value.name, data)) << value.key;
        EXPECT_EQ(value.data, data) << value.key;
    }
}

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

namespace {

// Just enough of a data object for IShellExtInit::Initialize; its list is
// wide, as the Explorer's.
class FileDrop : public IDataObject {
public:
    explicit FileDrop(const std::vector<std::string>& paths)
    {
        for (const std::string& path : paths)
            list_.append(os::toWide(path)).push_back(L'\0');
        list_.push_back(L'\0');
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override
    {
        if (!::IsEqualIID(iid, IID_IUnknown) && !::IsEqualIID(iid, IID_IDataObject)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    // Each call hands out a fresh copy: the receiver frees the medium.
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (format->cfFormat != CF_HDROP || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        const size_t listSize = list_.size() * sizeof(wchar_t);
        HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + listSize);
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::memcpy(drop + 1, list_.data(), listSize);
        ::GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    virtual ~FileDrop() = default;

    std::wstring list_;
    ULONG references_ = 1;
};

MenuItem readItem(HMENU menu, int position)
{
    wchar_t text[300] = {};
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS;
    item.dwTypeData = text;
    item.cch = sizeof text / sizeof text[0];
    ::GetMenuItemInfoW(menu, position, TRUE, &item);
    std::string narrow;
    os::fromWide(text, narrow);
    return {item.wID, narrow, item.hbmpUnchecked != nullptr};
}

} // namespace

IDataObject* newFileDrop(const std::vector<std::string>& paths)
{
    return new FileDrop(paths);
}

IContextMenu* newHandler(const std::vector<std::string>& selection)
{
    IShellExtInit* init = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ContextHandler, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                  reinterpret_cast<void**>(&init))))
        throw std::runtime_error("the handler class is not available");
    IDataObject* drop = newFileDrop(selection);
    const HRESULT initialized = init->Initialize(nullptr, drop, nullptr);
    drop->Release();
    IContextMenu* menu = nullptr;
    init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
    init->Release();
    if (FAILED(initialized) || !menu)
        throw std::runtime_error("the handler did not take the selection");
    return menu;
}

Menu queryMenu(const std::vector<std::string>& selection, UINT flags, UINT lastId)
{
    IContextMenu* handler = newHandler(selection);
    HMENU menu = ::CreatePopupMenu();
    ::AppendMenuA(menu, MF_STRING, 1, "Before");
    ::AppendMenuA(menu, MF_STRING, 2, "After");
    Menu result{handler->QueryContextMenu(menu, 1, 100, lastId, flags), {}};
    handler->Release();
    const int count = ::GetMenuItemCount(menu);
    if (readItem(menu, 0).text != "Before" || readItem(menu, count - 1).text != "After")
        throw std::runtime_error("the handler did not insert at the position given");
    for (int position = 1; position < count - 1; ++position)
        result.items.push_back(readItem(menu, position));
    ::DestroyMenu(menu);
    return result;
}

HRESULT invoke(IContextMenu* handler, UINT offset)
{
    CMINVOKECOMMANDINFO information = {};
    information.cbSize = sizeof information;
    information.lpVerb = MAKEINTRESOURCEA(offset);
    information.nShow = SW_SHOWNORMAL;
    return handler->InvokeCommand(&information);
}

} // namespace shellext_testing
