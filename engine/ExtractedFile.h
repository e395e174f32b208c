#pragma once
// The file an entry is extracted to. It is written under a temporary name
// beside its target and takes the target's name only once it is finished:
// an entry that fails (bad data, a wrong password, a full disk) leaves no
// beginning behind, and a file the entry was to replace stays as it was.
#include "ZipString.h"
#include "os/Os.h"

#include <atomic>
#include <cstdint>
#include <vector>

class CZipBuffer;
class CZipFile;

// The temporary names of one extraction: "~packrook-" and a random part no
// target's name begins with, then a number each file takes once. No entry
// of the extraction can name them, and no other writer counts the same.
class TemporaryNames {
public:
    explicit TemporaryNames(const std::vector<CString>& targets = {});
    TemporaryNames(const TemporaryNames&) = delete;
    TemporaryNames& operator=(const TemporaryNames&) = delete;

    CString next(const CString& folder);
    // For a writer that plans nothing ahead: the random part stands alone.
    static TemporaryNames& ofThisProgram();

private:
    CString prefix_;
    std::atomic<uint64_t> number_{1};
};

class ExtractedFile {
public:
    ExtractedFile(const CString& path, TemporaryNames& names);
    ~ExtractedFile();
    ExtractedFile(const ExtractedFile&) = delete;
    ExtractedFile& operator=(const ExtractedFile&) = delete;

    void write(const char* bytes, uint32_t count);
    // Puts the file in the target's place. A file it replaces is replaced
    // only once the new one is on the disk, so that a crash leaves the old
    // content or the new; a new file takes its name at once.
    void finish();

private:
    void createTemporary(TemporaryNames& names);
    void takeTargetName();

    CString path_;
    CString temporary_;
    os::FileHandle file_ = os::kInvalidFile;
    bool finished_ = false;
};

// Writes the archive's open entry to path through buffer: whole, or not at all.
void extractOpenEntry(CZipFile& archive, const CString& path, CZipBuffer& buffer,
                      TemporaryNames& names = TemporaryNames::ofThisProgram());

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
void extractEntryTo(CZipFile& archive, int index, const CString& path, CZipBuffer& buffer, TemporaryNames& names);
