// The AES format's own pieces, shared by reading and writing: its extra
// block and the per-entry cipher.
#include "ZipAes.h"

#include "ZipBytes.h"
#include "ZipExtra.h"

#include <algorithm>

namespace zipaes {

namespace {
constexpr uint32_t kIterations = 1000;
constexpr size_t kBlockDataSize = 7;
// Counters are encrypted this many blocks at a time.
constexpr size_t kKeyStreamBlocks = 4096;

std::vector<unsigned char> deriveKeys(const CString& password, const Settings& settings, const unsigned char* salt)
{
    std::vector<unsigned char> keys(2 * settings.keySize() + kVerifierSize);
    if (!os::pbkdf2Sha1(password, salt, settings.saltSize(), kIterations, keys.data(), keys.size()))
        keys.clear();
    return keys;
}
}

CString Settings::block() const
{
    char data[kBlockDataSize];
    zipbytes::put16(data, vendorVersion);
    data[2] = 'A';
    data[3] = 'E';
    data[4] = static_cast<char>(strength);
    zipbytes::put16(data + 5, method);
    return CString(data, kBlockDataSize);
}

bool parse(const CString& extra, Settings& settings)
{
    CString data;
    if (!zipextra::find(extra, kExtraTag, data) || data.size() < kBlockDataSize || data[2] != 'A' || data[3] != 'E')
        return false;
    settings.vendorVersion = zipbytes::get16(data.data());
    settings.strength = static_cast<uint8_t>(data[4]);
    settings.method = zipbytes::get16(data.data() + 5);
    return (settings.vendorVersion == kKeepsCrc || settings.vendorVersion == kNoCrc) && settings.strength >= 1
           && settings.strength <= 3;
}

Cipher::Cipher(const CString& password, const Settings& settings, const unsigned char* salt)
    : Cipher(deriveKeys(password, settings, salt), settings.keySize())
{
}

// The derivation gives the encryption key, the authentication key and the
// verifier, one after the other.
Cipher::Cipher(const std::vector<unsigned char>& keys, uint32_t keySize)
    : aes_(keys.data(), keys.empty() ? 0 : keySize),
      hmac_(keys.empty() ? nullptr : keys.data() + keySize, keys.empty() ? 0 : keySize),
      keyStream_(kKeyStreamBlocks * os::AesBlocks::kBlockSize)
{
    good_ = !keys.empty() && aes_.good() && hmac_.good();
    if (good_) {
        verifier_[0] = keys[2 * keySize];
        verifier_[1] = keys[2 * keySize + 1];
    }
    keyStreamUsed_ = keyStream_.size();
}

bool Cipher::encrypt(char* data, size_t count)
{
    return !finished_ && applyKeyStream(data, count) && hmac_.update(data, count);
}

bool Cipher::decrypt(char* data, size_t count)
{
    return !finished_ && hmac_.update(data, count) && applyKeyStream(data, count);
}

// Asked again, it gives the same code.
bool Cipher::code(unsigned char* out)
{
    if (!finished_ && !hmac_.finish(digest_))
        return false;
    finished_ = true;
    std::copy(digest_, digest_ + kCodeSize, out);
    return true;
}

bool Cipher::applyKeyStream(char* data, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        if (keyStreamUsed_ == keyStream_.size() && !refillKeyStream())
            return false;
        data[i] = static_cast<char>(data[i] ^ keyStream_[keyStreamUsed_++]);
    }
    return true;
}

// The counter runs from 1 and is stored little-endian in the block's first
// eight bytes, the rest zero.
bool Cipher::refillKeyStream()
{
    for (size_t at = 0; at < keyStream_.size(); at += os::AesBlocks::kBlockSize) {
        char* block = reinterpret_cast<char*>(keyStream_.data() + at);
        zipbytes::put64(block, ++counter_);
        zipbytes::put64(block + 8, 0);
    }
    keyStreamUsed_ = 0;
    return aes_.encrypt(keyStream_.data(), keyStream_.size());
}

} // namespace zipaes
