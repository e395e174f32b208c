// Temporary files that an interruption removes. The console's handler runs
// on a thread of its own: it waits for every thread that is creating,
// naming or removing a temporary, marks each one still held for deletion,
// and lets the program end with the lock still taken, so that none is named
// afterwards. The files go when the system closes their handles.
#include "Os.h"

#include <windows.h>

#include <mutex>
#include <set>
#include <shared_mutex>
#include <vector>

namespace os {

namespace {
// Taken shared while a temporary is created, named or removed; the handler
// takes it alone, and never gives it back.
std::shared_mutex registryLock;
std::mutex heldLock;
std::set<HANDLE> held;

void hold(HANDLE file)
{
    const std::lock_guard<std::mutex> lock(heldLock);
    held.insert(file);
}

void letGo(HANDLE file)
{
    {
        const std::lock_guard<std::mutex> lock(heldLock);
        held.erase(file);
    }
    ::CloseHandle(file);
}

bool markForDeletion(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != FALSE;
}

// The handle, opened for deletion, carries its name along.
bool renameHandle(HANDLE file, const CString& target, bool replace)
{
    const std::wstring name = systemPath(target);
    std::vector<char> buffer(sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replace ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    name.copy(rename->FileName, name.size());
    if (::SetFileInformationByHandle(file, FileRenameInfo, rename, static_cast<DWORD>(buffer.size())))
        return true;
    if (::GetLastError() == ERROR_ALREADY_EXISTS)
        ::SetLastError(ERROR_FILE_EXISTS);
    return false;
}

BOOL WINAPI removeHeldTemporaries(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        registryLock.lock();
        for (HANDLE file : held)
            markForDeletion(file);
        break;
    }
    return FALSE;
}
} // namespace

FileHandle createTemporaryFile(const CString& path)
{
    const std::shared_lock<std::shared_mutex> busy(registryLock);
    HANDLE file = ::CreateFileW(systemPath(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        hold(file);
    return file;
}

bool nameTemporaryFile(FileHandle file, const CString&, const CString& target, bool replace)
{
    const std::shared_lock<std::shared_mutex> busy(registryLock);
    if (!renameHandle(file, target, replace))
        return false;
    letGo(file);
    return true;
}

void discardTemporaryFile(FileHandle file, const CString&)
{
    const std::shared_lock<std::shared_mutex> busy(registryLock);
    const DWORD error = ::GetLastError();
    markForDeletion(file);
    letGo(file);
    ::SetLastError(error);
}

void removeTemporariesWhenInterrupted()
{
    ::SetConsoleCtrlHandler(removeHeldTemporaries, TRUE);
}

const char* const kSeparators = "/\\";

CString nameKey(const CString& name)
{
    std::wstring wide = toWide(name);
    while (!wide.empty() && (wide.back() == L'.' || wide.back() == L' '))
        wide.pop_back();
    if (!wide.empty())
        ::CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
    CString key;
    fromWide(wide, key);
    return key;
}

} // namespace os
