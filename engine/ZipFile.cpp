#include "ZipFile.h"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace {
bool endsWith(const CString& text, const char* suffix)
{
    CString tail(suffix);
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool isGzipPath(const CString& path)
{
    return endsWith(path, ".gz") || endsWith(path, ".tgz");
}

bool isTarPath(const CString& path)
{
    return endsWith(path, ".tar");
}
}

CZipFile::CZipFile(ICallBack* callback)
    : centralDir_(this), file_(os::kInvalidFile), callback_(callback), threadCount_(0)
{
    setThreadCount(0);
}

void CZipFile::setThreadCount(unsigned count)
{
    threadCount_ = count > 0 ? count : std::max(1u, std::thread::hardware_concurrency());
}

unsigned CZipFile::threadCount() const
{
    return threadCount_;
}

CZipFile::~CZipFile()
{
    close();
    EmptyPtrList();
}

bool CZipFile::fail() const
{
    return !good_;
}

bool CZipFile::isReadOnly() const
{
    return readOnly_ || !is_open();
}

bool CZipFile::isBufferedMode() const
{
    return bufferedMode_;
}

bool CZipFile::isSpanningMode() const
{
    return spanningMode_;
}

bool CZipFile::isBufferedSpanning() const
{
    return spanningMode_ && bufferedMode_;
}

bool CZipFile::isGzipMode() const
{
    return gzipMode_;
}

bool CZipFile::isTarMode() const
{
    return tarMode_;
}

void CZipFile::setSpanningMode(bool spanning)
{
    spanningMode_ = spanning;
}

unsigned short CZipFile::GetCurrentDisk() const
{
    return static_cast<unsigned short>(currentDisk_);
}

void CZipFile::setCurrentDisk(unsigned short disk)
{
    currentDisk_ = disk;
}

uint32_t CZipFile::getExeOffset() const
{
    return exeOffset_;
}

CString CZipFile::getPath() const
{
    return path_;
}

void CZipFile::setPassword(const CString& password)
{
    password_ = password;
}

uint64_t CZipFile::recordBase() const
{
    return centralDir_.recordBase();
}

CZipCentralDir& CZipFile::getCentralDir()
{
    return centralDir_;
}

const CZipFileHeader* CZipFile::getCurrentOpenFile() const
{
    return centralDir_.getCurrentOpenFile();
}

// Tar and gzip files are told apart from zip archives by the exact,
// case-sensitive suffix of their name, never by their content.
bool CZipFile::openReader(const CString& path)
{
    if (isGzipPath(path)) {
        gzipMode_ = true;
        return gzipReader_.open(path);
    }
    tarMode_ = true;
    return tarReader_.open(path);
}

void CZipFile::Open(const CString& path)
{
    gzipMode_ = tarMode_ = false;
    if (isGzipPath(path) || isTarPath(path)) {
        openReader(path);
        return;
    }
    path_ = path;
    file_ = os::openFile(path, os::OpenMode::ReadWriteAlways);
    good_ = file_ != os::kInvalidFile;
    readOnly_ = !good_;
    if (!good_)
        openForReading(path, os::OpenMode::ReadOnlyAlways);
}

void CZipFile::openForReading(const CString& path, os::OpenMode mode)
{
    readOnly_ = true;
    path_ = path;
    file_ = os::openFile(path, mode);
    good_ = file_ != os::kInvalidFile;
    if (!good_)
        throw CZipLastErrorException("Failed to open file " + path);
}

bool CZipFile::openZipFile(const CString& path)
{
    if (isGzipPath(path) || isTarPath(path)) {
        gzipMode_ = tarMode_ = false;
        return openReader(path);
    }
    password_.clear();
    if (!is_open())
        Open(path);
    if (!parseCentralDir()) {
        close();
        if (askForSpecificDisk(-1))
            return openZipFile(path);
    }
    return is_open();
}

bool CZipFile::createNewZip(CString path)
{
    password_.clear();
    close();
    if (isGzipPath(path) || isTarPath(path))
        return openReader(path);
    if (isRemovableDrive(path))
        spanningMode_ = callback_->askForSpanning();
    currentDisk_ = 0;
    Open(path);
    if (readOnly_ || !is_open())
        return false;
    centralDir_.close();
    centralDir_.write();
    return is_open();
}

bool CZipFile::parseCentralDir()
{
    return centralDir_.parseCentralDir();
}

void CZipFile::close()
{
    endInflate();
    entryOpen_ = false;
    if (!is_open())
        return;
    flush();
    os::closeFile(file_);
    file_ = os::kInvalidFile;
    centralDir_.closeFile();
    centralDir_.close();
    recovered_ = false;
    recoveredEnds_.clear();
}

bool CZipFile::is_open() const
{
    return file_ != os::kInvalidFile;
}

CString CZipFile::getGlobalComment() const
{
    return centralDir_.getGlobalComment();
}

void CZipFile::CheckForError(int zlibResult)
{
    if (zlibResult != Z_OK && zlibResult != Z_NEED_DICT)
        throw CZipException("Extraction library error");
}

void* CZipFile::_zliballoc(void* opaque, unsigned items, unsigned size)
{
    void* block = std::malloc(static_cast<size_t>(items) * size);
    if (opaque && block)
        (*static_cast<AllocationMap*>(opaque))[block] = block;
    return block;
}

void CZipFile::_zlibfree(void* opaque, void* block)
{
    if (opaque)
        static_cast<AllocationMap*>(opaque)->erase(block);
    std::free(block);
}

void CZipFile::EmptyPtrList()
{
    for (auto& allocation : allocations_)
        std::free(allocation.second);
    allocations_.clear();
}
