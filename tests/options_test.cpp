#include "app/options.h"
#include "app/run_settings.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

TEST(FlagOption, ExactlyDashLetterInEitherCase)
{
    EXPECT_EQ(matchFlagOption("-W", 'W'), 1);
    EXPECT_EQ(matchFlagOption("-w", 'W'), 1);
    EXPECT_EQ(matchFlagOption("-?", '?'), 1);
    EXPECT_EQ(matchFlagOption("-Wx", 'W'), 0);
    EXPECT_EQ(matchFlagOption("-QT", 'Q'), 0);
    EXPECT_EQ(matchFlagOption("--W", 'W'), 0);
    EXPECT_EQ(matchFlagOption("/W", 'W'), 0);
    EXPECT_EQ(matchFlagOption("-", 'W'), 0);
    EXPECT_EQ(matchFlagOption("", 'W'), 0);
    EXPECT_EQ(matchFlagOption("-\xE4", '\xC4'), 0); // no locale upper-casing above 127
}

struct NumberCase {
    const char* arg;
    int result;
    std::int32_t value;
};

void PrintTo(const NumberCase& c, std::ostream* out)
{
    *out << c.arg;
}

class NumberOption : public testing::TestWithParam<NumberCase> {};

TEST_P(NumberOption, Recognises)
{
    const NumberCase& c = GetParam();
    std::int32_t value = -7;
    EXPECT_EQ(matchNumberOption(c.arg, 'L', value), c.result) << c.arg;
    if (c.result == 1) {
        EXPECT_EQ(value, c.value) << c.arg;
    }
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(AllForms, NumberOption, testing::Values(
    NumberCase{"-L=60", 1, 60},
    NumberCase{"-l=5", 1, 5},
    NumberCase{"-L=12345678", 1, 12345678},
    NumberCase{"-L=123456789", 1, 0},   // 12 characters: accepted, limit unset
    NumberCase{"-L", 1, 0},
    NumberCase{"-L=", 1, 0},
    NumberCase{"-Lxyz", 1, 0},
    NumberCase{"-L=0", 0, 0},           // not recognised: becomes a pattern
    NumberCase{"-L=-5", 0, 0},
    NumberCase{"-L=abc", 0, 0},
    NumberCase{"-L=\"60\"", 1, 60},     // quotes are dropped
    NumberCase{"-L= 7", 1, 7},          // leading white space as atol skips it
    NumberCase{"-L=+9x", 1, 9},
    NumberCase{"-L=3.5", 1, 3},
    NumberCase{"-W", 0, 0},
    NumberCase{"x.log", 0, 0}));
// clang-format on

TEST(TextOption, CopiesWithoutQuotes)
{
    char text[200] = "unchanged";
    bool tooLong = true;
    EXPECT_EQ(matchTextOption("-F=e:\\logs\\\"*.bak\"", 'F', text, sizeof text, tooLong), 1);
    EXPECT_STREQ(text, "e:\\logs\\*.bak");
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(matchTextOption("-f=a.log", 'F', text, sizeof text, tooLong), 1);
    EXPECT_STREQ(text, "a.log");
}

TEST(TextOption, NeedsATextAfterTheEqualsSign)
{
    char text[200] = "unchanged";
    bool tooLong = false;
    EXPECT_EQ(matchTextOption("-F=", 'F', text, sizeof text, tooLong), 0);
    EXPECT_EQ(matchTextOption("-F", 'F', text, sizeof text, tooLong), 0);
    EXPECT_EQ(matchTextOption("-Fa.log", 'F', text, sizeof text, tooLong), 0);
    EXPECT_STREQ(text, "unchanged");
}

TEST(TextOption, RefusesWhatDoesNotFitInsteadOfCuttingIt)
{
    char text[200] = "unchanged";
    bool tooLong = false;
    const std::string fits = "-F=" + std::string(199, 'a');
    EXPECT_EQ(matchTextOption(fits.c_str(), 'F', text, sizeof text, tooLong), 1);
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(std::strlen(text), 199u);
    const std::string tooMuch = "-F=" + std::string(200, 'a');
    EXPECT_EQ(matchTextOption(tooMuch.c_str(), 'F', text, sizeof text, tooLong), 1);
    EXPECT_TRUE(tooLong);
    EXPECT_STREQ(text, "");
    // Quotes do not count against the room.
    const std::string quoted = "-F=\"" + std::string(199, 'a') + "\"";
    EXPECT_EQ(matchTextOption(quoted.c_str(), 'F', text, sizeof text, tooLong), 1);
    EXPECT_FALSE(tooLong);
}

class OptionScan : public testing::Test {
protected:
    void SetUp() override { runSettings = RunSettings{0, TimeBasis::LastWrite, false, false, {}}; }

    ScanResult scan(std::vector<const char*> args)
    {
        return scanOptions(static_cast<int>(args.size()), args.data(), 0);
    }
};

TEST_F(OptionScan, StopsAtTheFirstArgumentThatIsNoOption)
{
    const ScanResult result = scan({"-L=60", "-C", "x.log", "-T", "-Q"});
    EXPECT_FALSE(result.helpScreen);
    EXPECT_EQ(result.firstPattern, 2);
    EXPECT_EQ(runSettings.maxAgeDays, 60);
    EXPECT_EQ(runSettings.timeBasis, TimeBasis::Creation);
    EXPECT_FALSE(runSettings.testRun); // -T after the pattern is a pattern
    EXPECT_FALSE(runSettings.quiet);
}

TEST_F(OptionScan, LastOccurrenceWins)
{
    EXPECT_EQ(scan({"-C", "-W", "-L=60", "-L", "x"}).firstPattern, 4);
    EXPECT_EQ(runSettings.timeBasis, TimeBasis::LastWrite);
    EXPECT_EQ(runSettings.maxAgeDays, 0);
    settleQuietAndLimit();
    EXPECT_EQ(runSettings.maxAgeDays, 31);
}

TEST_F(OptionScan, ZeroLimitIsAPattern)
{
    EXPECT_EQ(scan({"-L=0", "*.log"}).firstPattern, 0);
    EXPECT_EQ(scan({"-F=", "a"}).firstPattern, 0);
    EXPECT_EQ(scan({"/?"}).firstPattern, 0);
}

TEST_F(OptionScan, HelpAtOnceLeavesTheRestUnread)
{
    const ScanResult result = scan({"-Q", "-?", "-T"});
    EXPECT_TRUE(result.helpScreen);
    EXPECT_TRUE(runSettings.quiet);
    EXPECT_FALSE(runSettings.testRun);
}

TEST_F(OptionScan, OptionsOnlyLeaveNoPattern)
{
    EXPECT_EQ(scan({"-w", "-q", "-t"}).firstPattern, 3);
    settleQuietAndLimit();
    EXPECT_FALSE(runSettings.quiet); // a test run always reports
    EXPECT_TRUE(runSettings.testRun);
}

TEST_F(OptionScan, TextOptionFillsThePatternAndALaterOneReplacesARefusal)
{
    const std::string tooLong = "-F=" + std::string(250, 'x');
    ScanResult result = scan({tooLong.c_str()});
    EXPECT_EQ(result.tooLongTextOption, tooLong.c_str());
    EXPECT_STREQ(runSettings.pattern, "");
    result = scan({tooLong.c_str(), "-F=a.log", "b.log"});
    EXPECT_EQ(result.tooLongTextOption, nullptr);
    EXPECT_STREQ(runSettings.pattern, "a.log");
    EXPECT_EQ(result.firstPattern, 2);
}
