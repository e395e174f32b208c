#include "ZipCentralDir.h"

#include "ZipBytes.h"
#include "ZipFile.h"
#include "ZipRecordReader.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <unordered_set>
#include <vector>

using namespace zipbytes;

namespace {
// The end record is at most its fixed part plus the longest comment from the end.
constexpr uint32_t kLongestEndRecord = kEndRecordSize + 0xFFFF;
constexpr uint32_t kNotFound = 0xFFFFFFFF;

bool isEndSignature(const char* p)
{
    return get32(p) == kEndSignature;
}

// The recorded length's worth of bytes, zero bytes included, and whatever
// text follows it in the file up to a zero byte (bytes must end in one).
CString commentAt(const char* bytes, uint32_t length, uint32_t available)
{
    const uint32_t recorded = std::min(length, available);
    return CString(bytes, recorded) + CString(bytes + recorded);
}
}

// The system's order sees a name only up to a zero byte; whole names that
// tie there are told apart byte for byte, so that a name is never taken for
// another that merely starts like it.
bool CZipCentralDir::NameLess::operator()(const CString& a, const CString& b) const
{
    const int order = os::compareNames(a, b);
    return order != 0 ? order < 0 : a < b;
}

CZipCentralDir::CZipCentralDir(CZipFile* owner) : owner_(owner) {}

CZipCentralDir::~CZipCentralDir()
{
    removeHeaders();
}

CString CZipCentralDir::corruptMessage(const char* text) const
{
    return text + owner_->getPath();
}

uint64_t CZipCentralDir::recordBase() const
{
    return owner_->getExeOffset() + prefix_;
}

void CZipCentralDir::dropPrefix()
{
    prefix_ = 0;
}

uint64_t CZipCentralDir::directoryPosition() const
{
    return recordBase() + end_.offset;
}

int CZipCentralDir::getHeaderCount() const
{
    return static_cast<int>(headers_.size());
}

const CZipFileHeader* CZipCentralDir::getFileHeader(long index) const
{
    return headers_[static_cast<size_t>(index)];
}

CZipFileHeader* CZipCentralDir::getFileHeader(long index)
{
    return headers_[static_cast<size_t>(index)];
}

const CZipFileHeader* CZipCentralDir::getCurrentOpenFile() const
{
    return current_;
}

void CZipCentralDir::closeFile()
{
    current_ = nullptr;
}

CString CZipCentralDir::getGlobalComment() const
{
    return end_.comment;
}

void CZipCentralDir::setGlobalComment(const CString& comment)
{
    end_.comment = comment;
}

const CZipCentralDir::EndRecord& CZipCentralDir::endRecord() const
{
    return end_;
}

bool CZipCentralDir::isLoaded() const
{
    return loaded_;
}

bool CZipCentralDir::isSound() const
{
    return sound_;
}

// Of the signatures near the end, the record nearest the end wins whose
// comment reaches exactly to the end of the file and whose directory checks
// out; failing that, one whose directory checks out (bytes may follow the
// record), then one whose comment fits. A signature that is only part of a
// comment fails both tests.
uint32_t CZipCentralDir::locateCD() const
{
    const uint64_t length = owner_->GetLength();
    const uint32_t window = static_cast<uint32_t>(std::min<uint64_t>(length, kLongestEndRecord));
    if (window == 0)
        return kNotFound;
    std::vector<char> block(window);
    owner_->seekg(-static_cast<int64_t>(window), CZipFile::end);
    if (!owner_->readExactly(block.data(), window))
        throw CZipLastErrorException(corruptMessage("Bad zip file"));
    // A signature closer than a whole record to the end cannot start one.
    std::vector<uint32_t> candidates;
    for (int64_t p = static_cast<int64_t>(window) - kEndRecordSize; p >= 0; --p)
        if (isEndSignature(block.data() + p))
            candidates.push_back(static_cast<uint32_t>(p));
    if (candidates.empty())
        return kNotFound;
    const uint64_t windowStart = length - window;
    auto reachesEnd = [&](uint32_t p) { return get16(block.data() + p + 20) == window - p - kEndRecordSize; };
    auto checksOut = [&](uint32_t p) { return directoryChecksOut(block.data() + p, windowStart + p); };
    const std::function<bool(uint32_t)> rules[] = {
        [&](uint32_t p) { return reachesEnd(p) && checksOut(p); }, checksOut, reachesEnd};
    for (const auto& rule : rules)
        for (uint32_t p : candidates)
            if (rule(p))
                return window - p;
    return window - candidates.front();
}

