// Runs fegaus.exe as a Windows process and captures its output byte for byte;
// makes files with chosen sizes and times. Dates are reckoned here by plain
// arithmetic in zones without daylight time, apart from the C runtime's rules.
#pragma once

#include "../expected_text.h"
#include "../temp_dir.h"
#include "platform/test_hooks_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// A file time counts 100-nanosecond ticks from 1601-01-01 00:00:00 UTC.
inline constexpr std::int64_t ticksPerSecond = 10'000'000;
inline constexpr std::int64_t ticksBefore1970 = 116'444'736'000'000'000;

// The file time of seconds since 1970 (UTC).
FILETIME fileTimeOf(std::int64_t seconds);

// A time zone as TZ names it, and its offset east of UTC in seconds.
struct Zone {
    const char* tz;
    int offset;
};

// The zone every run uses unless a test names another: UTC+1 all year.
extern const Zone testZone;

struct RunResult {
    std::string out;
    unsigned long status;
};

// Runs fegaus.exe with the given command-line tail (quoted as a user would type
// it) in directory cwd (or the current one), with TZ set to the zone.
RunResult runFegaus(const std::string& arguments, const std::string& cwd = "", const Zone& zone = testZone);

// Today's date in the zone, as days since 1970-01-01.
std::int64_t todayIn(const Zone& zone);

// Seconds since 1970 (UTC) of the given local time of day, daysAgo days before
// today in the zone.
std::int64_t localTimeDaysAgo(int daysAgo, int hour, int minute, const Zone& zone = testZone);

// "07.03.2007" for a day given as days since 1970-01-01.
std::string dateText(std::int64_t day);

// Seconds since 1970 (UTC) of local noon daysAgo days back in the test zone.
std::int64_t noonDaysAgo(int daysAgo);

// Creates a file of the given size last written at local noon daysAgo days back,
// as the Linux harness does: a case copied from there makes the same file.
void makeFile(const std::string& path, int daysAgo, long long size = 0);

// Creates a file of the given size, last written (and created) at writeTime, in
// seconds since 1970.
void makeFileWrittenAt(const std::string& path, std::int64_t writeTime, std::uint64_t size = 0);

// Marks a file read-only.
void makeReadOnly(const std::string& path);

// Removal cases, each run over the listing with file IDs, which Wine gives, and
// over the one without, where a file's times and size prove it the one listed.
class Removal : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { startSearchesWithoutFileIds(GetParam()); }
    void TearDown() override { startSearchesWithoutFileIds(false); }
};
