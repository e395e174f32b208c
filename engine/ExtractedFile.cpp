#include "ExtractedFile.h"

#include "ZipBuffer.h"
#include "ZipException.h"
#include "ZipFile.h"

ExtractedFile::ExtractedFile(const CString& path)
    : path_(path), file_(os::openFile(path, os::OpenMode::CreateForWriting))
{
    if (file_ == os::kInvalidFile)
        throw CZipLastErrorException("Couldn't open file for writing out extraction " + path);
}

ExtractedFile::~ExtractedFile()
{
    os::closeFile(file_);
    if (!finished_)
        os::removeFile(path_);
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
