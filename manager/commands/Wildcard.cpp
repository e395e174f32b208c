#include "Wildcard.h"

#include "os/Os.h"

#include <windows.h>

#include <cwchar>

namespace {
constexpr size_t kUnreadShown = 20;

bool isDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

struct Match {
    CString name;
    bool folder;
};

CString withReason(const CString& path, DWORD error)
{
    CString reason = os::errorText(error);
    while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' || reason.back() == ' '))
        reason.pop_back();
    return path + " (" + (reason.empty() ? "error " + std::to_string(error) : reason) + ")";
}

// The items in folder that match the mask, through the wide calls, so that
// no path is too long. A folder the system will not list, and a name the
// code page cannot hold, go to unread with the reason.
std::vector<Match> matches(const CString& folder, const CString& mask, std::vector<CString>& unread)
{
    std::vector<Match> found;
    WIN32_FIND_DATAW item;
    HANDLE search = ::FindFirstFileW(os::systemPath(folder + mask).c_str(), &item);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND)
            unread.push_back(withReason(folder, error));
        return found;
    }
    do {
        CString name;
        if (isDotEntry(item.cFileName))
            continue;
        if (os::fromWide(item.cFileName, name))
            found.push_back({name, (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
        else
            unread.push_back(folder + name + " (the system's code page cannot hold the name)");
    } while (::FindNextFileW(search, &item));
    const DWORD ended = ::GetLastError();
    ::FindClose(search);
    if (ended != ERROR_NO_MORE_FILES)
        unread.push_back(withReason(folder, ended));
    return found;
}
} // namespace

void expandWildcard(const CString& pattern, std::vector<CString>& list, bool withSubfolders,
                    std::vector<CString>& unread)
{
    const size_t slash = pattern.rfind('\\');
    const CString folder = slash == CString::npos ? CString() : pattern.substr(0, slash + 1);
    const CString mask = pattern.substr(folder.size());
    if (withSubfolders)
        for (const Match& item : matches(folder, "*.*", unread))
            if (item.folder)
                expandWildcard(folder + item.name + "\\" + mask, list, true, unread);
    for (const Match& item : matches(folder, mask, unread))
        if (!item.folder)
            list.push_back(folder + item.name);
}

CString unreadWarning(const std::vector<CString>& unread)
{
    CString text = "These files and folders could not be read and were not added:\r\n";
    for (size_t i = 0; i < unread.size() && i < kUnreadShown; ++i)
        text += "\r\n" + unread[i];
    if (unread.size() > kUnreadShown)
        text += "\r\n... and " + std::to_string(unread.size() - kUnreadShown) + " more";
    return text;
}

// Paths of any length: extraction into a deep folder asks before it replaces.
bool isFolder(const CString& path)
{
    const uint32_t attributes = os::fileAttributes(path);
    return attributes != os::kNoAttributes && (attributes & os::kAttrDirectory) != 0;
}

bool fileExists(const CString& path)
{
    return os::fileAttributes(path) != os::kNoAttributes;
}
