#include "TarFile.h"

#include "NameParts.h"
#include "ZipException.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint32_t kBlockSize = 512;
// Long names and pax records larger than this are not names: they are skipped.
constexpr uint32_t kLongestNamingData = 1 << 20;

uint32_t paddedSize(uint32_t size)
{
    return (size + kBlockSize - 1) / kBlockSize * kBlockSize;
}

CString fieldText(const char* field, size_t length)
{
    return CString(field, std::find(field, field + length, '\0'));
}

// The "path" record of a pax extended header; each record is
// "<length> <key>=<value>\n", the length counting the whole record.
CString paxPath(const CString& records)
{
    size_t at = 0;
    while (at < records.size()) {
        const size_t space = records.find(' ', at);
        const size_t length = std::strtoul(records.c_str() + at, nullptr, 10);
        if (space == CString::npos || length == 0 || at + length > records.size())
            break;
        const CString record = records.substr(space + 1, at + length - space - 2);
        if (record.compare(0, 5, "path=") == 0)
            return record.substr(5);
        at += length;
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
    scan();
    return true;
}

// Ends at the end-of-archive block, or at the last complete header of a
// cut-short file.
void CTarFile::scan()
{
    uint32_t position = 0;
    CString longName;
    Block block;
    uint32_t got = 0;
    while (os::readFile(file_, block.bytes, kBlockSize, got) && got == kBlockSize && block.bytes[0] != '\0') {
        const uint32_t size = getoct(block.bytes + 124, 12);
        const uint32_t dataOffset = position + kBlockSize;
        position = dataOffset + paddedSize(size);
        if (block.namesNextMember()) {
            readNamingData(block, size, longName);
        } else if (!block.isHelper()) {
            CString name = longName.empty() ? block.name() : longName;
            if (longName.empty() && !block.prefix().empty())
                name = block.prefix() + "/" + name;
            if (block.isFolder() && name.back() != '/')
                name += '/';
            members_.push_back({name, block.carriesContent() ? size : 0, dataOffset});
            longName.clear();
        }
        if (!os::seekFile(file_, position, os::Origin::Begin))
            break;
    }
}

void CTarFile::readNamingData(const Block& block, uint32_t size, CString& longName)
{
    if (size > kLongestNamingData)
        return;
    const CString data = readData(size);
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

// Blanks are skipped and a zero byte ends the field; the digits are taken
// on trust, as they always were.
uint32_t CTarFile::getoct(const char* field, int length) const
{
    uint32_t value = 0;
    for (int i = 0; i < length && field[i] != '\0'; ++i)
        if (field[i] != ' ')
            value = value * 8 + static_cast<uint32_t>(field[i] - '0');
    return value;
}

long CTarFile::getFileCount() const
{
    return static_cast<long>(members_.size());
}

uint32_t CTarFile::getUncompressedSize(int index) const
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

bool CTarFile::openFile(unsigned short index)
{
    os::seekFile(file_, members_[index].dataOffset, os::Origin::Begin);
    current_ = index;
    delivered_ = 0;
    return true;
}

uint32_t CTarFile::readFile(void* buffer, uint32_t size)
{
    if (current_ < 0)
        return 0;
    const uint32_t count = std::min(size, members_[static_cast<size_t>(current_)].size - delivered_);
    uint32_t got = 0;
    if (count)
        os::readFile(file_, buffer, count, got);
    delivered_ += got;
    return got;
}

bool CTarFile::closeFile(unsigned short)
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
