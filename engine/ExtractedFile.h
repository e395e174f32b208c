#pragma once
// The file an entry is extracted to. Until it is finished it is only a
// beginning: a file left unfinished (bad data, a wrong password, a full disk)
// is deleted when it goes, so nothing that passes for a good copy stays behind.
#include "ZipString.h"
#include "os/Os.h"

#include <cstdint>

class CZipBuffer;
class CZipFile;

class ExtractedFile {
public:
    explicit ExtractedFile(const CString& path);
    ~ExtractedFile();
    ExtractedFile(const ExtractedFile&) = delete;
    ExtractedFile& operator=(const ExtractedFile&) = delete;

    void write(const char* bytes, uint32_t count);
    // Goes through to the disk first, so that a write the system fails only
    // late still counts against the file.
    void finish();

private:
    CString path_;
    os::FileHandle file_;
    bool finished_ = false;
};

// Writes the archive's open entry to path through buffer: whole, or not at all.
void extractOpenEntry(CZipFile& archive, const CString& path, CZipBuffer& buffer);
