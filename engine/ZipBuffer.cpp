#include "ZipBuffer.h"

#include <cstdlib>
#include <new>

namespace {
char* allocateBlock(uint32_t size)
{
    // malloc(0) may return null; a one-byte block keeps "null means failure" true.
    void* block = std::malloc(size ? size : 1);
    if (!block)
        throw std::bad_alloc();
    return static_cast<char*>(block);
}
}

CZipBuffer::CZipBuffer(uint32_t size) : size_(size), data_(allocateBlock(size)) {}

CZipBuffer::~CZipBuffer()
{
    std::free(data_);
    size_ = 0;
}

void CZipBuffer::reset()
{
    std::free(data_);
    data_ = nullptr;
    data_ = allocateBlock(size_);
}

uint32_t CZipBuffer::size() const
{
    return size_;
}

CZipBuffer::operator char*()
{
    return data_;
}

CZipBuffer::operator const char*() const
{
    return data_;
}
