#pragma once
// One row of the entry list, and how rows compare and show their ratio.
#include "ZipString.h"

#include <cstdint>

struct EntryRecord {
    CString name;
    uint64_t compressedSize = 0;
    uint64_t uncompressedSize = 0;
    CString attributes;
    CString path;
    uint32_t crc = 0;
    int entryIndex = 0;
};

enum EntryColumn {
    kColumnName = 0,
    kColumnCompressed,
    kColumnUncompressed,
    kColumnRatio,
    kColumnAttributes,
    kColumnCrc,
    kColumnPath,
    kColumnCount
};

// Compressed size in percent of the uncompressed size; an empty entry
// counts as one byte, so a stored empty entry with a 2-byte stream is 200%.
uint64_t ratioPercent(uint64_t compressed, uint64_t uncompressed);
CString columnText(const EntryRecord& record, int column);

// Names, attributes and paths compare by locale ignoring case, numbers by
// value; the ratio is compared as the rounded-down percentage shown.
int compareEntryRecords(const EntryRecord& first, const EntryRecord& second, int column);

// The columns that compare as text can compare through sort keys made once
// per row: two keys compare as their texts do.
bool isTextColumn(int column);
CString sortKey(const EntryRecord& record, int column);
int compareSortKeys(const CString& first, const CString& second);
