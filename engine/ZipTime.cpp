#include "ZipTime.h"

#include "os/Os.h"

namespace {
bool isLeapYear(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}
} // namespace

bool storedTimeToSeconds(uint16_t date, uint16_t time, std::time_t& seconds)
{
    std::tm local = {};
    local.tm_year = 80 + (date >> 9);
    local.tm_mon = ((date >> 5) & 15) - 1;
    local.tm_mday = date & 31;
    local.tm_hour = time >> 11;
    local.tm_min = (time >> 5) & 63;
    local.tm_sec = (time & 31) * 2;
    local.tm_isdst = -1;
    if (local.tm_mon < 0 || local.tm_mon > 11 || local.tm_mday < 1 ||
        local.tm_mday > daysInMonth(1900 + local.tm_year, local.tm_mon + 1) || local.tm_hour > 23 ||
        local.tm_min > 59 || local.tm_sec > 59)
        return false;
    seconds = std::mktime(&local);
    return seconds != static_cast<std::time_t>(-1);
}

bool applyStoredTime(const CString& path, const CZipFileHeader& header)
{
    std::time_t seconds;
    return storedTimeToSeconds(header.modificationDate, header.modificationTime, seconds) &&
           os::setFileModificationTime(path, seconds);
}
