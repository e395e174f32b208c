// Changing an archive in place: deleting entries by moving every later byte
// towards the front, and replacing the archive comment. Each change either
// completes or leaves every intact entry readable behind a directory.
#include "ZipFile.h"

#include "ZipBytes.h"

#include <algorithm>
#include <cstring>

namespace {
// How much of the file one look-up of local headers reads: the headers of
// small entries come many to a read, those of large ones one each.
constexpr uint32_t kHeaderWindow = 64 * 1024;

// Removal only works on one-file archives, where disk numbers mean nothing
// and only the position in the file counts.
bool beforeInFile(const CZipFileHeader* a, const CZipFileHeader* b)
{
    return a->localHeaderOffset < b->localHeaderOffset;
}

uint64_t saturatedSum(uint64_t a, uint64_t b)
{
    return a > UINT64_MAX - b ? UINT64_MAX : a + b;
}
}

bool CZipFile::isSpannedSet() const
{
    const CZipCentralDir::EndRecord& end = centralDir_.endRecord();
    return spanningMode_ || ((end.thisDisk != 0 || end.startDisk != 0) && isRemovableDrive(path_));
}

bool CZipFile::canRemoveEntries() const
{
    return !gzipMode_ && !tarMode_ && !isReadOnly();
}

std::vector<CZipFileHeader*> CZipFile::headersInFileOrder()
{
    std::vector<CZipFileHeader*> headers;
    for (int i = 0; i < centralDir_.getHeaderCount(); ++i)
        headers.push_back(centralDir_.getFileHeader(i));
    std::sort(headers.begin(), headers.end(), beforeInFile);
    return headers;
}

// A change cuts the file where the directory begins and may move every
// entry. Before anything is written, the records must agree with each other
// and with the file: the directory where the end records place it, with as
// many records as they count; no disk but the first in an archive that is
// one file; every entry ending before the next one begins and before the
// directory. A damaged archive is refused as it is, rather than cut or
// shifted into intact entries. A spanned set only ever grows at its end.
std::vector<CZipFile::Extent> CZipFile::refuseUnsafeChange()
{
    if (!centralDir_.isLoaded() || isSpannedSet())
        return {};
    std::vector<Extent> extents = entryExtents();
    bool sound = directoryAgrees();
    for (size_t i = 0; sound && i < extents.size(); ++i) {
        const uint64_t next = i + 1 < extents.size() ? extents[i + 1].start : centralDir_.directoryPosition();
        sound = extents[i].start <= next && extents[i].size <= next - extents[i].start;
    }
    if (!sound)
        throw CZipException("Cannot safely change the damaged zip file " + path_);
    return extents;
}

bool CZipFile::directoryAgrees() const
{
    const CZipCentralDir::EndRecord& end = centralDir_.endRecord();
    return centralDir_.isSound() && end.thisDisk == 0 && end.startDisk == 0;
}

// As far as the directory tells without the entries' own headers, which
// keeps it cheap enough for every opening: an entry whose name and data
// alone reach into the next one, or into the directory, is refused too.
bool CZipFile::refusesChanges()
{
    if (!centralDir_.isLoaded() || isSpannedSet())
        return false;
    if (!directoryAgrees())
        return true;
    const std::vector<CZipFileHeader*> headers = headersInFileOrder();
    for (size_t i = 0; i < headers.size(); ++i) {
        const uint64_t start = headers[i]->localHeaderOffset;
        const uint64_t next = i + 1 < headers.size() ? headers[i + 1]->localHeaderOffset
                                                     : centralDir_.directoryPosition();
        const uint64_t least = saturatedSum(zipbytes::kLocalRecordSize + headers[i]->nameLength,
                                            headers[i]->compressedSize);
        if (start > next || least > next - start)
            return true;
    }
    return false;
}

