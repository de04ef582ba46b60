// End-to-end runs of the built tool on real directories: the whole report byte
// for byte, and which files remain.

#include "harness.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

class Run : public EndToEndTest {};

} // namespace

TEST_F(Run, DeletesWhatReachedTheLimitAndKeepsTheRest)
{
    makeFile(dir / "old.log", 31, 12345);
    makeFile(dir / "young.log", 30, 10);
    makeFile(dir / "other.txt", 90, 10);
    const RunResult result = run({dir / "*.log"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, banner() + headline(31) + patternHeader(dir / "*.log") + listingHeader()
                              + noonRow("DEL", 31, 12345, "old.log") + countLines(1, 1, 0, 31));
    EXPECT_FALSE(exists(dir / "old.log"));
    EXPECT_TRUE(exists(dir / "young.log"));
    EXPECT_TRUE(exists(dir / "other.txt"));
}

TEST_F(Run, TestRunListsAndDeletesNothing)
{
    makeFile(dir / "a.log", 40, 1);
    makeFile(dir / "b.log", 5, 1);
    const RunResult result = run({"-L=7", "-Q", "-T", dir / "*.log"});
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(7) + patternHeader(dir / "*.log") + listingHeader()
                              + noonRow("TST", 40, 1, "a.log") + countLines(1, 0, 0, 7));
    EXPECT_TRUE(exists(dir / "a.log"));
}

TEST_F(Run, QuietShowsOnlyFailures)
{
    makeFile(dir / "a.log", 50, 1);
    makeFile(dir / "b.log", 50, 2);
    makeFile(dir / "locked.log", 50, 3);
    chmod((dir / "locked.log").c_str(), 0444);
    const RunResult result = run({"-Q", dir / "*.log"});
    EXPECT_EQ(result.out, listingHeader() + noonRow("ERR", 50, 3, "locked.log")
                              + "    1 Datei konnte nicht gel\x94scht werden.\n\n");
    EXPECT_FALSE(exists(dir / "a.log"));
    EXPECT_FALSE(exists(dir / "b.log"));
    EXPECT_TRUE(exists(dir / "locked.log"));
}

TEST_F(Run, QuietWithoutFailuresIsSilent)
{
    makeFile(dir / "a.log", 50, 1);
    EXPECT_EQ(run({"-q", dir / "*.log", dir / "none*"}).out, "");
    EXPECT_FALSE(exists(dir / "a.log"));
}

TEST_F(Run, PluralsAndTheSummaryOverSeveralPatterns)
{
    for (const char* name : {"a.log", "b.log", "c.log", "d.txt"})
        makeFile(dir / name, 100, 1);
    makeFile(dir / "ro.txt", 100, 1);
    chmod((dir / "ro.txt").c_str(), 0400);
    const RunResult result = run({"-L=60", dir / "*.log", dir / "*.txt"});
    const std::string logs = patternHeader(dir / "*.log") + listingHeader();
    // Entries come in the order the directory gives them, so compare the blocks' ends.
    EXPECT_NE(result.out.find(countLines(3, 3, 0, 60) + patternHeader(dir / "*.txt")), std::string::npos) << result.out;
    EXPECT_TRUE(result.out.ends_with(countLines(2, 1, 1, 60) + summary(2, 5, 4, 1, 60))) << result.out;
    EXPECT_TRUE(result.out.starts_with(banner() + headline(60) + logs)) << result.out;
}

TEST_F(Run, SummaryOfTwoPatternsThatFindNothing)
{
    const RunResult result = run({dir / "x*.log", dir / "y*.log"});
    EXPECT_EQ(result.out, banner() + headline(31) + patternHeader(dir / "x*.log") + nothingFound()
                              + patternHeader(dir / "y*.log") + nothingFound() + summary(2, 0, 0, 0, 31));
}

// A later pattern takes the directory walked for an earlier one only when its
// directory part is the same, byte for byte, not merely as long.
TEST_F(Run, EachPatternSweepsItsOwnDirectory)
{
    for (const char* sub : {"a1", "a2"}) {
        mkdir((dir / sub).c_str(), 0755);
        makeFile(dir / (std::string(sub) + "/old.log"), 40, 1);
    }
    EXPECT_EQ(run({"a1/*.log", "a2/*.log"}).out,
              banner() + headline(31) + patternHeader("a1/*.log") + listingHeader() + noonRow("DEL", 40, 1, "old.log")
                  + countLines(1, 1, 0, 31) + patternHeader("a2/*.log") + listingHeader()
                  + noonRow("DEL", 40, 1, "old.log") + countLines(1, 1, 0, 31) + summary(2, 2, 2, 0, 31));
}

