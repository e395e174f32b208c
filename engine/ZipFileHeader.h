#pragma once
#include "EngineApi.h"
#include "ZipAes.h"
#include "ZipString.h"
#include "os/Os.h"

#include <cstdint>
#include <ctime>
#include <vector>

class CZipFile;
class CZipRecordReader;

// What an entry keeps of the file it is made from besides its bytes: when
// it was last written, in local time, and its attributes. Taken apart from
// the entry so that a worker thread can ask the system for it.
struct FileStamp {
    bool timeKnown = false;
    std::tm local{};
    uint32_t attributes = os::kNoAttributes;
};
PACKROOK_ENGINE_API FileStamp stampOf(const CString& path);

// One entry as the directory holds it: the fields of its central record, and
// the code that reads and writes its central and local records.
class PACKROOK_ENGINE_API CZipFileHeader {
public:
    static constexpr uint16_t kFlagEncrypted = 0x0001;
    static constexpr uint16_t kFlagDataDescriptor = 0x0008;
    static constexpr uint16_t kFlagUtf8 = 0x0800;

    explicit CZipFileHeader(CZipFile* owner = nullptr);
    CZipFileHeader(const CZipFileHeader&) = delete;
    CZipFileHeader& operator=(const CZipFileHeader&) = delete;

    bool read(CZipFile* file, CZipRecordReader& records);
    uint32_t write();
    // The central record as write() puts it in the file.
    void appendCentralRecord(CString& out) const;
    uint32_t writeLocalFileHeader();
    // The local header as writeLocalFileHeader puts it in the file.
    std::vector<char> localRecord() const;
    // Reads and checks the local header at the owner's position into its
    // read buffer, with as much of the data as fits: the data starts at
    // dataStart there, and got bytes came in all.
    bool readLocal(uint32_t& dataStart, uint32_t& got) const;
    bool CheckCrcAndSizes(const char* values) const;
    // Takes an entry from its local header alone (record: the header's fixed
    // part), as when the directory is gone; its sizes may still be zeros that
    // a data descriptor behind the data puts right.
    void readLocalRecord(CZipFile* file, const char* record, const CString& storedName, const CString& localExtra,
                         uint64_t offset);
    // Sizes of all ones in a local header, read on in its ZIP64 block.
    static void localSizes(const char* record, const CString& localExtra, uint64_t& compressed,
                           uint64_t& uncompressed);
    // Without a time, the entry keeps its own time and attributes.
    void SetTime(const FileStamp& stamp);
    // A new entry's name as this system spells it.
    void setName(const CString& systemName);
    // Before the first local header of a new entry is written: whether its
    // sizes may reach 4 GiB, and so need room in the local header.
    void reserveLargeSizes(bool reserve);
    bool hasLargeSizes() const;

    uint32_t GetSize(bool local) const;
    uint32_t getCRC() const;
    bool IsEncrypted() const;
    bool IsDataDescr() const;
    // Encrypted with AES: method 99, the real one in the AES block.
    bool isAes() const;
    // False when an AES entry's block is missing or makes no sense.
    bool aesSettings(zipaes::Settings& settings) const;
    // How the data is compressed once decrypted: stored (0), deflated (8) or
    // a method this system cannot undo.
    uint16_t dataMethod() const;
    // "AES-256", "ZipCrypto" and the like; empty for an entry in the clear.
    CString getEncryptionName() const;

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
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    uint16_t nameLength = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t firstDisk = 0;
    uint16_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint64_t localHeaderOffset = 0;
    // The name as this system spells it: the ANSI code page on Windows, the
    // file system's bytes elsewhere. Every lookup and every path uses it.
    CString name;
    // The bytes of the records' name field, written back as they were read.
    CString recordName;
    // False when the system's code page cannot hold the name: such an entry
    // is listed, but never extracted under a name it does not have.
    bool nameFitsSystem = true;
    CString extraField;
    CString comment;

private:
    struct CentralValues;

    CentralValues centralValues() const;
    void putSharedFields(char* p, uint16_t version, uint32_t compressed, uint32_t uncompressed) const;
    void readVariablePart(CZipRecordReader& records, CString& target, uint16_t length, bool lastError,
                          const char* message);
    void readLargeValues();
    void decodeName();
    bool unicodePathName(CString& utf8) const;
    bool localMatches(const char* record, const CString& localExtra) const;
    bool localHeaderFits(const char* record) const;

    CZipFile* owner_;
    bool largeLocalSizes_ = false;
};
