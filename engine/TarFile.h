#pragma once
#include "ZipString.h"
#include "os/Os.h"

#include <cstdint>
#include <vector>

// Lists and reads the members of an uncompressed tar file. Nothing is ever
// written to a tar file.
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
    os::FileHandle file_;
};
