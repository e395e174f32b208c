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

inline uint64_t get64(const char* p)
{
    return get32(p) | (static_cast<uint64_t>(get32(p + 4)) << 32);
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

inline void put64(char* p, uint64_t value)
{
    put32(p, static_cast<uint32_t>(value & 0xFFFFFFFF));
    put32(p + 4, static_cast<uint32_t>(value >> 32));
}

constexpr uint32_t kCentralSignature = 0x02014B50;
constexpr uint32_t kLocalSignature = 0x04034B50;
constexpr uint32_t kEndSignature = 0x06054B50;
constexpr uint32_t kDescriptorSignature = 0x08074B50;
constexpr uint32_t kZip64EndSignature = 0x06064B50;
constexpr uint32_t kZip64LocatorSignature = 0x07064B50;

constexpr uint32_t kCentralRecordSize = 46;
constexpr uint32_t kLocalRecordSize = 30;
constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kDescriptorSize = 16;
constexpr uint32_t kEncryptionHeaderSize = 12;
constexpr uint32_t kZip64EndRecordSize = 56;
constexpr uint32_t kZip64LocatorSize = 20;
constexpr uint32_t kZip64DescriptorSize = 24;

// A 32-bit size or offset of all ones, or a 16-bit count or disk number of
// all ones, says that the value lives in the ZIP64 records.
constexpr uint32_t kZip64Marker32 = 0xFFFFFFFF;
constexpr uint16_t kZip64Marker16 = 0xFFFF;
// What reading and writing ZIP64 records means to peers: version 4.5.
constexpr uint16_t kZip64Version = 45;

} // namespace zipbytes
