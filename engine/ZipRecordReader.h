#pragma once
#include "ZipBuffer.h"

#include <cstdint>

class CZipFile;

// Hands out the directory's records from one buffer, reading on from the
// archive as they are used up: a directory of any size costs a read per
// buffer, not several per record.
class CZipRecordReader {
public:
    CZipRecordReader(CZipFile& owner, CZipBuffer& buffer) : owner_(owner), buffer_(buffer) {}
    CZipRecordReader(const CZipRecordReader&) = delete;
    CZipRecordReader& operator=(const CZipRecordReader&) = delete;

    // The next count bytes, valid until the next call; null when the file
    // (the disk in the drive, for a spanned set) ends first.
    const char* next(uint32_t count);
    // Every byte read from the file has been handed out.
    bool drained() const { return begin_ == end_; }

private:
    CZipFile& owner_;
    CZipBuffer& buffer_;
    uint32_t begin_ = 0;
    uint32_t end_ = 0;
};
