#include "GZipFile.h"

#include "NameParts.h"
#include "ZipBytes.h"
#include "ZipException.h"
#include "os/Os.h"

namespace {
constexpr unsigned char kGzipMagic[2] = {0x1F, 0x8B};
constexpr uint32_t kTrailerSize = 8;
}

CGZipFile::CGZipFile() = default;

CGZipFile::~CGZipFile()
{
    closeStream();
}

void CGZipFile::closeStream()
{
    if (open_)
        gzclose(stream_);
    open_ = false;
    stream_ = nullptr;
    path_.clear();
}

bool CGZipFile::open(const CString& path)
{
    closeStream();
    stream_ = gzopen(path.c_str(), "rb");
    open_ = stream_ != nullptr;
    if (open_) {
        path_ = path;
        measure();
    }
    return open_;
}

// The listing shows the file's own size as the compressed size and the
// trailer's length (modulo 2^32, as gzip keeps it) as the content size; a
// file that is not gzip data reads through unchanged, so both are its size.
void CGZipFile::measure()
{
    const int64_t size = os::fileSizeAtPath(path_);
    fileSize_ = size < 0 ? 0 : static_cast<uint64_t>(size);
    contentSize_ = fileSize_;
    os::FileHandle file = os::openFile(path_, os::OpenMode::ReadExisting);
    if (file == os::kInvalidFile)
        return;
    unsigned char magic[2] = {};
    char trailer[kTrailerSize];
    uint32_t got = 0;
    if (os::readFile(file, magic, sizeof magic, got) && got == sizeof magic && magic[0] == kGzipMagic[0]
        && magic[1] == kGzipMagic[1] && os::seekFile(file, -static_cast<int64_t>(kTrailerSize), os::Origin::End)
        && os::readFile(file, trailer, kTrailerSize, got) && got == kTrailerSize)
        contentSize_ = zipbytes::get32(trailer + 4);
    os::closeFile(file);
}

uint64_t CGZipFile::getCompressedSize(int) const
{
    return fileSize_;
}

uint64_t CGZipFile::getUncompressedSize(int) const
{
    return contentSize_;
}

CString CGZipFile::getFileName(int) const
{
    const CString name = nameparts::lastComponent(path_);
    const size_t dot = name.rfind('.');
    return dot == CString::npos ? name : name.substr(0, dot);
}

CString CGZipFile::getPath(int) const
{
    return nameparts::folderPart(path_);
}

// Damaged or cut-short data is reported, never passed off as the whole content.
uint32_t CGZipFile::readFile(void* buffer, uint32_t size)
{
    if (!open_)
        return 0;
    const int got = gzread(stream_, buffer, size);
    int error = Z_OK;
    if (got < 0 || (static_cast<uint32_t>(got) < size && (gzerror(stream_, &error), error != Z_OK)))
        throw CZipException("Corrupt zip file found when exstacting " + getFileName(0));
    return static_cast<uint32_t>(got);
}

long CGZipFile::getFileCount() const
{
    return 1;
}

CString CGZipFile::getAttributes(int) const
{
    return CString();
}

bool CGZipFile::openFile(int)
{
    return true;
}

bool CGZipFile::closeFile(int)
{
    return true;
}

CString CGZipFile::getCurrentOpenFileFileName() const
{
    return getFileName(0);
}

CString CGZipFile::getCurrentOpenFilePath() const
{
    return getPath(0);
}
