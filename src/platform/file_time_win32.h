// How the Windows layer reads a file time: 100-nanosecond ticks since
// 1601-01-01 00:00:00 UTC, the unit of FILETIME and of the native interfaces.
#pragma once

#include "platform/file_search.h"

#include <windows.h>

#include <cstdint>

// The ticks a FILETIME holds.
[[nodiscard]] inline std::uint64_t ticksOf(const FILETIME& time)
{
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// A file time in ticks as a point in time, in whole seconds rounded down. A zero
// time was never recorded, and a time before 1970 has no date either: both are
// noTime.
[[nodiscard]] inline PointInTime pointInTimeOf(std::uint64_t ticks)
{
    constexpr std::uint64_t ticksPerSecond = 10'000'000;
    constexpr std::uint64_t ticksBefore1970 = 116'444'736'000'000'000;
    if (ticks < ticksBefore1970)
        return noTime;
    return static_cast<PointInTime>((ticks - ticksBefore1970) / ticksPerSecond);
}

[[nodiscard]] inline PointInTime pointInTimeOf(const FILETIME& time)
{
    return pointInTimeOf(ticksOf(time));
}
