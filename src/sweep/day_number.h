// Day numbers: ages are differences of them, so they count calendar days.
#pragma once

#include <cstdint>

// The Julian Day Number of a Gregorian date (month 1 to 12, full year).
[[nodiscard]] constexpr std::int32_t dayNumber(std::int32_t day, std::int32_t month, std::int32_t year)
{
    // Integer division truncates toward zero, as the classic formula wants.
    const std::int32_t a = (month - 14) / 12; // -1 for January and February, else 0
    return (1461 * (year + 4800 + a)) / 4 + (367 * (month - 2 - 12 * a)) / 12 - (3 * ((year + 4900 + a) / 100)) / 4
           + day - 32075;
}
