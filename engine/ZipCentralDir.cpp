#include "ZipCentralDir.h"

#include "ZipBytes.h"
#include "ZipFile.h"

#include <algorithm>
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

// A signature closer than a whole record to the end cannot start a record;
// the search goes on towards the front instead of reading past the end.
uint32_t CZipCentralDir::locateCD() const
{
    const uint32_t window = static_cast<uint32_t>(std::min<uint64_t>(owner_->GetLength(), kLongestEndRecord));
    if (window == 0)
        return kNotFound;
    std::vector<char> block(window);
    owner_->seekg(-static_cast<int64_t>(window), CZipFile::end);
    if (!owner_->readExactly(block.data(), window))
        throw CZipLastErrorException(corruptMessage("Bad zip file"));
    for (int64_t p = static_cast<int64_t>(window) - kEndRecordSize; p >= 0; --p)
        if (isEndSignature(block.data() + p))
            return window - static_cast<uint32_t>(p);
    return kNotFound;
}

bool CZipCentralDir::parseCentralDir()
{
    removeHeaders();
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
}

void CZipCentralDir::ReadHeaders()
{
    if (owner_->currentDisk_ != end_.startDisk && !owner_->askForSpecificDisk(end_.startDisk))
        throw CZipException("Couldn't open the zip information start disk");
    owner_->seekg(static_cast<int64_t>(owner_->getExeOffset()) + end_.offset, CZipFile::begin);
    removeHeaders();
    for (uint32_t i = 0; i < end_.totalRecords; ++i) {
        nextDiskAtItsEnd();
        auto* header = new CZipFileHeader(owner_);
        headers_.push_back(header);
        if (!header->read(owner_))
            throw CZipLastErrorException(corruptMessage("Corrupt zip file"));
        indexName(header);
    }
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

void CZipCentralDir::indexName(CZipFileHeader* header)
{
    nameIndex_.insert({header->name, header});
}

// When two entries share a name the survivor takes over the index slot, so
// that it can still be found by name.
void CZipCentralDir::unindex(CZipFileHeader* header)
{
    auto slot = std::find_if(nameIndex_.begin(), nameIndex_.end(),
                             [header](const auto& entry) { return entry.second == header; });
    if (slot == nameIndex_.end())
        return;
    nameIndex_.erase(slot);
    for (CZipFileHeader* other : headers_)
        if (other != header && os::compareNames(other->name, header->name) == 0) {
            indexName(other);
            break;
        }
}

CZipFileHeader* CZipCentralDir::getFileFromName(const CString& storedName)
{
    auto found = nameIndex_.lower_bound(storedName);
    if (found != nameIndex_.end() && os::compareNames(found->first, storedName) == 0)
        return found->second;
    return nullptr;
}

CZipFileHeader* CZipCentralDir::addNewFileHeader(const CString& storedName)
{
    current_ = nullptr;
    auto* header = new CZipFileHeader(owner_);
    header->name = storedName;
    header->nameLength = static_cast<uint16_t>(storedName.size());
    headers_.push_back(header);
    current_ = header;
    indexName(header);
    return header;
}

void CZipCentralDir::RemoveFile(CZipFileHeader* header, int index, uint32_t storedSize)
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
    owner_->seekg(static_cast<int64_t>(owner_->getExeOffset()) + end_.offset, CZipFile::begin);
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
    end_.totalRecords = static_cast<uint16_t>(headers_.size());
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
    end_.offset = static_cast<uint32_t>(owner_->tellg());
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

uint32_t CZipCentralDir::WriteCentralEnd()
{
    const uint32_t size = kEndRecordSize + static_cast<uint32_t>(end_.comment.size());
    std::vector<char> record(size);
    char* p = record.data();
    put32(p, kEndSignature);
    put16(p + 4, end_.thisDisk);
    put16(p + 6, end_.startDisk);
    put16(p + 8, end_.recordsOnThisDisk);
    put16(p + 10, end_.totalRecords);
    put32(p + 12, end_.size);
    put32(p + 16, end_.offset);
    put16(p + 20, static_cast<uint16_t>(end_.comment.size()));
    std::copy(end_.comment.begin(), end_.comment.end(), p + kEndRecordSize);
    owner_->seekg(0, CZipFile::end);
    owner_->write(p, size, true);
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