TEST_F(Run, ZeroLimitBecomesAPatternAndTheDefaultApplies)
{
    makeFile(dir / "a.log", 31, 7);
    const RunResult result = run({"-L=0", "*.log"});
    EXPECT_EQ(result.out, banner() + headline(31) + patternHeader("-L=0") + nothingFound() + patternHeader("*.log")
                              + listingHeader() + noonRow("DEL", 31, 7, "a.log") + countLines(1, 1, 0, 31)
                              + summary(2, 1, 1, 0, 31));
}

TEST_F(Run, TestRunSummaryHasOnlyTheFoundLine)
{
    makeFile(dir / "a.log", 3, 1);
    makeFile(dir / "b.txt", 3, 1);
    const RunResult result = run({"-T", "-L=2", "*.log", "*.txt"});
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(2) + patternHeader("*.log") + listingHeader()
                              + noonRow("TST", 3, 1, "a.log") + countLines(1, 0, 0, 2) + patternHeader("*.txt")
                              + listingHeader() + noonRow("TST", 3, 1, "b.txt") + countLines(1, 0, 0, 2)
                              + summary(2, 2, 0, 0, 2));
}

TEST_F(Run, DirectoriesAreSkippedAndNotCounted)
{
    mkdir((dir / "sub.d").c_str(), 0755);
    setWriteTime(dir / "sub.d", noonDaysAgo(99));
    makeFile(dir / "f", 99, 0);
    const RunResult result = run({"-T", "*.*"});
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(31) + patternHeader("*.*") + listingHeader()
                              + noonRow("TST", 99, 0, "f") + countLines(1, 0, 0, 31));
}

TEST_F(Run, TheSameFileTwiceIsDeletedOnceAndThenNotFound)
{
    makeFile(dir / "a.log", 40, 1);
    const RunResult result = run({"-L=40", "a.log", "a.log"});
    EXPECT_EQ(result.out, banner() + headline(40) + patternHeader("a.log") + listingHeader()
                              + noonRow("DEL", 40, 1, "a.log") + countLines(1, 1, 0, 40) + patternHeader("a.log")
                              + nothingFound() + summary(2, 1, 1, 0, 40));
}

TEST_F(Run, TextOptionPatternGoesFirst)
{
    const RunResult result = run({"-T", "-F=\"b*\"", "a*"});
    EXPECT_EQ(result.out, banner() + testRunLine() + headline(31) + patternHeader("b*") + nothingFound()
                              + patternHeader("a*") + nothingFound() + summary(2, 0, 0, 0, 31));
}

TEST_F(Run, EmptyArgumentsAreSkippedAndNotCounted)
{
    EXPECT_EQ(run({""}).out, banner() + headline(31));
    EXPECT_EQ(run({"-C", "", "none"}).out,
              banner() + headline(31, "Erstellung") + patternHeader("none") + nothingFound());
}

// A file made today but last written 40 days back is old by its write time
// alone: -C judges the creation time, so it is not selected there.
TEST_F(Run, CreationTimeBasisJudgesTheCreationTime)
{
    makeFile(dir / "a.log", 40, 1);
    EXPECT_EQ(run({"-C", "-T", "-L=1", "a.log"}).out,
              banner() + testRunLine() + headline(1, "Erstellung") + patternHeader("a.log") + countLines(0, 0, 0, 1));
    EXPECT_EQ(run({"-W", "-T", "-L=1", "a.log"}).out, banner() + testRunLine() + headline(1) + patternHeader("a.log")
                                                          + listingHeader() + noonRow("TST", 40, 1, "a.log")
                                                          + countLines(1, 0, 0, 1));
}

namespace {

// A file on a file system that records no birth time, written and last changed
// so many days back; -1 for a change made now, as the system sets it when a file
// is copied in.
struct StandInCase {
    const char* label;
    int writtenDaysAgo;
    int changedDaysAgo;
    int judgedDaysAgo; // -1: too young to be selected
};

void PrintTo(const StandInCase& c, std::ostream* out)
{
    *out << c.label;
}

class CreationStandIn : public Run, public testing::WithParamInterface<StandInCase> {};

} // namespace

INSTANTIATE_TEST_SUITE_P(NoBirthTime, CreationStandIn,
                         testing::Values(StandInCase{"CopiedInTodayWithOldWriteTime", 40, -1, -1},
                                         StandInCase{"ChangedBeforeLastWrite", 40, 50, 40},
                                         StandInCase{"ChangedAfterLastWrite", 50, 40, 40}));

// Without a birth time the creation is judged by the later of the last write and
// the last status change, which is never earlier than the true creation.
TEST_P(CreationStandIn, IsNeverEarlierThanTheTrueCreation)
{
    makeFile(dir / "copy.log", GetParam().writtenDaysAgo, 1);
    std::vector<std::string> env{"LD_PRELOAD=" FEGAUS_NO_BIRTH_TIME};
    if (GetParam().changedDaysAgo >= 0)
        env.push_back("FEGAUS_TEST_CHANGE_TIME=" + std::to_string(noonDaysAgo(GetParam().changedDaysAgo)));
    const RunResult result = runFegaus({"-C", "copy.log"}, {.cwd = dir.path(), .env = env});
    const int judged = GetParam().judgedDaysAgo;
    EXPECT_EQ(result.out, banner() + headline(31, "Erstellung") + patternHeader("copy.log")
                              + (judged < 0 ? countLines(0, 0, 0)
                                            : listingHeader("(Erstellung)") + noonRow("DEL", judged, 1, "copy.log")
                                                  + countLines(1, 1, 0)));
    EXPECT_EQ(exists(dir / "copy.log"), judged < 0);
}

