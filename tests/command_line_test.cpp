#include "app/command_line.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> split(const std::string& line)
{
    std::vector<char> storage(line.size() + 1);
    std::vector<const char*> args(line.size() / 2 + 2);
    const int count = splitCommandLine(line.c_str(), storage.data(), args.data(), static_cast<int>(args.size()));
    return {args.begin(), args.begin() + count};
}

using Args = std::vector<std::string>;

} // namespace

TEST(CommandLine, BlanksAndTabsSeparate)
{
    EXPECT_EQ(split("fegaus.exe  -L=60\t-T   *.log "), (Args{"fegaus.exe", "-L=60", "-T", "*.log"}));
    EXPECT_EQ(split("fegaus.exe"), (Args{"fegaus.exe"}));
    EXPECT_EQ(split(""), Args{});
}

TEST(CommandLine, QuotesAreDroppedAlsoInsideAnArgument)
{
    EXPECT_EQ(split("f -F=\"e:\\logs\\*.bak\""), (Args{"f", "-F=e:\\logs\\*.bak"}));
    EXPECT_EQ(split("f \"e:\\mein verzeichnis\\*.*\""), (Args{"f", "e:\\mein verzeichnis\\*.*"}));
    EXPECT_EQ(split("f a\"b c\"d e"), (Args{"f", "ab cd", "e"}));
    EXPECT_EQ(split("f \"open to the end"), (Args{"f", "open to the end"}));
}

TEST(CommandLine, BackslashesCountOnlyBeforeAQuote)
{
    EXPECT_EQ(split("f a\\\\b\\c"), (Args{"f", "a\\\\b\\c"}));
    EXPECT_EQ(split("f a\\\\\"b c\""), (Args{"f", "a\\b c"})); // 2n: n, quote opens
    EXPECT_EQ(split("f a\\\"b c"), (Args{"f", "a\"b", "c"}));  // 2n+1: n and a quote
    EXPECT_EQ(split("f a\\\\\\\"b"), (Args{"f", "a\\\"b"}));   // three: one and a quote
    EXPECT_EQ(split("f \"e:\\logs\\\\\""), (Args{"f", "e:\\logs\\"}));
}

TEST(CommandLine, TwoQuotesInsideAStretchGiveOneAndCloseIt)
{
    EXPECT_EQ(split("f \"a\"\"b c\""), (Args{"f", "a\"b", "c"}));
    EXPECT_EQ(split("f \"\"\"\""), (Args{"f", "\""}));
}

TEST(CommandLine, AnEmptyQuotedStretchIsAnEmptyArgument)
{
    EXPECT_EQ(split("f \"\" x"), (Args{"f", "", "x"}));
    EXPECT_EQ(split("f \"\""), (Args{"f", ""}));
}

TEST(CommandLine, ProgramNameKeepsItsBackslashes)
{
    EXPECT_EQ(split("\"C:\\Program Files\\fegaus.exe\" -T"), (Args{"C:\\Program Files\\fegaus.exe", "-T"}));
    EXPECT_EQ(split("C:\\tools\\fegaus.exe -T"), (Args{"C:\\tools\\fegaus.exe", "-T"}));
}

TEST(CommandLine, NoArgumentIsLongerThanTheLine)
{
    const std::string line = "f \"\\\\\\\"\" \"\" a\"\"\"b\\\\\\\\\"c";
    for (const std::string& arg : split(line))
        EXPECT_LE(arg.size(), line.size());
}
