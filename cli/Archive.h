#pragma once
// What the commands share: opening an archive and naming its entries.
#include "ZipFile.h"
#include "ZipPaths.h"

#include <string>

// Opens an existing archive or throws a message that says why it is not one.
void openExisting(CZipFile& archive, const std::string& path);
void requireWritable(const CZipFile& archive, const std::string& path);

// The entry's name inside the archive, with forward slashes.
std::string entryName(const CZipFile& archive, int index);
