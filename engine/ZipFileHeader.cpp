#include "ZipFileHeader.h"

#include "NameParts.h"
#include "ZipBytes.h"
#include "ZipExtra.h"
#include "ZipFile.h"
#include "ZipRecordReader.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

using namespace zipbytes;

namespace {
// A local ZIP64 block: tag, length, both sizes.
constexpr size_t kLargeLocalBlockSize = 4 + 16;

// Collects the values that do not fit their 32-bit fields, in the order the
// ZIP64 block holds them; each such field then holds all ones.
struct LargeValues {
    uint32_t field(uint64_t value, bool always)
    {
        if (value < kZip64Marker32 && !always)
            return static_cast<uint32_t>(value);
        char bytes[8];
        put64(bytes, value);
        data.append(bytes, sizeof bytes);
        return kZip64Marker32;
    }

    void disk(uint32_t number)
    {
        char bytes[4];
        put32(bytes, number);
        data.append(bytes, sizeof bytes);
    }

    CString data;
};

// The Unicode path block's head: version 1, then the CRC-32 of the name as
// the record stores it.
constexpr size_t kUnicodePathHeadSize = 5;
constexpr char kUnicodePathVersion = 1;

uint32_t checksumOf(const CString& text)
{
    return ::crc32(0L, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size()));
}

CString windowsForm(CString name)
{
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

CString cutAtZero(const CString& text)
{
    return text.substr(0, text.find('\0'));
}
}

CZipFileHeader::CZipFileHeader(CZipFile* owner) : owner_(owner) {}

uint32_t CZipFileHeader::getCRC() const
{
    return crc32;
}

bool CZipFileHeader::IsEncrypted() const
{
    return (flags & kFlagEncrypted) != 0;
}

bool CZipFileHeader::IsDataDescr() const
{
    return (flags & kFlagDataDescriptor) != 0;
}

// Names and comments are kept as the bytes they are, zero bytes included,
// so that a rewritten directory still matches the local headers.
void CZipFileHeader::readVariablePart(CZipRecordReader& records, CString& target, uint16_t length, bool lastError,
                                      const char* message)
{
    target.clear();
    if (length == 0)
        return;
    const char* bytes = records.next(length);
    if (!bytes) {
        if (lastError)
            throw CZipLastErrorException(message + owner_->getPath());
        throw CZipException(message + owner_->getPath());
    }
    target.assign(bytes, length);
}

bool CZipFileHeader::read(CZipFile* file, CZipRecordReader& records)
{
    owner_ = file;
    const char* record = records.next(kCentralRecordSize);
    if (!record)
        throw CZipLastErrorException("Bad zip file " + owner_->getPath());
    signature = get32(record);
    versionMadeBy = get16(record + 4);
    versionNeeded = get16(record + 6);
    flags = get16(record + 8);
    method = get16(record + 10);
    modificationTime = get16(record + 12);
    modificationDate = get16(record + 14);
    crc32 = get32(record + 16);
    compressedSize = get32(record + 20);
    uncompressedSize = get32(record + 24);
    nameLength = get16(record + 28);
    extraLength = get16(record + 30);
    commentLength = get16(record + 32);
    firstDisk = get16(record + 34);
    internalAttributes = get16(record + 36);
    externalAttributes = get32(record + 38);
    localHeaderOffset = get32(record + 42);
    if (signature != kCentralSignature)
        throw CZipException("Corrupt zip file " + owner_->getPath());
    readVariablePart(records, recordName, nameLength, true, "Currupt zip file ");
    readVariablePart(records, extraField, extraLength, true, "Corrupt zip file ");
    readVariablePart(records, comment, commentLength, false, "Bad zip file");
    readLargeValues();
    // An offset that would pass the end of any file stays past it, never wraps.
    const uint64_t base = owner_->recordBase();
    localHeaderOffset = localHeaderOffset > UINT64_MAX - base ? UINT64_MAX : localHeaderOffset + base;
    decodeName();
    return true;
}

// Fields of all ones continue in the ZIP64 block, in this order; a block too
// short for them leaves them as they are.
void CZipFileHeader::readLargeValues()
{
    CString block;
    if (!zipextra::find(extraField, zipextra::kZip64, block))
        return;
    size_t at = 0;
    for (uint64_t* field : {&uncompressedSize, &compressedSize, &localHeaderOffset}) {
        if (*field != kZip64Marker32)
            continue;
        if (at + 8 > block.size())
            return;
        *field = get64(block.data() + at);
        at += 8;
    }
    if (firstDisk == kZip64Marker16 && at + 4 <= block.size())
        firstDisk = static_cast<uint16_t>(std::min<uint32_t>(get32(block.data() + at), kZip64Marker16));
}

