// The run's two process-wide records and today's day number.
#pragma once

#include <cstddef>
#include <cstdint>

// The pattern buffer's size: a pattern of at most 199 characters and its end.
inline constexpr std::size_t patternCapacity = 200;

// Which timestamp of a file is judged and shown.
enum class TimeBasis { LastWrite, Creation };

// Written by the option scan before the first sweep, read-only afterwards except
// for pattern, which holds the pattern being swept.
struct RunSettings {
    std::int32_t maxAgeDays; // 0 while unset; at least 1 once the run starts
    TimeBasis timeBasis;
    bool quiet;
    bool testRun;
    char pattern[patternCapacity]; // the pattern being swept
};

// The run's counters, added to by every sweep at its end.
struct RunTotals {
    std::int32_t patternsSwept;
    std::int32_t filesFound;
    std::int32_t filesDeleted;
    std::int32_t filesFailed;
};

extern RunSettings runSettings;
extern RunTotals runTotals;

// Day number of today's local date, fixed once at start.
extern std::int32_t todayDay;

// The age limit that applies when none is given.
inline constexpr std::int32_t defaultMaxAgeDays = 31;
