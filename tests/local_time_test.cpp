// The local calendar time of file timestamps: localDateTime keeps the last few
// days it converted, and every answer must still be the one the zone's rules give,
// above all on the days the UTC offset changes and on the days next to them.

#include "platform/file_search.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>

namespace {

struct Zone {
    const char* name;
    const char* rules; // a TZ value
};

// Seconds between two points of the walk: not a divisor of an hour or a day, so
// the walk passes every minute of the day and every changeover from both sides.
constexpr PointInTime step = 17 * 60 + 23;

// Compares localDateTime with the C library for every step over two years, and
// each time also for a point some days back, so that several remembered days are
// in play at once. Ends the process: status 0 when all agree, 1 at the first that
// does not (which it names).
[[noreturn]] void compareOverTwoYears(const char* rules)
{
    setenv("TZ", rules, 1);
    tzset();
    const PointInTime first = 1735689600; // 2025-01-01 00:00 UTC
    const PointInTime last = first + 2 * 366 * 86400;
    for (PointInTime time = first; time < last; time += step) {
        for (const PointInTime probe : {time, time - 5 * 86400 + 3 * step}) {
            const std::time_t value = static_cast<std::time_t>(probe);
            std::tm fields;
            localtime_r(&value, &fields);
            LocalDateTime local{};
            if (!localDateTime(probe, local) || local.year != fields.tm_year + 1900 || local.month != fields.tm_mon + 1
                || local.day != fields.tm_mday || local.hour != fields.tm_hour || local.minute != fields.tm_min) {
                std::fprintf(stderr, "%lld: %04d-%02d-%02d %02d:%02d, expected %04d-%02d-%02d %02d:%02d\n",
                             static_cast<long long>(probe), local.year, local.month, local.day, local.hour,
                             local.minute, fields.tm_year + 1900, fields.tm_mon + 1, fields.tm_mday, fields.tm_hour,
                             fields.tm_min);
                std::exit(1);
            }
        }
    }
    std::exit(0);
}

void PrintTo(const Zone& zone, std::ostream* out)
{
    *out << zone.name;
}

class LocalTime : public testing::TestWithParam<Zone> {};

// Each zone runs in a process of its own: the remembered days belong to the zone
// a process started with.
TEST_P(LocalTime, RemembersDaysOnlyWhereTheZoneRulesAgree)
{
#ifdef FEGAUS_EMULATED
    // A program run by a user-mode emulator cannot start itself again; the
    // forked child starts from this process, which ctest began for this test
    // alone, so it too has no day remembered yet.
    GTEST_FLAG_SET(death_test_style, "fast");
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#endif
    EXPECT_EXIT(compareOverTwoYears(GetParam().rules), testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalTime,
                         testing::Values(Zone{"CentralEurope", "CET-1CEST,M3.5.0,M10.5.0/3"},
                                         Zone{"EasternAmerica", "EST5EDT,M3.2.0,M11.1.0"},
                                         Zone{"HalfHourChange", "<+1030>-10:30<+11>-11,M10.1.0,M4.1.0"},
                                         Zone{"ChangeAtMidnight", "<-04>4<-03>,M9.1.6/24,M4.1.6/24"},
                                         Zone{"ChangeAtMidnightByDay", "<+0330>-3:30<+0430>,J79/24,J263/24"},
                                         Zone{"NoDaylightTime", "<+0545>-5:45"}),
                         [](const testing::TestParamInfo<Zone>& test) { return std::string(test.param.name); });

} // namespace
