// Traditional zip encryption: a 96-bit key state driven by the password and
// the plain bytes, and a 12-byte header in front of each entry's data.
#include "ZipFile.h"

#include "ZipBytes.h"

#include <cstdlib>
#include <ctime>

uint32_t CZipFile::CryptCRC32(uint32_t crc, char c)
{
    static const z_crc_t* table = get_crc_table();
    return table[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
}

void CZipFile::CryptUpdateKeys(char c)
{
    keys_[0] = CryptCRC32(keys_[0], c);
    keys_[1] = (keys_[1] + (keys_[0] & 0xFF)) * 134775813u + 1;
    keys_[2] = CryptCRC32(keys_[2], static_cast<char>(keys_[1] >> 24));
}

char CZipFile::CryptDecryptByte() const
{
    const uint32_t t = (keys_[2] & 0xFFFD) | 2;
    return static_cast<char>(((t * (t ^ 1)) >> 8) & 0xFF);
}

void CZipFile::CryptEncode(char& c)
{
    const char t = CryptDecryptByte();
    CryptUpdateKeys(c);
    c = static_cast<char>(c ^ t);
}

void CZipFile::CryptDecode(char& c)
{
    c = static_cast<char>(c ^ CryptDecryptByte());
    CryptUpdateKeys(c);
}

// A password obtained here stays the archive's password for later entries.
void CZipFile::requirePassword()
{
    if (password_.empty() && !callback_->askForPassword(password_))
        throw CZipException("Password not set for file");
}

void CZipFile::CryptInitKeys()
{
    requirePassword();
    keys_[0] = 0x12345678;
    keys_[1] = 0x23456789;
    keys_[2] = 0x34567890;
    for (char c : password_)
        CryptUpdateKeys(c);
}

void CZipFile::CryptEncodeBuffer(CZipBuffer& buffer, uint32_t count)
{
    if (!getCurrentOpenFile() || !getCurrentOpenFile()->IsEncrypted() || getCurrentOpenFile()->isAes())
        return;
    char* bytes = buffer;
    for (uint32_t i = 0; i < count; ++i)
        CryptEncode(bytes[i]);
}

// The entry's input not yet handed out, decrypted in place.
void CZipFile::CryptDecodeBuffer()
{
    if (!getCurrentOpenFile() || !getCurrentOpenFile()->IsEncrypted() || getCurrentOpenFile()->isAes())
        return;
    char* bytes = reinterpret_cast<char*>(stream_.next_in);
    for (uInt i = 0; i < stream_.avail_in; ++i)
        CryptDecode(bytes[i]);
}

void CZipFile::CryptCryptHeader(uint32_t check, CZipBuffer& buffer)
{
    CryptInitKeys();
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    char* header = buffer;
    for (uint32_t i = 0; i < zipbytes::kEncryptionHeaderSize - 2; ++i) {
        const int random = std::rand();
        char plain = static_cast<char>((random >> 6) & 0xFF);
        if (plain == 0)
            plain = static_cast<char>(random & 0xFF);
        CryptEncode(plain);
        header[i] = plain;
    }
    header[10] = static_cast<char>((check >> 16) & 0xFF);
    header[11] = static_cast<char>((check >> 24) & 0xFF);
    CryptEncode(header[10]);
    CryptEncode(header[11]);
}

// Takes the encryption header, already decrypted, from the entry's input.
bool CZipFile::CryptCheck()
{
    char header[zipbytes::kEncryptionHeaderSize];
    if (!takeInput(header, sizeof header))
        return false;
    const CZipFileHeader* entry = getCurrentOpenFile();
    const uint32_t expected = entry->IsDataDescr() ? (entry->modificationTime >> 8) & 0xFF : entry->getCRC() >> 24;
    return static_cast<unsigned char>(header[zipbytes::kEncryptionHeaderSize - 1]) == expected;
}
