#include "ExtractedFile.h"

#include "ZipBuffer.h"
#include "ZipException.h"
#include "ZipFile.h"
#include "ZipTime.h"

#include <chrono>
#include <cstdio>
#include <random>

namespace {
// A name taken by somebody else's file passes to the next number; so many
// taken in a row tell of something else gone wrong.
constexpr int kNameAttempts = 100;
constexpr char kTemporaryStart[] = "~packrook-";

CString randomHex()
{
    std::random_device device;
    const uint64_t random = (static_cast<uint64_t>(device()) << 32) ^ device()
                            ^ static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(random));
    return text;
}

CString lastComponent(const CString& path)
{
    return path.substr(path.find_last_of("/\\") + 1);
}

bool anyNameBegins(const std::vector<CString>& targets, const CString& prefix)
{
    const CString key = os::nameKey(prefix);
    for (const CString& target : targets)
        if (os::nameKey(lastComponent(target)).compare(0, key.size(), key) == 0)
            return true;
    return false;
}
} // namespace

TemporaryNames::TemporaryNames(const std::vector<CString>& targets)
{
    do
        prefix_ = kTemporaryStart + randomHex() + "-";
    while (anyNameBegins(targets, prefix_));
}

CString TemporaryNames::next(const CString& folder)
{
    return folder + prefix_ + std::to_string(number_++) + ".tmp";
}

TemporaryNames& TemporaryNames::ofThisProgram()
{
    static TemporaryNames names;
    return names;
}

ExtractedFile::ExtractedFile(const CString& path, TemporaryNames& names) : path_(path)
{
    createTemporary(names);
}

// In the target's folder, so that taking its name is a rename on one volume.
void ExtractedFile::createTemporary(TemporaryNames& names)
{
    const CString folder = path_.substr(0, path_.find_last_of("/\\") + 1);
    for (int attempt = 0; attempt < kNameAttempts && file_ == os::kInvalidFile; ++attempt) {
        temporary_ = names.next(folder);
        file_ = os::createTemporaryFile(temporary_);
        if (file_ == os::kInvalidFile && os::lastError() != os::kErrorFileExists)
            break;
    }
    if (file_ == os::kInvalidFile)
        throw CZipLastErrorException("Couldn't open file for writing out extraction " + path_);
}

ExtractedFile::~ExtractedFile()
{
    if (!finished_)
        os::discardTemporaryFile(file_, temporary_);
}

void ExtractedFile::write(const char* bytes, uint32_t count)
{
    uint32_t written = 0;
    if (!os::writeFile(file_, bytes, count, written) || written != count)
        throw CZipLastErrorException("Failed to write out extraction " + path_);
}

void ExtractedFile::finish()
{
    takeTargetName();
    finished_ = true;
}

void ExtractedFile::takeTargetName()
{
    if (os::nameTemporaryFile(file_, temporary_, path_, false))
        return;
    if (os::lastError() != os::kErrorFileExists)
        throw CZipLastErrorException("Couldn't open file for writing out extraction " + path_);
    if (!os::flushFile(file_))
        throw CZipLastErrorException("Failed to write out extraction " + path_);
    if (!os::nameTemporaryFile(file_, temporary_, path_, true))
        throw CZipLastErrorException("Couldn't open file for writing out extraction " + path_);
}

void extractOpenEntry(CZipFile& archive, const CString& path, CZipBuffer& buffer, TemporaryNames& names)
{
    ExtractedFile output(path, names);
    uint32_t got;
    do {
        got = archive.readFile(buffer, buffer.size());
        if (got)
            output.write(buffer, got);
    } while (got == buffer.size());
    output.finish();
}

OpenEntry::OpenEntry(CZipFile& archive, int index) : archive_(archive), index_(index)
{
    try {
        archive_.openFile(index_);
    } catch (...) {
        archive_.closeFile(index_);
        throw;
    }
}

OpenEntry::~OpenEntry()
{
    archive_.closeFile(index_);
}

void OpenEntry::readToEnd(CZipBuffer& buffer)
{
    while (archive_.readFile(buffer, buffer.size()) == buffer.size()) {
    }
}

void extractEntryTo(CZipFile& archive, int index, const CString& path, CZipBuffer& buffer, TemporaryNames& names)
{
    OpenEntry entry(archive, index);
    extractOpenEntry(archive, path, buffer, names);
    if (!archive.isTarMode() && !archive.isGzipMode())
        applyStoredTime(path, *archive.getFileHeader(index));
}
