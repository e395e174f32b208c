#pragma once
// The AES encryption that current archivers share: compression method 99,
// the real method in an extra block 0x9901, keys made with PBKDF2-HMAC-SHA1
// from the password and a salt, AES in counter mode with a little-endian
// counter starting at 1, and a 10-byte HMAC-SHA1 code over the encrypted
// bytes behind them. An entry's data is salt, verifier, encrypted bytes and
// code; AE-1 keeps the CRC in the records, AE-2 stores none.
#include "ZipString.h"
#include "os/Crypto.h"

#include <cstdint>
#include <vector>

namespace zipaes {

constexpr uint16_t kMethod = 99;
constexpr uint16_t kExtraTag = 0x9901;
constexpr uint16_t kVersionNeeded = 51;
constexpr uint32_t kVerifierSize = 2;
constexpr uint32_t kCodeSize = 10;
constexpr uint16_t kKeepsCrc = 1;   // AE-1
constexpr uint16_t kNoCrc = 2;      // AE-2
constexpr uint8_t kStrength256 = 3; // 1, 2, 3: 128-, 192-, 256-bit keys

// What an entry's 0x9901 block says.
struct Settings {
    uint16_t vendorVersion = kNoCrc;
    uint8_t strength = kStrength256;
    uint16_t method = 0;

    bool keepsCrc() const { return vendorVersion == kKeepsCrc; }
    uint32_t saltSize() const { return 4 + 4 * strength; }
    uint32_t keySize() const { return 8 + 8 * strength; }
    // What the encryption adds to an entry's data.
    uint32_t overhead() const { return saltSize() + kVerifierSize + kCodeSize; }
    // The block's data, as the records carry it.
    CString block() const;
    // Bits, as users name the strength: 128, 192 or 256.
    int keyBits() const { return 64 + 64 * strength; }
};

// False when the extra field has no such block or one that makes no sense.
bool parse(const CString& extra, Settings& settings);

// One entry's keys at work: counter mode over its bytes in order, and the
// authentication code over the encrypted ones.
class Cipher {
public:
    Cipher(const CString& password, const Settings& settings, const unsigned char* salt);

    // False when the provider could not make the keys.
    bool good() const { return good_; }
    // The two bytes the key derivation gives beside the keys, which tell a
    // wrong password before any data is read.
    const unsigned char* verifier() const { return verifier_; }
    bool encrypt(char* data, size_t count);
    bool decrypt(char* data, size_t count);
    // kCodeSize bytes over everything encrypted or decrypted so far; the
    // cipher takes no more bytes afterwards.
    bool code(unsigned char* out);

private:
    Cipher(const std::vector<unsigned char>& keys, uint32_t keySize);
    bool applyKeyStream(char* data, size_t count);
    bool refillKeyStream();

    os::AesBlocks aes_;
    os::HmacSha1 hmac_;
    unsigned char verifier_[kVerifierSize] = {};
    bool good_ = false;
    uint64_t counter_ = 0;
    std::vector<unsigned char> keyStream_;
    size_t keyStreamUsed_ = 0;
    bool finished_ = false;
    unsigned char digest_[os::HmacSha1::kDigestSize] = {};
};

} // namespace zipaes