// Bit 11 says the name is UTF-8; without it, a Unicode path block whose
// checksum matches the name gives its UTF-8 form. Any other name is in the
// code page of the Windows tools that wrote it, as it always was.
void CZipFileHeader::decodeName()
{
    CString utf8;
    if (flags & kFlagUtf8)
        utf8 = recordName;
    else if (!unicodePathName(utf8)) {
        nameFitsSystem = os::nameFromLegacy(recordName, name);
        return;
    }
    nameFitsSystem = os::nameFromUtf8(utf8, name);
}

// Version 1, the CRC-32 of the name it stands for, then the name in UTF-8.
// A checksum that does not match means the name was changed by a tool that
// knew nothing of the block.
bool CZipFileHeader::unicodePathName(CString& utf8) const
{
    CString block;
    if (!zipextra::find(extraField, zipextra::kUnicodePath, block) || block.size() < kUnicodePathHeadSize
        || block[0] != kUnicodePathVersion || get32(block.data() + 1) != checksumOf(recordName))
        return false;
    utf8 = block.substr(kUnicodePathHeadSize);
    return true;
}

// A name that is more than plain ASCII is stored in UTF-8 and says so, so
// that every system reads it alike; the Unicode path block says it again
// for readers that only take the flag from archives made on Unix.
void CZipFileHeader::setName(const CString& systemName)
{
    name = recordName = systemName;
    CString utf8;
    const bool ascii = std::all_of(systemName.begin(), systemName.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii && os::nameToUtf8(systemName, utf8)) {
        recordName = utf8;
        flags |= kFlagUtf8;
        char head[kUnicodePathHeadSize] = {kUnicodePathVersion};
        put32(head + 1, checksumOf(utf8));
        extraField = zipextra::replace(extraField, zipextra::kUnicodePath, CString(head, sizeof head) + utf8);
    }
    nameLength = static_cast<uint16_t>(recordName.size());
}

void CZipFileHeader::reserveLargeSizes(bool reserve)
{
    largeLocalSizes_ = reserve;
    if (reserve)
        versionNeeded = versionMadeBy = kZip64Version;
}

bool CZipFileHeader::hasLargeSizes() const
{
    return largeLocalSizes_;
}

struct CZipFileHeader::CentralValues {
    uint32_t uncompressed;
    uint32_t compressed;
    uint32_t offset;
    uint16_t versionNeeded;
    CString extra;
};

// Only what does not fit its field goes into the ZIP64 block, and the block
// is there only when something does: the block an entry came with held the
// fields that were all ones then, which a rewrite (an offset moved by a
// conversion or a deletion) may have changed. Every other block stays as it
// came.
CZipFileHeader::CentralValues CZipFileHeader::centralValues() const
{
    LargeValues large;
    CentralValues values;
    values.uncompressed = large.field(uncompressedSize, false);
    values.compressed = large.field(compressedSize, false);
    values.offset = large.field(localHeaderOffset - owner_->recordBase(), false);
    if (firstDisk == kZip64Marker16)
        large.disk(firstDisk);
    values.versionNeeded = large.data.empty() ? versionNeeded : std::max(versionNeeded, kZip64Version);
    values.extra = large.data.empty() ? zipextra::remove(extraField, zipextra::kZip64)
                                      : zipextra::replace(extraField, zipextra::kZip64, large.data);
    return values;
}

uint32_t CZipFileHeader::write()
{
    CString record;
    appendCentralRecord(record);
    owner_->write(record.data(), static_cast<uint32_t>(record.size()), true);
    return static_cast<uint32_t>(record.size());
}

void CZipFileHeader::appendCentralRecord(CString& out) const
{
    const CentralValues values = centralValues();
    char fixed[kCentralRecordSize];
    put32(fixed, kCentralSignature);
    put16(fixed + 4, versionMadeBy);
    putSharedFields(fixed + 6, values.versionNeeded, values.compressed, values.uncompressed);
    put16(fixed + 30, static_cast<uint16_t>(values.extra.size()));
    put16(fixed + 32, static_cast<uint16_t>(comment.size()));
    put16(fixed + 34, firstDisk);
    put16(fixed + 36, internalAttributes);
    put32(fixed + 38, externalAttributes);
    put32(fixed + 42, values.offset);
    out.append(fixed, sizeof fixed).append(recordName).append(values.extra).append(comment);
}

