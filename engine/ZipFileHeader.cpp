#include "ZipFileHeader.h"

#include "NameParts.h"
#include "ZipBytes.h"
#include "ZipFile.h"

#include <algorithm>
#include <vector>

using namespace zipbytes;

namespace {
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

// Names and comments are kept as the bytes they are, zero bytes included,
// so that a rewritten directory still matches the local headers.
void CZipFileHeader::readVariablePart(CString& target, uint16_t length, bool lastError, const char* message)
{
    target.assign(length, '\0');
    if (length == 0)
        return;
    if (!owner_->readExactly(&target[0], length)) {
        if (lastError)
            throw CZipLastErrorException(message + owner_->getPath());
        throw CZipException(message + owner_->getPath());
    }
}

bool CZipFileHeader::read(CZipFile* file)
{
    owner_ = file;
    char record[kCentralRecordSize];
    if (!owner_->readExactly(record, sizeof record))
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
    localHeaderOffset = get32(record + 42) + owner_->getExeOffset();
    if (signature != kCentralSignature)
        throw CZipException("Corrupt zip file " + owner_->getPath());
    readVariablePart(name, nameLength, true, "Currupt zip file ");
    readVariablePart(extraField, extraLength, true, "Corrupt zip file ");
    readVariablePart(comment, commentLength, false, "Bad zip file");
    return true;
}

uint32_t CZipFileHeader::write()
{
    const uint32_t size = kCentralRecordSize + static_cast<uint32_t>(name.size() + extraField.size() + comment.size());
    std::vector<char> record(size);
    char* p = record.data();
    put32(p, kCentralSignature);
    put16(p + 4, versionMadeBy);
    putSharedFields(p + 6);
    put16(p + 30, static_cast<uint16_t>(extraField.size()));
    put16(p + 32, static_cast<uint16_t>(comment.size()));
    put16(p + 34, firstDisk);
    put16(p + 36, internalAttributes);
    put32(p + 38, externalAttributes);
    put32(p + 42, localHeaderOffset);
    std::copy(name.begin(), name.end(), p + kCentralRecordSize);
    std::copy(extraField.begin(), extraField.end(), p + kCentralRecordSize + name.size());
    std::copy(comment.begin(), comment.end(), p + kCentralRecordSize + name.size() + extraField.size());
    owner_->write(p, size, true);
    return size;
}

// The run of fields from "version needed" to the name length is laid out
// alike in the central and the local record.
void CZipFileHeader::putSharedFields(char* p) const
{
    put16(p, versionNeeded);
    put16(p + 2, flags);
    put16(p + 4, method);
    put16(p + 6, modificationTime);
    put16(p + 8, modificationDate);
    put32(p + 10, crc32);
    put32(p + 14, compressedSize);
    put32(p + 18, uncompressedSize);
    put16(p + 22, static_cast<uint16_t>(name.size()));
}

uint32_t CZipFileHeader::writeLocalFileHeader()
{
    std::vector<char> record(kLocalRecordSize + name.size());
    char* p = record.data();
    put32(p, kLocalSignature);
    putSharedFields(p + 4);
    put16(p + 28, 0);
    std::copy(name.begin(), name.end(), p + kLocalRecordSize);
    owner_->seekg(localHeaderOffset, CZipFile::begin);
    return owner_->write(p, static_cast<uint32_t>(record.size()), true);
}

bool CZipFileHeader::readLocal(uint16_t& localExtraLength) const
{
    char record[kLocalRecordSize];
    if (!owner_->readExactly(record, sizeof record))
        throw CZipException("Bad zip file" + owner_->getPath());
    const uint16_t localFlags = get16(record + 6);
    const uint16_t localMethod = get16(record + 8);
    if (get32(record) != kLocalSignature || localFlags != flags || localMethod != method
        || (method != 0 && method != 8) || get16(record + 26) != nameLength
        || (!IsDataDescr() && !CheckCrcAndSizes(record + 14)))
        return false;
    localExtraLength = get16(record + 28);
    owner_->seekg(nameLength, CZipFile::current);
    return true;
}

bool CZipFileHeader::CheckCrcAndSizes(const char* values) const
{
    return get32(values) == crc32 && get32(values + 4) == compressedSize && get32(values + 8) == uncompressedSize;
}

void CZipFileHeader::SetTime(const CString& path)
{
    std::time_t seconds;
    std::tm local;
    if (!os::fileModificationTime(path, seconds) || !os::toLocalTime(seconds, local))
        return;
    const int year = local.tm_year + 1900;
    const unsigned yearField = year > 1980 ? static_cast<unsigned>(year - 1980) : 0;
    modificationDate = static_cast<uint16_t>((yearField * 16 + static_cast<unsigned>(local.tm_mon + 1)) * 32
                                             + static_cast<unsigned>(local.tm_mday));
    modificationTime = static_cast<uint16_t>((local.tm_hour * 64 + local.tm_min) * 32 + local.tm_sec / 2);
    const uint32_t attributes = os::fileAttributes(path);
    if (attributes != os::kNoAttributes)
        externalAttributes = attributes;
}

uint32_t CZipFileHeader::GetSize(bool local) const
{
    if (local)
        return kLocalRecordSize + static_cast<uint32_t>(name.size() + extraField.size());
    return kCentralRecordSize + static_cast<uint32_t>(nameLength + extraField.size() + comment.size());
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
