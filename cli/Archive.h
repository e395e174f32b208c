#pragma once
// What the commands share: opening an archive and naming its entries.
#include "ZipFile.h"
#include "ZipPaths.h"

#include <filesystem>
#include <string>

// Opens an existing archive or throws a message that says why it is not one.
void openExisting(CZipFile& archive, const std::string& path);
void requireWritable(const CZipFile& archive, const std::string& path);

// The entry's name inside the archive, with forward slashes, as far as it
// is shown: up to a zero byte. Extraction judges and makes that name.
std::string entryName(const CZipFile& archive, int index);

// Paths between the engine's spelling (the ANSI code page on Windows, the
// file system's bytes elsewhere) and std::filesystem, which would read a
// narrow string its own way. A name the code page cannot hold is refused.
std::filesystem::path toPath(const std::string& name);
std::string fromPath(const std::filesystem::path& path);

// An entry open for reading; closed however the reading ends.
class OpenEntry {
public:
    OpenEntry(CZipFile& archive, int index);
    ~OpenEntry() { archive_.closeFile(index_); }
    OpenEntry(const OpenEntry&) = delete;
    OpenEntry& operator=(const OpenEntry&) = delete;

    // Reads the entry to its end through buffer, which is what makes the
    // engine check its CRC.
    void readToEnd(CZipBuffer& buffer);

private:
    CZipFile& archive_;
    int index_;
};
