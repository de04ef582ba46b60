// The Windows platform layer against real files and the C runtime's zones.

#include "harness.h"
#include "platform/file_search.h"
#include "platform/link_authors_win32.h"
#include "platform/test_hooks_win32.h"

#include <sddl.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <ostream>
#include <string>

namespace {

LARGE_INTEGER fileTime(std::int64_t ticks)
{
    LARGE_INTEGER time;
    time.QuadPart = ticks;
    return time;
}

// A directory record as the file system hands it over, and its exact name.
FindEntry converted(const FILE_BOTH_DIR_INFORMATION& data, const wchar_t* name = L"x")
{
    FindEntry entry;
    std::memset(&entry, 0x5A, sizeof entry);
    EXPECT_TRUE(entryFromRecord(data, name, 1252, entry));
    return entry;
}

// Every entry a search delivers, by name, with its attributes.
std::map<std::string, FindEntry> searchAll(const std::string& pattern)
{
    std::map<std::string, FindEntry> found;
    FindEntry entry;
    const SearchHandle search = findFirst(pattern.c_str(), entry);
    if (search == nullptr)
        return found;
    do
        found[entry.name] = entry;
    while (findNext(search, entry) == 0);
    closeSearch(search);
    return found;
}

} // namespace

TEST(FindData, EveryFieldIsFilled)
{
    FILE_BOTH_DIR_INFORMATION data{};
    data.FileAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    data.CreationTime = fileTime(ticksBefore1970 + ticksPerSecond * 86400);
    data.LastAccessTime = fileTime(ticksBefore1970 + ticksPerSecond * 7 + 9'999'999);
    data.LastWriteTime = fileTime(ticksBefore1970 + ticksPerSecond * 1'700'000'000);
    data.EndOfFile.QuadPart = 0x180000001;
    const FindEntry entry = converted(data, L"\u00C4rger.log");
    EXPECT_EQ(entry.attributes, 0x21u);
    EXPECT_EQ(entry.creationTime, 86400);
    EXPECT_EQ(entry.accessTime, 7); // whole seconds, rounded down
    EXPECT_EQ(entry.writeTime, 1'700'000'000);
    EXPECT_EQ(entry.size, 0x180000001u);
    EXPECT_STREQ(entry.name, "\xC4rger.log"); // code page 1252
}

TEST(FindData, NormalAloneMeansNoAttribute)
{
    FILE_BOTH_DIR_INFORMATION data{};
    data.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    EXPECT_EQ(converted(data).attributes, 0u);
    data.FileAttributes = FILE_ATTRIBUTE_NORMAL | FILE_ATTRIBUTE_HIDDEN;
    EXPECT_EQ(converted(data).attributes, 0x82u);
}

TEST(FindData, UnrecordedAndEarlyTimesHaveNoTime)
{
    FILE_BOTH_DIR_INFORMATION data{};
    data.LastWriteTime = fileTime(0);
    data.CreationTime = fileTime(ticksBefore1970 - 1);
    data.LastAccessTime = fileTime(ticksBefore1970);
    const FindEntry entry = converted(data);
    EXPECT_EQ(entry.writeTime, noTime);
    EXPECT_EQ(entry.creationTime, noTime);
    EXPECT_EQ(entry.accessTime, 0);
}

TEST(Search, AllEntriesWithDotsAndDirectories)
{
    TempDir dir;
    const std::int64_t written = 1'600'000'000;
    makeFileWrittenAt(dir / "a.log", written, 5);
    ASSERT_TRUE(CreateDirectoryA((dir / "sub").c_str(), nullptr));
    const auto found = searchAll(dir / "*.*");
    ASSERT_EQ(found.size(), 4u);
    for (const char* directory : {".", "..", "sub"}) {
        ASSERT_EQ(found.count(directory), 1u) << directory;
        EXPECT_TRUE(found.at(directory).attributes & attributeDirectory) << directory;
    }
    const FindEntry& file = found.at("a.log");
    EXPECT_FALSE(file.attributes & attributeDirectory);
    EXPECT_EQ(file.writeTime, written);
    EXPECT_EQ(file.size, 5u);
}

TEST(Search, SizeBeyondFourGigabytes)
{
    TempDir dir;
    makeFileWrittenAt(dir / "big.log", 1'600'000'000, 0x123456789ULL);
    const auto found = searchAll(dir / "big.log");
    ASSERT_EQ(found.count("big.log"), 1u);
    EXPECT_EQ(found.at("big.log").size, 0x123456789ULL);
}

TEST(Search, NothingToFindGivesNoHandle)
{
    TempDir dir;
    makeFileWrittenAt(dir / "a.log", 1'600'000'000);
    FindEntry entry;
    EXPECT_EQ(findFirst((dir / "*.txt").c_str(), entry), nullptr);
    EXPECT_EQ(findFirst((dir / "missing\\*.*").c_str(), entry), nullptr);
    EXPECT_EQ(findFirst((dir / "a.log\\*.*").c_str(), entry), nullptr);
}

// A read-only file stays, and so does one that another process holds open
// without letting it be deleted.
TEST_P(Removal, RespectsReadOnly)
{
    TempDir dir;
    makeFileWrittenAt(dir / "gone.log", 1'600'000'000);
    makeFileWrittenAt(dir / "kept.log", 1'600'000'000);
    makeReadOnly(dir / "kept.log");
    makeFileWrittenAt(dir / "busy.log", 1'600'000'000);
    const HANDLE busy =
        CreateFileA((dir / "busy.log").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    FindEntry entry;
    const SearchHandle search = findFirst((dir / "*.log").c_str(), entry);
    ASSERT_NE(search, nullptr);
    do {
        const std::string name = entry.name;
        EXPECT_EQ(removeFile(search, (dir / name).c_str()), name == "gone.log" ? 0 : -1) << name;
        EXPECT_EQ(removeFile(search, (dir / name).c_str()), -1) << name; // gone, or still read-only
    } while (findNext(search, entry) == 0);
    closeSearch(search);
    CloseHandle(busy);
    EXPECT_FALSE(exists(dir / "gone.log"));
    EXPECT_TRUE(exists(dir / "kept.log"));
    EXPECT_TRUE(exists(dir / "busy.log"));
}

// Which entries a pattern finds, and in which order, is the answer of the
// system's own ANSI search: case, "*.*", short 8.3 names, '?', trailing dots,
// and no "." or ".." at a drive's root ("\\*", the root of the test's drive).
TEST(Search, MatchesAsTheSystemsOwnSearch)
{
    TempDir dir;
    for (const char* name : {"a.log", "B.LOG", "keep.logx", "seite.html", "noext", "ab.txt", "x.log."})
        makeFileWrittenAt("\\\\?\\" + (dir / name), 1'600'000'000);
    for (const char* name : {"*.log", "*.*", "*.", "*", "a?.txt", "?", "*.htm", "b.log", "x.log.", "x.log", "\\*"}) {
        const std::string pattern = name[0] == '\\' ? dir.path().substr(0, 2) + name : dir / name;
        std::string bySystem;
        WIN32_FIND_DATAA data;
        const HANDLE system = FindFirstFileA(pattern.c_str(), &data);
        for (BOOL more = system != INVALID_HANDLE_VALUE; more; more = FindNextFileA(system, &data))
            bySystem += std::string(data.cFileName) + "|";
        if (system != INVALID_HANDLE_VALUE)
            FindClose(system);
        std::string byTool;
        FindEntry entry;
        const SearchHandle search = findFirst(pattern.c_str(), entry);
        for (int more = search != nullptr ? 0 : 1; more == 0; more = findNext(search, entry))
            byTool += std::string(entry.name) + "|";
        if (search != nullptr)
            closeSearch(search);
        EXPECT_EQ(byTool, bySystem) << name;
    }
}

// What Windows' own search hands the file system for a pattern's name; Wine
// hands the name as written, so only this table shows the rule.
struct MaskCase {
    const wchar_t* name;
    bool patternEndsInDot;
    const wchar_t* mask;
};

class Mask : public testing::TestWithParam<MaskCase> {};

TEST_P(Mask, IsTheSystemsDosForm)
{
    wchar_t mask[MAX_PATH];
    fileSystemMask(GetParam().name, GetParam().patternEndsInDot, mask);
    EXPECT_EQ(std::wstring(mask), GetParam().mask);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, Mask, testing::Values(
    MaskCase{L"*.*", false, L"*"},
    MaskCase{L"*.log", false, L"<.log"},
    MaskCase{L"app.*", false, L"app\"*"},
    MaskCase{L"a?.t?t", false, L"a>.t>t"},
    MaskCase{L"x.?", false, L"x\">"},
    MaskCase{L"*", true, L"<"},
    MaskCase{L"app.log", true, L"app.log"},
    // "*.*.", "?.", "*.a*.", ".*.*" and "*.log.", as Windows itself hands them over.
    MaskCase{L"*.*", true, L"*"},
    MaskCase{L"?", true, L">"},
    MaskCase{L"*.a*", true, L"<.a<"},
    MaskCase{L".*.*", false, L"\"<\"*"},
    MaskCase{L"*.log", true, L"<.log"}));
// clang-format on

// The rule for every step on the way to a pattern's directory, over owners that
// Wine cannot give a file: out of a folder of the system always, out of anyone
// else's folder only into what the same owner owns. "" is an owner not read.
struct TransitionCase {
    const char* name;
    const wchar_t* from;
    const wchar_t* to;
    bool allowed;
};

void PrintTo(const TransitionCase& c, std::ostream* out)
{
    *out << c.name;
}

class Transition : public testing::TestWithParam<TransitionCase> {};

TEST_P(Transition, FollowsTheOwners)
{
    PSID owners[2] = {nullptr, nullptr};
    for (int i = 0; i < 2; ++i) {
        const wchar_t* text = i == 0 ? GetParam().from : GetParam().to;
        if (*text != L'\0') {
            ASSERT_TRUE(ConvertStringSidToSidW(text, &owners[i])) << i;
        }
    }
    EXPECT_EQ(transitionAllowed(owners[0], owners[1]), GetParam().allowed);
    LocalFree(owners[0]);
    LocalFree(owners[1]);
}

constexpr const wchar_t* alice = L"S-1-5-21-1-2-3-1001";
constexpr const wchar_t* trustedInstaller = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

INSTANTIATE_TEST_SUITE_P(
    Owners, Transition,
    testing::Values(TransitionCase{"SystemToAnyone", L"S-1-5-18", alice, true},
                    TransitionCase{"AdministratorsToAnyone", L"S-1-5-32-544", alice, true},
                    TransitionCase{"TrustedInstallerToAnyone", trustedInstaller, alice, true},
                    TransitionCase{"UserToSameUser", alice, alice, true},
                    TransitionCase{"UserToOtherUser", alice, L"S-1-5-21-1-2-3-1002", false},
                    TransitionCase{"UserIntoTheSystemsFolder", alice, L"S-1-5-18", false},
                    TransitionCase{"UsersGroupIsNoSystem", L"S-1-5-32-545", alice, false},
                    TransitionCase{"NearlyTrustedInstaller",
                                   L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478465", alice, false},
                    TransitionCase{"UserToUnread", alice, L"", false},
                    TransitionCase{"SystemToUnread", L"S-1-5-18", L"", false},
                    TransitionCase{"UnreadToUnread", L"", L"", false}),
    [](const testing::TestParamInfo<TransitionCase>& test) { return test.param.name; });

// The step from a junction, mount point or directory link into its target, over
// links that Wine cannot make: judged by everyone whom the link's owner and ACL
// (written as SDDL) let set or change it. "" is a target owner not read.
struct LinkCase {
    const char* name;
    const wchar_t* link;
    const wchar_t* targetOwner;
    bool allowed;
};

void PrintTo(const LinkCase& c, std::ostream* out)
{
    *out << c.name;
}

class LinkStep : public testing::TestWithParam<LinkCase> {};

TEST_P(LinkStep, FollowsEveryoneWhoCouldHaveLaidTheLink)
{
    PSECURITY_DESCRIPTOR link = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(GetParam().link, SDDL_REVISION_1, &link, nullptr));
    PSID target = nullptr;
    if (*GetParam().targetOwner != L'\0') {
        ASSERT_TRUE(ConvertStringSidToSidW(GetParam().targetOwner, &target));
    }
    EXPECT_EQ(linkStepAllowed(link, target), GetParam().allowed);
    LocalFree(target);
    LocalFree(link);
}

INSTANTIATE_TEST_SUITE_P(
    Authors, LinkStep,
    testing::Values(
        LinkCase{"SystemAloneMayWrite", L"O:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)", alice,
                 true},
        LinkCase{"ProgramDataUsersEntry",
                 L"O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1200a9;;;BU)"
                 L"(A;CIID;0x116;;;BU)",
                 L"S-1-5-18", false},
        LinkCase{"AuthenticatedUsersModify", L"O:BAD:AI(A;OICIID;FA;;;SY)(A;OICIID;FA;;;BA)(A;OICIID;0x1301bf;;;AU)",
                 L"S-1-5-18", false},
        LinkCase{"InheritOnlyCreatorOwner", L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;GA;;;CO)", alice, true},
        LinkCase{"CreatorOwnerInForce", L"O:BAD:(A;;GA;;;CO)", alice, false},
        LinkCase{"GenericWrite", L"O:SYD:(A;;GW;;;BU)", L"S-1-5-18", false},
        LinkCase{"DenialEarnsNoTrust", L"O:SYD:(D;;FA;;;WD)(A;;FA;;;WD)", L"S-1-5-18", false},
        // No ACL grants everyone everything, as a NULL one does (which Wine's SDDL cannot write).
        LinkCase{"NoAcl", L"O:BA", alice, false},
        LinkCase{"UserIntoOwnTree", L"O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;S-1-5-21-1-2-3-1001)(A;OICI;FA;;;SY)", alice,
                 true},
        LinkCase{"UserIntoSystemsFolder", L"O:S-1-5-21-1-2-3-1001D:(A;OICI;FA;;;S-1-5-21-1-2-3-1001)", L"S-1-5-18",
                 false},
        LinkCase{"OwnerRightsAreTheOwners", L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;S-1-3-4)", alice, true},
        LinkCase{"TwoUsers", L"O:S-1-5-21-1-2-3-1001D:(A;;0x100;;;S-1-5-21-1-2-3-1002)", alice, false},
        LinkCase{"TargetOwnerUnread", L"O:SYD:(A;;FA;;;SY)", L"", false}),
    [](const testing::TestParamInfo<LinkCase>& test) { return test.param.name; });

struct DirectoryCase {
    const char* pattern;
    int length;
};

void PrintTo(const DirectoryCase& c, std::ostream* out)
{
    *out << c.pattern;
}

class DirectoryPart : public testing::TestWithParam<DirectoryCase> {};

TEST_P(DirectoryPart, EndsAfterTheLastSeparatorOrDrive)
{
    EXPECT_EQ(directoryPartLength(GetParam().pattern), GetParam().length) << GetParam().pattern;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Patterns, DirectoryPart, testing::Values(
    DirectoryCase{"*.log", 0},
    DirectoryCase{"e:*.log", 2},
    DirectoryCase{"e:\\*.log", 3},
    DirectoryCase{"e:\\logs\\*.log", 8},
    DirectoryCase{"logs/app\\*.log", 9},
    DirectoryCase{"logs\\app/*.log", 9},
    DirectoryCase{"\\\\server\\share\\*.log", 15},
    DirectoryCase{"1:*.log", 0},
    DirectoryCase{"", 0}),
    [](const testing::TestParamInfo<DirectoryCase>& test) { return "Case" + std::to_string(test.index); });
// clang-format on

// Local dates in zones set through TZ, restored afterwards.
class LocalTime : public testing::Test {
protected:
    void TearDown() override
    {
        _putenv("TZ=");
        _tzset();
    }

    static void useZone(const char* tz)
    {
        static std::string setting;
        setting = std::string("TZ=") + tz;
        _putenv(setting.c_str());
        _tzset();
    }
};

struct ZoneCase {
    const char* name;
    const char* tz;
    PointInTime time;
    bool hasDate;
    LocalDateTime local;
};

void PrintTo(const ZoneCase& c, std::ostream* out)
{
    *out << c.tz << " " << c.time;
}

class LocalDate : public LocalTime, public testing::WithParamInterface<ZoneCase> {};

TEST_P(LocalDate, FollowsTheZoneAtTheGivenDate)
{
    const ZoneCase& c = GetParam();
    useZone(c.tz);
    LocalDateTime local{};
    ASSERT_EQ(localDateTime(c.time, local), c.hasDate) << c.tz << " " << c.time;
    if (!c.hasDate)
        return;
    EXPECT_EQ(local.year, c.local.year);
    EXPECT_EQ(local.month, c.local.month);
    EXPECT_EQ(local.day, c.local.day);
    EXPECT_EQ(local.hour, c.local.hour);
    EXPECT_EQ(local.minute, c.local.minute);
}

INSTANTIATE_TEST_SUITE_P(Zones, LocalDate,
                         testing::Values(
                             // 2024-01-15 12:00 UTC in winter and 2024-07-15 12:00 UTC in summer: each
                             // date keeps the offset of its own season, whatever today's is.
                             ZoneCase{"CetWinter", "CET-1CEST", 1'705'320'000, true, {2024, 1, 15, 13, 0}},
                             ZoneCase{"CetSummer", "CET-1CEST", 1'721'044'800, true, {2024, 7, 15, 14, 0}},
                             ZoneCase{"CetWithoutDaylightTime", "CET-1", 1'721'044'800, true, {2024, 7, 15, 13, 0}},
                             // 2024-02-29 22:30 UTC is already March at UTC+3.
                             ZoneCase{"NextMonthEastOfUtc", "MSK-3", 1'709'245'800, true, {2024, 3, 1, 1, 30}},
                             ZoneCase{"EpochInGmt", "GMT0", 0, true, {1970, 1, 1, 0, 0}},
                             // West of UTC the first hours of 1970 are still 1969 locally: no date.
                             ZoneCase{"Epoch1969WestOfUtc", "EST5", 4 * 3600, false, {}},
                             ZoneCase{"FirstMinuteWestOfUtc", "EST5", 5 * 3600 + 60, true, {1970, 1, 1, 0, 1}},
                             ZoneCase{"NoTime", "GMT0", noTime, false, {}},
                             ZoneCase{"Before1970", "GMT0", -86400, false, {}}),
                         [](const testing::TestParamInfo<ZoneCase>& test) { return test.param.name; });

TEST_F(LocalTime, TodayFollowsTheSameZone)
{
    useZone("MSK-3");
    const __time64_t before = _time64(nullptr);
    const PointInTime current = now();
    EXPECT_GE(current, before);
    EXPECT_LE(current, _time64(nullptr));
    LocalDateTime local{};
    ASSERT_TRUE(localDateTime(current, local));
    const std::int64_t localSeconds = current + 3 * 3600;
    EXPECT_EQ(local.hour, localSeconds % 86400 / 3600);
    EXPECT_EQ(local.minute, localSeconds % 3600 / 60);
}
