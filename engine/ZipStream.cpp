// The byte stream over the archive file: the only code that moves the file
// pointer or touches the archive's handle.
#include "ZipFile.h"

uint32_t CZipFile::read(char* buffer, uint32_t count, bool mayContinueOnNextDisk)
{
    if (count == 0)
        return 0;
    uint32_t total = 0;
    bool ok = os::readFile(file_, buffer, count, total);
    // Disks smaller than the count make one read cross several of them, but
    // never past the last disk of the set, whatever a size in it claims.
    while (ok && total < count && mayContinueOnNextDisk && currentDisk_ < centralDir_.endRecord().thisDisk
           && askForNextDisk()) {
        uint32_t rest = 0;
        ok = os::readFile(file_, buffer + total, count - total, rest);
        total += rest;
    }
    if (!ok || total == 0)
        good_ = false;
    return total;
}

// Record reads must never take a short count for a whole record.
bool CZipFile::readExactly(char* buffer, uint32_t count)
{
    return read(buffer, count, false) == count && !fail();
}

uint32_t CZipFile::write(const char* buffer, uint32_t count, bool keepWhole)
{
    if (!isBufferedSpanning())
        return rawWrite(buffer, count, keepWhole);
    if (!buffer) {
        writePending();
        return 0;
    }
    return bufferedWrite(buffer, count, keepWhole);
}

uint32_t CZipFile::rawWrite(const char* buffer, uint32_t count, bool keepWhole)
{
    return spanningMode_ ? spanningWrite(buffer, count, keepWhole) : writeHere(buffer, count);
}

// A write that falls short stops the change at once: whatever would be
// written next would land in the wrong place.
uint32_t CZipFile::writeHere(const char* buffer, uint32_t count)
{
    if (writeSome(buffer, count) < count)
        throw CZipLastErrorException("Failed to write the file");
    return count;
}

// How much of the block reached the file; the caller decides what a short
// count means.
uint32_t CZipFile::writeSome(const char* buffer, uint32_t count)
{
    uint32_t written = 0;
    if (!os::writeFile(file_, buffer, count, written) || written < count)
        good_ = false;
    return written;
}

// While bytes wait in the span buffer, positions in the file mean nothing.
void CZipFile::seekg(int64_t offset, eMoveMode mode)
{
    if (isBufferedSpanning())
        return;
    if (offset > 0) {
        int64_t available = mode == current ? myGetFileSize() - tellg() : mode == begin ? myGetFileSize() : 0;
        if (available < offset) {
            os::setLastError(os::kErrorDiskFull);
            throw CZipLastErrorException("Error while trying to find data");
        }
    }
    if (!os::seekFile(file_, offset, static_cast<os::Origin>(mode)))
        throw CZipLastErrorException("Error while trying to find data");
    good_ = true;
}

int64_t CZipFile::tellg() const
{
    const int64_t position = os::filePosition(file_);
    if (position < 0)
        throw CZipLastErrorException("Error while trying to find data");
    return position;
}

// Everything waiting in the span buffer fits on the current disk, so a
// flush can always put it there.
void CZipFile::flush()
{
    if (!isBufferedSpanning() || spanPending() == 0)
        return;
    writePending();
    if (!os::flushFile(file_))
        throw CZipLastErrorException("Failed to write the file");
}

uint64_t CZipFile::GetLength() const
{
    int64_t size = os::fileSizeAtPath(path_);
    return size < 0 ? 0 : static_cast<uint64_t>(size);
}

void CZipFile::setEndOfFile()
{
    if (!os::truncateHere(file_))
        throw CZipLastErrorException("Failed to write the file");
}

int64_t CZipFile::myGetFileSize() const
{
    const int64_t size = os::fileSize(file_);
    if (size < 0)
        throw CZipLastErrorException("Error while trying to find data");
    return size + (isBufferedSpanning() ? spanPending() : 0);
}
