#include "ExtractedFile.h"

#include "ZipBuffer.h"
#include "ZipException.h"
#include "ZipFile.h"
#include "ZipTime.h"

namespace {
// Tries names until one is free; a name that is taken is no failure.
constexpr int kTemporaryNames = 1000;
}

ExtractedFile::ExtractedFile(const CString& path) : path_(path)
{
    createTemporary();
}

// In the target's folder, so that taking its name is a rename on one volume.
void ExtractedFile::createTemporary()
{
    const CString folder = path_.substr(0, path_.find_last_of("/\\") + 1);
    for (int number = 1; number <= kTemporaryNames; ++number) {
        temporary_ = folder + "~packrook" + std::to_string(number) + ".tmp";
        file_ = os::openFile(temporary_, os::OpenMode::CreateNew);
        // Another extraction into the same folder may have taken the name and
        // already given it up again: the system's answer tells it was taken.
        const bool taken = file_ == os::kInvalidFile
                           && (os::lastError() == os::kErrorFileExists
                               || os::fileAttributes(temporary_) != os::kNoAttributes);
        if (!taken)
            break;
    }
    if (file_ == os::kInvalidFile)
        throw CZipLastErrorException("Couldn't open file for writing out extraction " + path_);
}

ExtractedFile::~ExtractedFile()
{
    if (finished_)
        return;
    if (file_ != os::kInvalidFile)
        os::closeFile(file_);
    os::removeFile(temporary_);
}

void ExtractedFile::write(const char* bytes, uint32_t count)
{
    uint32_t written = 0;
    if (!os::writeFile(file_, bytes, count, written) || written != count)
        throw CZipLastErrorException("Failed to write out extraction " + path_);
}

void ExtractedFile::finish()
{
    if (!os::flushFile(file_))
        throw CZipLastErrorException("Failed to write out extraction " + path_);
    os::closeFile(file_);
    file_ = os::kInvalidFile;
    if (!os::replaceFile(temporary_, path_))
        throw CZipLastErrorException("Couldn't open file for writing out extraction " + path_);
    finished_ = true;
}

void extractOpenEntry(CZipFile& archive, const CString& path, CZipBuffer& buffer)
{
    ExtractedFile output(path);
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

void extractEntryTo(CZipFile& archive, int index, const CString& path, CZipBuffer& buffer)
{
    OpenEntry entry(archive, index);
    extractOpenEntry(archive, path, buffer);
    if (!archive.isTarMode() && !archive.isGzipMode())
        applyStoredTime(path, *archive.getFileHeader(index));
}
