// Reading AES entries: the password checked against the verifier before any
// data is read, the data decrypted as it comes in, and the authentication
// code behind it compared once the entry has been read.
#include "ZipFile.h"

#include <algorithm>

// False for a wrong password, or an entry too short to hold what the
// encryption puts in front of and behind its data.
bool CZipFile::AesOpenEntry()
{
    const CZipFileHeader* header = getCurrentOpenFile();
    zipaes::Settings settings;
    if (!header->aesSettings(settings) || header->compressedSize < settings.overhead())
        return false;
    requirePassword();
    unsigned char front[16 + zipaes::kVerifierSize];
    const uint32_t frontSize = settings.saltSize() + zipaes::kVerifierSize;
    if (!takeInput(reinterpret_cast<char*>(front), frontSize))
        return false;
    auto cipher = std::make_unique<zipaes::Cipher>(password_, settings, front);
    if (!cipher->good())
        throw CZipException("Encryption problem " + header->getFileName());
    if (!std::equal(front + settings.saltSize(), front + frontSize, cipher->verifier()))
        return false;
    aes_ = std::move(cipher);
    aesDataLeft_ = header->compressedSize - settings.overhead();
    aesCodeRead_.clear();
    AesDecodeInput();
    return true;
}

// The input not yet handed out: encrypted bytes decrypted in place, the
// code behind them taken out of it.
void CZipFile::AesDecodeInput()
{
    char* input = reinterpret_cast<char*>(stream_.next_in);
    const uint32_t data = static_cast<uint32_t>(std::min<uint64_t>(stream_.avail_in, aesDataLeft_));
    if (!aes_->decrypt(input, data))
        throw CZipException("Encryption problem " + currentName());
    aesDataLeft_ -= data;
    aesCodeRead_.append(input + data, stream_.avail_in - data);
    stream_.avail_in = data;
}

// Reads what the decompression left of the entry, so that the code covers
// every encrypted byte, and the code itself.
bool CZipFile::AesCodeMatches()
{
    stream_.avail_in = 0;
    while (refillInput())
        stream_.avail_in = 0;
    unsigned char computed[zipaes::kCodeSize];
    return aes_->code(computed) && aesCodeRead_.size() == zipaes::kCodeSize
           && std::equal(computed, computed + zipaes::kCodeSize, aesCodeRead_.begin(),
                         [](unsigned char a, char b) { return a == static_cast<unsigned char>(b); });
}
