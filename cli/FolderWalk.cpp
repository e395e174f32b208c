#include "FolderWalk.h"

#include "Archive.h"

#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <cctype>
#include <cwchar>

namespace {
std::runtime_error unreadable(const CString& folder, DWORD error)
{
    CString reason = os::errorText(error);
    while (!reason.empty() && std::isspace(static_cast<unsigned char>(reason.back())))
        reason.pop_back();
    return std::runtime_error("Cannot read the folder " + folder + ": " + reason);
}

bool isDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}
}

// The wide calls in their long form: the C++ library's own walk ends, or
// goes astray, past MAX_PATH.
void appendFilesBelow(const CString& folder, std::vector<CString>& files)
{
    const CString prefix = !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
    WIN32_FIND_DATAW item;
    HANDLE search = ::FindFirstFileW(os::systemPath(prefix + "*").c_str(), &item);
    if (search == INVALID_HANDLE_VALUE)
        throw unreadable(folder, ::GetLastError());
    do {
        CString name;
        if (isDotEntry(item.cFileName))
            continue;
        if (!os::fromWide(item.cFileName, name)) {
            ::FindClose(search);
            throw std::runtime_error("The system's code page cannot hold the name of " + prefix + name);
        }
        if (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            appendFilesBelow(prefix + name, files);
        else
            files.push_back(prefix + name);
    } while (::FindNextFileW(search, &item));
    const DWORD ended = ::GetLastError();
    ::FindClose(search);
    if (ended != ERROR_NO_MORE_FILES)
        throw unreadable(folder, ended);
}

#else
#include <filesystem>

void appendFilesBelow(const CString& folder, std::vector<CString>& files)
{
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path current = toPath(folder);
    for (fs::recursive_directory_iterator item(current, error), end; !error && item != end; item.increment(error)) {
        current = item->path();
        if (!item->is_directory())
            files.push_back(fromPath(current));
    }
    if (error)
        throw std::runtime_error("Cannot read the folder " + fromPath(current) + ": " + error.message());
}
#endif
