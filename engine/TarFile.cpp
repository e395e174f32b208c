#include "TarFile.h"

// Reading tar files arrives with the tar reader; until then no tar file opens.
CTarFile::CTarFile() : file_(os::kInvalidFile) {}

CTarFile::~CTarFile()
{
    if (file_ != os::kInvalidFile)
        os::closeFile(file_);
}

bool CTarFile::open(const CString&)
{
    return false;
}

long CTarFile::getFileCount() const
{
    return 0;
}

uint32_t CTarFile::getUncompressedSize(int) const
{
    return 0;
}

CString CTarFile::getFileName(int) const
{
    return CString();
}

CString CTarFile::getPath(int) const
{
    return CString();
}

bool CTarFile::openFile(unsigned short)
{
    return false;
}

uint32_t CTarFile::readFile(void*, uint32_t)
{
    return 0;
}

bool CTarFile::closeFile(unsigned short)
{
    return true;
}

CString CTarFile::getCurrentOpenFilePath() const
{
    return CString();
}

CString CTarFile::getCurrentOpenFileFileName() const
{
    return CString();
}
