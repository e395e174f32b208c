// Changing an archive in place: deleting entries by moving every later byte
// towards the front, and replacing the archive comment.
#include "ZipFile.h"

#include "ZipBytes.h"

#include <algorithm>

namespace {
constexpr uint64_t kToEndOfFile = UINT64_MAX;

// Removal only works on one-file archives, where disk numbers mean nothing
// and only the position in the file counts.
bool beforeInFile(const CZipFileHeader* a, const CZipFileHeader* b)
{
    return a->localHeaderOffset < b->localHeaderOffset;
}
}

bool CZipFile::isSpannedSet() const
{
    const CZipCentralDir::EndRecord& end = centralDir_.endRecord();
    return spanningMode_ || end.thisDisk != 0 || end.startDisk != 0;
}

bool CZipFile::canRemoveEntries() const
{
    return !gzipMode_ && !tarMode_ && !isSpannedSet() && !isReadOnly();
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
// entry. Before anything is written, each entry checked must end before the
// next one (in the file) and before the directory begins; a damaged archive
// is refused as it is, rather than cut or shifted into intact entries. Adding
// and comments only cut, so only the last entry is checked for them. A
// spanned set only ever grows at its end.
void CZipFile::refuseUnsafeChange(bool everyEntry)
{
    if (!centralDir_.isLoaded() || isSpannedSet())
        return;
    const uint64_t directoryStart = centralDir_.directoryPosition();
    bool sound = true;
    const std::vector<CZipFileHeader*> headers = headersInFileOrder();
    for (size_t i = everyEntry || headers.empty() ? 0 : headers.size() - 1; sound && i < headers.size(); ++i) {
        const uint64_t next = i + 1 < headers.size() ? headers[i + 1]->localHeaderOffset : directoryStart;
        sound = headers[i]->localHeaderOffset + storedSizeOf(*headers[i]) <= next;
    }
    if (!sound)
        throw CZipException("Cannot safely change the damaged zip file " + path_);
}

// The extent of an entry is measured from its own local header: its extra
// field may be longer or shorter than the one in the directory.
uint64_t CZipFile::storedSizeOf(const CZipFileHeader& header)
{
    char record[zipbytes::kLocalRecordSize];
    const bool inFile = header.localHeaderOffset + zipbytes::kLocalRecordSize <= static_cast<uint64_t>(myGetFileSize());
    if (inFile)
        seekg(static_cast<int64_t>(header.localHeaderOffset), begin);
    if (!inFile || !readExactly(record, sizeof record) || zipbytes::get32(record) != zipbytes::kLocalSignature)
        return uint64_t{header.GetSize(true)} + header.compressedSize;
    return uint64_t{zipbytes::kLocalRecordSize} + zipbytes::get16(record + 26) + zipbytes::get16(record + 28)
           + header.compressedSize;
}

// Indexes outside the directory name nothing and are passed over.
void CZipFile::removeSomeFiles(std::vector<int32_t>& indexes)
{
    std::vector<CZipFileHeader*> headers;
    for (int32_t index : indexes)
        if (canRemoveEntries() && index >= 0 && index < centralDir_.getHeaderCount())
            headers.push_back(centralDir_.getFileHeader(index));
    removeSomeFiles(headers);
}

void CZipFile::removeSomeFiles(std::vector<CZipFileHeader*>& headers)
{
    if (!canRemoveEntries() || headers.empty())
        return;
    std::sort(headers.begin(), headers.end(), beforeInFile);
    headers.erase(std::unique(headers.begin(), headers.end()), headers.end());
    refuseUnsafeChange(true);
    std::vector<uint64_t> sizes;
    for (const CZipFileHeader* header : headers)
        sizes.push_back(storedSizeOf(*header));
    centralDir_.RemoveFromDisk();
    uint64_t shift = 0;
    size_t moved = 0;
    try {
        for (; moved < headers.size(); ++moved) {
            shift += sizes[moved];
            const uint64_t next = moved + 1 < headers.size() ? headers[moved + 1]->localHeaderOffset : kToEndOfFile;
            MovePackedFiles(headers[moved]->localHeaderOffset + sizes[moved], next, shift);
        }
    } catch (...) {
        keepIntactEntries(headers, sizes, moved);
        throw;
    }
    for (size_t i = headers.size(); i-- > 0;)
        centralDir_.RemoveFile(headers[i], -1, sizes[i]);
    seekg(-static_cast<int64_t>(shift), end);
    setEndOfFile();
    centralDir_.write();
    throwIfWriteFailed();
}

// After a failed move: entries already moved keep their new places, the
// entries being moved are lost, entries never reached stay where they were
// (removed ones included), and a directory describing exactly that is written.
void CZipFile::keepIntactEntries(const std::vector<CZipFileHeader*>& removed, const std::vector<uint64_t>& sizes,
                                 size_t moved)
{
    std::vector<CZipFileHeader*> lost;
    uint64_t shift = 0;
    size_t passed = 0;
    for (CZipFileHeader* header : headersInFileOrder()) {
        if (passed < removed.size() && header == removed[passed]) {
            if (passed <= moved) {
                lost.push_back(header);
                shift += sizes[passed];
            }
            ++passed;
        } else if (passed > 0 && passed - 1 == moved) {
            lost.push_back(header);
        } else if (passed > 0 && passed - 1 < moved) {
            header->localHeaderOffset -= shift;
        }
    }
    for (CZipFileHeader* header : lost)
        centralDir_.RemoveFile(header, -1, 0);
    try {
        centralDir_.write();
    } catch (const CZipException&) {
        // The first failure is the one to report.
    }
}

void CZipFile::removeSingleFile(long index)
{
    std::vector<int32_t> one{static_cast<int32_t>(index)};
    removeSomeFiles(one);
}

bool CZipFile::MovePackedFiles(uint64_t start, uint64_t end, uint64_t shift)
{
    if (end == kToEndOfFile)
        end = static_cast<uint64_t>(myGetFileSize());
    if (end <= start)
        return true;
    const uint64_t length = end - start;
    const uint32_t chunk = static_cast<uint32_t>(std::min<uint64_t>(length, readBuffer_.size()));
    uint64_t moved = 0;
    while (moved < length) {
        seekg(static_cast<int64_t>(start + moved), begin);
        const uint32_t got = static_cast<uint32_t>(std::min<uint64_t>(read(readBuffer_, chunk, false), length - moved));
        if (got == 0)
            break;
        seekg(static_cast<int64_t>(start + moved - shift), begin);
        const uint32_t written = write(readBuffer_, got, false);
        if (written == 0)
            throw CZipLastErrorException("Failed to write the file");
        moved += written;
    }
    return true;
}

void CZipFile::setGlobalComment(const CString& comment)
{
    if (comment.size() > 0xFFFF)
        throw CZipException("Comment too long for a zip archive");
    refuseUnsafeChange(false);
    writeFailed_ = false;
    centralDir_.setGlobalComment(comment);
    try {
        centralDir_.RemoveFromDisk();
        centralDir_.write();
    } catch (...) {
        try {
            centralDir_.write();
        } catch (const CZipException&) {
            // The first failure is the one to report.
        }
        throw;
    }
    throwIfWriteFailed();
}