// The directory ends where the end record (or the ZIP64 records in front of
// it) begins: at its recorded offset, or behind another program's data.
bool CZipCentralDir::directoryChecksOut(const char* record, uint64_t position) const
{
    if (position >= kZip64LocatorSize && signatureAt(position - kZip64LocatorSize) == kZip64LocatorSignature)
        return true;
    const uint32_t size = get32(record + 12);
    if (size > position)
        return false;
    if (owner_->getExeOffset() + uint64_t{get32(record + 16)} + size == position)
        return true;
    return size > 0 && signatureAt(position - size) == kCentralSignature;
}

uint32_t CZipCentralDir::signatureAt(uint64_t position) const
{
    char bytes[4];
    return readAt(position, bytes, sizeof bytes) ? get32(bytes) : 0;
}

// False when the bytes are not all in the file.
bool CZipCentralDir::readAt(uint64_t position, char* bytes, uint32_t count) const
{
    const uint64_t fileSize = static_cast<uint64_t>(owner_->myGetFileSize());
    if (position > fileSize || count > fileSize - position)
        return false;
    owner_->seekg(static_cast<int64_t>(position), CZipFile::begin);
    return owner_->readExactly(bytes, count);
}

bool CZipCentralDir::parseCentralDir()
{
    removeHeaders();
    prefix_ = 0;
    sound_ = true;
    const uint32_t distance = locateCD();
    end_.distanceFromEnd = static_cast<int32_t>(distance);
    if (distance == kNotFound)
        return false;
    readEndRecord(distance);
    owner_->currentDisk_ = end_.thisDisk;
    ReadHeaders();
    loaded_ = true;
    return true;
}

void CZipCentralDir::takeRecovered(std::vector<std::unique_ptr<CZipFileHeader>> headers)
{
    removeHeaders();
    end_ = EndRecord();
    prefix_ = 0;
    loaded_ = false;
    sound_ = false;
    for (auto& header : headers)
        headers_.push_back(header.release());
    recordOrder_ = headers_;
    indexed_ = false;
    SortHeaders();
}

void CZipCentralDir::readEndRecord(uint32_t distance)
{
    std::vector<char> block(distance + 1, '\0');
    owner_->seekg(-static_cast<int64_t>(distance), CZipFile::end);
    const uint64_t position = static_cast<uint64_t>(owner_->tellg());
    if (!owner_->readExactly(block.data(), distance))
        throw CZipLastErrorException(corruptMessage("Bad zip file"));
    const char* p = block.data();
    end_.signature = get32(p);
    end_.thisDisk = get16(p + 4);
    end_.startDisk = get16(p + 6);
    end_.recordsOnThisDisk = get16(p + 8);
    end_.totalRecords = get16(p + 10);
    end_.size = get32(p + 12);
    end_.offset = get32(p + 16);
    end_.commentLength = get16(p + 20);
    end_.comment = end_.commentLength ? commentAt(p + kEndRecordSize, end_.commentLength, distance - kEndRecordSize) : CString();
    placeDirectory(readZip64EndRecord(position));
}

// A field of all ones leaves its value to the ZIP64 end record.
bool CZipCentralDir::classicFieldsOverflow() const
{
    return end_.thisDisk == kZip64Marker16 || end_.startDisk == kZip64Marker16
           || end_.recordsOnThisDisk == kZip64Marker16 || end_.totalRecords == kZip64Marker16
           || end_.size == kZip64Marker32 || end_.offset == kZip64Marker32;
}