// The run of fields from "version needed" to the name length is laid out
// alike in the central and the local record.
void CZipFileHeader::putSharedFields(char* p, uint16_t version, uint32_t compressed, uint32_t uncompressed) const
{
    put16(p, version);
    put16(p + 2, flags);
    put16(p + 4, method);
    put16(p + 6, modificationTime);
    put16(p + 8, modificationDate);
    put32(p + 10, crc32);
    put32(p + 14, compressed);
    put32(p + 18, uncompressed);
    put16(p + 22, static_cast<uint16_t>(recordName.size()));
}

// The local header of a new entry is written twice, before and after its
// data; room for 64-bit sizes is there both times or neither. It carries
// the same extra field as the directory, less or plus the sizes.
uint32_t CZipFileHeader::writeLocalFileHeader()
{
    const std::vector<char> record = localRecord();
    owner_->seekg(static_cast<int64_t>(localHeaderOffset), CZipFile::begin);
    return owner_->write(record.data(), static_cast<uint32_t>(record.size()), true);
}

std::vector<char> CZipFileHeader::localRecord() const
{
    LargeValues large;
    const uint32_t uncompressed = large.field(uncompressedSize, largeLocalSizes_);
    const uint32_t compressed = large.field(compressedSize, largeLocalSizes_);
    const CString extra =
        large.data.empty() ? extraField : zipextra::replace(extraField, zipextra::kZip64, large.data);
    std::vector<char> record(kLocalRecordSize + recordName.size() + extra.size());
    char* p = record.data();
    put32(p, kLocalSignature);
    putSharedFields(p + 4, versionNeeded, compressed, uncompressed);
    put16(p + 28, static_cast<uint16_t>(extra.size()));
    std::copy(extra.begin(), extra.end(), std::copy(recordName.begin(), recordName.end(), p + kLocalRecordSize));
    return record;
}

// One read brings the local header and, for a small entry, all of its data:
// testing many small entries costs a read each, not several.
bool CZipFileHeader::readLocal(uint32_t& dataStart, uint32_t& got) const
{
    CZipBuffer& buffer = owner_->readBuffer_;
    const uint64_t headerSize = uint64_t{kLocalRecordSize} + nameLength + extraLength;
    const uint64_t entrySize = headerSize + std::min(compressedSize, UINT64_MAX - headerSize);
    got = owner_->read(buffer, static_cast<uint32_t>(std::min<uint64_t>(buffer.size(), entrySize)), false);
    if (got < kLocalRecordSize)
        throw CZipException("Bad zip file" + owner_->getPath());
    if (!localHeaderFits(buffer))
        return false;
    dataStart = kLocalRecordSize + get16(buffer + 26) + get16(buffer + 28);
    if (got < dataStart) {
        if (owner_->read(buffer + got, dataStart - got, false) != dataStart - got)
            throw CZipException("Bad zip file" + owner_->getPath());
        got = dataStart;
    }
    const CString localExtra(buffer + kLocalRecordSize + nameLength, get16(buffer + 28));
    return IsDataDescr() || localMatches(buffer, localExtra);
}

// The signature, and what the local header shares with the central record.
bool CZipFileHeader::localHeaderFits(const char* record) const
{
    return get32(record) == kLocalSignature && get16(record + 6) == flags && get16(record + 8) == method
           && (dataMethod() == 0 || dataMethod() == Z_DEFLATED) && get16(record + 26) == nameLength;
}

// Sizes of all ones continue in the local ZIP64 block, which holds both of
// them; a block with only one holds whichever is all ones.
void CZipFileHeader::localSizes(const char* record, const CString& localExtra, uint64_t& compressed,
                                uint64_t& uncompressed)
{
    compressed = get32(record + 18);
    uncompressed = get32(record + 22);
    if (compressed != kZip64Marker32 && uncompressed != kZip64Marker32)
        return;
    CString block;
    zipextra::find(localExtra, zipextra::kZip64, block);
    const bool both = block.size() >= 16;
    if (uncompressed == kZip64Marker32 && block.size() >= 8)
        uncompressed = get64(block.data());
    if (compressed == kZip64Marker32 && block.size() >= (both ? 16u : 8u))
        compressed = get64(block.data() + (both ? 8 : 0));
}

