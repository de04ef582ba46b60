#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

struct MatchCase {
    const char* pattern;
    const char* name;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* out)
{
    *out << '"' << c.pattern << "\" vs \"" << c.name << '"';
}

class Wildcard : public testing::TestWithParam<MatchCase> {};

TEST_P(Wildcard, Matches)
{
    const MatchCase& c = GetParam();
    EXPECT_EQ(wildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(StarAndQuestionMark, Wildcard, testing::Values(
    MatchCase{"*.log", "app.log", true},
    MatchCase{"*.log", ".log", true},
    MatchCase{"*.log", "app.log.1", false},
    MatchCase{"*.log", "app.LOG", false},          // case-sensitive
    MatchCase{"app*", "app", true},
    MatchCase{"*", "", true},
    MatchCase{"a*b*c", "aXbYbZc", true},
    MatchCase{"a*b*c", "aXbYbZ", false},
    MatchCase{"*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaa", false},
    MatchCase{"?.log", "a.log", true},
    MatchCase{"?.log", ".log", false},
    MatchCase{"?.log", "ab.log", false},
    MatchCase{"??", "a", false}));
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(QuestionMarkTakesWholeUtf8Characters, Wildcard, testing::Values(
    MatchCase{"?.log", "\xC3\xA4.log", true},             // ä
    MatchCase{"??.log", "\xC3\xA4.log", false},
    MatchCase{"?.log", "\xE2\x82\xAC.log", true},         // €
    MatchCase{"?.log", "\xF0\x9F\x98\x80.log", true},     // an emoji
    MatchCase{"??.log", "\xC3\x28.log", true},            // not UTF-8: two single bytes
    MatchCase{"?.log", "\xC3\x28.log", false},
    MatchCase{"*?", "\xC3\xA4", true},
    MatchCase{"*??", "\xC3\xA4", false}));
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(OtherBytesStandForThemselves, Wildcard, testing::Values(
    MatchCase{"[ab].log", "a.log", false},
    MatchCase{"[ab].log", "[ab].log", true},
    MatchCase{"a\\*.log", "a\\x.log", true},
    MatchCase{"a\\*.log", "a*.log", false},
    MatchCase{"app log.txt", "app log.txt", true}));
// clang-format on

// clang-format off
INSTANTIATE_TEST_SUITE_P(DotStarAlsoMatchesNamesWithoutTheDot, Wildcard, testing::Values(
    MatchCase{"*.*", "README", true},
    MatchCase{"*.*", "app.log", true},
    MatchCase{"*.*", ".", true},
    MatchCase{"app.*", "app", true},
    MatchCase{"app.*", "app.log", true},
    MatchCase{"app.*", "apple", false},
    MatchCase{"*.l*", "app", false}));
// clang-format on

// A literal byte of a pattern that is no whole character may stop inside a UTF-8
// sequence of the name; '*' and '?' go on from there one byte at a time.
// clang-format off
INSTANTIATE_TEST_SUITE_P(LiteralBytesInsideACharacter, Wildcard, testing::Values(
    MatchCase{"*\xE2*\x82\xAC", "\xE2\xE2\x82\xAC", true}, // the second \xE2 starts a euro sign
    MatchCase{"*\xE2?\xAC", "\xE2\xE2\x82\xAC", true},
    MatchCase{"\xE2\x82*", "\xE2\x82\xACx", true},
    MatchCase{"*\xA4", "\xC3\xA4", false},                  // '*' never stops inside \xC3\xA4
    MatchCase{"*\xE2?\xAC", "\xE2\x82\xAC", true},
    MatchCase{"?\xAC", "\xE2\x82\xAC", false}));               // but "?" takes it whole
// clang-format on

TEST(Wildcard, NamesLongerThanAnyFileSystemAllowsMatchNothing)
{
    EXPECT_TRUE(wildcardMatch("*", std::string(255, 'a').c_str()));
    EXPECT_TRUE(wildcardMatch("a*?", std::string(255, 'a').c_str()));
    EXPECT_FALSE(wildcardMatch("*", std::string(256, 'a').c_str()));
}

TEST(Wildcard, RecognisesWildcards)
{
    EXPECT_TRUE(hasWildcard("*.log"));
    EXPECT_TRUE(hasWildcard("a?c"));
    EXPECT_FALSE(hasWildcard("app[1].log"));
}
