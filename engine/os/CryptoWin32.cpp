#include "Crypto.h"

#include <windows.h>
// windows.h first: bcrypt.h uses its types.
#include <bcrypt.h>

namespace os {

namespace {
// The providers are opened once and kept open for the life of the process,
// never closed: a close from the program's exit handlers would reach bcrypt
// while the process is already being taken down.
BCRYPT_ALG_HANDLE openProvider(LPCWSTR algorithm, ULONG flags, LPCWSTR chaining)
{
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(&handle, algorithm, nullptr, flags)))
        return nullptr;
    if (chaining
        && !BCRYPT_SUCCESS(::BCryptSetProperty(handle, BCRYPT_CHAINING_MODE,
                                               reinterpret_cast<PUCHAR>(const_cast<LPWSTR>(chaining)),
                                               static_cast<ULONG>((::lstrlenW(chaining) + 1) * sizeof(WCHAR)), 0))) {
        ::BCryptCloseAlgorithmProvider(handle, 0);
        return nullptr;
    }
    return handle;
}

BCRYPT_ALG_HANDLE hmacSha1()
{
    static const BCRYPT_ALG_HANDLE provider = openProvider(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG, nullptr);
    return provider;
}

BCRYPT_ALG_HANDLE aesEcb()
{
    static const BCRYPT_ALG_HANDLE provider = openProvider(BCRYPT_AES_ALGORITHM, 0, BCRYPT_CHAIN_MODE_ECB);
    return provider;
}

PUCHAR bytes(const void* data)
{
    return static_cast<PUCHAR>(const_cast<void*>(data));
}
}

bool randomBytes(void* buffer, size_t count)
{
    return BCRYPT_SUCCESS(
        ::BCryptGenRandom(nullptr, bytes(buffer), static_cast<ULONG>(count), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

bool pbkdf2Sha1(const CString& password, const unsigned char* salt, size_t saltLength, uint32_t iterations,
                unsigned char* key, size_t keyLength)
{
    return hmacSha1()
           && BCRYPT_SUCCESS(::BCryptDeriveKeyPBKDF2(hmacSha1(), bytes(password.data()),
                                                     static_cast<ULONG>(password.size()), bytes(salt),
                                                     static_cast<ULONG>(saltLength), iterations, key,
                                                     static_cast<ULONG>(keyLength), 0));
}

struct AesBlocks::State {
    BCRYPT_KEY_HANDLE key;
};

AesBlocks::AesBlocks(const unsigned char* key, size_t keyLength)
{
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (aesEcb()
        && BCRYPT_SUCCESS(::BCryptGenerateSymmetricKey(aesEcb(), &handle, nullptr, 0, bytes(key),
                                                       static_cast<ULONG>(keyLength), 0)))
        state_.reset(new State{handle});
}

AesBlocks::~AesBlocks()
{
    if (state_)
        ::BCryptDestroyKey(state_->key);
}

bool AesBlocks::encrypt(unsigned char* blocks, size_t length)
{
    ULONG done = 0;
    return state_
           && BCRYPT_SUCCESS(::BCryptEncrypt(state_->key, blocks, static_cast<ULONG>(length), nullptr, nullptr, 0,
                                             blocks, static_cast<ULONG>(length), &done, 0))
           && done == length;
}

struct HmacSha1::State {
    BCRYPT_HASH_HANDLE hash;
};

HmacSha1::HmacSha1(const unsigned char* key, size_t keyLength)
{
    BCRYPT_HASH_HANDLE handle = nullptr;
    if (hmacSha1()
        && BCRYPT_SUCCESS(::BCryptCreateHash(hmacSha1(), &handle, nullptr, 0, bytes(key),
                                             static_cast<ULONG>(keyLength), 0)))
        state_.reset(new State{handle});
}

HmacSha1::~HmacSha1()
{
    if (state_)
        ::BCryptDestroyHash(state_->hash);
}

bool HmacSha1::update(const void* data, size_t length)
{
    return state_ && BCRYPT_SUCCESS(::BCryptHashData(state_->hash, bytes(data), static_cast<ULONG>(length), 0));
}

bool HmacSha1::finish(unsigned char* digest)
{
    return state_ && BCRYPT_SUCCESS(::BCryptFinishHash(state_->hash, digest, kDigestSize, 0));
}

} // namespace os
