// Adding files: each one deflated (and encrypted on request) onto the end of
// the archive, then the directory written again.
#include "ZipFile.h"

#include "ZipBytes.h"

#include <algorithm>

namespace {
constexpr uint64_t kLargestZipSize = 0xFFFFFFFFull;
constexpr uint32_t kMostEntries = 0xFFFF;
constexpr int kMemoryLevel = 8;

int deflateLevelFor(uint32_t option)
{
    switch (option) {
    case 1:
        return Z_BEST_SPEED;
    case 2:
        return Z_BEST_COMPRESSION;
    case 3:
        return Z_NO_COMPRESSION;
    default:
        return Z_DEFAULT_COMPRESSION;
    }
}

// Folders and missing paths are passed over; so is the archive itself,
// which would otherwise read its own growing end.
bool isAddable(const CString& path, const CString& archivePath)
{
    return (os::fileAttributes(path) & os::kAttrDirectory) == 0 && !os::isSameFile(path, archivePath);
}

// The most an entry can take in the archive: deflate's worst case for the
// data, the encryption header, a descriptor and both records with the name.
uint64_t entryBound(uint64_t size, size_t nameLength)
{
    using namespace zipbytes;
    const uint64_t deflated = size + (size >> 12) + (size >> 14) + (size >> 25) + 13;
    return deflated + kEncryptionHeaderSize + kDescriptorSize + kLocalRecordSize + kCentralRecordSize
           + 2 * nameLength;
}

class SourceFile {
public:
    explicit SourceFile(const CString& path) : handle_(os::openFile(path, os::OpenMode::ReadExisting))
    {
        if (handle_ == os::kInvalidFile)
            throw CZipLastErrorException("Couldn't open source file " + path);
    }
    ~SourceFile() { os::closeFile(handle_); }
    SourceFile(const SourceFile&) = delete;
    SourceFile& operator=(const SourceFile&) = delete;
    os::FileHandle handle() const { return handle_; }

private:
    os::FileHandle handle_;
};
}

bool CZipFile::addNewFiles(std::vector<CString>& files, uint32_t option, bool keepFolderNames,
                           bool replaceExisting)
{
    if (isReadOnly())
        return false;
    refuseOversizedFiles(files, keepFolderNames);
    if (replaceExisting && !isRemovableDrive(path_))
        removeReplacedEntries(files, keepFolderNames);
    endInflate();
    entryOpen_ = false;
    writeFailed_ = false;
    centralDir_.RemoveFromDisk();
    if (spanningMode_)
        bufferedMode_ = true;
    password_ = callback_->getPassword();
    addEachFile(files, option, keepFolderNames, deflateLevelFor(option));
    if (spanningMode_) {
        write(nullptr, 0, false);
        bufferedMode_ = false;
    }
    centralDir_.write();
    throwIfWriteFailed();
    callback_->setStatusText("Ready");
    return true;
}

// Checked before anything is written: the records hold 32-bit sizes and
// offsets and 16-bit counts, and an archive past those limits is unreadable.
void CZipFile::refuseOversizedFiles(const std::vector<CString>& files, bool keepFolderNames)
{
    uint64_t total = myGetFileSize();
    size_t entries = static_cast<size_t>(centralDir_.getHeaderCount());
    for (const CString& path : files) {
        if (!isAddable(path, path_))
            continue;
        const int64_t size = os::fileSizeAtPath(path);
        total += entryBound(static_cast<uint64_t>(std::max<int64_t>(size, 0)),
                            entryNameFor(path, keepFolderNames).size());
        if (size > static_cast<int64_t>(kLargestZipSize) || total > kLargestZipSize)
            throw CZipException("File too large for a zip archive " + path);
        if (++entries > kMostEntries)
            throw CZipException("Too many entries for a zip archive " + path);
    }
}

void CZipFile::removeReplacedEntries(const std::vector<CString>& files, bool keepFolderNames)
{
    std::vector<CZipFileHeader*> replaced;
    for (const CString& path : files)
        if (CZipFileHeader* header = centralDir_.getFileFromName(entryNameFor(path, keepFolderNames)))
            replaced.push_back(header);
    if (!replaced.empty())
        removeSomeFiles(replaced);
}

void CZipFile::addEachFile(const std::vector<CString>& files, uint32_t option, bool keepFolderNames, int level)
{
    for (const CString& path : files) {
        if (callback_->checkForUserCancel())
            break;
        if (isAddable(path, path_))
            addOrRestore(path, option, keepFolderNames, level);
        deflateEnd(&stream_);
        EmptyPtrList();
    }
}

// A failure while an entry is written drops that entry and leaves every
// complete entry readable behind a fresh directory.
void CZipFile::addOrRestore(const CString& path, uint32_t option, bool keepFolderNames, int level)
{
    const int64_t entryStart = myGetFileSize();
    const int entriesBefore = centralDir_.getHeaderCount();
    try {
        addSingleNewFile(path, option, keepFolderNames, !password_.empty(), level);
    } catch (...) {
        deflateEnd(&stream_);
        if (centralDir_.getHeaderCount() > entriesBefore)
            centralDir_.RemoveFile(nullptr, entriesBefore, 0);
        restoreDirectory(entryStart);
        throw;
    }
}

void CZipFile::restoreDirectory(int64_t end)
{
    if (spanningMode_)
        return;
    try {
        writeFailed_ = false;
        seekg(end, begin);
        setEndOfFile();
        centralDir_.write();
    } catch (const CZipException&) {
        // The first failure is the one to report.
    }
}

