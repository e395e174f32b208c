#include "ZipCentralDir.h"

#include "ZipBytes.h"
#include "ZipFile.h"
#include "ZipRecordReader.h"

#include <algorithm>
#include <functional>
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

bool CZipCentralDir::NameLess::operator()(const CString& a, const CString& b) const
{
    return os::compareNames(a, b) < 0;
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
    if (position + sizeof bytes > static_cast<uint64_t>(owner_->myGetFileSize()))
        return 0;
    owner_->seekg(static_cast<int64_t>(position), CZipFile::begin);
    return owner_->readExactly(bytes, sizeof bytes) ? get32(bytes) : 0;
}

bool CZipCentralDir::parseCentralDir()
{
    removeHeaders();
    prefix_ = 0;
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
    findPrefix(readZip64EndRecord(position));
}

// A locator right in front of the end record points to the ZIP64 end
// record, whose numbers take over from the classic ones. Returns where the
// directory ends: at the first of the end records.
uint64_t CZipCentralDir::readZip64EndRecord(uint64_t endPosition)
{
    char locator[kZip64LocatorSize];
    if (endPosition < kZip64LocatorSize || signatureAt(endPosition - kZip64LocatorSize) != kZip64LocatorSignature)
        return endPosition;
    owner_->seekg(static_cast<int64_t>(endPosition - kZip64LocatorSize), CZipFile::begin);
    if (!owner_->readExactly(locator, sizeof locator))
        throw CZipLastErrorException(corruptMessage("Bad zip file"));
    // Behind another program's data the recorded offset is off by its
    // length; the record then sits right in front of its locator.
    const uint64_t locatorPosition = endPosition - kZip64LocatorSize;
    const uint64_t places[] = {owner_->getExeOffset() + get64(locator + 8),
                               locatorPosition - std::min<uint64_t>(locatorPosition, kZip64EndRecordSize)};
    for (uint64_t at : places) {
        char record[kZip64EndRecordSize];
        if (at + kZip64EndRecordSize > locatorPosition || signatureAt(at) != kZip64EndSignature)
            continue;
        owner_->seekg(static_cast<int64_t>(at), CZipFile::begin);
        if (!owner_->readExactly(record, sizeof record))
            throw CZipLastErrorException(corruptMessage("Bad zip file"));
        readZip64Fields(record);
        return at;
    }
    // A record that says nothing is in the ZIP64 records never needed them:
    // the locator's signature was only part of the directory's last record.
    if (end_.totalRecords != kZip64Marker16 && end_.size != kZip64Marker32 && end_.offset != kZip64Marker32)
        return endPosition;
    throw CZipException(corruptMessage("Corrupt zip file"));
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

// Another program's data in front of the archive (some other maker's
// self-extractor, a prepended header) moves the archive back while its
// offsets still count from its own start, as in a conversion under way. The
// directory is then not at its recorded offset but right in front of the end
// records, and the distance between the two is the length of that data.
void CZipCentralDir::findPrefix(uint64_t directoryEnd)
{
    const uint64_t recorded = recordBase() + end_.offset;
    if (end_.thisDisk != 0 || end_.startDisk != 0 || end_.size > directoryEnd)
        return;
    const uint64_t expected = directoryEnd - end_.size;
    if (expected <= recorded)
        return;
    if (end_.size > 0 && (signatureAt(recorded) == kCentralSignature || signatureAt(expected) != kCentralSignature))
        return;
    prefix_ = expected - recorded;
}

// Counts beyond the classic 16 bits come from the ZIP64 record; no more
// records can be believed than the file could hold.
void CZipCentralDir::refuseImpossibleCount() const
{
    const uint64_t fileSize = static_cast<uint64_t>(owner_->myGetFileSize());
    if (end_.totalRecords > kZip64Marker16 && end_.totalRecords > fileSize / kCentralRecordSize)
        throw CZipException(corruptMessage("Corrupt zip file"));
}

void CZipCentralDir::ReadHeaders()
{
    if (owner_->currentDisk_ != end_.startDisk && !owner_->askForSpecificDisk(end_.startDisk))
        throw CZipException("Couldn't open the zip information start disk");
    owner_->seekg(static_cast<int64_t>(directoryPosition()), CZipFile::begin);
    removeHeaders();
    refuseImpossibleCount();
    headers_.reserve(static_cast<size_t>(end_.totalRecords));
    CZipRecordReader records(*owner_, owner_->readBuffer_);
    for (uint64_t i = 0; i < end_.totalRecords; ++i) {
        if (records.drained())
            nextDiskAtItsEnd();
        auto* header = new CZipFileHeader(owner_);
        headers_.push_back(header);
        if (!header->read(owner_, records))
            throw CZipLastErrorException(corruptMessage("Corrupt zip file"));
    }
    recordOrder_ = headers_;
    indexed_ = false;
    SortHeaders();
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

void CZipCentralDir::unindex(CZipFileHeader* header)
{
    indexNames();
    const auto same = nameIndex_.equal_range(header->name);
    for (auto slot = same.first; slot != same.second; ++slot)
        if (slot->second == header) {
            nameIndex_.erase(slot);
            return;
        }
}

CZipFileHeader* CZipCentralDir::getFileFromName(const CString& storedName)
{
    indexNames();
    auto found = nameIndex_.lower_bound(storedName);
    if (found != nameIndex_.end() && os::compareNames(found->first, storedName) == 0)
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
    if (!entry)
        return;
    // Entries behind it in the file move, whatever their place in the list.
    for (CZipFileHeader* other : headers_)
        if (other->localHeaderOffset > entry->localHeaderOffset)
            other->localHeaderOffset -= storedSize;
    unindex(entry);
    headers_.erase(std::find(headers_.begin(), headers_.end(), entry));
    delete entry;
    end_.offset -= storedSize;
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

uint32_t CZipCentralDir::WriteCentralEnd()
{
    const CString zip64 = needsZip64() ? zip64EndRecords() : CString();
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
