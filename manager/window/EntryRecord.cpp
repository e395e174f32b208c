#include "EntryRecord.h"

#include <windows.h>

namespace {
constexpr DWORD kTextComparison = NORM_IGNORECASE;

int compareText(const CString& first, const CString& second)
{
    const int result = ::CompareStringA(LOCALE_USER_DEFAULT, kTextComparison, first.c_str(),
                                        static_cast<int>(first.size()), second.c_str(),
                                        static_cast<int>(second.size()));
    return result == 0 ? 0 : result - CSTR_EQUAL;
}

int compareNumbers(uint64_t first, uint64_t second)
{
    return first < second ? -1 : (first > second ? 1 : 0);
}
} // namespace

uint64_t ratioPercent(uint64_t compressed, uint64_t uncompressed)
{
    return compressed * 100 / (uncompressed == 0 ? 1 : uncompressed);
}

CString columnText(const EntryRecord& record, int column)
{
    switch (column) {
    case kColumnName:
        return record.name;
    case kColumnCompressed:
        return std::to_string(record.compressedSize);
    case kColumnUncompressed:
        return std::to_string(record.uncompressedSize);
    case kColumnRatio:
        return std::to_string(ratioPercent(record.compressedSize, record.uncompressedSize)) + "%";
    case kColumnAttributes:
        return record.attributes;
    case kColumnCrc:
        return std::to_string(record.crc);
    case kColumnPath:
        return record.path;
    default:
        return CString();
    }
}

int compareEntryRecords(const EntryRecord& first, const EntryRecord& second, int column)
{
    switch (column) {
    case kColumnCompressed:
        return compareNumbers(first.compressedSize, second.compressedSize);
    case kColumnUncompressed:
        return compareNumbers(first.uncompressedSize, second.uncompressedSize);
    case kColumnRatio:
        return compareNumbers(ratioPercent(first.compressedSize, first.uncompressedSize),
                              ratioPercent(second.compressedSize, second.uncompressedSize));
    case kColumnCrc:
        return compareNumbers(first.crc, second.crc);
    case kColumnAttributes:
        return compareText(first.attributes, second.attributes);
    case kColumnPath:
        return compareText(first.path, second.path);
    default:
        return compareText(first.name, second.name);
    }
}

bool isTextColumn(int column)
{
    return column == kColumnName || column == kColumnAttributes || column == kColumnPath;
}

CString sortKey(const EntryRecord& record, int column)
{
    const CString text = columnText(record, column);
    if (text.empty())
        return CString();
    const int length = static_cast<int>(text.size());
    const int size = ::LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | kTextComparison, text.c_str(), length,
                                    nullptr, 0);
    CString key(static_cast<size_t>(size), '\0');
    ::LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | kTextComparison, text.c_str(), length, key.data(), size);
    // The key ends with a zero byte, which compares no differently.
    if (!key.empty())
        key.pop_back();
    return key;
}

int compareSortKeys(const CString& first, const CString& second)
{
    const int result = first.compare(second);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}
