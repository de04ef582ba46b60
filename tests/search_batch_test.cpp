// The search reads a directory in bounded batches and delivers each batch in the
// order of the entries' inode numbers. Small bounds make many batches of a small
// directory; across their boundaries no entry may be lost or delivered twice, and
// changes to the directory during the walk must not cost a file that should stay.

#include "harness.h"
#include "held_search.h"
#include "platform/file_search.h"
#include "platform/test_hooks_posix.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

// Restores the default bounds at the end of a test, whatever it found.
struct BatchLimits {
    BatchLimits(int entries, int nameBytes) { setSearchBatchLimits(entries, nameBytes); }
    ~BatchLimits() { setSearchBatchLimits(0, 0); }
};

// The inode number of every entry as the directory itself reports it, which is
// what the search sorts by (a stacked file system may report another in stat).
std::map<std::string, ino_t> directoryInodes(const std::string& path)
{
    std::map<std::string, ino_t> inodes;
    DIR* directory = opendir(path.c_str());
    while (const dirent* found = readdir(directory))
        inodes[found->d_name] = found->d_ino;
    closedir(directory);
    return inodes;
}

// Every name the search delivers for pattern, in delivery order.
std::vector<std::string> walk(const std::string& pattern)
{
    std::vector<std::string> names;
    FindEntry entry{};
    HeldSearch search;
    search.handle = findFirst(pattern.c_str(), entry);
    if (search.handle == nullptr)
        return names;
    do
        names.push_back(entry.name);
    while (findNext(search.handle, entry) == 0);
    return names;
}

std::string numbered(const char* prefix, int number, std::size_t length, const char* suffix)
{
    char start[32];
    std::snprintf(start, sizeof start, "%s%03d", prefix, number);
    std::string name = start;
    name.append(length - name.size() - std::string(suffix).size(), 'x');
    return name + suffix;
}

struct BatchCase {
    const char* label;
    int entries;   // bound of a batch in entries
    int nameBytes; // bound of a batch in name bytes
    int files;     // matching files in the directory
    std::size_t nameLength;
    int batchSize; // how many entries each full batch then holds
};

void PrintTo(const BatchCase& c, std::ostream* out)
{
    *out << c.label;
}

class SearchBatches : public testing::TestWithParam<BatchCase> {};

const BatchCase batchCases[] = {
    {"OneEntryABatch", 1, 4096, 7, 10, 1},
    {"EntriesDivideEvenly", 4, 4096, 20, 10, 4},
    {"LastBatchShort", 5, 4096, 23, 10, 5},
    {"AllInOneBatch", 64, 4096, 23, 10, 23},
    // A name is taken while the longest name's room is free: 1024 bytes take four of 255.
    {"LongestNamesBoundByBytes", 100, 1024, 10, 255, 4},
    {"ShortNamesBoundByBytes", 100, 300, 12, 10, 5},
    // The search's own bounds (0 keeps them): its name room fills before its entries.
    {"DefaultBoundsLongestNames", 0, 0, 6200, 255, 6145},
};

INSTANTIATE_TEST_SUITE_P(Bounds, SearchBatches, testing::ValuesIn(batchCases),
                         [](const testing::TestParamInfo<BatchCase>& test) { return std::string(test.param.label); });

} // namespace

