// Adding files: each one deflated (and encrypted on request) onto the end of
// the archive, then the directory written again.
#include "ZipFile.h"

#include "ParallelDeflate.h"
#include "ScopedFile.h"
#include "ZipBytes.h"

#include <algorithm>
#include <set>

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

// The most an entry's data can take: deflate's worst case and what either
// encryption adds.
uint64_t dataBound(uint64_t size)
{
    const uint64_t encryption = std::max<uint64_t>(zipbytes::kEncryptionHeaderSize, zipaes::Settings().overhead());
    return size + (size >> 12) + (size >> 14) + (size >> 25) + 13 + encryption;
}

// The most an entry can take in the archive: its data, a descriptor and both
// records with the name.
uint64_t entryBound(uint64_t size, size_t nameLength)
{
    using namespace zipbytes;
    return dataBound(size) + kDescriptorSize + kLocalRecordSize + kCentralRecordSize + 2 * nameLength;
}

// Whether a file of this size may give an entry of 4 GiB or more, whose
// local header must then have room for 64-bit sizes from the start.
bool mayReachZip64(int64_t size)
{
    return size >= 0 && dataBound(static_cast<uint64_t>(size)) >= zipbytes::kZip64Marker32;
}

// Thrown when the user cancels in the middle of a file: the entry goes, the
// ones before it stay.
struct AddingCancelled {};

}

bool CZipFile::addNewFiles(std::vector<CString>& files, uint32_t option, bool keepFolderNames,
                           bool replaceExisting)
{
    if (isReadOnly() || !isDirectoryOnCurrentDisk())
        return false;
    refuseUnsafeChange();
    if (spanningMode_)
        refuseOversizedSpan(files, keepFolderNames);
    const std::vector<CZipFileHeader*> replaced =
        replaceExisting && !isRemovableDrive(path_) ? entriesNamedLike(files, keepFolderNames)
                                                    : std::vector<CZipFileHeader*>();
    const int firstNew = centralDir_.getHeaderCount();
    const uint64_t dataEnd = centralDir_.isLoaded() ? centralDir_.directoryPosition() : myGetFileSize();
    uint64_t addedEnd = dataEnd;
    endInflate();
    entryOpen_ = false;
    centralDir_.RemoveFromDisk();
    if (spanningMode_)
        bufferedMode_ = true;
    password_ = callback_->getPassword();
    encryption_ = callback_->getEncryption();
    try {
        addEachFile(files, keepFolderNames, deflateLevelFor(option), addedEnd);
        if (spanningMode_)
            leaveBufferedMode(true);
        centralDir_.write();
    } catch (...) {
        keepWhatIsIntact(replaced, firstNew, dataEnd, addedEnd);
        throw;
    }
    removeReplaced(replaced, firstNew);
    callback_->setStatusText("Ready");
    return true;
}

// Checked before anything is written: a spanned set keeps to 32-bit sizes
// and offsets and 16-bit counts, as the disks and tools that read it expect.
void CZipFile::refuseOversizedSpan(const std::vector<CString>& files, bool keepFolderNames)
{
    uint64_t total = myGetFileSize();
    size_t entries = static_cast<size_t>(centralDir_.getHeaderCount());
    for (const CString& path : files) {
        if (!zipdeflate::isAddable(path, os::fileAttributes(path), path_))
            continue;
        const int64_t size = os::fileSizeAtPath(path);
        // A size the system cannot tell is never taken for a small one.
        if (size < 0)
            throw CZipLastErrorException("Failed to read input file " + path);
        total += entryBound(static_cast<uint64_t>(size), entryNameFor(path, keepFolderNames).size());
        if (size > static_cast<int64_t>(kLargestZipSize) || total > kLargestZipSize)
            throw CZipException("File too large for a zip archive " + path);
        if (++entries > kMostEntries)
            throw CZipException("Too many entries for a zip archive " + path);
    }
}

std::vector<CZipFileHeader*> CZipFile::entriesNamedLike(const std::vector<CString>& files, bool keepFolderNames)
{
    std::vector<CZipFileHeader*> found;
    for (const CString& path : files)
        if (CZipFileHeader* header = centralDir_.getFileFromName(entryNameFor(path, keepFolderNames)))
            found.push_back(header);
    return found;
}

