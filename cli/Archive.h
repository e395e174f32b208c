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
