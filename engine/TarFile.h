#pragma once
#include "ZipString.h"
#include "os/Os.h"

#include <cstdint>
#include <vector>

// Lists and reads the members of an uncompressed tar file, as written by the
// ustar, GNU and pax formats. Nothing is ever written to a tar file.
class CTarFile {
public:
    CTarFile();
    ~CTarFile();
    CTarFile(const CTarFile&) = delete;
    CTarFile& operator=(const CTarFile&) = delete;

    bool open(const CString& path);
    long getFileCount() const;
    uint32_t getUncompressedSize(int index) const;
    uint32_t getCompressedSize(int index) const { return getUncompressedSize(index); }
    CString getFileName(int index) const;
    CString getPath(int index) const;
    CString getAttributes(int) const { return CString(); }

    bool openFile(unsigned short index);
    uint32_t readFile(void* buffer, uint32_t size);
    bool closeFile(unsigned short index);
    CString getCurrentOpenFilePath() const;
    CString getCurrentOpenFileFileName() const;

private:
    struct Member {
        CString name;        // folders end in "/"
        uint32_t size;       // 0 for folders, links and devices: they carry no content
        uint32_t dataOffset;
    };
    struct Block;

    void closeHandle();
    void scan();
    void readNamingData(const Block& block, uint32_t size, CString& longName);
    CString readData(uint32_t size);
    uint32_t getoct(const char* field, int length) const;

    std::vector<Member> members_;
    os::FileHandle file_;
    int32_t current_ = -1;
    uint32_t delivered_ = 0;
};
