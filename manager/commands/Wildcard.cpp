#include "Wildcard.h"

#include "os/Os.h"

#include <windows.h>

#include <cstring>
#include <functional>

namespace {
bool isDotEntry(const char* name)
{
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

void forEachMatch(const CString& pattern, const std::function<void(const WIN32_FIND_DATAA&)>& visit)
{
    WIN32_FIND_DATAA found;
    HANDLE search = ::FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        visit(found);
    while (::FindNextFileA(search, &found));
    ::FindClose(search);
}

bool isFolderEntry(const WIN32_FIND_DATAA& found)
{
    return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}
} // namespace

void expandWildcard(const CString& pattern, std::vector<CString>& list, bool withSubfolders)
{
    const size_t slash = pattern.rfind('\\');
    const CString folder = slash == CString::npos ? CString() : pattern.substr(0, slash + 1);
    const CString mask = pattern.substr(folder.size());
    if (withSubfolders)
        forEachMatch(folder + "*.*", [&](const WIN32_FIND_DATAA& found) {
            if (isFolderEntry(found) && !isDotEntry(found.cFileName))
                expandWildcard(folder + found.cFileName + "\\" + mask, list, true);
        });
    forEachMatch(pattern, [&](const WIN32_FIND_DATAA& found) {
        const CString path = folder + found.cFileName;
        if (!isFolderEntry(found) && fileExists(path))
            list.push_back(path);
    });
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