// An entry being replaced goes only once its replacement is in the archive,
// so that no failure of the new one can cost the old.
void CZipFile::removeReplaced(std::vector<CZipFileHeader*> replaced, int firstNew)
{
    std::set<CString> added;
    for (int i = firstNew; i < centralDir_.getHeaderCount(); ++i)
        added.insert(centralDir_.getFileHeader(i)->name);
    replaced.erase(std::remove_if(replaced.begin(), replaced.end(),
                                  [&](const CZipFileHeader* old) { return !added.count(old->name); }),
                   replaced.end());
    removeSomeFiles(replaced);
}

// addedEnd follows the end of the last entry added whole. With several
// threads, one set of workers serves the whole batch: the files ahead of the
// writer and the blocks of large ones.
void CZipFile::addEachFile(const std::vector<CString>& files, bool keepFolderNames, int level, uint64_t& addedEnd)
{
    std::unique_ptr<zipdeflate::Workers> workers;
    if (threadCount_ > 1)
        workers = std::make_unique<zipdeflate::Workers>(threadCount_);
    zipdeflate::FilesAhead ahead(files, path_, level, workers.get());
    for (size_t i = 0; i < files.size(); ++i) {
        if (callback_->checkForUserCancel())
            break;
        const zipdeflate::FileAhead file = ahead.take(i);
        if (file.addable) {
            try {
                addWholeOrNothing(files[i], keepFolderNames, level, file, workers.get());
            } catch (const AddingCancelled&) {
                dropUnfinishedEntry(addedEnd);
                break;
            }
            addedEnd = static_cast<uint64_t>(myGetFileSize());
        }
        deflateEnd(&stream_);
        EmptyPtrList();
    }
}

// A spanned set's unfinished entry is still in its temporary file; anywhere
// else its bytes are cut off so that the directory follows the last entry.
void CZipFile::dropUnfinishedEntry(uint64_t addedEnd)
{
    if (spanningMode_)
        return;
    seekg(static_cast<int64_t>(addedEnd), begin);
    setEndOfFile();
}

// An entry that fails while it is written leaves no record behind.
void CZipFile::addWholeOrNothing(const CString& path, bool keepFolderNames, int level,
                                 const zipdeflate::FileAhead& file, zipdeflate::Workers* workers)
{
    const int entriesBefore = centralDir_.getHeaderCount();
    try {
        addSingleNewFile(path, keepFolderNames, !password_.empty(), level, file, workers);
    } catch (...) {
        deflateEnd(&stream_);
        if (centralDir_.getHeaderCount() > entriesBefore)
            centralDir_.RemoveFile(nullptr, entriesBefore, 0);
        throw;
    }
}

// After a failed batch the entries added whole stay, behind a fresh
// directory, and the entries they replace go. On a disk too full even for
// that directory, the archive goes back to what it was before the batch. A
// spanned set whose next disk was refused is closed: there is nowhere left
// to put a directory.
void CZipFile::keepWhatIsIntact(const std::vector<CZipFileHeader*>& replaced, int firstNew, uint64_t dataEnd,
                                uint64_t addedEnd)
{
    restoreDirectory(addedEnd);
    if (!centralDir_.isLoaded() && !spanningMode_ && is_open()) {
        std::vector<CZipFileHeader*> added;
        for (int i = firstNew; i < centralDir_.getHeaderCount(); ++i)
            added.push_back(centralDir_.getFileHeader(i));
        centralDir_.RemoveFiles(added, std::vector<uint64_t>(added.size(), 0));
        restoreDirectory(dataEnd);
    }
    try {
        if (centralDir_.isLoaded())
            removeReplaced(replaced, firstNew);
    } catch (const CZipException&) {
        // The first failure is the one to report.
    }
}