// A locator right in front of the end record points to the ZIP64 end
// record, whose numbers then take over from the classic ones. A locator is
// taken on more than its signature: the record must be where it says and
// agree with the classic one; and when the classic record needs no help and
// its directory ends right at it, the locator is only the last bytes of the
// directory (an entry's comment, say). Returns where the directory ends: at
// the first of the end records.
uint64_t CZipCentralDir::readZip64EndRecord(uint64_t endPosition)
{
    const bool overflow = classicFieldsOverflow();
    if (!overflow && owner_->getExeOffset() + end_.offset + end_.size == endPosition)
        return endPosition;
    char record[kZip64EndRecordSize];
    uint64_t at = 0;
    bool located = false;
    if (findZip64EndRecord(endPosition, record, at, located) && agreesWithClassic(record)) {
        readZip64Fields(record);
        return at;
    }
    // Without any locator, all ones are simply the largest classic values.
    if (overflow && located)
        throw CZipException(corruptMessage("Corrupt zip file"));
    return endPosition;
}

// The record ends where its locator begins; it lies at the offset the
// locator gives, or further on by the length of data in front of the
// archive, never before.
bool CZipCentralDir::findZip64EndRecord(uint64_t endPosition, char* record, uint64_t& at, bool& located) const
{
    char locator[kZip64LocatorSize];
    const uint64_t base = owner_->getExeOffset();
    if (endPosition < base + kZip64LocatorSize + kZip64EndRecordSize)
        return false;
    const uint64_t locatorPosition = endPosition - kZip64LocatorSize;
    located = readAt(locatorPosition, locator, sizeof locator) && get32(locator) == kZip64LocatorSignature;
    if (!located)
        return false;
    const uint64_t recorded = get64(locator + 8);
    const uint64_t places[] = {recorded < locatorPosition - base ? base + recorded : 0,
                               locatorPosition - kZip64EndRecordSize};
    for (uint64_t place : places) {
        if (place < base || place - base < recorded || place > locatorPosition - kZip64EndRecordSize)
            continue;
        if (readAt(place, record, kZip64EndRecordSize) && get32(record) == kZip64EndSignature
            && get64(record + 4) == locatorPosition - place - 12) {
            at = place;
            return true;
        }
    }
    return false;
}

bool CZipCentralDir::agreesWithClassic(const char* record) const
{
    auto agrees16 = [](uint64_t classic, uint64_t value) { return classic == kZip64Marker16 || classic == value; };
    auto agrees32 = [](uint64_t classic, uint64_t value) { return classic == kZip64Marker32 || classic == value; };
    return agrees16(end_.thisDisk, get32(record + 16)) && agrees16(end_.startDisk, get32(record + 20))
           && agrees16(end_.recordsOnThisDisk, get64(record + 24)) && agrees16(end_.totalRecords, get64(record + 32))
           && agrees32(end_.size, get64(record + 40)) && agrees32(end_.offset, get64(record + 48));
}

void CZipCentralDir::readZip64Fields(const char* record)
{
    end_.thisDisk = static_cast<uint16_t>(std::min<uint32_t>(get32(record + 16), kZip64Marker16));
    end_.startDisk = static_cast<uint16_t>(std::min<uint32_t>(get32(record + 20), kZip64Marker16));
    end_.recordsOnThisDisk = get64(record + 24);
    end_.totalRecords = get64(record + 32);
    end_.size = get64(record + 40);
    end_.offset = get64(record + 48);
}

// The directory ends where the end records begin and starts at its recorded
// offset. Another program's data in front of the archive (some other maker's
// self-extractor, a prepended header) moves the whole archive back while its
// offsets still count from its own start, as in a conversion under way: the
// directory then lies right in front of the end records, further on than
// recorded, and the distance is the length of that data. A directory found
// anywhere else is read where it lies, as other tools read it, and one found
// nowhere at its recorded offset; either way the archive is not changed.
void CZipCentralDir::placeDirectory(uint64_t directoryEnd)
{
    if (end_.startDisk != end_.thisDisk)
        return;
    const uint64_t base = recordBase();
    const bool recordedInFile = base <= directoryEnd && end_.offset <= directoryEnd - base;
    const uint64_t recorded = recordedInFile ? base + end_.offset : UINT64_MAX;
    const uint64_t expected = end_.size <= directoryEnd ? directoryEnd - end_.size : UINT64_MAX;
    if (expected == recorded && recordedInFile)
        return;
    sound_ = false;
    const bool foundThere = expected >= base && expected != UINT64_MAX
                            && (end_.size == 0 || signatureAt(expected) == kCentralSignature);
    if (foundThere && recorded < expected && end_.thisDisk == 0) {
        prefix_ = expected - recorded;
        sound_ = true;
    } else if (foundThere) {
        end_.offset = expected - base;
    } else if (!recordedInFile) {
        throw CZipException(corruptMessage("Corrupt zip file"));
    }
}

