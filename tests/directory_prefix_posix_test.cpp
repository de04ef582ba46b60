#include "sweep/sweep.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string prefixOf(const char* pattern)
{
    char prefix[directoryPrefixCapacity];
    directoryPrefix(pattern, prefix);
    return prefix;
}

} // namespace

// The prefix names the very directory the search opened, so that the path of a
// file to remove is the file the search found.
TEST(DirectoryPrefix, EndsAtTheLastSlash)
{
    EXPECT_EQ(prefixOf("/var/log/app/*.log"), "/var/log/app/");
    EXPECT_EQ(prefixOf("logs/*.*"), "logs/");
    EXPECT_EQ(prefixOf("/*.log"), "/");
    EXPECT_EQ(prefixOf("a//b/"), "a//b/");
    EXPECT_EQ(prefixOf("*.log"), "");
    EXPECT_EQ(prefixOf(""), "");
}

TEST(DirectoryPrefix, BackslashIsAnOrdinaryCharacterOnPosix)
{
    EXPECT_EQ(prefixOf("e:\\logs\\*.log"), "");
    EXPECT_EQ(prefixOf("x/e:\\logs\\*.log"), "x/");
}
