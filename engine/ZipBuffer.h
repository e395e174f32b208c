#pragma once
#include "EngineApi.h"
#include <cstdint>

// An owned block of bytes whose size never changes; bulk copies work in
// chunks of this size so that no loop allocates per chunk.
class PACKROOK_ENGINE_API CZipBuffer {
public:
    static constexpr uint32_t kDefaultSize = 1000000;

    explicit CZipBuffer(uint32_t size = kDefaultSize);
    ~CZipBuffer();
    CZipBuffer(const CZipBuffer&) = delete;
    CZipBuffer& operator=(const CZipBuffer&) = delete;

    void reset();
    uint32_t size() const;
    operator char*();
    operator const char*() const;

private:
    uint32_t size_;
    char* data_;
};