// After a failed change: the file cut where its intact data ends and the
// directory, as it now stands, written there. The failure being reported
// is the first one; another one here changes nothing about that.
void CZipFile::restoreDirectory(uint64_t dataEnd)
{
    try {
        if (spanningMode_) {
            leaveBufferedMode(is_open());
        } else {
            seekg(static_cast<int64_t>(dataEnd), begin);
            setEndOfFile();
        }
        if (is_open())
            centralDir_.writeAtEnd();
    } catch (const CZipException&) {
        // The first failure is the one to report.
    }
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

void CZipFile::addSingleNewFile(const CString& path, bool keepFolderNames, bool encrypt, int level,
                                const zipdeflate::FileAhead& file, zipdeflate::Workers* workers)
{
    if (gzipMode_ || tarMode_)
        return;
    const CString name = entryNameFor(path, keepFolderNames);
    callback_->setStatusText("Compressing file " + name);
    if (file.failure)
        std::rethrow_exception(file.failure);
    if (file.deflated.whole) {
        addDeflatedAhead(name, path, file, encrypt);
        return;
    }
    ScopedFile source(os::openFile(path, os::OpenMode::ReadExisting), "Couldn't open source file " + path);
    // Asked once, of the open file: the size it has now is the one read.
    const int64_t size = os::fileSize(source.handle());
    CZipFileHeader& header = startEntry(name, file.stamp, mayReachZip64(size), encrypt);
    writeEntry(header, path, encrypt, [&](os::FileHandle target) {
        if (workers && size > static_cast<int64_t>(zipdeflate::kBlockSize))
            deflateInBlocks(source.handle(), path, header, level, *workers, target);
        else
            deflateSource(source.handle(), path, header, level, target);
    });
}

// Deflated ahead and in the clear, the entry goes out at once, its local
// header already holding the sizes.
void CZipFile::addDeflatedAhead(const CString& name, const CString& path, const zipdeflate::FileAhead& file,
                                bool encrypt)
{
    CZipFileHeader& header = startEntry(name, file.stamp, false, encrypt);
    const zipdeflate::Block& deflated = file.deflated;
    if (encrypt || spanningMode_) {
        writeEntry(header, path, encrypt, [&](os::FileHandle target) { writeDeflated(deflated, header, target); });
        return;
    }
    header.crc32 = deflated.crc;
    header.uncompressedSize = deflated.size;
    header.compressedSize = deflated.compressed.size();
    std::vector<char> entry = header.localRecord();
    entry.insert(entry.end(), deflated.compressed.begin(), deflated.compressed.end());
    seekg(static_cast<int64_t>(header.localHeaderOffset), begin);
    write(entry.data(), static_cast<uint32_t>(entry.size()), true);
}

// The new entry's record, its local header not yet written.
CZipFileHeader& CZipFile::startEntry(const CString& name, const FileStamp& stamp, bool mayReachZip64, bool encrypt)
{
    if (centralDir_.getHeaderCount() == 0 && spanningMode_)
        writeDescriptor(nullptr);
    CZipFileHeader& header = *centralDir_.addNewFileHeader(name);
    header.localHeaderOffset = static_cast<uint64_t>(myGetFileSize());
    header.reserveLargeSizes(!spanningMode_ && mayReachZip64);
    header.firstDisk = static_cast<uint16_t>(currentDisk_);
    header.method = Z_DEFLATED;
    header.SetTime(stamp);
    header.compressedSize = 0;
    if (encrypt && encryption_ == Encryption::Aes256) {
        AesPrepareHeader(header);
    } else if (encrypt) {
        header.flags |= CZipFileHeader::kFlagEncrypted | CZipFileHeader::kFlagDataDescriptor;
        header.compressedSize = zipbytes::kEncryptionHeaderSize;
    }
    return header;
}

// The local header goes in front of the data and is written again once the
// sizes are known; in a spanned set, where it must land whole on one disk,
// the data waits in a temporary file until then.
void CZipFile::writeEntry(CZipFileHeader& header, const CString& path, bool encrypt, const EntryData& writeData)
{
    if (spanningMode_) {
        const CString folder = os::tempFolder();
        ScopedFile temporary(os::openFile(folder, os::OpenMode::TempDeleteOnClose),
                             "Couldn't open temporary file " + folder);
        compressEntry(header, encrypt, writeData, temporary.handle());
        refuseSizesPastReservation(header, path);
        finishSpannedEntry(header, temporary.handle());
        return;
    }
    header.writeLocalFileHeader();
    compressEntry(header, encrypt, writeData, os::kInvalidFile);
    refuseSizesPastReservation(header, path);
    finishEntryInPlace(header);
}

// A file that grew past 4 GiB while it was read finds no room for its sizes
// in the local header already written.
void CZipFile::refuseSizesPastReservation(const CZipFileHeader& header, const CString& path) const
{
    const bool large = header.compressedSize >= zipbytes::kZip64Marker32
                       || header.uncompressedSize >= zipbytes::kZip64Marker32;
    if (large && !header.hasLargeSizes())
        throw CZipException("File too large for a zip archive " + path);
}

void CZipFile::compressEntry(CZipFileHeader& header, bool encrypt, const EntryData& writeData, os::FileHandle target)
{
    aes_.reset();
    if (encrypt && header.isAes()) {
        AesStartEntry(target);
    } else if (encrypt) {
        CryptCryptHeader(static_cast<uint32_t>(header.modificationTime) << 16, outputBuffer_);
        writeEntryData(zipbytes::kEncryptionHeaderSize, target);
    }
    writeData(target);
    deflateEnd(&stream_);
    if (aes_)
        AesFinishEntry(header, target);
}

void CZipFile::finishEntryInPlace(CZipFileHeader& header)
{
    header.writeLocalFileHeader();
    flush();
    seekg(static_cast<int64_t>(header.compressedSize), current);
    // Readers that see flag bit 3 expect the descriptor behind the data and
    // count it as part of the entry; without it they take the next entry for
    // an overlap.
    if (header.IsDataDescr())
        writeDescriptor(&header);
    setEndOfFile();
}

// The local header is placed only now, so that it lands whole on one disk
// and its offset and disk are the ones it really has.
void CZipFile::finishSpannedEntry(CZipFileHeader& header, os::FileHandle temporary)
{
    makeRoomOnDisk(header.GetSize(true));
    header.localHeaderOffset = static_cast<uint64_t>(myGetFileSize());
    header.firstDisk = static_cast<uint16_t>(currentDisk_);
    header.writeLocalFileHeader();
    copyFromTemporary(temporary, header.compressedSize);
    flush();
    writeDescriptor(&header);
}

void CZipFile::copyFromTemporary(os::FileHandle temporary, uint64_t size)
{
    if (!os::seekFile(temporary, 0, os::Origin::Begin))
        throw CZipLastErrorException("Failed to write data to file " + path_);
    while (size > 0) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(size, inputBuffer_.size()));
        uint32_t got = 0;
        if (!os::readFile(temporary, inputBuffer_, chunk, got) || got < chunk)
            throw CZipLastErrorException("Failed to read data for file " + path_);
        write(inputBuffer_, chunk, false);
        size -= chunk;
    }
}

