#pragma once
#include "ZipFileHeader.h"
#include "ZipString.h"

#include <cstdint>
#include <map>
#include <vector>

class CZipFile;

// The directory of a zip archive: the entries in archive order, an index by
// stored name, and the end record with the archive comment. The engine
// rewrites all of it at the end of the file after every change.
class CZipCentralDir {
public:
    struct EndRecord {
        uint32_t signature = 0;
        int32_t distanceFromEnd = 0;
        uint16_t thisDisk = 0;
        uint16_t startDisk = 0;
        uint16_t recordsOnThisDisk = 0;
        uint16_t totalRecords = 0;
        uint32_t size = 0;
        uint32_t offset = 0;
        uint16_t commentLength = 0;
        CString comment;
    };

    explicit CZipCentralDir(CZipFile* owner);
    ~CZipCentralDir();
    CZipCentralDir(const CZipCentralDir&) = delete;
    CZipCentralDir& operator=(const CZipCentralDir&) = delete;

    bool parseCentralDir();
    int getHeaderCount() const { return static_cast<int>(headers_.size()); }
    const CZipFileHeader* getFileHeader(long index) const { return headers_[static_cast<size_t>(index)]; }
    CZipFileHeader* getFileHeader(long index) { return headers_[static_cast<size_t>(index)]; }
    const CZipFileHeader* getCurrentOpenFile() const { return current_; }
    CZipFileHeader* getFileFromName(const CString& storedName);
    CZipFileHeader* addNewFileHeader(const CString& storedName);
    // storedSize: the bytes the entry occupied in the file, by which every
    // entry behind it and the directory move towards the front.
    void RemoveFile(CZipFileHeader* header, int index, uint32_t storedSize);
    void close();
    void RemoveFromDisk();
    void write();
    uint32_t WriteCentralEnd();
    CString getGlobalComment() const { return end_.comment; }
    void setGlobalComment(const CString& comment) { end_.comment = comment; }
    const EndRecord& endRecord() const { return end_; }
    bool isLoaded() const { return loaded_; }
    uint32_t GetSize(bool withRecords) const;

    void openFile(int index);
    void closeFile() { current_ = nullptr; }

private:
    struct NameLess {
        bool operator()(const CString& a, const CString& b) const;
    };

    uint32_t locateCD() const;
    void readEndRecord(uint32_t distance);
    void ReadHeaders();
    void nextDiskAtItsEnd();
    void SortHeaders();
    void indexName(CZipFileHeader* header);
    void unindex(CZipFileHeader* header);
    void removeHeaders();
    void RemoveAll();
    void WriteHeaders();
    CString corruptMessage(const char* text) const;

    CZipFileHeader* current_ = nullptr;
    bool loaded_ = false;
    EndRecord end_;
    CZipFile* owner_;
    std::vector<CZipFileHeader*> headers_;
    std::map<CString, CZipFileHeader*, NameLess> nameIndex_;
};
