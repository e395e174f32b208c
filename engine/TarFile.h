#pragma once
#include "EngineApi.h"
#include "ZipString.h"
#include "os/Os.h"

#include <cstdint>
#include <vector>

// Lists and reads the members of an uncompressed tar file, as written by the
// ustar, GNU and pax formats. Nothing is ever written to a tar file.
class PACKROOK_ENGINE_API CTarFile {
public:
    CTarFile();
    ~CTarFile();
    CTarFile(const CTarFile&) = delete;
    CTarFile& operator=(const CTarFile&) = delete;

    bool open(const CString& path);
    long getFileCount() const;
    uint64_t getUncompressedSize(int index) const;
    uint64_t getCompressedSize(int index) const;
    CString getFileName(int index) const;
    CString getPath(int index) const;
    CString getAttributes(int index) const;

    bool openFile(int index);
    uint32_t readFile(void* buffer, uint32_t size);
    bool closeFile(int index);
    CString getCurrentOpenFilePath() const;
    CString getCurrentOpenFileFileName() const;

private:
    struct Member {
        CString name;        // folders end in "/"
        uint64_t size;       // 0 for folders, links and devices: they carry no content
        uint64_t dataOffset;
    };
    struct Block;

    void closeHandle();
    void scan(uint64_t fileSize);
    void listMember(const Block& block, uint64_t size, uint64_t dataOffset, CString& longName);
    void readNamingData(const Block& block, uint64_t size, CString& longName);
    CString readData(uint32_t size);
    static bool getoct(const char* field, int length, uint64_t& value);
    static bool getSize(const char* field, uint64_t& size);

    std::vector<Member> members_;
    os::FileHandle file_;
    int32_t current_ = -1;
    uint64_t delivered_ = 0;
};