bool CZipFileHeader::localMatches(const char* record, const CString& localExtra) const
{
    uint64_t compressed = 0;
    uint64_t uncompressed = 0;
    localSizes(record, localExtra, compressed, uncompressed);
    return get32(record + 14) == crc32 && compressed == compressedSize && uncompressed == uncompressedSize;
}

void CZipFileHeader::readLocalRecord(CZipFile* file, const char* record, const CString& storedName,
                                     const CString& localExtra, uint64_t offset)
{
    owner_ = file;
    signature = kCentralSignature;
    versionNeeded = get16(record + 4);
    flags = get16(record + 6);
    method = get16(record + 8);
    modificationTime = get16(record + 10);
    modificationDate = get16(record + 12);
    crc32 = get32(record + 14);
    localSizes(record, localExtra, compressedSize, uncompressedSize);
    recordName = storedName;
    nameLength = static_cast<uint16_t>(storedName.size());
    extraField = localExtra;
    extraLength = static_cast<uint16_t>(localExtra.size());
    localHeaderOffset = offset;
    decodeName();
}

bool CZipFileHeader::CheckCrcAndSizes(const char* values) const
{
    return get32(values) == crc32 && get32(values + 4) == compressedSize && get32(values + 8) == uncompressedSize;
}

bool CZipFileHeader::isAes() const
{
    return method == zipaes::kMethod;
}

bool CZipFileHeader::aesSettings(zipaes::Settings& settings) const
{
    return isAes() && IsEncrypted() && zipaes::parse(extraField, settings);
}

uint16_t CZipFileHeader::dataMethod() const
{
    constexpr uint16_t kUnknownMethod = 0xFFFF;
    zipaes::Settings settings;
    if (!isAes())
        return method;
    return aesSettings(settings) ? settings.method : kUnknownMethod;
}

CString CZipFileHeader::getEncryptionName() const
{
    zipaes::Settings settings;
    if (!IsEncrypted())
        return CString();
    if (aesSettings(settings))
        return "AES-" + std::to_string(settings.keyBits());
    return isAes() ? "AES" : "ZipCrypto";
}

FileStamp stampOf(const CString& path)
{
    FileStamp stamp;
    std::time_t seconds;
    stamp.timeKnown = os::fileModificationTime(path, seconds) && os::toLocalTime(seconds, stamp.local);
    stamp.attributes = os::fileAttributes(path);
    return stamp;
}

void CZipFileHeader::SetTime(const FileStamp& stamp)
{
    if (!stamp.timeKnown)
        return;
    const std::tm& local = stamp.local;
    const int year = local.tm_year + 1900;
    const unsigned yearField = year > 1980 ? static_cast<unsigned>(year - 1980) : 0;
    modificationDate = static_cast<uint16_t>((yearField * 16 + static_cast<unsigned>(local.tm_mon + 1)) * 32
                                             + static_cast<unsigned>(local.tm_mday));
    modificationTime = static_cast<uint16_t>((local.tm_hour * 64 + local.tm_min) * 32 + local.tm_sec / 2);
    if (stamp.attributes != os::kNoAttributes)
        externalAttributes = stamp.attributes;
}

uint32_t CZipFileHeader::GetSize(bool local) const
{
    if (local)
        return kLocalRecordSize
               + static_cast<uint32_t>(recordName.size() + extraField.size()
                                       + (largeLocalSizes_ ? kLargeLocalBlockSize : 0));
    return kCentralRecordSize + static_cast<uint32_t>(nameLength + centralValues().extra.size() + comment.size());
}

// What is shown, and what extraction makes of a name, stops at a zero byte.
CString CZipFileHeader::getFileName() const
{
    return nameparts::lastComponent(windowsForm(cutAtZero(name)));
}

CString CZipFileHeader::getPath() const
{
    return nameparts::folderPart(windowsForm(cutAtZero(name)));
}

CString CZipFileHeader::getAttributes() const
{
    static const struct {
        uint32_t bit;
        const char* letters;
    } kLetters[] = {{0x01, "R"}, {0x02, "H"}, {0x04, "S"}, {0x08, "VL"}, {0x10, "SD"}, {0x20, "A"}};
    CString result;
    for (const auto& letter : kLetters)
        if (externalAttributes & letter.bit)
            result += letter.letters;
    return result;
}
