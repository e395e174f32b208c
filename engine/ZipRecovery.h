#pragma once
// Reading an archive whose directory is gone (a change cut short while the
// directory was being rewritten, a copy broken off) from its local headers.
#include "ZipFileHeader.h"

#include <cstdint>
#include <memory>
#include <vector>

class CZipFile;

namespace ziprecovery {

struct Entry {
    std::unique_ptr<CZipFileHeader> header;
    // Where the entry's bytes end: behind its data, or its data descriptor.
    uint64_t end = 0;
};

struct Search {
    std::vector<Entry> entries;
    // Where the search stopped before the end of the file, its work spent;
    // -1 when it looked through the whole file.
    int64_t unsearchedFrom = -1;
};

// Every entry, in file order, whose local header makes sense and whose data
// is all there: data in the clear must match its CRC and sizes; encrypted
// data, and data of a method this system cannot undo, must fill the sizes
// exactly up to the next record or the end of the file. Work stays within a
// few passes over the file, whatever it holds; when that is spent, the search
// ends where it is.
Search findEntries(CZipFile& archive);

} // namespace ziprecovery
