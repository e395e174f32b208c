// Reading entries out of an archive, and the listing accessors. Tar and gzip
// files answer the same calls through their readers.
#include "ZipFile.h"

#include "ZipBytes.h"

#include <algorithm>
#include <cstring>

#define FORWARD_TO_READERS(call)         \
    do {                                 \
        if (gzipMode_)                   \
            return gzipReader_.call;     \
        if (tarMode_)                    \
            return tarReader_.call;      \
    } while (false)

long CZipFile::getFileCount() const
{
    FORWARD_TO_READERS(getFileCount());
    return centralDir_.getHeaderCount();
}

const CZipFileHeader* CZipFile::getFileHeader(long index) const
{
    return centralDir_.getFileHeader(index);
}

namespace {
uint32_t saturated(uint64_t size)
{
    return static_cast<uint32_t>(std::min<uint64_t>(size, UINT32_MAX));
}
}

uint32_t CZipFile::getCompressedSize(int index) const
{
    return saturated(getCompressedSize64(index));
}

uint32_t CZipFile::getUncompressedSize(int index) const
{
    return saturated(getUncompressedSize64(index));
}

uint64_t CZipFile::getCompressedSize64(int index) const
{
    FORWARD_TO_READERS(getCompressedSize(index));
    return getFileHeader(index)->compressedSize;
}

uint64_t CZipFile::getUncompressedSize64(int index) const
{
    FORWARD_TO_READERS(getUncompressedSize(index));
    return getFileHeader(index)->uncompressedSize;
}

uint32_t CZipFile::getCRC(int index) const
{
    if (gzipMode_ || tarMode_)
        return 0;
    return getFileHeader(index)->getCRC();
}

CString CZipFile::getFileName(int index) const
{
    FORWARD_TO_READERS(getFileName(index));
    return getFileHeader(index)->getFileName();
}

CString CZipFile::getPath(int index) const
{
    FORWARD_TO_READERS(getPath(index));
    return getFileHeader(index)->getPath();
}

CString CZipFile::getAttributes(int index) const
{
    FORWARD_TO_READERS(getAttributes(index));
    return getFileHeader(index)->getAttributes();
}

CString CZipFile::getEncryptionName(int index) const
{
    if (gzipMode_ || tarMode_)
        return CString();
    return getFileHeader(index)->getEncryptionName();
}

CString CZipFile::getCurrentOpenFilePath() const
{
    FORWARD_TO_READERS(getCurrentOpenFilePath());
    return getCurrentOpenFile() ? getCurrentOpenFile()->getPath() : CString();
}

CString CZipFile::getCurrentOpenFileFileName() const
{
    FORWARD_TO_READERS(getCurrentOpenFileFileName());
    return currentName();
}

CString CZipFile::currentName() const
{
    return getCurrentOpenFile() ? getCurrentOpenFile()->getFileName() : CString();
}

void CZipCentralDir::openFile(int index)
{
    current_ = headers_[static_cast<size_t>(index)];
    // In an archive that is one file, every entry lies in it, whatever its disk number says.
    if (owner_->currentDisk_ != current_->firstDisk && owner_->isSpannedSet()
        && !owner_->askForSpecificDisk(current_->firstDisk))
        throw CZipException("Unable to open file " + current_->name);
    const CString message = "Corrupt zip file found when trying to read local header : " + current_->name;
    try {
        owner_->seekg(static_cast<int64_t>(current_->localHeaderOffset), CZipFile::begin);
    } catch (const CZipException&) {
        throw CZipLastErrorException(message);
    }
    uint32_t dataStart = 0;
    uint32_t got = 0;
    if (!current_->readLocal(dataStart, got))
        throw CZipException(message);
    owner_->takeFirstInput(dataStart, got);
}

// What came of the entry's data with its local header becomes its first input.
void CZipFile::takeFirstInput(uint32_t dataStart, uint32_t got)
{
    stream_.next_in = reinterpret_cast<Bytef*>(readBuffer_ + dataStart);
    stream_.avail_in = static_cast<uInt>(std::min<uint64_t>(got - dataStart, getCurrentOpenFile()->compressedSize));
    compressedLeft_ = getCurrentOpenFile()->compressedSize - stream_.avail_in;
}

bool CZipFile::openFile(int index)
{
    FORWARD_TO_READERS(openFile(index));
    endInflate();
    // Whatever is made of an entry is named after it; a name the system
    // cannot spell would come out as some other name.
    if (!getFileHeader(index)->nameFitsSystem)
        throw CZipException("The system's code page cannot hold the name of " + getFileHeader(index)->name);
    centralDir_.openFile(index);
    const CZipFileHeader* header = getCurrentOpenFile();
    callback_->setStatusText("Extracting file " + header->getFileName());
    aes_.reset();
    if (header->isAes()) {
        if (!AesOpenEntry())
            throw CZipException("Encryption problem " + header->getFileName());
    } else if (header->IsEncrypted()) {
        if (header->compressedSize < zipbytes::kEncryptionHeaderSize)
            throw CZipException("Encryption problem " + header->getFileName());
        CryptInitKeys();
        CryptDecodeBuffer();
        if (!CryptCheck())
            throw CZipException("Encryption problem " + header->getFileName());
    }
    if (header->dataMethod() == Z_DEFLATED) {
        stream_.zalloc = nullptr;
        stream_.zfree = nullptr;
        stream_.opaque = nullptr;
        inflateInit2_(&stream_, -MAX_WBITS, "1.1.4", static_cast<int>(sizeof(z_stream)));
        inflateActive_ = true;
    }
    stream_.total_out = 0;
    uncompressedLeft_ = header->uncompressedSize;
    runningCrc_ = crc32(0L, Z_NULL, 0);
    entryOpen_ = true;
    return true;
}

