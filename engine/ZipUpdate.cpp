// Changing an archive in place: deleting entries by moving every later byte
// towards the front, and replacing the archive comment.
#include "ZipFile.h"

#include "ZipBytes.h"

#include <algorithm>

namespace {
constexpr uint32_t kToEndOfFile = 0xFFFFFFFF;

bool beforeInArchive(const CZipFileHeader* a, const CZipFileHeader* b)
{
    return a->firstDisk != b->firstDisk ? a->firstDisk < b->firstDisk : a->localHeaderOffset < b->localHeaderOffset;
}
}

bool CZipFile::canRemoveEntries() const
{
    return !gzipMode_ && !tarMode_ && !spanningMode_ && !isReadOnly();
}

// The extent of an entry is measured from its own local header: its extra
// field may be longer or shorter than the one in the directory.
uint32_t CZipFile::storedSizeOf(const CZipFileHeader& header)
{
    char record[zipbytes::kLocalRecordSize];
    seekg(header.localHeaderOffset, begin);
    if (!readExactly(record, sizeof record) || zipbytes::get32(record) != zipbytes::kLocalSignature)
        return header.GetSize(true) + header.compressedSize;
    return zipbytes::kLocalRecordSize + zipbytes::get16(record + 26) + zipbytes::get16(record + 28)
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
    std::sort(headers.begin(), headers.end(), beforeInArchive);
    headers.erase(std::unique(headers.begin(), headers.end()), headers.end());
    std::vector<uint32_t> sizes;
    for (const CZipFileHeader* header : headers)
        sizes.push_back(storedSizeOf(*header));
    centralDir_.RemoveFromDisk();
    uint32_t shift = 0;
    size_t moved = 0;
    try {
        for (; moved < headers.size(); ++moved) {
            shift += sizes[moved];
            const uint32_t next = moved + 1 < headers.size() ? headers[moved + 1]->localHeaderOffset : kToEndOfFile;
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
void CZipFile::keepIntactEntries(const std::vector<CZipFileHeader*>& removed, const std::vector<uint32_t>& sizes,
                                 size_t moved)
{
    std::vector<CZipFileHeader*> lost;
    uint32_t shift = 0;
    size_t passed = 0;
    for (int i = 0; i < centralDir_.getHeaderCount(); ++i) {
        CZipFileHeader* header = centralDir_.getFileHeader(i);
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

bool CZipFile::MovePackedFiles(uint32_t start, uint32_t end, uint32_t shift)
{
    if (end == kToEndOfFile)
        end = static_cast<uint32_t>(myGetFileSize());
    if (end <= start)
        return true;
    const uint32_t length = end - start;
    const uint32_t chunk = std::min(length, readBuffer_.size());
    uint32_t moved = 0;
    while (moved < length) {
        seekg(start + moved, begin);
        const uint32_t got = std::min(read(readBuffer_, chunk, false), length - moved);
        if (got == 0)
            break;
        seekg(static_cast<int64_t>(start) + moved - shift, begin);
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