// The directory holds the records its size makes room for, as other tools
// read it; a count that says otherwise leaves the archive unchanged. Records
// beyond the count are taken only as far as they make sense.
void CZipCentralDir::ReadHeaders()
{
    if (owner_->currentDisk_ != end_.startDisk && !owner_->askForSpecificDisk(end_.startDisk))
        throw CZipException("Couldn't open the zip information start disk");
    owner_->seekg(static_cast<int64_t>(directoryPosition()), CZipFile::begin);
    removeHeaders();
    const uint64_t roomForRecords = std::min<uint64_t>(end_.size, owner_->myGetFileSize()) / kCentralRecordSize;
    headers_.reserve(static_cast<size_t>(std::min(end_.totalRecords, roomForRecords)));
    CZipRecordReader records(*owner_, owner_->readBuffer_);
    uint64_t consumed = 0;
    while (consumed < end_.size) {
        if (records.drained())
            nextDiskAtItsEnd();
        auto header = std::make_unique<CZipFileHeader>(owner_);
        if (!readRecord(*header, records))
            break;
        consumed += uint64_t{kCentralRecordSize} + header->nameLength + header->extraLength + header->commentLength;
        headers_.push_back(header.release());
    }
    if (consumed != end_.size || headers_.size() != end_.totalRecords)
        sound_ = false;
    recordOrder_ = headers_;
    indexed_ = false;
    SortHeaders();
}

bool CZipCentralDir::readRecord(CZipFileHeader& header, CZipRecordReader& records)
{
    if (headers_.size() < end_.totalRecords)
        return header.read(owner_, records);
    try {
        return header.read(owner_, records);
    } catch (const CZipException&) {
        return false;
    }
}

// Entry indexes follow the physical order of the data, whatever the order of
// the directory records; two records claiming the same bytes are corrupt.
// No record is split between disks, so the directory of a spanned set goes
// on at the start of the next disk wherever one disk ends.
void CZipCentralDir::nextDiskAtItsEnd()
{
    if (owner_->currentDisk_ >= end_.thisDisk || owner_->tellg() < owner_->myGetFileSize())
        return;
    if (!owner_->askForNextDisk())
        throw CZipException("Couldn't open the zip information start disk");
}

void CZipCentralDir::SortHeaders()
{
    auto before = [](const CZipFileHeader* a, const CZipFileHeader* b) {
        return a->firstDisk != b->firstDisk ? a->firstDisk < b->firstDisk
                                            : a->localHeaderOffset < b->localHeaderOffset;
    };
    std::sort(headers_.begin(), headers_.end(), before);
    auto samePlace = [&](const CZipFileHeader* a, const CZipFileHeader* b) { return !before(a, b); };
    if (std::adjacent_find(headers_.begin(), headers_.end(), samePlace) != headers_.end())
        throw CZipException(corruptMessage("Corrupt zip file"));
}

// Built at the first lookup: listing and extracting never need it. Entries
// of one name follow each other in the order their records were read, so the
// first record's is found, and the next one takes over when it is removed.
void CZipCentralDir::indexNames()
{
    if (indexed_)
        return;
    for (CZipFileHeader* header : recordOrder_)
        nameIndex_.emplace(header->name, header);
    recordOrder_ = std::vector<CZipFileHeader*>();
    indexed_ = true;
}

CZipFileHeader* CZipCentralDir::getFileFromName(const CString& storedName)
{
    indexNames();
    auto found = nameIndex_.lower_bound(storedName);
    if (found != nameIndex_.end() && found->first == storedName)
        return found->second;
    return nullptr;
}

CZipFileHeader* CZipCentralDir::addNewFileHeader(const CString& name)
{
    current_ = nullptr;
    auto* header = new CZipFileHeader(owner_);
    header->setName(name);
    indexNames();
    headers_.push_back(header);
    current_ = header;
    nameIndex_.emplace(header->name, header);
    return header;
}

