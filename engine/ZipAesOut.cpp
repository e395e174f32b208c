// Writing AES entries (AE-2, 256-bit keys): the records name method 99 and
// carry the real one in the AES block, the data gets a salt of its own and
// the verifier in front, the authentication code behind, and no CRC is
// stored.
#include "ZipFile.h"

#include "ZipExtra.h"

#include <algorithm>

namespace {
zipaes::Settings writtenSettings()
{
    zipaes::Settings settings;
    settings.vendorVersion = zipaes::kNoCrc;
    settings.strength = zipaes::kStrength256;
    settings.method = Z_DEFLATED;
    return settings;
}
}

void CZipFile::AesPrepareHeader(CZipFileHeader& header) const
{
    const zipaes::Settings settings = writtenSettings();
    header.flags |= CZipFileHeader::kFlagEncrypted;
    header.method = zipaes::kMethod;
    header.versionNeeded = std::max(header.versionNeeded, zipaes::kVersionNeeded);
    header.versionMadeBy = std::max(header.versionMadeBy, zipaes::kVersionNeeded);
    header.extraField = zipextra::replace(header.extraField, zipaes::kExtraTag, settings.block());
    header.compressedSize = settings.saltSize() + zipaes::kVerifierSize;
}

// Salt and verifier go in front of the data.
void CZipFile::AesStartEntry(os::FileHandle target)
{
    const zipaes::Settings settings = writtenSettings();
    unsigned char* front = reinterpret_cast<unsigned char*>(static_cast<char*>(outputBuffer_));
    if (!os::randomBytes(front, settings.saltSize()))
        throw CZipLastErrorException("Encryption problem " + currentName());
    aes_ = std::make_unique<zipaes::Cipher>(password_, settings, front);
    if (!aes_->good())
        throw CZipException("Encryption problem " + currentName());
    std::copy(aes_->verifier(), aes_->verifier() + zipaes::kVerifierSize, front + settings.saltSize());
    writeEntryData(settings.saltSize() + zipaes::kVerifierSize, target);
}

// The code goes behind the data. AE-2 keeps the CRC out of the records: with
// it, the small files that AES protects could be guessed from their records.
void CZipFile::AesFinishEntry(CZipFileHeader& header, os::FileHandle target)
{
    if (!aes_->code(reinterpret_cast<unsigned char*>(static_cast<char*>(outputBuffer_))))
        throw CZipException("Encryption problem " + currentName());
    writeEntryData(zipaes::kCodeSize, target);
    header.compressedSize += zipaes::kCodeSize;
    header.crc32 = 0;
    aes_.reset();
}