TEST_P(SearchBatches, DeliverEveryMatchOnceInInodeOrderWithinABatch)
{
    const BatchCase& c = GetParam();
    // Thousands of the longest names take seconds to make on some disks.
    TempDir dir(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    std::set<std::string> expected;
    for (int i = 0; i < c.files; ++i) {
        const std::string name = numbered("f", i, c.nameLength, ".log");
        makeFile(dir / name, 40);
        expected.insert(name);
    }
    // Entries that do not match take no room in a batch.
    for (int i = 0; i < 9; ++i)
        makeFile(dir / numbered("t", i, c.nameLength, ".txt"), 40);
    const BatchLimits limits(c.entries, c.nameBytes);

    const std::vector<std::string> names = walk(dir / "*.log");

    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
    EXPECT_EQ(names.size(), expected.size()) << "an entry was delivered twice";
    const std::map<std::string, ino_t> inodes = directoryInodes(dir.path());
    for (std::size_t i = 1; i < names.size(); ++i) {
        if (i % static_cast<std::size_t>(c.batchSize) != 0) {
            EXPECT_LT(inodes.at(names[i - 1]), inodes.at(names[i])) << "at " << i;
        }
    }
}

TEST(SearchBatch, DirectoriesAmongTheMatchesAreDeliveredAsDirectories)
{
    TempDir dir;
    for (int i = 0; i < 6; ++i)
        makeFile(dir / numbered("f", i, 8, ".log"), 40);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(mkdir((dir / numbered("d", i, 8, ".log")).c_str(), 0755), 0);
    const BatchLimits limits(4, 4096);
    FindEntry entry{};
    HeldSearch search;
    search.handle = findFirst((dir / "*.log").c_str(), entry);
    ASSERT_NE(search.handle, nullptr);
    int files = 0;
    int directories = 0;
    do {
        const bool isDirectory = (entry.attributes & attributeDirectory) != 0;
        EXPECT_EQ(isDirectory, entry.name[0] == 'd') << entry.name;
        ++(isDirectory ? directories : files);
    } while (findNext(search.handle, entry) == 0);
    EXPECT_EQ(files, 6);
    EXPECT_EQ(directories, 3);
}

// Names of the first search's batch would all exist in the second directory too.
TEST(SearchBatch, ASearchClosedHalfwayLeavesNothingToTheNext)
{
    TempDir first;
    TempDir second;
    std::set<std::string> expected;
    for (int i = 0; i < 10; ++i) {
        makeFile(first / numbered("a", i, 8, ".log"), 40);
        makeFile(second / numbered("a", i, 8, ".log"), 40);
        expected.insert(numbered("a", i, 8, ".log"));
    }
    const BatchLimits limits(4, 4096);
    {
        FindEntry entry{};
        HeldSearch search;
        search.handle = findFirst((first / "*.log").c_str(), entry);
        ASSERT_NE(search.handle, nullptr);
        ASSERT_EQ(findNext(search.handle, entry), 0);
    }
    const std::vector<std::string> names = walk(second / "*.log");
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), expected);
    EXPECT_EQ(names.size(), expected.size());
}

// A sweep over several batches while another process works in the directory:
// old files vanish before their turn, one is replaced by a new file of the same
// name, new files appear. The walk removes every old file it is given, so a stale
// judgement would cost a file that should stay.
TEST(SearchBatch, ChangesDuringTheWalkLoseNothingThatShouldStay)
{
    TempDir dir;
    constexpr int oldFiles = 40;
    for (int i = 0; i < oldFiles; ++i)
        makeFile(dir / numbered("old", i, 10, ".log"), 40);
    const BatchLimits limits(4, 4096);
    const PointInTime young = noonDaysAgo(0);
    FindEntry entry{};
    HeldSearch search;
    search.handle = findFirst((dir / "*.log").c_str(), entry);
    ASSERT_NE(search.handle, nullptr);

    // None of the others has been delivered yet; some lie in the batch in hand.
    const std::string first = entry.name;
    std::set<std::string> vanished;
    std::string replaced;
    for (int i = 0; i < oldFiles; ++i) {
        const std::string name = numbered("old", i, 10, ".log");
        if (name == first)
            continue;
        ASSERT_EQ(unlink((dir / name).c_str()), 0);
        if (vanished.size() < 5) {
            vanished.insert(name);
        } else {
            replaced = name;
            makeFile(dir / name, 0);
            break;
        }
    }
    for (int i = 0; i < 10; ++i)
        makeFile(dir / numbered("new", i, 10, ".log"), 0);

    std::map<std::string, int> deliveries;
    do {
        ++deliveries[entry.name];
        if (entry.writeTime < young) {
            EXPECT_EQ(removeFile(search.handle, (dir / entry.name).c_str()), 0) << entry.name;
        } else {
            EXPECT_TRUE(entry.name == replaced || entry.name[0] == 'n') << entry.name;
        }
    } while (findNext(search.handle, entry) == 0);

    for (int i = 0; i < oldFiles; ++i) {
        const std::string name = numbered("old", i, 10, ".log");
        EXPECT_EQ(exists(dir / name), name == replaced) << name;
        if (vanished.count(name) != 0) {
            EXPECT_EQ(deliveries.count(name), 0u) << name << " vanished, yet was delivered";
        } else if (name != replaced) {
            EXPECT_EQ(deliveries[name], 1) << name;
        }
    }
    for (int i = 0; i < 10; ++i) {
        const std::string name = numbered("new", i, 10, ".log");
        EXPECT_TRUE(exists(dir / name)) << name;
        EXPECT_LE(deliveries[name], 1) << name;
    }
}