void CZipCentralDir::RemoveFile(CZipFileHeader* header, int index, uint64_t storedSize)
{
    current_ = nullptr;
    CZipFileHeader* entry = index == -1 ? header : headers_[static_cast<size_t>(index)];
    if (entry)
        RemoveFiles({entry}, {storedSize});
}

// Entries behind removed ones in the file move towards the front by the sizes
// of all removed in front of them, whatever their place in the list.
void CZipCentralDir::RemoveFiles(const std::vector<CZipFileHeader*>& removed, const std::vector<uint64_t>& storedSizes)
{
    current_ = nullptr;
    std::vector<std::pair<uint64_t, uint64_t>> shifts;
    for (size_t i = 0; i < removed.size(); ++i)
        shifts.emplace_back(removed[i]->localHeaderOffset, storedSizes[i]);
    std::sort(shifts.begin(), shifts.end());
    uint64_t total = 0;
    for (auto& shift : shifts)
        shift.second = total += shift.second;
    const std::unordered_set<const CZipFileHeader*> gone(removed.begin(), removed.end());
    for (CZipFileHeader* header : headers_) {
        auto behind = std::lower_bound(shifts.begin(), shifts.end(), std::make_pair(header->localHeaderOffset, uint64_t{0}));
        if (!gone.count(header) && behind != shifts.begin())
            header->localHeaderOffset -= std::prev(behind)->second;
    }
    end_.offset -= total;
    auto isGone = [&](const CZipFileHeader* header) { return gone.count(header) != 0; };
    if (indexed_) {
        for (auto slot = nameIndex_.begin(); slot != nameIndex_.end();)
            slot = isGone(slot->second) ? nameIndex_.erase(slot) : std::next(slot);
    }
    recordOrder_.erase(std::remove_if(recordOrder_.begin(), recordOrder_.end(), isGone), recordOrder_.end());
    headers_.erase(std::remove_if(headers_.begin(), headers_.end(), isGone), headers_.end());
    for (CZipFileHeader* header : removed)
        delete header;
}

void CZipCentralDir::removeHeaders()
{
    for (CZipFileHeader* header : headers_)
        delete header;
    headers_.clear();
    nameIndex_.clear();
    recordOrder_.clear();
    indexed_ = true;
}

void CZipCentralDir::RemoveAll()
{
    current_ = nullptr;
    removeHeaders();
}

void CZipCentralDir::close()
{
    RemoveAll();
    const bool loaded = loaded_;
    end_ = EndRecord();
    loaded_ = loaded;
    sound_ = true;
}

void CZipCentralDir::RemoveFromDisk()
{
    current_ = nullptr;
    if (!loaded_)
        return;
    owner_->seekg(static_cast<int64_t>(directoryPosition()), CZipFile::begin);
    owner_->setEndOfFile();
    owner_->flush();
    loaded_ = false;
}

void CZipCentralDir::write()
{
    current_ = nullptr;
    if (loaded_)
        RemoveFromDisk();
    writeAtEnd();
}

void CZipCentralDir::writeAtEnd()
{
    current_ = nullptr;
    loaded_ = false;
    owner_->flush();
    owner_->seekg(0, CZipFile::end);
    end_.totalRecords = headers_.size();
    end_.size = 0;
    WriteHeaders();
    if (owner_->makeRoomOnDisk(GetSize(false)))
        end_.recordsOnThisDisk = 0;
    end_.thisDisk = owner_->GetCurrentDisk();
    WriteCentralEnd();
    loaded_ = true;
}

// A directory that does not fit on the current disk of a spanned set moves
// its start to the disk where its first record lands.
void CZipCentralDir::WriteHeaders()
{
    end_.recordsOnThisDisk = 0;
    end_.startDisk = owner_->GetCurrentDisk();
    end_.offset = static_cast<uint64_t>(owner_->tellg()) - recordBase();
    if (!owner_->isSpanningMode()) {
        writeRecordsInBatches();
        return;
    }
    uint16_t previousDisk = end_.startDisk;
    for (size_t i = 0; i < headers_.size(); ++i) {
        end_.size += headers_[i]->write();
        const uint16_t disk = owner_->GetCurrentDisk();
        if (disk == previousDisk) {
            ++end_.recordsOnThisDisk;
        } else {
            end_.recordsOnThisDisk = 1;
            if (i == 0) {
                end_.startDisk = disk;
                end_.offset = 0;
            }
        }
        previousDisk = disk;
    }
}