// Where each entry lies, in file order, measured from its own local header:
// its extra field may be longer or shorter than the one in the directory.
// An entry without a readable local header is measured by its record.
std::vector<CZipFile::Extent> CZipFile::entryExtents()
{
    std::vector<Extent> extents;
    const uint64_t fileSize = static_cast<uint64_t>(myGetFileSize());
    uint64_t windowStart = 0;
    uint32_t windowLength = 0;
    auto inWindow = [&](uint64_t start) {
        return start >= windowStart && start - windowStart + zipbytes::kLocalRecordSize <= windowLength;
    };
    for (CZipFileHeader* header : headersInFileOrder()) {
        const uint64_t start = header->localHeaderOffset;
        if (!inWindow(start) && start < fileSize) {
            windowStart = start;
            windowLength = static_cast<uint32_t>(std::min<uint64_t>(kHeaderWindow, fileSize - start));
            seekg(static_cast<int64_t>(start), begin);
            if (read(readBuffer_, windowLength, false) != windowLength)
                throw CZipLastErrorException("Error while trying to find data");
        }
        const char* local = inWindow(start) ? readBuffer_ + (start - windowStart) : nullptr;
        const bool found = local && zipbytes::get32(local) == zipbytes::kLocalSignature;
        const uint64_t headerSize = found ? uint64_t{zipbytes::kLocalRecordSize} + zipbytes::get16(local + 26)
                                                + zipbytes::get16(local + 28)
                                          : header->GetSize(true);
        extents.push_back({header, start, saturatedSum(headerSize, header->compressedSize), false});
    }
    return extents;
}

// Indexes outside the directory name nothing and are passed over.
void CZipFile::removeSomeFiles(std::vector<int32_t>& indexes)
{
    std::vector<CZipFileHeader*> headers;
    for (int32_t index : indexes)
        if (index >= 0 && index < centralDir_.getHeaderCount())
            headers.push_back(centralDir_.getFileHeader(index));
    removeSomeFiles(headers);
}

void CZipFile::removeSomeFiles(std::vector<CZipFileHeader*>& headers)
{
    if (!canRemoveEntries() || headers.empty())
        return;
    if (isSpannedSet())
        throw CZipException("Entries cannot be deleted from a spanned set " + path_);
    // Without its directory on disk, the file's end says nothing about where the data ends.
    if (!centralDir_.isLoaded())
        throw CZipException("Cannot safely change the damaged zip file " + path_);
    std::sort(headers.begin(), headers.end(), beforeInFile);
    headers.erase(std::unique(headers.begin(), headers.end()), headers.end());
    std::vector<Extent> extents = refuseUnsafeChange();
    size_t listed = 0;
    for (Extent& extent : extents)
        if (listed < headers.size() && extent.header == headers[listed]) {
            extent.removed = true;
            ++listed;
        }
    const uint64_t dataEnd = centralDir_.directoryPosition();
    const uint64_t newEnd = squeezeOutRemoved(extents, dataEnd);
    try {
        seekg(static_cast<int64_t>(newEnd), begin);
        setEndOfFile();
        centralDir_.writeAtEnd();
    } catch (...) {
        restoreDirectory(newEnd);
        throw;
    }
}

// Returns the new end of the data, with the directory describing the moved
// entries but not yet written. After a failure, the directory is written
// behind the data again, listing every entry that is still whole.
uint64_t CZipFile::squeezeOutRemoved(std::vector<Extent>& extents, uint64_t dataEnd)
{
    const auto first = std::find_if(extents.begin(), extents.end(), [](const Extent& e) { return e.removed; });
    uint64_t frontier = first->start;
    uint64_t newEnd = 0;
    try {
        centralDir_.RemoveFromDisk();
        newEnd = MovePackedFiles(extents, static_cast<size_t>(first - extents.begin()), dataEnd, frontier);
    } catch (...) {
        settleEntries(extents, frontier, false);
        restoreDirectory(dataEnd);
        throw;
    }
    settleEntries(extents, newEnd, true);
    return newEnd;
}

