#include "FolderWalk.h"

#include "Archive.h"

#include <stdexcept>
#include <string>

#ifdef _WIN32
// The system's calls in their long form: the C++ library's own walk ends, or
// goes astray, past MAX_PATH.
void appendFilesBelow(const CString& folder, std::vector<CString>& files)
{
    const CString prefix = !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
    std::vector<os::FolderItem> items;
    if (!os::listFolder(prefix, "*", items))
        throw std::runtime_error("Cannot read the folder " + folder + ": " + os::errorReason(os::lastError()));
    for (const os::FolderItem& item : items) {
        if (!item.nameFits)
            throw std::runtime_error("The system's code page cannot hold the name of " + prefix + item.name);
        if (item.isFolder)
            appendFilesBelow(prefix + item.name, files);
        else
            files.push_back(prefix + item.name);
    }
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