void CZipFile::throwIfWriteFailed()
{
    if (!writeFailed_)
        return;
    writeFailed_ = false;
    throw CZipLastErrorException("Failed to write the file");
}

CString CZipFile::convertName(CString name, bool toWindows)
{
    if (toWindows) {
        std::replace(name.begin(), name.end(), '/', '\\');
        return name;
    }
    name = os::dropDrivePart(name);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

CString CZipFile::entryNameFor(const CString& path, bool keepFolderNames)
{
    const CString name = convertName(path, false);
    return keepFolderNames ? name : name.substr(name.rfind('/') + 1);
}

bool CZipFile::addSingleNewFile(const CString& path, uint32_t, bool keepFolderNames, bool encrypt, int level)
{
    if (gzipMode_ || tarMode_)
        return true;
    const CString name = entryNameFor(path, keepFolderNames);
    callback_->setStatusText("Compressing file " + name);
    if (centralDir_.getHeaderCount() == 0 && spanningMode_) {
        char marker[4];
        zipbytes::put32(marker, zipbytes::kDescriptorSignature);
        write(marker, sizeof marker, true);
    }
    const uint32_t offset = static_cast<uint32_t>(myGetFileSize());
    CZipFileHeader& header = *centralDir_.addNewFileHeader(name);
    header.localHeaderOffset = offset;
    header.firstDisk = static_cast<uint16_t>(currentDisk_);
    header.method = Z_DEFLATED;
    header.SetTime(path);
    if (encrypt)
        header.flags |= CZipFileHeader::kFlagEncrypted | CZipFileHeader::kFlagDataDescriptor;
    header.compressedSize = encrypt ? zipbytes::kEncryptionHeaderSize : 0;
    if (!spanningMode_) {
        header.writeLocalFileHeader();
        throwIfWriteFailed();
    }
    stream_ = z_stream();
    entryOpen_ = false;
    CheckForError(deflateInit2_(&stream_, level, Z_DEFLATED, -MAX_WBITS, kMemoryLevel, Z_DEFAULT_STRATEGY,
                                "1.1.4", static_cast<int>(sizeof(z_stream))));
    SourceFile source(path);
    if (encrypt) {
        CryptCryptHeader(static_cast<uint32_t>(header.modificationTime) << 16, outputBuffer_);
        write(outputBuffer_, zipbytes::kEncryptionHeaderSize, false);
        throwIfWriteFailed();
    }
    deflateSource(source.handle(), path, header);
    deflateEnd(&stream_);
    header.compressedSize += static_cast<uint32_t>(stream_.total_out);
    header.writeLocalFileHeader();
    throwIfWriteFailed();
    flush();
    seekg(header.compressedSize, current);
    if (header.IsDataDescr())
        writeDataDescriptor(header);
    setEndOfFile();
    return true;
}

// Readers that see flag bit 3 expect the descriptor behind the data and count
// it as part of the entry; without it they take the next entry for an overlap.
void CZipFile::writeDataDescriptor(const CZipFileHeader& header)
{
    char descriptor[zipbytes::kDescriptorSize];
    zipbytes::put32(descriptor, zipbytes::kDescriptorSignature);
    zipbytes::put32(descriptor + 4, header.crc32);
    zipbytes::put32(descriptor + 8, header.compressedSize);
    zipbytes::put32(descriptor + 12, header.uncompressedSize);
    write(descriptor, sizeof descriptor, true);
    throwIfWriteFailed();
}

void CZipFile::deflateSource(os::FileHandle source, const CString& path, CZipFileHeader& header)
{
    header.uncompressedSize = 0;
    stream_.next_out = reinterpret_cast<Bytef*>(static_cast<char*>(outputBuffer_));
    stream_.avail_out = outputBuffer_.size();
    int result = Z_OK;
    uint32_t got = 0;
    do {
        if (!os::readFile(source, inputBuffer_, inputBuffer_.size(), got))
            throw CZipLastErrorException("Failed to read input file " + path);
        header.crc32 = crc32(header.crc32, reinterpret_cast<const Bytef*>(static_cast<char*>(inputBuffer_)), got);
        header.uncompressedSize += got;
        stream_.next_in = reinterpret_cast<Bytef*>(static_cast<char*>(inputBuffer_));
        stream_.avail_in = got;
        while (stream_.avail_in > 0 && result == Z_OK) {
            if (stream_.avail_out == 0)
                writeCompressed(outputBuffer_.size());
            result = deflate(&stream_, Z_NO_FLUSH);
            CheckForError(result);
        }
    } while (got == inputBuffer_.size());
    while (result == Z_OK) {
        if (stream_.avail_out == 0)
            writeCompressed(outputBuffer_.size());
        result = deflate(&stream_, Z_FINISH);
        if (result != Z_STREAM_END)
            CheckForError(result);
    }
    writeCompressed(outputBuffer_.size() - stream_.avail_out);
}

void CZipFile::writeCompressed(uint32_t count)
{
    CryptEncodeBuffer(outputBuffer_, count);
    if (count)
        write(outputBuffer_, count, false);
    throwIfWriteFailed();
    stream_.next_out = reinterpret_cast<Bytef*>(static_cast<char*>(outputBuffer_));
    stream_.avail_out = outputBuffer_.size();
}
