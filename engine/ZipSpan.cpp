// Spanned sets: one archive file of the same name on each of several
// removable disks, read and written with the user changing disks on request.
#include "ZipFile.h"

bool CZipFile::isRemovableDrive(const CString& path) const
{
    return os::drives().isRemovable(path);
}

uint32_t CZipFile::GetDeviceFreeSpace(const CString& path) const
{
    return os::drives().freeSpace(path);
}

bool CZipFile::askForSpecificDisk(int disk)
{
    if (!isRemovableDrive(path_))
        return false;
    if (is_open()) {
        flush();
        os::closeFile(file_);
    }
    file_ = os::kInvalidFile;
    currentDisk_ = -1;
    if (!callback_->askForDisk(disk >= 0 ? disk + 1 : -1))
        return false;
    Open(path_);
    currentDisk_ = disk;
    return true;
}

bool CZipFile::askForNextDisk()
{
    return askForSpecificDisk(currentDisk_ + 1);
}
