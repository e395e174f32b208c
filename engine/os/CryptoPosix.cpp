#include "Crypto.h"

#include <gcrypt.h>
#include <sys/random.h>

#include <algorithm>
#include <cerrno>

namespace os {

namespace {
// libgcrypt wants one initialisation per process before any other call. The
// engine keeps no secrets in locked memory, so that pool is not set up.
bool libraryReady()
{
    static const bool ready = [] {
        if (!gcry_check_version(GCRYPT_VERSION))
            return false;
        gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
        gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        return true;
    }();
    return ready;
}

int aesAlgorithm(size_t keyLength)
{
    switch (keyLength) {
    case 16:
        return GCRY_CIPHER_AES128;
    case 24:
        return GCRY_CIPHER_AES192;
    case 32:
        return GCRY_CIPHER_AES256;
    default:
        return GCRY_CIPHER_NONE;
    }
}
}

bool randomBytes(void* buffer, size_t count)
{
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (count > 0) {
        const ssize_t got = getrandom(bytes, count, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bytes += got;
        count -= static_cast<size_t>(got);
    }
    return true;
}

bool pbkdf2Sha1(const CString& password, const unsigned char* salt, size_t saltLength, uint32_t iterations,
                unsigned char* key, size_t keyLength)
{
    return libraryReady()
           && gcry_kdf_derive(password.data(), password.size(), GCRY_KDF_PBKDF2, GCRY_MD_SHA1, salt, saltLength,
                              iterations, keyLength, key)
                  == 0;
}

struct AesBlocks::State {
    gcry_cipher_hd_t handle;
};

AesBlocks::AesBlocks(const unsigned char* key, size_t keyLength)
{
    gcry_cipher_hd_t handle = nullptr;
    if (!libraryReady() || gcry_cipher_open(&handle, aesAlgorithm(keyLength), GCRY_CIPHER_MODE_ECB, 0) != 0)
        return;
    if (gcry_cipher_setkey(handle, key, keyLength) != 0) {
        gcry_cipher_close(handle);
        return;
    }
    state_.reset(new State{handle});
}

AesBlocks::~AesBlocks()
{
    if (state_)
        gcry_cipher_close(state_->handle);
}

bool AesBlocks::encrypt(unsigned char* blocks, size_t length)
{
    return state_ && gcry_cipher_encrypt(state_->handle, blocks, length, nullptr, 0) == 0;
}

struct HmacSha1::State {
    gcry_md_hd_t handle;
};

HmacSha1::HmacSha1(const unsigned char* key, size_t keyLength)
{
    gcry_md_hd_t handle = nullptr;
    if (!libraryReady() || gcry_md_open(&handle, GCRY_MD_SHA1, GCRY_MD_FLAG_HMAC) != 0)
        return;
    if (gcry_md_setkey(handle, key, keyLength) != 0) {
        gcry_md_close(handle);
        return;
    }
    state_.reset(new State{handle});
}

HmacSha1::~HmacSha1()
{
    if (state_)
        gcry_md_close(state_->handle);
}

bool HmacSha1::update(const void* data, size_t length)
{
    if (!state_)
        return false;
    gcry_md_write(state_->handle, data, length);
    return true;
}

bool HmacSha1::finish(unsigned char* digest)
{
    const unsigned char* value = state_ ? gcry_md_read(state_->handle, GCRY_MD_SHA1) : nullptr;
    if (!value)
        return false;
    std::copy(value, value + kDigestSize, digest);
    return true;
}

} // namespace os
