// The platform layer between finding a file and removing it. Whatever happens to
// the directory in between, a removal reaches the entry the search found or
// nothing: never a file elsewhere, never a directory, never a link's target.

#include "harness.h"
#include "held_search.h"
#include "platform/file_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <utility>

namespace {

// Each race runs once for a pattern with wildcards (the directory is read) and
// once for a plain name (the name is looked up directly).
class Race : public testing::TestWithParam<const char*> {
protected:
    // Starts the search in directory for the parameter's pattern, which matches
    // only x.log.
    void find(const std::string& directory)
    {
        search.handle = findFirst((directory + "/" + GetParam()).c_str(), entry);
        ASSERT_NE(search.handle, nullptr);
        ASSERT_STREQ(entry.name, "x.log");
    }

    TempDir dir;
    FindEntry entry{};
    HeldSearch search;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(WildcardAndPlainName, Race, testing::Values("x*.log", "x.log"));

TEST_P(Race, AFileGoneBeforeItsRemovalIsAFailure)
{
    makeFile(dir / "x.log", 40);
    makeFile(dir / "y.log", 40);
    find(dir.path());
    ASSERT_EQ(unlink((dir / "x.log").c_str()), 0);
    EXPECT_EQ(removeFile(search.handle, (dir / "x.log").c_str()), -1);
    EXPECT_TRUE(exists(dir / "y.log"));
}

TEST_P(Race, ADirectoryReplacedByALinkDoesNotRedirectTheRemoval)
{
    mkdir((dir / "logs").c_str(), 0755);
    mkdir((dir / "other").c_str(), 0755);
    makeFile(dir / "logs/x.log", 40);
    makeFile(dir / "other/x.log", 40);
    find(dir / "logs");
    ASSERT_EQ(rename((dir / "logs").c_str(), (dir / "moved").c_str()), 0);
    ASSERT_EQ(symlink((dir / "other").c_str(), (dir / "logs").c_str()), 0);
    // The path names the link now; the removal still goes to the directory the
    // search opened.
    EXPECT_EQ(removeFile(search.handle, (dir / "logs/x.log").c_str()), 0);
    EXPECT_TRUE(exists(dir / "other/x.log"));
    EXPECT_FALSE(exists(dir / "moved/x.log"));
}

TEST_P(Race, AFileReplacedByADirectoryIsNotRemoved)
{
    makeFile(dir / "x.log", 40);
    find(dir.path());
    ASSERT_EQ(unlink((dir / "x.log").c_str()), 0);
    ASSERT_EQ(mkdir((dir / "x.log").c_str(), 0755), 0);
    EXPECT_EQ(removeFile(search.handle, (dir / "x.log").c_str()), -1);
    EXPECT_TRUE(exists(dir / "x.log"));
}

// Only the entry the search delivered last may be removed: a name it did not
// just deliver is refused, whatever that entry is.
TEST_P(Race, ANameOtherThanTheDeliveredOneStays)
{
    makeFile(dir / "x.log", 40);
    makeFile(dir / "y.old", 40);
    ASSERT_EQ(mkfifo((dir / "pipe.log").c_str(), 0644), 0);
    find(dir.path());
    EXPECT_EQ(removeFile(search.handle, (dir / "pipe.log").c_str()), -1);
    EXPECT_EQ(removeFile(search.handle, (dir / "y.old").c_str()), -1);
    EXPECT_TRUE(exists(dir / "pipe.log"));
    EXPECT_TRUE(exists(dir / "y.old"));
    EXPECT_TRUE(exists(dir / "x.log"));
}

// Once the search has reported its end, or is closed, nothing is removed: not
// even the entry delivered last, through a directory the search no longer holds.
TEST_P(Race, NothingGoesAfterTheEndOrTheClose)
{
    makeFile(dir / "x.log", 40);
    find(dir.path());
    EXPECT_NE(findNext(search.handle, entry), 0);
    EXPECT_EQ(removeFile(search.handle, (dir / "x.log").c_str()), -1);
    const SearchHandle closed = std::exchange(search.handle, nullptr);
    closeSearch(closed);
    EXPECT_EQ(removeFile(closed, (dir / "x.log").c_str()), -1);
    EXPECT_TRUE(exists(dir / "x.log"));
}

TEST_P(Race, AFileReplacedByALinkLosesTheLinkNotItsTarget)
{
    TempDir elsewhere;
    makeFile(elsewhere / "x.log", 40, 5);
    makeFile(dir / "x.log", 40);
    find(dir.path());
    ASSERT_EQ(unlink((dir / "x.log").c_str()), 0);
    ASSERT_EQ(symlink((elsewhere / "x.log").c_str(), (dir / "x.log").c_str()), 0);
    EXPECT_EQ(removeFile(search.handle, (dir / "x.log").c_str()), 0);
    EXPECT_FALSE(exists(dir / "x.log"));
    struct stat target;
    ASSERT_EQ(stat((elsewhere / "x.log").c_str(), &target), 0);
    EXPECT_EQ(target.st_size, 5);
}

TEST(RemovalRace, TheWalkGoesOnAfterAFileThatVanished)
{
    TempDir dir;
    for (const char* name : {"a.log", "b.log", "c.log"})
        makeFile(dir / name, 40);
    FindEntry entry{};
    HeldSearch search;
    search.handle = findFirst((dir / "*.log").c_str(), entry);
    ASSERT_NE(search.handle, nullptr);
    ASSERT_EQ(unlink((dir / entry.name).c_str()), 0);
    EXPECT_EQ(removeFile(search.handle, (dir / entry.name).c_str()), -1);
    std::set<std::string> removed;
    while (findNext(search.handle, entry) == 0) {
        EXPECT_EQ(removeFile(search.handle, (dir / entry.name).c_str()), 0) << entry.name;
        removed.insert(entry.name);
    }
    EXPECT_EQ(removed.size(), 2u);
    for (const char* name : {"a.log", "b.log", "c.log"})
        EXPECT_FALSE(exists(dir / name)) << name;
}
