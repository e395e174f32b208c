#include "GZipFile.h"

// Reading gzip files arrives with the gzip reader; until then none opens.
CGZipFile::~CGZipFile()
{
    if (open_)
        gzclose(stream_);
}

bool CGZipFile::open(const CString&)
{
    return false;
}

uint32_t CGZipFile::getCompressedSize(int) const
{
    return 0;
}

uint32_t CGZipFile::getUncompressedSize(int) const
{
    return 0;
}

CString CGZipFile::getFileName(int) const
{
    return CString();
}

CString CGZipFile::getPath(int) const
{
    return CString();
}

uint32_t CGZipFile::readFile(void*, uint32_t)
{
    return 0;
}
