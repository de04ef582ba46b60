// Calendar ages on a pinned "today": midnight, the limit's edge, daylight-saving
// changes. The tool runs under faketime, which moves only its clock.

#include "harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Runs the tool with its clock frozen at the given local time of the test zone.
RunResult runAt(const std::string& localTime, std::vector<std::string> args, const std::string& cwd)
{
    args.insert(args.begin(), {localTime, FEGAUS_EXE});
    return runFegaus(args, {.cwd = cwd, .launcher = "/usr/bin/faketime"});
}

class Calendar : public testing::Test {
protected:
    void SetUp() override
    {
        if (std::system("faketime -f '+0' true >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "faketime is not installed";
    }

    // A file of one byte last written at the given UTC second.
    void file(const std::string& name, long long utcSeconds)
    {
        makeFile(dir / name, 0, 1);
        setWriteTime(dir / name, utcSeconds);
    }

    std::string listing(const std::string& now, const std::string& limit)
    {
        return runAt(now, {"-T", "-L=" + limit, "*.log"}, dir.path()).out;
    }

    TempDir dir;
};

bool has(const std::string& out, const std::string& row)
{
    return out.find(row) != std::string::npos;
}

} // namespace

TEST_F(Calendar, AgesCountCalendarDaysNotPeriodsOfADay)
{
    file("late.log", 1773529140);  // 2026-03-14 23:59 CET
    file("early.log", 1773529230); // 2026-03-15 00:00:30 CET
    const std::string out = listing("2026-03-15 00:01:00", "1");
    EXPECT_TRUE(has(out, "TST 14.03.2026 23:59      1          1 late.log\n")) << out;
    EXPECT_FALSE(has(out, "early.log")) << out;
    EXPECT_TRUE(has(out, "    1 Datei ist \x84lter als 1 Tage.\n")) << out;
}

TEST_F(Calendar, TheLimitIsReachedOnItsDayAndNotBefore)
{
    file("day31.log", 1773140400);                                // 2026-03-10 12:00 CET
    file("day30.log", 1773226800);                                // 2026-03-11 12:00 CET
    const std::string out = listing("2026-04-10 08:00:00", "31"); // today in summer time
    EXPECT_TRUE(has(out, "TST 10.03.2026 12:00     31          1 day31.log\n")) << out;
    EXPECT_FALSE(has(out, "day30.log")) << out;
}

// A file keeps the date and time of its own season, whenever it is judged: in
// summer a winter file written at 23:30 is not pushed into the next day, and in
// winter a summer file written just after midnight is not a day older.
TEST_F(Calendar, EachFileKeepsTheOffsetOfItsOwnDate)
{
    file("winter.log", 1768084200); // 2026-01-10 23:30 CET
    file("summer.log", 1783809000); // 2026-07-12 00:30 CEST
    const std::string inSummer = listing("2026-08-11 12:00:00", "1");
    EXPECT_TRUE(has(inSummer, "TST 10.01.2026 23:30    213          1 winter.log\n")) << inSummer;
    EXPECT_TRUE(has(inSummer, "TST 12.07.2026 00:30     30          1 summer.log\n")) << inSummer;
    const std::string inWinter = listing("2026-12-07 12:00:00", "148");
    EXPECT_TRUE(has(inWinter, "TST 12.07.2026 00:30    148          1 summer.log\n")) << inWinter;
}

TEST_F(Calendar, DaysOfTheClockChangesKeepTheirDates)
{
    // Spring forward on 29 March 2026 at 02:00 CET, fall back on 25 October at 03:00 CEST.
    file("a-before.log", 1774738740);  // 28.03. 23:59 CET
    file("b-winter.log", 1774744200);  // 29.03. 01:30 CET
    file("c-summer.log", 1774747800);  // 29.03. 03:30 CEST
    file("d-evening.log", 1774821540); // 29.03. 23:59 CEST
    file("e-next.log", 1774821660);    // 30.03. 00:01 CEST
    file("f-first.log", 1792888200);   // 25.10. 02:30 CEST
    file("g-again.log", 1792891800);   // 25.10. 02:30 CET
    file("h-night.log", 1792969140);   // 25.10. 23:59 CET
    const std::string out = listing("2026-12-07 12:00:00", "1");
    for (const char* row :
         {"28.03.2026 23:59    254          1 a-before.log", "29.03.2026 01:30    253          1 b-winter.log",
          "29.03.2026 03:30    253          1 c-summer.log", "29.03.2026 23:59    253          1 d-evening.log",
          "30.03.2026 00:01    252          1 e-next.log", "25.10.2026 02:30     43          1 f-first.log",
          "25.10.2026 02:30     43          1 g-again.log", "25.10.2026 23:59     43          1 h-night.log"})
        EXPECT_TRUE(has(out, std::string("TST ") + row + "\n")) << row << '\n' << out;
}

// Under another zone both today and every file's date move with it: the file
// written just after midnight in summer time is a day earlier, and older, in UTC.
TEST_F(Calendar, TodayAndFileDatesFollowTheSameZone)
{
    file("a.log", 1773529140);      // 2026-03-14 22:59 UTC, 23:59 CET
    file("summer.log", 1783809000); // 2026-07-11 22:30 UTC, 00:30 CEST
    const auto inUtc = [this](const char* now) {
        return runFegaus({now, FEGAUS_EXE, "-T", "-L=1", "*.log"},
                         {.cwd = dir.path(), .env = {"TZ=UTC0"}, .launcher = "/usr/bin/faketime"})
            .out;
    };
    const std::string march = inUtc("2026-03-15 00:30:00");
    EXPECT_TRUE(has(march, "TST 14.03.2026 22:59      1          1 a.log\n")) << march;
    const std::string august = inUtc("2026-08-11 12:00:00");
    EXPECT_TRUE(has(august, "TST 11.07.2026 22:30     31          1 summer.log\n")) << august;
}

TEST_F(Calendar, DatesBeyond2038)
{
    file("a.log", 2240644200); // 2041-01-01 10:10 CET
    const std::string out = listing("2041-03-01 12:00:00", "59");
    EXPECT_TRUE(has(out, "TST 01.01.2041 10:10     59          1 a.log\n")) << out;
}
