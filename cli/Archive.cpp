#include "Archive.h"

#include <algorithm>
#include <stdexcept>

void openExisting(CZipFile& archive, const std::string& path)
{
    if (os::fileAttributes(path) == os::kNoAttributes)
        throw std::runtime_error("No such file: " + path);
    if (!archive.openZipFile(path))
        throw std::runtime_error("Not an archive: " + path);
}

void requireWritable(const CZipFile& archive, const std::string& path)
{
    if (archive.isGzipMode() || archive.isTarMode())
        throw std::runtime_error("Only zip archives can be changed: " + path);
    if (archive.isReadOnly())
        throw std::runtime_error("The archive is read-only: " + path);
}

std::string entryName(const CZipFile& archive, int index)
{
    if (archive.isGzipMode())
        return archive.getFileName(index);
    std::string name = archive.isTarMode() ? archive.getPath(index) + archive.getFileName(index)
                                           : archive.getFileHeader(index)->name;
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}