TEST_F(Run, SizeColumnTakesTheWholeSixtyFourBits)
{
    makeFile(dir / "big.log", 60, 5000000000LL);
    makeFile(dir / "huge.log", 60, 98765432109LL);
    EXPECT_EQ(run({"-T", "big.log"}).out, banner() + testRunLine() + headline(31) + patternHeader("big.log")
                                              + listingHeader() + "TST " + dateDaysAgo(60)
                                              + " 12:00     60 5000000000 big.log\n" + countLines(1, 0, 0, 31));
    EXPECT_NE(run({"-T", "huge.log"}).out.find("   60 98765432109 huge.log\n"), std::string::npos);
}

TEST_F(Run, NamesPassAsBytes)
{
    const std::string name = "caf\xC3\xA9 \xFF log.txt";
    makeFile(dir / name, 45, 3);
    EXPECT_EQ(run({"-T", "*"}).out, banner() + testRunLine() + headline(31) + patternHeader("*") + listingHeader()
                                        + noonRow("TST", 45, 3, name) + countLines(1, 0, 0, 31));
}

TEST_F(Run, FilesWithoutADateOrFromTheFutureAreNeverSelected)
{
    makeFile(dir / "epoch.log", 0, 1);
    setWriteTime(dir / "epoch.log", 0);
    makeFile(dir / "before1970.log", 0, 1);
    setWriteTime(dir / "before1970.log", -86400 * 400);
    makeFile(dir / "future.log", -3, 1);
    const RunResult result = run({"-L=1", "*.log"});
    EXPECT_EQ(result.out, banner() + headline(1) + patternHeader("*.log") + countLines(0, 0, 0, 1));
    EXPECT_TRUE(exists(dir / "epoch.log"));
    EXPECT_TRUE(exists(dir / "before1970.log"));
    EXPECT_TRUE(exists(dir / "future.log"));
}

// The refused pattern's start is shown whole characters only: a UTF-8 letter is
// never split. Bytes that are not UTF-8 are shown as they are, 60 of them.
TEST_F(Run, TheRefusalShowsTheStartOfThePatternWithoutSplittingACharacter)
{
    std::string letters = "y";
    for (int i = 0; i < 100; ++i)
        letters += "\xC3\xA4"; // ä, whose second byte would stand at the cut
    const std::string latin1(210, '\xB0');
    EXPECT_EQ(run({"-Q", letters}).out, refusal(letters.substr(0, 59)));
    EXPECT_EQ(run({"-Q", latin1}).out, refusal(latin1.substr(0, 60)));
    const std::string stray = std::string(58, 'y') + std::string(150, '\x80'); // no character to keep whole
    EXPECT_EQ(run({"-Q", stray}).out, refusal(stray.substr(0, 60)));
}

// Rows that share their date, time and age are alike only up to the size column;
// a row that differs in status, minute or day must never take another row's start.
TEST_F(Run, RowsAlikeInDateAndTimeKeepTheirOwnStatusSizeAndName)
{
    for (int i = 0; i < 5; ++i)
        makeFile(dir / ("same" + std::to_string(i) + ".log"), 50, i * 1000);
    makeFile(dir / "locked.log", 50, 7);
    chmod((dir / "locked.log").c_str(), 0444);
    makeFile(dir / "minute.log", 50, 8);
    setWriteTime(dir / "minute.log", noonDaysAgo(50) + 60);
    makeFile(dir / "older.log", 51, 9);

    std::vector<std::string> expected;
    for (int i = 0; i < 5; ++i)
        expected.push_back(
            noonRow("DEL", 50, static_cast<unsigned long long>(i) * 1000, "same" + std::to_string(i) + ".log"));
    expected.push_back(noonRow("ERR", 50, 7, "locked.log"));
    std::string minute = noonRow("DEL", 50, 8, "minute.log");
    minute.replace(minute.find("12:00"), 5, "12:01");
    expected.push_back(minute);
    expected.push_back(noonRow("DEL", 51, 9, "older.log"));

    expectReport(run({"-L=50", dir / "*.log"}).out,
                 banner() + headline(50) + patternHeader(dir / "*.log") + listingHeader(), expected,
                 countLines(8, 7, 1, 50));
    EXPECT_TRUE(exists(dir / "locked.log"));
    EXPECT_FALSE(exists(dir / "minute.log"));
}
