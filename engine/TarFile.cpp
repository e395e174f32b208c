#include "TarFile.h"

#include "NameParts.h"
#include "ZipException.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint32_t kBlockSize = 512;
// Long names and pax records larger than this are not names: they are skipped.
constexpr uint32_t kLongestNamingData = 1 << 20;
constexpr int kSizeField = 124;
constexpr int kSizeFieldLength = 12;

uint64_t paddedSize(uint64_t size)
{
    return (size + kBlockSize - 1) / kBlockSize * kBlockSize;
}

bool isDigits(const CString& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

CString fieldText(const char* field, size_t length)
{
    return CString(field, std::find(field, field + length, '\0'));
}

// The "path" record of a pax extended header; each record is
// "<length> <key>=<value>\n", the length counting the whole record. A length
// that is not a plain number, or too short to hold its own record, or longer
// than what is left, ends the records: every step moves forward past a whole
// record, never back and never inside one.
CString paxPath(const CString& records)
{
    size_t at = 0;
    while (at < records.size()) {
        const size_t space = records.find(' ', at);
        if (space == CString::npos || space - at > 18 || !isDigits(records.substr(at, space - at)))
            break;
        const uint64_t length = std::stoull(records.substr(at, space - at));
        if (length < space - at + 3 || length > records.size() - at)
            break;
        const size_t end = at + static_cast<size_t>(length);
        const CString record = records.substr(space + 1, end - space - 2);
        if (record.compare(0, 5, "path=") == 0)
            return record.substr(5);
        at = end;
    }
    return CString();
}
}

struct CTarFile::Block {
    char bytes[kBlockSize];

    CString name() const { return fieldText(bytes, 100); }
    char type() const { return bytes[156]; }
    // Only the POSIX magic has a prefix there; GNU's keeps other fields in it.
    CString prefix() const
    {
        return std::memcmp(bytes + 257, "ustar\0", 6) == 0 ? fieldText(bytes + 345, 155) : CString();
    }
    bool carriesContent() const { return type() == '0' || type() == '\0' || type() == '7'; }
    bool isFolder() const { return type() == '5' || type() == 'D'; }
    bool namesNextMember() const { return type() == 'L' || type() == 'x'; }
    // Helper members that describe others instead of being listed.
    bool isHelper() const { return namesNextMember() || type() == 'K' || type() == 'g' || type() == 'V'; }
};

CTarFile::CTarFile() : file_(os::kInvalidFile) {}

CTarFile::~CTarFile()
{
    closeHandle();
}

void CTarFile::closeHandle()
{
    if (file_ != os::kInvalidFile)
        os::closeFile(file_);
    file_ = os::kInvalidFile;
    members_.clear();
    current_ = -1;
    delivered_ = 0;
}

bool CTarFile::open(const CString& path)
{
    closeHandle();
    file_ = os::openFile(path, os::OpenMode::ReadExisting);
    if (file_ == os::kInvalidFile)
        throw CZipLastErrorException("Couldn't open file " + path);
    const int64_t fileSize = os::fileSize(file_);
    if (fileSize < 0)
        throw CZipLastErrorException("Couldn't open file " + path);
    scan(static_cast<uint64_t>(fileSize));
    return true;
}

// Ends at the end-of-archive block, at the last complete header of a
// cut-short file, at a size field that is no number, or at a member whose
// data would reach past the end of the file: that member is still listed, so
// that reading it reports the damage instead of passing for a smaller file.
// Every step moves forward, so the scan ends within the file.
void CTarFile::scan(uint64_t fileSize)
{
    uint64_t position = 0;
    CString longName;
    Block block;
    uint32_t got = 0;
    while (os::readFile(file_, block.bytes, kBlockSize, got) && got == kBlockSize && block.bytes[0] != '\0') {
        uint64_t size = 0;
        if (!getSize(block.bytes + kSizeField, size))
            break;
        const uint64_t dataOffset = position + kBlockSize;
        const bool cutShort = size > fileSize - dataOffset;
        if (block.namesNextMember() && !cutShort)
            readNamingData(block, size, longName);
        else if (!block.isHelper())
            listMember(block, size, dataOffset, longName);
        if (cutShort)
            break;
        position = dataOffset + paddedSize(size);
        if (!os::seekFile(file_, static_cast<int64_t>(position), os::Origin::Begin))
            break;
    }
}