uint32_t CZipFile::readFile(void* buffer, uint32_t size)
{
    FORWARD_TO_READERS(readFile(buffer, size));
    if (!entryOpen_ || !getCurrentOpenFile())
        throw CZipException("You must open file before extracting");
    const bool stored = getCurrentOpenFile()->dataMethod() == 0;
    stream_.next_out = static_cast<Bytef*>(buffer);
    stream_.avail_out = static_cast<uInt>(std::min<uint64_t>(size, uncompressedLeft_));
    const uLong totalBefore = stream_.total_out;
    // An empty entry may still carry a deflate stream that must be consumed;
    // a stored one has nothing to consume, whatever its compressed size says.
    const bool force = !stored && stream_.avail_out == 0 && compressedLeft_ > 0;
    bool streamEnded = false;
    while (!streamEnded && (stream_.avail_out > 0 || (force && compressedLeft_ > 0))) {
        if (stream_.avail_in == 0 && !refillInput())
            break;
        if (stored)
            copyStored();
        else
            streamEnded = inflateSome();
    }
    const uint32_t delivered = static_cast<uint32_t>(stream_.total_out - totalBefore);
    uncompressedLeft_ -= delivered;
    runningCrc_ = crc32(runningCrc_, static_cast<const Bytef*>(buffer), delivered);
    if (delivered < size)
        checkFinishedEntry();
    return delivered;
}

// False when the entry's data is used up.
bool CZipFile::refillInput()
{
    if (compressedLeft_ == 0)
        return false;
    const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(compressedLeft_, readBuffer_.size()));
    const uint32_t got = read(readBuffer_, chunk, true);
    if (fail())
        throw CZipLastErrorException("Corrupt zip file found when exstacting " + currentName());
    compressedLeft_ -= got;
    stream_.next_in = reinterpret_cast<Bytef*>(static_cast<char*>(readBuffer_));
    stream_.avail_in = got;
    decryptInput();
    // An AES entry's last bytes are its authentication code, not data.
    return stream_.avail_in > 0 || compressedLeft_ > 0;
}

void CZipFile::decryptInput()
{
    if (aes_)
        AesDecodeInput();
    else
        CryptDecodeBuffer();
}

// Bytes from the front of the entry's input, read on as needed; false when
// the entry's data ends first.
bool CZipFile::takeInput(char* bytes, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i) {
        if (stream_.avail_in == 0 && !refillInput())
            return false;
        bytes[i] = static_cast<char>(*stream_.next_in++);
        --stream_.avail_in;
    }
    return true;
}

void CZipFile::copyStored()
{
    const uint32_t count = std::min(stream_.avail_out, stream_.avail_in);
    std::memcpy(stream_.next_out, stream_.next_in, count);
    stream_.next_out += count;
    stream_.avail_out -= count;
    stream_.next_in += count;
    stream_.avail_in -= count;
    stream_.total_out += count;
}

// True when the deflate stream has ended.
bool CZipFile::inflateSome()
{
    const int result = inflate(&stream_, Z_SYNC_FLUSH);
    if (result == Z_STREAM_END)
        return true;
    CheckForError(result);
    return false;
}

// Whoever reads an entry to its end learns whether the bytes are the ones
// that were stored: damaged data or a wrong password never pass as good, nor
// a stored entry whose two sizes disagree. An AES entry must also match its
// authentication code; AE-2 stores no CRC to compare.
void CZipFile::checkFinishedEntry()
{
    const CZipFileHeader* header = getCurrentOpenFile();
    zipaes::Settings aes;
    const bool aesEntry = aes_ && header->aesSettings(aes);
    const bool dataLeft = stream_.avail_in != 0 || (aesEntry ? aesDataLeft_ != 0 : compressedLeft_ != 0);
    const bool storedBytesLeft = header->dataMethod() == 0 && dataLeft;
    const bool crcDiffers = (!aesEntry || aes.keepsCrc()) && runningCrc_ != header->getCRC();
    if (uncompressedLeft_ != 0 || storedBytesLeft || crcDiffers || (aesEntry && !AesCodeMatches()))
        throw CZipException("Corrupt zip file found when exstacting " + currentName());
}

void CZipFile::endInflate()
{
    if (inflateActive_)
        inflateEnd(&stream_);
    inflateActive_ = false;
}

bool CZipFile::closeFile(int index)
{
    FORWARD_TO_READERS(closeFile(index));
    centralDir_.closeFile();
    endInflate();
    aes_.reset();
    EmptyPtrList();
    entryOpen_ = false;
    return true;
}
