#pragma once
#include "ZipString.h"

#include <cstdint>

class CZipFile;

// One entry as the directory holds it: the fields of its central record, and
// the code that reads and writes its central and local records.
class CZipFileHeader {
public:
    static constexpr uint16_t kFlagEncrypted = 0x0001;
    static constexpr uint16_t kFlagDataDescriptor = 0x0008;

    explicit CZipFileHeader(CZipFile* owner = nullptr);
    CZipFileHeader(const CZipFileHeader&) = delete;
    CZipFileHeader& operator=(const CZipFileHeader&) = delete;

    bool read(CZipFile* file);
    uint32_t write();
    uint32_t writeLocalFileHeader();
    bool readLocal(uint16_t& extraLength) const;
    bool CheckCrcAndSizes(const char* values) const;
    void SetTime(const CString& path);

    uint32_t GetSize(bool local) const;
    uint32_t getCRC() const { return crc32; }
    bool IsEncrypted() const { return (flags & kFlagEncrypted) != 0; }
    bool IsDataDescr() const { return (flags & kFlagDataDescriptor) != 0; }

    CString getFileName() const;
    CString getPath() const;
    CString getAttributes() const;

    uint32_t signature = 0;
    uint16_t versionMadeBy = 20;
    uint16_t versionNeeded = 20;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t modificationTime = 0;
    uint16_t modificationDate = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t firstDisk = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    CString name;
    CString extraField;
    CString comment;

private:
    void putSharedFields(char* p) const;
    void readVariablePart(CString& target, uint16_t length, bool lastError, const char* message);

    CZipFile* owner_;
};
