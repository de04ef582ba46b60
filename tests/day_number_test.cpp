#include "sweep/day_number.h"

#include <gtest/gtest.h>

TEST(DayNumber, KnownDates)
{
    EXPECT_EQ(dayNumber(1, 1, 2000), 2451545);
    EXPECT_EQ(dayNumber(1, 1, 1970), 2440588);
    EXPECT_EQ(dayNumber(15, 10, 1582), 2299161); // first day of the Gregorian calendar
    EXPECT_EQ(dayNumber(31, 12, 9999), 5373484);
}

TEST(DayNumber, CountsCalendarDaysAcrossMonthsYearsAndLeapDays)
{
    EXPECT_EQ(dayNumber(1, 3, 2007) - dayNumber(28, 2, 2007), 1);
    EXPECT_EQ(dayNumber(1, 3, 2008) - dayNumber(28, 2, 2008), 2);
    EXPECT_EQ(dayNumber(1, 3, 2000) - dayNumber(28, 2, 2000), 2); // 2000 is a leap year
    EXPECT_EQ(dayNumber(1, 3, 2100) - dayNumber(28, 2, 2100), 1); // 2100 is not
    EXPECT_EQ(dayNumber(1, 1, 2027) - dayNumber(31, 12, 2026), 1);
    EXPECT_EQ(dayNumber(1, 1, 2039) - dayNumber(1, 1, 2038), 365);
    EXPECT_EQ(dayNumber(1, 1, 2025) - dayNumber(1, 1, 2024), 366);
}

TEST(DayNumber, EveryDayOfFourCenturiesFollowsTheDayBefore)
{
    static constexpr int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int expected = dayNumber(1, 1, 1970);
    for (int year = 1970; year < 2370; ++year) {
        const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
        for (int month = 1; month <= 12; ++month) {
            const int days = monthDays[month - 1] + (month == 2 && leap ? 1 : 0);
            for (int day = 1; day <= days; ++day, ++expected)
                ASSERT_EQ(dayNumber(day, month, year), expected) << day << '.' << month << '.' << year;
        }
    }
}