// Without a header this is the span marker that opens a spanned set: the
// descriptor's signature alone. An entry whose local header has 64-bit
// sizes has them in its descriptor too.
void CZipFile::writeDescriptor(const CZipFileHeader* header)
{
    using namespace zipbytes;
    char record[kZip64DescriptorSize];
    put32(record, kDescriptorSignature);
    uint32_t size = 4;
    if (header && header->hasLargeSizes()) {
        put32(record + 4, header->crc32);
        put64(record + 8, header->compressedSize);
        put64(record + 16, header->uncompressedSize);
        size = kZip64DescriptorSize;
    } else if (header) {
        put32(record + 4, header->crc32);
        put32(record + 8, static_cast<uint32_t>(header->compressedSize));
        put32(record + 12, static_cast<uint32_t>(header->uncompressedSize));
        size = kDescriptorSize;
    }
    write(record, size, true);
}

void CZipFile::deflateSource(os::FileHandle source, const CString& path, CZipFileHeader& header, int level,
                             os::FileHandle target)
{
    stream_ = z_stream();
    CheckForError(deflateInit2_(&stream_, level, Z_DEFLATED, -MAX_WBITS, kMemoryLevel, Z_DEFAULT_STRATEGY,
                                "1.1.4", static_cast<int>(sizeof(z_stream))));
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
                writeCompressed(outputBuffer_.size(), target, header);
            result = deflate(&stream_, Z_NO_FLUSH);
            CheckForError(result);
        }
    } while (got == inputBuffer_.size());
    while (result == Z_OK) {
        if (stream_.avail_out == 0)
            writeCompressed(outputBuffer_.size(), target, header);
        result = deflate(&stream_, Z_FINISH);
        if (result != Z_STREAM_END)
            CheckForError(result);
    }
    writeCompressed(outputBuffer_.size() - stream_.avail_out, target, header);
}

