// The count lines and the run summary in every combination of quiet, counts and
// pattern numbers.

#include "app/run_settings.h"
#include "captured_output.h"
#include "harness.h"
#include "sweep/reports.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct CountCase {
    int count;
    const char* found;
    const char* deleted;
    const char* failed;
};

void PrintTo(const CountCase& c, std::ostream* out)
{
    *out << c.count;
}

class CountLines : public testing::TestWithParam<CountCase> {
protected:
    void SetUp() override { runSettings = RunSettings{31, TimeBasis::LastWrite, false, false, {}}; }
};

} // namespace

TEST_P(CountLines, ChooseSingularOrPlural)
{
    const CountCase& c = GetParam();
    EXPECT_EQ(captured([&] { printFoundLine(c.count, 31); }), expectedText(c.found));
    EXPECT_EQ(captured([&] { printDeletedLine(c.count); }), expectedText(c.deleted));
    EXPECT_EQ(captured([&] { printFailedLine(c.count); }), expectedText(c.failed));
}

TEST_P(CountLines, QuietLeavesOnlyTheFailedLine)
{
    const CountCase& c = GetParam();
    runSettings.quiet = true;
    EXPECT_EQ(captured([&] { printFoundLine(c.count, 31); }), "");
    EXPECT_EQ(captured([&] { printDeletedLine(c.count); }), "");
    EXPECT_EQ(captured([&] { printFailedLine(c.count); }), expectedText(c.failed));
}

INSTANTIATE_TEST_SUITE_P(
    Counts, CountLines,
    testing::Values(CountCase{0, "    Keine Datei ist älter als 31 Tage.\n", "", ""},
                    CountCase{1, "    1 Datei ist älter als 31 Tage.\n", "    1 Datei gelöscht.\n\n",
                              "    1 Datei konnte nicht gelöscht werden.\n\n"},
                    CountCase{2, "    2 Dateien sind älter als 31 Tage.\n", "    2 Dateien gelöscht.\n\n",
                              "    2 Dateien konnten nicht gelöscht werden.\n\n"},
                    CountCase{1000000, "    1000000 Dateien sind älter als 31 Tage.\n",
                              "    1000000 Dateien gelöscht.\n\n",
                              "    1000000 Dateien konnten nicht gelöscht werden.\n\n"}));

class RunSummary : public testing::Test {
protected:
    void SetUp() override { runSettings = RunSettings{60, TimeBasis::LastWrite, false, false, {}}; }
    void TearDown() override { runTotals = RunTotals{}; }
};

TEST_F(RunSummary, OnlyForTwoOrMorePatterns)
{
    runTotals = RunTotals{1, 5, 4, 1};
    EXPECT_EQ(captured(printRunSummary), "");
    runTotals = RunTotals{3, 5, 4, 1};
    EXPECT_EQ(captured(printRunSummary), expectedText("\nZusammenfassung über 3 Dateipfade:\n"
                                                      "    5 Dateien sind älter als 60 Tage.\n"
                                                      "    4 Dateien gelöscht.\n\n"
                                                      "    1 Datei konnte nicht gelöscht werden.\n\n"));
}

TEST_F(RunSummary, NeverInQuietMode)
{
    runSettings.quiet = true;
    runTotals = RunTotals{2, 1, 0, 1};
    EXPECT_EQ(captured(printRunSummary), "");
}

TEST_F(RunSummary, WithNothingFound)
{
    runTotals = RunTotals{2, 0, 0, 0};
    EXPECT_EQ(captured(printRunSummary),
              expectedText("\nZusammenfassung über 2 Dateipfade:\n    Keine Datei ist älter als 60 Tage.\n"));
}
