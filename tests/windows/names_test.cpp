// Names whose ANSI form stands for another file: characters the code page lacks
// (shown as look-alikes) and trailing dots and blanks (dropped when a name is
// given back to the system). The file removed must be the very entry listed,
// and a young namesake, wherever the look-alike form points, must stay.

#include "../repeated.h"
#include "harness.h"
#include "platform/file_search.h"
#include "platform/test_hooks_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cwchar>
#include <ostream>
#include <string>
#include <vector>

namespace {

std::wstring wide(const std::string& ansi)
{
    wchar_t text[MAX_PATH];
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, text, MAX_PATH);
    return length > 0 ? text : L"";
}

// A path the system takes as it stands, trailing dots and blanks included.
std::wstring verbatim(const std::wstring& path)
{
    return L"\\\\?\\" + path;
}

void makeWideFile(const std::wstring& path, std::int64_t writeTime, std::uint64_t size)
{
    const HANDLE file =
        CreateFileW(verbatim(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const std::string bytes(size, 'x');
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(size), &written, nullptr));
    const FILETIME time = fileTimeOf(writeTime);
    EXPECT_TRUE(SetFileTime(file, &time, &time, &time));
    CloseHandle(file);
}

bool existsWide(const std::wstring& path)
{
    return GetFileAttributesW(verbatim(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The name as the system's own ANSI search lists it: the form a row must show.
std::string ansiFormBySystem(const std::wstring& name)
{
    TempDir scratch;
    const std::wstring path = wide(scratch.path()) + L"\\" + name;
    makeWideFile(path, 1'600'000'000, 0);
    std::string found;
    WIN32_FIND_DATAA data;
    const HANDLE search = FindFirstFileA((scratch / "*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                found = data.cFileName;
        while (FindNextFileA(search, &data));
        FindClose(search);
    }
    DeleteFileW(verbatim(path).c_str());
    return found;
}

// The report from the pattern's header on: header, listing and count lines of
// one pattern whose one old file, written at noon daysAgo days back, was removed.
std::string deletedOneReport(const std::string& pattern, int daysAgo, unsigned size, const std::string& listed)
{
    return patternHeader(pattern) + listingHeader() + noonRow("DEL", daysAgo, size, listed) + countLines(1, 1, 0, 30);
}

std::string fromPatternHeader(const std::string& out)
{
    const std::size_t at = out.find("\r\n\r\nDateipfad: ");
    return at == std::string::npos ? out : out.substr(at);
}

// Every case sweeps root\logs with the limit 30: an old file (40 days) whose
// name is tricky, and a young namesake (1 day) that must survive. Ages are
// measured against today; a case that ran across midnight is skipped.
class Names : public testing::Test {
protected:
    void SetUp() override
    {
        startDay = todayIn(testZone);
        ASSERT_TRUE(CreateDirectoryW(logs().c_str(), nullptr));
    }

    void TearDown() override
    {
        if (todayIn(testZone) != startDay)
            GTEST_SKIP() << "the run crossed midnight";
    }

    std::wstring logs() const { return wide(root.path()) + L"\\logs"; }

    void make(const std::wstring& path, int daysAgo, unsigned size) { makeWideFile(path, noonDaysAgo(daysAgo), size); }

    TempDir root;
    std::int64_t startDay = 0;
};

// A name whose listed form names another path: a name the code page cannot
// hold, listed as a look-alike (beside it, in a subdirectory, one level up), and
// a name ending in dots and blanks, which the system drops from a name it is
// given ("x.log." given back would be "x.log").
struct LookAlikeCase {
    const char* name;
    const wchar_t* oldName;
    const wchar_t* namesake;  // below root, where root\logs\ and the listed form lead
    const char* listedIn1252; // that form in code page 1252
    const char* namePattern;  // what is swept in root\logs
};

void PrintTo(const LookAlikeCase& c, std::ostream* out)
{
    *out << c.name;
}

class LookAlike : public Names, public testing::WithParamInterface<LookAlikeCase> {};

TEST_P(LookAlike, RemovesTheOldFileAndKeepsTheNamesake)
{
    const LookAlikeCase& c = GetParam();
    ASSERT_TRUE(CreateDirectoryW((logs() + L"\\x").c_str(), nullptr));
    const std::string listed = ansiFormBySystem(c.oldName);
    if (GetACP() == 1252) {
        ASSERT_EQ(listed, c.listedIn1252) << "the case no longer points at its namesake";
    }
    make(logs() + L"\\" + c.oldName, 40, 7);
    const std::wstring namesake = wide(root.path()) + L"\\" + c.namesake;
    make(namesake, 1, 3);

    const std::string pattern = root / "logs\\" + c.namePattern;
    const RunResult result = runFegaus("-L=30 " + pattern);
    EXPECT_EQ(fromPatternHeader(result.out), deletedOneReport(pattern, 40, 7, listed));
    EXPECT_FALSE(existsWide(logs() + L"\\" + c.oldName));
    EXPECT_TRUE(existsWide(namesake));
}

INSTANTIATE_TEST_SUITE_P(
    CodePageLookAlikes, LookAlike,
    testing::Values(LookAlikeCase{"MacronBesideItsPlainLetter", L"\u0100valanche.log", L"logs\\Avalanche.log",
                                  "Avalanche.log", "*.log"},
                    LookAlikeCase{"DivisionSlashIntoSubdirectory", L"x\u2215y.log", L"logs\\x\\y.log", "x/y.log",
                                  "*.log"},
                    LookAlikeCase{"FullwidthDotsAndBackslashOneLevelUp", L"\uFF0E\uFF0E\uFF3Cvictim.log", L"victim.log",
                                  "..\\victim.log", "*.log"},
                    LookAlikeCase{"TrailingDot", L"x.log.", L"logs\\x.log", "x.log.", "*"},
                    LookAlikeCase{"TrailingDotsAndBlanks", L"x.log. .", L"logs\\x.log", "x.log. .", "*"}),
    [](const testing::TestParamInfo<LookAlikeCase>& test) { return test.param.name; });

// The listed form of a name longer than a row's name may be is cut after a whole
// character and closed by '*', which no file name holds, so that it never reads
// as another file's name; such an entry is never removed.
struct ListedNameCase {
    const char* name;
    UINT codePage;
    std::wstring fileName;
    std::string listed;
    bool whole;
};

void PrintTo(const ListedNameCase& c, std::ostream* out)
{
    *out << c.name;
}

class ListedName : public testing::TestWithParam<ListedNameCase> {};

TEST_P(ListedName, IsWholeOrVisiblyCut)
{
    const ListedNameCase& c = GetParam();
    if (!IsValidCodePage(c.codePage))
        GTEST_SKIP() << "code page " << c.codePage << " is not installed";
    char listed[MAX_PATH];
    EXPECT_EQ(listedNameOf(c.fileName.c_str(), c.codePage, listed), c.whole);
    EXPECT_EQ(std::string(listed), c.listed);
}

// U+65E5 is three bytes in UTF-8 and two in code page 932; U+1F600 is two UTF-16
// units and four UTF-8 bytes.
INSTANTIATE_TEST_SUITE_P(
    Lengths, ListedName,
    testing::Values(
        ListedNameCase{"Utf8Fits259Bytes", CP_UTF8, repeated(L"\u65E5", 86) + L"x", repeated("\xE6\x97\xA5", 86) + "x",
                       true},
        ListedNameCase{"Utf8CutAt260Bytes", CP_UTF8, repeated(L"\u65E5", 86) + L"xy",
                       repeated("\xE6\x97\xA5", 86) + "*", false},
        ListedNameCase{"Utf8CutBeforeAWholeCharacter", CP_UTF8, repeated(L"\u65E5", 87),
                       repeated("\xE6\x97\xA5", 86) + "*", false},
        ListedNameCase{"Utf8NeverHalfASurrogatePair", CP_UTF8, repeated(L"\U0001F600", 63) + L"abc\U0001F600z",
                       repeated("\xF0\x9F\x98\x80", 63) + "abc*", false},
        ListedNameCase{"DoubleByteFits", 932, repeated(L"\u65E5", 129) + L"x", repeated("\x93\xFA", 129) + "x", true},
        ListedNameCase{"DoubleByteCut", 932, repeated(L"\u65E5", 130), repeated("\x93\xFA", 129) + "*", false}),
    [](const testing::TestParamInfo<ListedNameCase>& test) { return test.param.name; });

// The directory searched, and removed in, as the system resolves the pattern;
// UNC and device forms included, which no test here can reach on a real share.
struct RemovalDirectoryCase {
    const char* name;
    const wchar_t* pattern;
    const wchar_t* directory; // {cwd}: the current directory; empty: not known
};

void PrintTo(const RemovalDirectoryCase& c, std::ostream* out)
{
    *out << c.name;
}

class RemovalDirectory : public testing::TestWithParam<RemovalDirectoryCase> {};

TEST_P(RemovalDirectory, IsTheDirectorySearched)
{
    const RemovalDirectoryCase& c = GetParam();
    wchar_t cwd[MAX_PATH];
    const DWORD cwdLength = GetCurrentDirectoryW(MAX_PATH, cwd);
    ASSERT_GT(cwdLength, 2u);
    std::wstring expected = c.directory;
    std::wstring pattern = c.pattern;
    for (std::wstring* text : {&expected, &pattern}) {
        const std::size_t at = text->find(L"{cwd}");
        if (at != std::wstring::npos)
            text->replace(at, 5, cwd);
        const std::size_t drive = text->find(L"{drive}");
        if (drive != std::wstring::npos)
            text->replace(drive, 7, std::wstring(cwd, 2));
    }
    static wchar_t path[32768];
    const std::size_t length = searchedDirectory(pattern.c_str(), path);
    EXPECT_EQ(std::wstring(path, length), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, RemovalDirectory,
    testing::Values(
        RemovalDirectoryCase{"DotsResolved", L"C:\\logs\\sub\\..\\.\\*.log", L"\\\\?\\C:\\logs\\"},
        RemovalDirectoryCase{"Unc", L"\\\\server\\share\\logs\\*.log", L"\\\\?\\UNC\\server\\share\\logs\\"},
        RemovalDirectoryCase{"Device", L"\\\\.\\C:\\logs\\..\\*.log", L"\\\\?\\C:\\"},
        RemovalDirectoryCase{"VerbatimAsItStands", L"\\\\?\\C:\\logs.\\..\\*.log", L"\\\\?\\C:\\logs.\\..\\"},
        RemovalDirectoryCase{"NtPrefix", L"\\??\\C:\\logs\\*.log", L"\\\\?\\C:\\logs\\"},
        RemovalDirectoryCase{"Relative", L"*.log", L"\\\\?\\{cwd}\\"},
        RemovalDirectoryCase{"DriveRelative", L"{drive}*.log", L"\\\\?\\{cwd}\\"},
        RemovalDirectoryCase{"NoName", L"C:\\logs\\", L""}),
    [](const testing::TestParamInfo<RemovalDirectoryCase>& test) { return test.param.name; });

// The removal takes the entry the search delivered last, and only when the path
// given names it: never another file, not even a namesake put in its place, never
// after the search ended or was closed.
TEST_P(Removal, OnlyTheEntryJustDelivered)
{
    TempDir dir;
    makeFileWrittenAt(dir / "a.log", 1'600'000'000);
    makeFileWrittenAt(dir / "b.log", 1'600'000'000);
    makeFileWrittenAt(dir / "xa.log", 1'600'000'000);
    FindEntry entry;
    const SearchHandle search = findFirst((dir / "a.log").c_str(), entry);
    ASSERT_NE(search, nullptr);
    EXPECT_EQ(removeFile(search, (dir / "b.log").c_str()), -1);
    EXPECT_EQ(removeFile(search, (dir / "xa.log").c_str()), -1);
    ASSERT_TRUE(MoveFileA((dir / "a.log").c_str(), (dir / "judged.log").c_str()));
    makeFileWrittenAt(dir / "a.log", 1'700'000'000);
    EXPECT_EQ(removeFile(search, (dir / "a.log").c_str()), -1);
    EXPECT_NE(findNext(search, entry), 0);
    EXPECT_EQ(removeFile(search, (dir / "a.log").c_str()), -1);
    closeSearch(search);
    const SearchHandle closed = findFirst((dir / "a.log").c_str(), entry);
    ASSERT_NE(closed, nullptr);
    closeSearch(closed);
    EXPECT_EQ(removeFile(closed, (dir / "a.log").c_str()), -1);
    EXPECT_TRUE(exists(dir / "a.log"));
    EXPECT_TRUE(exists(dir / "judged.log"));
    EXPECT_TRUE(exists(dir / "b.log"));
    EXPECT_TRUE(exists(dir / "xa.log"));
}

// The searched directory renamed away during the walk and a new one made under
// its name, holding a namesake (what a junction put in its place does on
// Windows): the removal is meant for the directory searched, and the namesake
// stays. (Windows then deletes the file in the renamed directory; Wine deletes
// by the path it remembered at opening, finds another file there and leaves
// both.) A delivered file replaced by a namesake is not the file judged: both stay.
TEST_P(Removal, StaysInTheDirectorySearchedAndWithTheFileJudged)
{
    TempDir root;
    const std::string swept = root / "swept";
    ASSERT_TRUE(CreateDirectoryA(swept.c_str(), nullptr));
    makeFileWrittenAt(swept + "\\a.log", 1'600'000'000);
    makeFileWrittenAt(swept + "\\b.log", 1'600'000'000);
    FindEntry entry;
    const SearchHandle search = findFirst((swept + "\\*.log").c_str(), entry);
    ASSERT_NE(search, nullptr);
    const std::string first = entry.name;
    ASSERT_TRUE(MoveFileA(swept.c_str(), (root / "away").c_str()));
    ASSERT_TRUE(CreateDirectoryA(swept.c_str(), nullptr));
    makeFileWrittenAt(swept + "\\" + first, 1'700'000'000);
    // Without file IDs Wine refuses: it reads an open file's times by the path it
    // was opened by, which now leads to the namesake.
    EXPECT_TRUE(removeFile(search, (swept + "\\" + first).c_str()) == 0 || GetParam());

    ASSERT_EQ(findNext(search, entry), 0);
    const std::string second = entry.name;
    ASSERT_TRUE(MoveFileA((root / "away\\" + second).c_str(), (root / "judged.log").c_str()));
    makeFileWrittenAt(root / "away\\" + second, 1'700'000'000);
    EXPECT_EQ(removeFile(search, (swept + "\\" + second).c_str()), -1);
    closeSearch(search);
    EXPECT_TRUE(exists(swept + "\\" + first));
    EXPECT_TRUE(exists(root / "away\\" + second));
    EXPECT_TRUE(exists(root / "judged.log"));
}

} // namespace
