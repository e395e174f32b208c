// Spanned sets: one archive file of the same name on each of several
// removable disks, read and written with the user changing disks on request.
#include "ZipFile.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint32_t kSpanBufferSize = 2000000;

// One per process: only one archive is written to removable disks at a time.
// Every pending byte belongs at the end of the archive on the disk in the
// drive, and there is always room for it there.
struct SpanBuffer {
    CZipBuffer bytes{kSpanBufferSize};
    uint32_t pending = 0;
};

SpanBuffer& spanBuffer()
{
    static SpanBuffer buffer;
    return buffer;
}
}

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

uint32_t CZipFile::spanPending() const
{
    return spanBuffer().pending;
}

// Room left on the disk in the drive once the pending bytes are on it.
uint32_t CZipFile::roomOnDisk() const
{
    const uint32_t free = GetDeviceFreeSpace(path_);
    return free > spanPending() ? free - spanPending() : 0;
}

// Entry data fills each disk to its last byte; a block that must stay whole
// goes to the next disk when it does not fit beside what is already there.
uint32_t CZipFile::spanningWrite(const char* buffer, uint32_t count, bool keepWhole)
{
    uint32_t written = 0;
    bool diskChanged = false;
    for (;;) {
        const uint32_t free = GetDeviceFreeSpace(path_);
        if (free >= count)
            return written + writeHere(buffer, count);
        // A fresh disk too small for the block would only be asked for again and again.
        if (keepWhole && diskChanged)
            throw CZipLastErrorException("Failed to write the file");
        if (!keepWhole && free > 0) {
            writeHere(buffer, free);
            buffer += free;
            count -= free;
            written += free;
        }
        nextDiskOrFail();
        diskChanged = true;
    }
}

// Never holds more than the buffer's size: when the buffer fills, its bytes
// go to the current disk, and when the disk is full, the next one is asked for.
uint32_t CZipFile::bufferedWrite(const char* buffer, uint32_t count, bool keepWhole)
{
    if (keepWhole)
        makeRoomOnDisk(count);
    SpanBuffer& span = spanBuffer();
    for (uint32_t done = 0; done < count;) {
        uint32_t room = roomOnDisk();
        if (room == 0) {
            nextDiskForBuffer();
            room = roomOnDisk();
        }
        const uint32_t take = std::min({count - done, room, span.bytes.size() - span.pending});
        std::memcpy(span.bytes + span.pending, buffer + done, take);
        span.pending += take;
        done += take;
        if (span.pending == span.bytes.size())
            writePending();
    }
    return count;
}

// True when the block starts a new disk.
bool CZipFile::makeRoomOnDisk(uint32_t count)
{
    if (!spanningMode_ || roomOnDisk() >= count)
        return false;
    if (isBufferedSpanning())
        nextDiskForBuffer();
    else
        nextDiskOrFail();
    if (roomOnDisk() < count)
        throw CZipLastErrorException("Failed to write the file");
    return true;
}

void CZipFile::nextDiskOrFail()
{
    if (askForNextDisk())
        return;
    flush();
    close();
    throw CZipLastErrorException("Failed to write the file");
}

void CZipFile::nextDiskForBuffer()
{
    writePending();
    if (!askForNextDisk()) {
        close();
        throw CZipException("Zip Spanning Failed");
    }
}

void CZipFile::writePending()
{
    const uint32_t count = spanBuffer().pending;
    spanBuffer().pending = 0;
    if (count)
        rawWrite(spanBuffer().bytes, count, false);
}

// After a failure the pending bytes belong to no disk any more; they must not
// turn up in the next archive that is written.
void CZipFile::leaveBufferedMode(bool writeOut)
{
    const uint32_t count = spanBuffer().pending;
    spanBuffer().pending = 0;
    bufferedMode_ = false;
    if (writeOut && count)
        rawWrite(spanBuffer().bytes, count, false);
}

// The directory of a spanned set can only be taken off the end of the disk
// in the drive when all of it lies there.
bool CZipFile::isDirectoryOnCurrentDisk() const
{
    if (!centralDir_.isLoaded())
        return true;
    const CZipCentralDir::EndRecord& end = centralDir_.endRecord();
    return end.startDisk == end.thisDisk && end.thisDisk == currentDisk_;
}
