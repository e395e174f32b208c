#pragma once
// The modification time an entry stores, given back to the file that is
// extracted from it.
#include "ZipFileHeader.h"
#include "ZipString.h"

#include <cstdint>
#include <ctime>

// The stored date and time fields read in the machine's time zone, as the
// archive's writer meant them; false when they are not a valid date.
bool storedTimeToSeconds(uint16_t date, uint16_t time, std::time_t& seconds);

// Gives the file at path the entry's stored time; a file whose entry stores
// no valid date keeps the time it has.
bool applyStoredTime(const CString& path, const CZipFileHeader& header);