// Moves everything from the first removed entry to the end of the data
// towards the front, leaving out the removed entries' bytes; returns the new
// end of the data. Each write takes whole entries where they fit in the
// buffer and lands in front of the bytes still to be read, so when one fails,
// every entry lies either complete at its new place, in front of the
// frontier (how far the new bytes reach), or untouched at its old one,
// behind it. Only an entry larger than the buffer can be caught in between.
uint64_t CZipFile::MovePackedFiles(const std::vector<Extent>& extents, size_t first, uint64_t dataEnd,
                                 uint64_t& frontier)
{
    const uint32_t room = readBuffer_.size();
    uint64_t from = extents[first].start;
    uint64_t to = from;
    size_t i = first;
    while (from < dataEnd) {
        while (i < extents.size() && extents[i].start + extents[i].size <= from)
            ++i;
        if (i < extents.size() && extents[i].removed && extents[i].start <= from) {
            from = extents[i].start + extents[i].size;
            continue;
        }
        const uint64_t until = windowEnd(extents, i, from, std::min<uint64_t>(dataEnd, from + room));
        const uint32_t length = static_cast<uint32_t>(until - from);
        seekg(static_cast<int64_t>(from), begin);
        if (read(readBuffer_, length, false) != length)
            throw CZipLastErrorException("Error while trying to find data");
        const uint32_t kept = dropRemovedBytes(extents, i, from, until);
        seekg(static_cast<int64_t>(to), begin);
        const uint32_t written = writeSome(readBuffer_, kept);
        frontier = to + written;
        if (written < kept)
            throw CZipLastErrorException("Failed to write the file");
        to += kept;
        from = until;
    }
    return to;
}

// A window ends in front of a kept entry that would reach past it, unless
// that entry is too large for any window or starts the window itself.
uint64_t CZipFile::windowEnd(const std::vector<Extent>& extents, size_t i, uint64_t from, uint64_t until) const
{
    for (; i < extents.size() && extents[i].start < until; ++i) {
        const Extent& e = extents[i];
        if (!e.removed && e.start > from && e.size > until - e.start && e.size <= readBuffer_.size())
            return e.start;
    }
    return until;
}

// Moves the bytes of the window [from, until) that stay to the front of the
// read buffer; returns how many they are.
uint32_t CZipFile::dropRemovedBytes(const std::vector<Extent>& extents, size_t i, uint64_t from, uint64_t until)
{
    uint32_t kept = 0;
    uint64_t at = from;
    auto keep = [&](uint64_t end) {
        if (end <= at)
            return;
        std::memmove(readBuffer_ + kept, readBuffer_ + (at - from), static_cast<size_t>(end - at));
        kept += static_cast<uint32_t>(end - at);
    };
    for (; i < extents.size() && extents[i].start < until; ++i) {
        if (!extents[i].removed)
            continue;
        keep(extents[i].start);
        at = std::max(at, std::min(extents[i].start + extents[i].size, until));
    }
    keep(until);
    return kept;
}

// What the directory says after the move: entries in front of the frontier
// at their new places, the others at their old ones. Removed entries go,
// and so does any entry caught half moved; after a failure, an entry that
// was to be removed but that the move never reached stays as it was.
void CZipFile::settleEntries(const std::vector<Extent>& extents, uint64_t frontier, bool completed)
{
    std::vector<CZipFileHeader*> gone;
    uint64_t shift = 0;
    for (const Extent& e : extents) {
        const uint64_t moved = e.start - shift;
        if (e.removed) {
            shift += e.size;
            if (completed || e.start < frontier)
                gone.push_back(e.header);
        } else if (moved + e.size <= frontier) {
            e.header->localHeaderOffset = moved;
        } else if (e.start < frontier) {
            gone.push_back(e.header);
        }
    }
    centralDir_.RemoveFiles(gone, std::vector<uint64_t>(gone.size(), 0));
    centralDir_.SortHeaders();
}

void CZipFile::removeSingleFile(long index)
{
    std::vector<int32_t> one{static_cast<int32_t>(index)};
    removeSomeFiles(one);
}

// A new comment goes out with the whole directory; should that fail, the
// old comment is put back with it.
void CZipFile::setGlobalComment(const CString& comment)
{
    if (comment.size() > 0xFFFF)
        throw CZipException("Comment too long for a zip archive");
    refuseUnsafeChange();
    const CString old = centralDir_.getGlobalComment();
    const uint64_t dataEnd = centralDir_.isLoaded() ? centralDir_.directoryPosition() : myGetFileSize();
    centralDir_.setGlobalComment(comment);
    try {
        centralDir_.write();
    } catch (...) {
        centralDir_.setGlobalComment(old);
        restoreDirectory(dataEnd);
        throw;
    }
}