void CTarFile::listMember(const Block& block, uint64_t size, uint64_t dataOffset, CString& longName)
{
    CString name = longName.empty() ? block.name() : longName;
    if (longName.empty() && !block.prefix().empty())
        name = block.prefix() + "/" + name;
    if (block.isFolder() && name.back() != '/')
        name += '/';
    members_.push_back({name, block.carriesContent() ? size : 0, dataOffset});
    longName.clear();
}

void CTarFile::readNamingData(const Block& block, uint64_t size, CString& longName)
{
    if (size > kLongestNamingData)
        return;
    const CString data = readData(static_cast<uint32_t>(size));
    const CString name = block.type() == 'L' ? fieldText(data.data(), data.size()) : paxPath(data);
    if (!name.empty())
        longName = name;
}

CString CTarFile::readData(uint32_t size)
{
    CString data(size, '\0');
    uint32_t got = 0;
    if (size && (!os::readFile(file_, &data[0], size, got) || got < size))
        data.resize(got);
    return data;
}

// Blanks are skipped and a zero byte ends the field; anything but an octal
// digit, or a value past 63 bits, makes it no number.
bool CTarFile::getoct(const char* field, int length, uint64_t& value)
{
    value = 0;
    for (int i = 0; i < length && field[i] != '\0'; ++i) {
        if (field[i] == ' ')
            continue;
        if (field[i] < '0' || field[i] > '7' || value >> 60 != 0)
            return false;
        value = value * 8 + static_cast<uint64_t>(field[i] - '0');
    }
    return true;
}

// GNU tar writes sizes of 8 GiB and more in base 256: a first byte of 0x80
// and the value big-endian in the other bytes. A negative one (0xFF) is no size.
bool CTarFile::getSize(const char* field, uint64_t& size)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(field);
    if (bytes[0] != 0x80)
        return (bytes[0] & 0x80) == 0 && getoct(field, kSizeFieldLength, size);
    size = 0;
    for (int i = 1; i < kSizeFieldLength; ++i) {
        if (size >> 55 != 0)
            return false;
        size = size << 8 | bytes[i];
    }
    return true;
}

long CTarFile::getFileCount() const
{
    return static_cast<long>(members_.size());
}

uint64_t CTarFile::getUncompressedSize(int index) const
{
    return members_[static_cast<size_t>(index)].size;
}

CString CTarFile::getFileName(int index) const
{
    return nameparts::lastComponent(members_[static_cast<size_t>(index)].name);
}

CString CTarFile::getPath(int index) const
{
    return nameparts::folderPart(members_[static_cast<size_t>(index)].name);
}

bool CTarFile::openFile(int index)
{
    os::seekFile(file_, static_cast<int64_t>(members_[static_cast<size_t>(index)].dataOffset), os::Origin::Begin);
    current_ = index;
    delivered_ = 0;
    return true;
}

// A member whose data ends before its recorded size is damaged, like a zip
// entry that fails its check; its short content never passes for the whole.
uint32_t CTarFile::readFile(void* buffer, uint32_t size)
{
    if (current_ < 0)
        return 0;
    const uint64_t left = members_[static_cast<size_t>(current_)].size - delivered_;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(size, left));
    uint32_t got = 0;
    if (count && (!os::readFile(file_, buffer, count, got) || got < count))
        throw CZipException("Corrupt zip file found when exstacting " + getFileName(current_));
    delivered_ += got;
    return got;
}

bool CTarFile::closeFile(int)
{
    delivered_ = 0;
    current_ = -1;
    return true;
}

CString CTarFile::getCurrentOpenFilePath() const
{
    return current_ < 0 ? CString() : getPath(current_);
}

CString CTarFile::getCurrentOpenFileFileName() const
{
    return current_ < 0 ? CString() : getFileName(current_);
}

uint64_t CTarFile::getCompressedSize(int index) const
{
    return getUncompressedSize(index);
}

CString CTarFile::getAttributes(int) const
{
    return CString();
}
