// The last step of a local-time conversion, the same on every platform.
#pragma once

#include "platform/file_search.h"

#include <ctime>

// Takes the fields of a broken-down local time; false for a year the tool gives
// no date (before 1970, or past 9999, which the four-digit date column cannot show).
[[nodiscard]] inline bool calendarFields(const std::tm& fields, LocalDateTime& local)
{
    const int year = fields.tm_year + 1900;
    if (year < 1970 || year > 9999)
        return false;
    local = LocalDateTime{.year = year,
                          .month = fields.tm_mon + 1,
                          .day = fields.tm_mday,
                          .hour = fields.tm_hour,
                          .minute = fields.tm_min};
    return true;
}
