// The clock and local calendar time on Windows, over kernel32 and the C runtime.

#include "platform/file_search.h"

#include "platform/calendar_fields.h"
#include "platform/file_time_win32.h"

#include <windows.h>

#include <ctime>

PointInTime now()
{
    FILETIME clock;
    GetSystemTimeAsFileTime(&clock);
    return pointInTimeOf(clock);
}

// The C runtime applies TZ when it is set, the system's zone otherwise, and in
// either case the daylight rule in force at the given date, not today's: a
// file's date does not move when the clocks change.
bool localDateTime(PointInTime time, LocalDateTime& local)
{
    if (time < 0)
        return false;
    const __time64_t value = time;
    std::tm fields;
    return _localtime64_s(&fields, &value) == 0 && calendarFields(fields, local);
}
