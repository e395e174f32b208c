#pragma once
#include "EngineApi.h"
#include "ZipFileHeader.h"
#include "ZipString.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class CZipFile;
class CZipRecordReader;

// The directory of a zip archive: the entries in archive order, an index by
// stored name, and the end record with the archive comment. The engine
// rewrites all of it at the end of the file after every change.
class PACKROOK_ENGINE_API CZipCentralDir {
public:
    struct EndRecord {
        uint32_t signature = 0;
        int32_t distanceFromEnd = 0;
        uint16_t thisDisk = 0;
        uint16_t startDisk = 0;
        uint64_t recordsOnThisDisk = 0;
        uint64_t totalRecords = 0;
        uint64_t size = 0;
        uint64_t offset = 0;
        uint16_t commentLength = 0;
        CString comment;
    };

    explicit CZipCentralDir(CZipFile* owner);
    ~CZipCentralDir();
    CZipCentralDir(const CZipCentralDir&) = delete;
    CZipCentralDir& operator=(const CZipCentralDir&) = delete;

    bool parseCentralDir();
    // Entries found from their local headers, in file order, in place of a
    // directory that is gone. Nothing is on disk to be cut or rewritten, and
    // the archive counts as unsound: it is not to be changed.
    void takeRecovered(std::vector<std::unique_ptr<CZipFileHeader>> headers);
    int getHeaderCount() const;
    const CZipFileHeader* getFileHeader(long index) const;
    CZipFileHeader* getFileHeader(long index);
    const CZipFileHeader* getCurrentOpenFile() const;
    CZipFileHeader* getFileFromName(const CString& storedName);
    // name: as the system spells it (the record may hold it in UTF-8).
    CZipFileHeader* addNewFileHeader(const CString& name);
    // storedSize: the bytes the entry occupied in the file, by which every
    // entry behind it and the directory move towards the front.
    void RemoveFile(CZipFileHeader* header, int index, uint64_t storedSize);
    // The same for several entries at once, each with its stored size.
    void RemoveFiles(const std::vector<CZipFileHeader*>& removed, const std::vector<uint64_t>& storedSizes);
    void close();
    void RemoveFromDisk();
    void write();
    // Writes the directory at the end of the file, whatever was on disk before.
    void writeAtEnd();
    // Entry indexes follow the places of the entries in the file.
    void SortHeaders();
    uint32_t WriteCentralEnd();
    CString getGlobalComment() const;
    void setGlobalComment(const CString& comment);
    const EndRecord& endRecord() const;
    bool isLoaded() const;
    // The end records, the directory and the file agree: where the records
    // say the directory is, it is, holding the records they count.
    bool isSound() const;
    // The file position that offsets in the records count from: the stub of
    // a conversion under way, or another program's data in front of the archive.
    uint64_t recordBase() const;
    // Offsets are written counting from the start of the file from now on.
    void dropPrefix();
    // Where the directory begins in the file.
    uint64_t directoryPosition() const;
    uint32_t GetSize(bool withRecords) const;

    void openFile(int index);
    void closeFile();

private:
    struct NameLess {
        bool operator()(const CString& a, const CString& b) const;
    };

    uint32_t locateCD() const;
    bool directoryChecksOut(const char* record, uint64_t position) const;
    uint32_t signatureAt(uint64_t position) const;
    bool readAt(uint64_t position, char* bytes, uint32_t count) const;
    void readEndRecord(uint32_t distance);
    bool classicFieldsOverflow() const;
    uint64_t readZip64EndRecord(uint64_t endPosition);
    bool findZip64EndRecord(uint64_t endPosition, char* record, uint64_t& at, bool& located) const;
    bool agreesWithClassic(const char* record) const;
    void readZip64Fields(const char* record);
    void placeDirectory(uint64_t directoryEnd);
    void ReadHeaders();
    bool readRecord(CZipFileHeader& header, CZipRecordReader& records);
    void nextDiskAtItsEnd();
    void indexNames();
    void removeHeaders();
    void RemoveAll();
    void WriteHeaders();
    void writeRecordsInBatches();
    bool needsZip64() const;
    bool endsLikeLocator() const;
    CString zip64EndRecords() const;
    CString corruptMessage(const char* text) const;

    CZipFileHeader* current_ = nullptr;
    bool loaded_ = false;
    bool sound_ = true;
    EndRecord end_;
    uint64_t prefix_ = 0;
    CZipFile* owner_;
    std::vector<CZipFileHeader*> headers_;
    std::multimap<CString, CZipFileHeader*, NameLess> nameIndex_;
    // The headers as their records were read, until the name index is built.
    std::vector<CZipFileHeader*> recordOrder_;
    bool indexed_ = true;
};