// On one disk the records go out a buffer at a time, not a write each.
void CZipCentralDir::writeRecordsInBatches()
{
    constexpr size_t kBatchSize = 1 << 20;
    CString batch;
    auto writeBatch = [&] {
        owner_->write(batch.data(), static_cast<uint32_t>(batch.size()), true);
        end_.size += batch.size();
        batch.clear();
    };
    for (const CZipFileHeader* header : headers_) {
        header->appendCentralRecord(batch);
        if (batch.size() >= kBatchSize)
            writeBatch();
    }
    if (!batch.empty())
        writeBatch();
    end_.recordsOnThisDisk = headers_.size();
}

// Past the classic limits the ZIP64 end record and its locator go in front
// of the end record, whose fields that overflow then hold all ones. Spanned
// sets never get this far: adding to them stays within the limits.
bool CZipCentralDir::needsZip64() const
{
    return end_.totalRecords > kZip64Marker16 || end_.recordsOnThisDisk > kZip64Marker16
           || end_.size >= kZip64Marker32 || end_.offset >= kZip64Marker32;
}

CString CZipCentralDir::zip64EndRecords() const
{
    char bytes[kZip64EndRecordSize + kZip64LocatorSize] = {};
    char* record = bytes;
    put32(record, kZip64EndSignature);
    put64(record + 4, kZip64EndRecordSize - 12);
    put16(record + 12, kZip64Version);
    put16(record + 14, kZip64Version);
    put32(record + 16, end_.thisDisk);
    put32(record + 20, end_.startDisk);
    put64(record + 24, end_.recordsOnThisDisk);
    put64(record + 32, end_.totalRecords);
    put64(record + 40, end_.size);
    put64(record + 48, end_.offset);
    char* locator = bytes + kZip64EndRecordSize;
    put32(locator, kZip64LocatorSignature);
    put32(locator + 4, end_.thisDisk);
    put64(locator + 8, end_.offset + end_.size);
    put32(locator + 16, end_.thisDisk + 1u);
    return CString(bytes, sizeof bytes);
}

// Bytes right in front of the end record that read as a ZIP64 locator (the
// end of an entry's comment, say) send readers to whatever lies in front of
// them as a ZIP64 end record; the true records there keep them from it.
bool CZipCentralDir::endsLikeLocator() const
{
    const uint64_t end = static_cast<uint64_t>(owner_->myGetFileSize());
    return !owner_->isSpanningMode() && end >= kZip64LocatorSize
           && signatureAt(end - kZip64LocatorSize) == kZip64LocatorSignature;
}

uint32_t CZipCentralDir::WriteCentralEnd()
{
    const CString zip64 = needsZip64() || endsLikeLocator() ? zip64EndRecords() : CString();
    const uint32_t size = static_cast<uint32_t>(zip64.size() + kEndRecordSize + end_.comment.size());
    std::vector<char> record(size);
    char* p = std::copy(zip64.begin(), zip64.end(), record.data());
    put32(p, kEndSignature);
    put16(p + 4, end_.thisDisk);
    put16(p + 6, end_.startDisk);
    put16(p + 8, static_cast<uint16_t>(std::min<uint64_t>(end_.recordsOnThisDisk, kZip64Marker16)));
    put16(p + 10, static_cast<uint16_t>(std::min<uint64_t>(end_.totalRecords, kZip64Marker16)));
    put32(p + 12, static_cast<uint32_t>(std::min<uint64_t>(end_.size, kZip64Marker32)));
    put32(p + 16, static_cast<uint32_t>(std::min<uint64_t>(end_.offset, kZip64Marker32)));
    put16(p + 20, static_cast<uint16_t>(end_.comment.size()));
    std::copy(end_.comment.begin(), end_.comment.end(), p + kEndRecordSize);
    owner_->seekg(0, CZipFile::end);
    owner_->write(record.data(), size, true);
    owner_->flush();
    return size;
}

uint32_t CZipCentralDir::GetSize(bool withRecords) const
{
    uint32_t size = kEndRecordSize + static_cast<uint32_t>(end_.comment.size());
    if (withRecords)
        for (const CZipFileHeader* header : headers_)
            size += header->GetSize(false);
    return size;
}
