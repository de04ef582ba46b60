// Whole runs of fegaus.exe as a Windows process: the report byte for byte, with
// "\r\n" line ends and Windows paths, and which files remain.

#include "harness.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>

namespace {

// Every case measures ages against today; one that ran across midnight says
// nothing and is skipped.
class Run : public testing::Test {
protected:
    void SetUp() override { startDay = todayIn(testZone); }
    void TearDown() override
    {
        if (todayIn(testZone) != startDay)
            GTEST_SKIP() << "the run crossed midnight";
    }

    TempDir dir;
    std::int64_t startDay = 0;
};

} // namespace

TEST_F(Run, TestRunListsWithWindowsPathsAndLineEnds)
{
    makeFile(dir / "a.log", 40, 0x123456789ULL);
    makeFile(dir / "b.log", 5, 1);
    makeFile(dir / "c.txt", 90, 1);
    const std::string pattern = dir / "*.log";
    const RunResult result = runFegaus("-T -L=30 " + pattern);
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(30) + patternHeader(pattern) + listingHeader()
                              + noonRow("TST", 40, 0x123456789ULL, "a.log") + countLines(1, 0, 0, 30));
    EXPECT_TRUE(exists(dir / "a.log"));
}

TEST_F(Run, DeletesOldFilesAndKeepsReadOnlyOnes)
{
    makeFile(dir / "old.log", 31, 12);
    makeFile(dir / "locked.log", 31, 3);
    makeFile(dir / "young.log", 30, 1);
    makeReadOnly(dir / "locked.log");
    const RunResult result = runFegaus((dir / "old.log") + " " + (dir / "locked.log") + " " + (dir / "young.log"));
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(result.out, banner() + headline(31) + patternHeader(dir / "old.log") + listingHeader()
                              + noonRow("DEL", 31, 12, "old.log") + countLines(1, 1, 0)
                              + patternHeader(dir / "locked.log") + listingHeader()
                              + noonRow("ERR", 31, 3, "locked.log") + countLines(1, 0, 1)
                              + patternHeader(dir / "young.log") + countLines(0, 0, 0) + summary(3, 2, 1, 1));
    EXPECT_FALSE(exists(dir / "old.log"));
    EXPECT_TRUE(exists(dir / "locked.log"));
    EXPECT_TRUE(exists(dir / "young.log"));
}

// How the command line is split: quotes are dropped, also inside an argument,
// blanks inside them stay, and wildcards reach the search unexpanded.
struct QuotingCase {
    const char* name;
    const char* arguments; // with {} for the test directory
    const char* pattern;   // as the report shows it, with {} again
};

void PrintTo(const QuotingCase& c, std::ostream* out)
{
    *out << c.arguments;
}

class Quoting : public Run, public testing::WithParamInterface<QuotingCase> {};

TEST_P(Quoting, PatternArrivesAsTyped)
{
    ASSERT_TRUE(CreateDirectoryA((dir / "mein verzeichnis").c_str(), nullptr));
    makeFile(dir / "mein verzeichnis\\alt.log", 50, 7);
    const auto expand = [&](std::string text) {
        for (std::size_t at; (at = text.find("{}")) != std::string::npos;)
            text.replace(at, 2, dir.path());
        return text;
    };
    const std::string pattern = expand(GetParam().pattern);
    const RunResult result = runFegaus("-T " + expand(GetParam().arguments), dir.path());
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(31) + patternHeader(pattern) + listingHeader()
                              + noonRow("TST", 50, 7, "alt.log") + countLines(1, 0, 0));
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, Quoting,
    testing::Values(QuotingCase{"QuotedWithBlank", "\"{}\\mein verzeichnis\\*.*\"", "{}\\mein verzeichnis\\*.*"},
                    QuotingCase{"QuotedInsideTextOption", "-F=\"{}\\mein verzeichnis\\*.log\"",
                                "{}\\mein verzeichnis\\*.log"},
                    QuotingCase{"QuotedStretchThenBackslash", "\"mein verzeichnis\"\\*.log", "mein verzeichnis\\*.log"},
                    QuotingCase{"QuotedWithSlash", "\"mein verzeichnis/a*\"", "mein verzeichnis/a*"}),
    [](const testing::TestParamInfo<QuotingCase>& test) { return test.param.name; });

TEST_F(Run, RelativeAndDriveRelativePatterns)
{
    makeFile(dir / "a.log", 60, 1);
    makeFile(dir / "b.log", 60, 2);
    const std::string drive = dir.path().substr(0, 2); // "C:"
    const RunResult result = runFegaus("-Q a.* " + drive + "b.log", dir.path());
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(exists(dir / "a.log"));
    EXPECT_FALSE(exists(dir / "b.log"));
}

TEST_F(Run, NothingFound)
{
    const std::string pattern = dir / "missing\\*.log";
    EXPECT_EQ(runFegaus(pattern).out, banner() + headline(31) + patternHeader(pattern) + nothingFound());
}

// The date of a file follows TZ: 23:30 UTC forty days back is a day later in a
// zone east of UTC+0:30, and its age one day less.
struct ZoneRunCase {
    const char* name;
    Zone zone;
    const char* time;
    int dayShift;
};

void PrintTo(const ZoneRunCase& c, std::ostream* out)
{
    *out << c.zone.tz;
}

class ZoneRun : public Run, public testing::WithParamInterface<ZoneRunCase> {};

TEST_P(ZoneRun, FileDatesFollowTz)
{
    const Zone utc{"GMT0", 0};
    const std::int64_t written = localTimeDaysAgo(40, 23, 30, utc);
    makeFileWrittenAt(dir / "a.log", written, 1);
    const ZoneRunCase& c = GetParam();
    const std::int64_t fileDay = todayIn(utc) - 40 + c.dayShift;
    const std::int64_t age = todayIn(c.zone) - fileDay;
    const std::string pattern = dir / "*.log";
    const RunResult result = runFegaus("-T -L=2 " + pattern, "", c.zone);
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(2) + patternHeader(pattern) + listingHeader()
                              + row("TST", dateText(fileDay), c.time, age, 1, "a.log") + countLines(1, 0, 0, 2));
}

INSTANTIATE_TEST_SUITE_P(Zones, ZoneRun,
                         testing::Values(ZoneRunCase{"Gmt", {"GMT0", 0}, "23:30", 0},
                                         ZoneRunCase{"MoscowNextDay", {"MSK-3", 3 * 3600}, "02:30", 1},
                                         ZoneRunCase{"NewYorkSameDay", {"EST5", -5 * 3600}, "18:30", 0}),
                         [](const testing::TestParamInfo<ZoneRunCase>& test) { return test.param.name; });

// Two quotes inside a quoted stretch give one and close the stretch, so the
// blank after them separates: the tool splits its command line by these rules
// itself, whatever the C runtime's own splitting would make of it.
TEST_F(Run, TwoQuotesInsideQuotesCloseTheStretch)
{
    const RunResult result = runFegaus("-T \"" + (dir / "a\"\"b c\""));
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(31) + patternHeader(dir / "a\"b") + nothingFound()
                              + patternHeader("c") + nothingFound() + summary(2, 0, 0, 0));
}

// The help screen ends the process from inside a print sequence; all of it
// must still reach a redirected output, byte for byte, every line ended by "\r\n".
TEST(HelpScreen, ReachesARedirectedOutputWhole)
{
    const RunResult result = runFegaus("");
    EXPECT_EQ(result.status, 0u);
    EXPECT_EQ(result.out, banner() + helpText());
}
