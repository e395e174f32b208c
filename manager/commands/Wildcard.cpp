#include "Wildcard.h"

#include "os/Os.h"

#include <utility>

namespace {
constexpr size_t kUnreadShown = 20;

// The items in folder that match the mask. A folder the system will not
// list, and a name the code page cannot hold, go to unread with the reason.
std::vector<os::FolderItem> matches(const CString& folder, const CString& mask, std::vector<CString>& unread)
{
    std::vector<os::FolderItem> found;
    if (!os::listFolder(folder, mask, found))
        unread.push_back(folder + " (" + os::errorReason(os::lastError()) + ")");
    std::vector<os::FolderItem> readable;
    for (os::FolderItem& item : found)
        if (item.nameFits)
            readable.push_back(std::move(item));
        else
            unread.push_back(folder + item.name + " (the system's code page cannot hold the name)");
    return readable;
}
} // namespace

void expandWildcard(const CString& pattern, std::vector<CString>& list, bool withSubfolders,
                    std::vector<CString>& unread)
{
    const size_t slash = pattern.rfind('\\');
    const CString folder = slash == CString::npos ? CString() : pattern.substr(0, slash + 1);
    const CString mask = pattern.substr(folder.size());
    if (withSubfolders)
        for (const os::FolderItem& item : matches(folder, "*.*", unread))
            if (item.isFolder)
                expandWildcard(folder + item.name + "\\" + mask, list, true, unread);
    for (const os::FolderItem& item : matches(folder, mask, unread))
        if (!item.isFolder)
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
