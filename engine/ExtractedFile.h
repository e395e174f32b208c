#pragma once
// The file an entry is extracted to. It is written under a temporary name
// beside its target and takes the target's name only once it is finished:
// an entry that fails (bad data, a wrong password, a full disk) leaves no
// beginning behind, and a file the entry was to replace stays as it was.
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
    // late still counts against the file; then puts it in the target's place.
    void finish();

private:
    void createTemporary();

    CString path_;
    CString temporary_;
    os::FileHandle file_ = os::kInvalidFile;
    bool finished_ = false;
};

// Writes the archive's open entry to path through buffer: whole, or not at all.
void extractOpenEntry(CZipFile& archive, const CString& path, CZipBuffer& buffer);

// An entry open for reading; closed however the reading ends.
class OpenEntry {
public:
    OpenEntry(CZipFile& archive, int index);
    ~OpenEntry();
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;

    // Reads the entry to its end through buffer, which is what makes the
    // engine check its CRC.
    void readToEnd(CZipBuffer& buffer);

private:
    CZipFile& archive_;
    int index_;
};

// Extracts entry index to path through buffer, whole or not at all, with the
// time a zip entry stores (tar members and gzip files have none to give).
void extractEntryTo(CZipFile& archive, int index, const CString& path, CZipBuffer& buffer);
