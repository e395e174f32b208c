#include "ArchiveProbe.h"

#include "SilentCallBack.h"
#include "ZipFile.h"

bool opensAsArchive(const std::string& path)
{
    SilentCallBack callback;
    // Nothing may escape into the Explorer: an exception crossing the COM
    // boundary would take the Explorer down with it.
    try {
        CZipFile archive(&callback);
        return archive.openZipFile(path);
    } catch (...) {
        return false;
    }
}
