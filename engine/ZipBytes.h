#pragma once
// Little-endian fields of the zip records.
#include <cstdint>

namespace zipbytes {

inline uint16_t get16(const char* p)
{
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

inline uint32_t get32(const char* p)
{
    return get16(p) | (static_cast<uint32_t>(get16(p + 2)) << 16);
}

inline void put16(char* p, uint16_t value)
{
    p[0] = static_cast<char>(value & 0xFF);
    p[1] = static_cast<char>(value >> 8);
}

inline void put32(char* p, uint32_t value)
{
    put16(p, static_cast<uint16_t>(value & 0xFFFF));
    put16(p + 2, static_cast<uint16_t>(value >> 16));
}

constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kDescriptorSignature = 0x08074B50;

constexpr uint32_t kCentralRecordSize = 46;
constexpr uint32_t kLocalRecordSize = 30;
constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kDescriptorSize = 16;
constexpr uint32_t kEncryptionHeaderSize = 12;

} // namespace zipbytes
