#include "Archive.h"

#include <algorithm>
#include <sstream>
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

bool leavesDestination(const std::string& name)
{
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':'))
        return true;
    std::string normal = name;
    std::replace(normal.begin(), normal.end(), '\\', '/');
    std::istringstream parts(normal);
    std::string part;
    while (std::getline(parts, part, '/'))
        if (part == "..")
            return true;
    return false;
}
