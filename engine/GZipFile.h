#pragma once
#include "EngineApi.h"
#include "ZipString.h"

#include <zlib.h>

#include <cstdint>

// Presents a gzip file as an archive with one member: its decompressed content.
class PACKROOK_ENGINE_API CGZipFile {
public:
    CGZipFile();
    ~CGZipFile();
    CGZipFile(const CGZipFile&) = delete;
    CGZipFile& operator=(const CGZipFile&) = delete;

    // False when the file cannot be opened at all; a file that is not gzip
    // data opens and reads through unchanged.
    bool open(const CString& path);
    long getFileCount() const;
    uint64_t getCompressedSize(int index) const;
    // The trailer keeps the content's size modulo 2^32, as gzip does.
    uint64_t getUncompressedSize(int index) const;
    CString getFileName(int index) const;
    CString getPath(int index) const;
    CString getAttributes(int index) const;

    bool openFile(int index);
    uint32_t readFile(void* buffer, uint32_t size);
    bool closeFile(int index);
    CString getCurrentOpenFileFileName() const;
    CString getCurrentOpenFilePath() const;

private:
    void closeStream();
    void measure();

    bool open_ = false;
    gzFile stream_ = nullptr;
    CString path_;
    uint64_t fileSize_ = 0;
    uint64_t contentSize_ = 0;
};
