#pragma once
// The cryptography of AES archives, from a maintained provider: the system's
// own bcrypt on Windows, libgcrypt elsewhere. Nothing here knows the zip
// format; ZipAes builds the archive's counter mode and checks on top.
#include "../ZipString.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace os {

// False when the system's random source gives nothing.
bool randomBytes(void* buffer, size_t count);

// PBKDF2 with HMAC-SHA1 over the password's bytes as they are.
bool pbkdf2Sha1(const CString& password, const unsigned char* salt, size_t saltLength, uint32_t iterations,
                unsigned char* key, size_t keyLength);

// AES with a 128-, 192- or 256-bit key, block by block: what a counter mode
// encrypts its counters with.
class AesBlocks {
public:
    static constexpr size_t kBlockSize = 16;

    AesBlocks(const unsigned char* key, size_t keyLength);
    ~AesBlocks();
    AesBlocks(const AesBlocks&) = delete;
    AesBlocks& operator=(const AesBlocks&) = delete;

    bool good() const { return state_ != nullptr; }
    // In place; length is a multiple of the block size.
    bool encrypt(unsigned char* blocks, size_t length);

private:
    struct State;
    std::unique_ptr<State> state_;
};

class HmacSha1 {
public:
    static constexpr size_t kDigestSize = 20;

    HmacSha1(const unsigned char* key, size_t keyLength);
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    bool good() const { return state_ != nullptr; }
    bool update(const void* data, size_t length);
    // kDigestSize bytes; the object is spent afterwards.
    bool finish(unsigned char* digest);

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace os