// The blocks are read, and their deflated bytes encrypted and written, here
// on the calling thread and in order; only the deflating is done beside it.
// Cancel is looked at before each block.
void CZipFile::deflateInBlocks(os::FileHandle source, const CString& path, CZipFileHeader& header, int level,
                               zipdeflate::Workers& workers, os::FileHandle target)
{
    header.uncompressedSize = 0;
    zipdeflate::ParallelDeflater deflater(level, workers);
    std::vector<char> window;
    bool more = true;
    while (more || !deflater.empty()) {
        if (!more || deflater.full()) {
            const zipdeflate::Block block = deflater.takeOldest();
            header.crc32 = crc32_combine(header.crc32, block.crc, block.size);
            header.uncompressedSize += block.size;
            writeBlock(block.compressed.data(), block.compressed.size(), target, header);
            continue;
        }
        if (callback_->checkForUserCancel())
            throw AddingCancelled();
        std::vector<char> input(window);
        input.resize(window.size() + zipdeflate::kBlockSize);
        uint32_t got = 0;
        if (!os::readFile(source, input.data() + window.size(), zipdeflate::kBlockSize, got))
            throw CZipLastErrorException("Failed to read input file " + path);
        more = got == zipdeflate::kBlockSize;
        if (got == 0)
            continue;
        input.resize(window.size() + got);
        window.assign(input.end() - std::min<size_t>(input.size(), zipdeflate::kWindowSize), input.end());
        const uint32_t dictionary = static_cast<uint32_t>(input.size() - got);
        deflater.submit(std::move(input), dictionary);
    }
    writeBlock(zipdeflate::kFinalBlock, sizeof zipdeflate::kFinalBlock, target, header);
}

void CZipFile::writeDeflated(const zipdeflate::Block& deflated, CZipFileHeader& header, os::FileHandle target)
{
    header.crc32 = deflated.crc;
    header.uncompressedSize = deflated.size;
    writeBlock(deflated.compressed.data(), deflated.compressed.size(), target, header);
}

void CZipFile::writeBlock(const char* bytes, size_t count, os::FileHandle target, CZipFileHeader& header)
{
    while (count > 0) {
        const uint32_t chunk = static_cast<uint32_t>(std::min<size_t>(count, outputBuffer_.size()));
        std::copy(bytes, bytes + chunk, static_cast<char*>(outputBuffer_));
        writeCompressed(chunk, target, header);
        bytes += chunk;
        count -= chunk;
    }
}

// The compressed size is counted here: zlib's own total has only 32 bits on
// some systems.
void CZipFile::writeCompressed(uint32_t count, os::FileHandle target, CZipFileHeader& header)
{
    encryptOutput(count);
    writeEntryData(count, target);
    header.compressedSize += count;
    stream_.next_out = reinterpret_cast<Bytef*>(static_cast<char*>(outputBuffer_));
    stream_.avail_out = outputBuffer_.size();
}

// The compressed bytes are encrypted in the order they come, whichever
// way the entry is encrypted.
void CZipFile::encryptOutput(uint32_t count)
{
    if (!aes_) {
        CryptEncodeBuffer(outputBuffer_, count);
        return;
    }
    if (!aes_->encrypt(outputBuffer_, count))
        throw CZipException("Encryption problem " + currentName());
}

// Entry data goes to the archive, or to the temporary file of a spanned set.
void CZipFile::writeEntryData(uint32_t count, os::FileHandle target)
{
    if (count == 0)
        return;
    if (target == os::kInvalidFile) {
        write(outputBuffer_, count, false);
        return;
    }
    uint32_t written = 0;
    if (!os::writeFile(target, outputBuffer_, count, written) || written < count)
        throw CZipLastErrorException("Failed to write the file");
}
