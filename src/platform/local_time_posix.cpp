// The clock and local calendar time on POSIX systems.

#include "platform/file_search.h"

#include "platform/calendar_fields.h"

#include <ctime>

PointInTime now()
{
    timespec clock;
    clock_gettime(CLOCK_REALTIME, &clock);
    return clock.tv_sec;
}

namespace {

// A local calendar day without a change of UTC offset in it: every point in time
// of [start, start + 86400) lies on this date, at (time - start) seconds past midnight.
struct CachedDay {
    PointInTime start;
    int year;
    int month;
    int day;
};

// Files of a directory mostly share a few dates, so the last days converted are
// kept; a day on which the offset changes is never kept and always converted anew.
CachedDay cachedDays[4];
int cachedDayCount = 0;
int nextCachedDay = 0;

bool sameLocalDay(const std::tm& a, const std::tm& b)
{
    return a.tm_year == b.tm_year && a.tm_yday == b.tm_yday && a.tm_gmtoff == b.tm_gmtoff;
}

// Remembers the day of time when midnight and the day's last second share its offset.
void rememberDay(PointInTime time, const std::tm& fields)
{
    const PointInTime start = time - (fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec);
    const std::time_t first = static_cast<std::time_t>(start);
    const std::time_t last = static_cast<std::time_t>(start + 86399);
    std::tm atFirst;
    std::tm atLast;
    if (localtime_r(&first, &atFirst) == nullptr || localtime_r(&last, &atLast) == nullptr)
        return;
    if (!sameLocalDay(atFirst, fields) || !sameLocalDay(atLast, fields) || atFirst.tm_hour != 0 || atFirst.tm_min != 0
        || atFirst.tm_sec != 0 || atLast.tm_hour != 23 || atLast.tm_min != 59 || atLast.tm_sec != 59)
        return;
    cachedDays[nextCachedDay] =
        CachedDay{.start = start, .year = fields.tm_year + 1900, .month = fields.tm_mon + 1, .day = fields.tm_mday};
    nextCachedDay = (nextCachedDay + 1) % 4;
    if (cachedDayCount < 4)
        ++cachedDayCount;
}

bool fromCachedDay(PointInTime time, LocalDateTime& local)
{
    for (int i = 0; i < cachedDayCount; ++i) {
        const CachedDay& cached = cachedDays[i];
        if (time >= cached.start && time - cached.start < 86400) {
            const auto seconds = static_cast<int>(time - cached.start);
            local = LocalDateTime{.year = cached.year,
                                  .month = cached.month,
                                  .day = cached.day,
                                  .hour = seconds / 3600,
                                  .minute = seconds % 3600 / 60};
            return true;
        }
    }
    return false;
}

} // namespace

bool localDateTime(PointInTime time, LocalDateTime& local)
{
    if (time < 0)
        return false;
    if (fromCachedDay(time, local))
        return true;
    const std::time_t value = static_cast<std::time_t>(time);
    std::tm fields;
    if (localtime_r(&value, &fields) == nullptr || !calendarFields(fields, local))
        return false;
    rememberDay(time, fields);
    return true;
}
