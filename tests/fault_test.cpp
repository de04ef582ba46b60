// The built tool on real directories when things go wrong: refusals of the
// system, patterns that name no files, links, awkward names and lengths, and
// output nobody can take. Each case checks the report and exactly which files
// remain.

#include "harness.h"
#include "repeated.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

// Every entry under path, as relative paths, subdirectories included.
std::set<std::string> remaining(const std::string& path, const std::string& prefix = "")
{
    std::set<std::string> names;
    DIR* directory = opendir(path.c_str());
    if (directory == nullptr)
        return names;
    while (const dirent* entry = readdir(directory)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        names.insert(prefix + name);
        if (entry->d_type == DT_DIR) {
            for (const std::string& inner : remaining(path + "/" + name, prefix + name + "/"))
                names.insert(inner);
        }
    }
    closedir(directory);
    return names;
}

using Names = std::set<std::string>;

// Sets or clears the immutable flag; false where the file system or the
// process's rights do not allow it.
bool setImmutable(const std::string& path, bool on)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (done) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return done;
}

// Makes path immutable for the life of the guard.
class Immutable {
public:
    explicit Immutable(std::string path) : path_(std::move(path)), set_(setImmutable(path_, true)) {}
    ~Immutable()
    {
        if (set_)
            setImmutable(path_, false);
    }
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool set() const { return set_; }

private:
    std::string path_;
    bool set_;
};

class Fault : public EndToEndTest {};

// The ways the system refuses to remove a file that is old enough.
enum class Refusal { ReadOnly, Immutable };

void PrintTo(Refusal refusal, std::ostream* out)
{
    *out << (refusal == Refusal::ReadOnly ? "ReadOnly" : "Immutable");
}

class RefusedFile : public Fault, public testing::WithParamInterface<Refusal> {};

} // namespace

INSTANTIATE_TEST_SUITE_P(Refusals, RefusedFile, testing::Values(Refusal::ReadOnly, Refusal::Immutable));

TEST_P(RefusedFile, IsListedAsFailedAndTheOthersGo)
{
    for (const char* name : {"a.log", "b.log", "c.log"})
        makeFile(dir / name, 40);
    makeFile(dir / "young.log", 3);
    std::unique_ptr<Immutable> immutable;
    if (GetParam() == Refusal::ReadOnly) {
        ASSERT_EQ(chmod((dir / "b.log").c_str(), 0444), 0);
    } else {
        immutable = std::make_unique<Immutable>(dir / "b.log");
        if (!immutable->set())
            GTEST_SKIP() << "this file system or process cannot make a file immutable";
    }
    const RunResult result = run({"*.log"});
    EXPECT_EQ(result.status, 0);
    expectReport(result.out, banner() + headline(31) + patternHeader("*.log") + listingHeader(),
                 {noonRow("DEL", 40, 0, "a.log"), noonRow("ERR", 40, 0, "b.log"), noonRow("DEL", 40, 0, "c.log")},
                 countLines(3, 2, 1));
    EXPECT_EQ(remaining(dir.path()), (Names{"b.log", "young.log"}));
}

TEST_F(Fault, ADirectoryThatRefusesRemovalsFailsEachFileAndTheWalkGoesOn)
{
    mkdir((dir / "locked").c_str(), 0755);
    makeFile(dir / "locked/a.log", 40);
    makeFile(dir / "locked/b.log", 40);
    makeFile(dir / "free.log", 40);
    // Root removes files from a directory without write permission; the
    // immutable flag stops root too.
    const Immutable immutable(dir / "locked");
    if (!immutable.set()) {
        if (geteuid() == 0)
            GTEST_SKIP() << "running as root where the file system has no immutable flag";
        ASSERT_EQ(chmod((dir / "locked").c_str(), 0555), 0);
    }
    const RunResult result = run({"-Q", "locked/*.log", "free.log"});
    EXPECT_EQ(result.status, 0);
    expectReport(result.out, listingHeader(), {noonRow("ERR", 40, 0, "a.log"), noonRow("ERR", 40, 0, "b.log")},
                 expectedText("    2 Dateien konnten nicht gelöscht werden.\n\n"));
    EXPECT_EQ(remaining(dir.path()), (Names{"locked", "locked/a.log", "locked/b.log"}));
}

TEST_F(Fault, AFileThatVanishesBeforeItsRemovalFailsAndTheWalkGoesOn)
{
    for (const char* name : {"a.log", "b.log", "c.log"})
        makeFile(dir / name, 40);
    const RunResult result =
        runFegaus({"*.log"}, {.cwd = dir.path(), .env = {"LD_PRELOAD=" FEGAUS_FAULTS, "FEGAUS_TEST_VANISH=b.log"}});
    EXPECT_EQ(result.status, 0);
    expectReport(result.out, banner() + headline(31) + patternHeader("*.log") + listingHeader(),
                 {noonRow("DEL", 40, 0, "a.log"), noonRow("ERR", 40, 0, "b.log"), noonRow("DEL", 40, 0, "c.log")},
                 countLines(3, 2, 1));
    EXPECT_EQ(remaining(dir.path()), Names{});
}

// A listing that breaks off is no end of the directory: the rows delivered
// stand and are counted, and the failure is said before the count lines.
TEST_F(Fault, AListingThatBreaksOffKeepsItsRowsAndSaysSo)
{
    Names gone{"a.log", "b.log", "c.log"};
    for (const std::string& name : gone)
        makeFile(dir / name, 40);
    const RunResult result =
        runFegaus({"*.log"}, {.cwd = dir.path(), .env = {"LD_PRELOAD=" FEGAUS_FAULTS, "FEGAUS_TEST_EIO_AFTER=1"}});
    for (const std::string& name : remaining(dir.path()))
        gone.erase(name);
    ASSERT_EQ(gone.size(), 1u); // whichever the directory gives first
    EXPECT_EQ(result.out, banner() + headline(31) + patternHeader("*.log") + listingHeader()
                              + noonRow("DEL", 40, 0, *gone.begin()) + unreachedWay(".", "Fehler EIO", "*.log")
                              + countLines(1, 1, 0));
}

// A FIFO (as a socket or a device node, which the search takes alike) is nobody's
// old file: it is skipped like a directory, by a wildcard and by its own name,
// while a link to it goes as links do.
TEST_F(Fault, AFifoStaysAndIsNotCountedButALinkToItGoes)
{
    ASSERT_EQ(mkfifo((dir / "special").c_str(), 0644), 0);
    setWriteTime(dir / "special", noonDaysAgo(40));
    ASSERT_EQ(symlink("special", (dir / "link").c_str()), 0);
    setWriteTime(dir / "link", noonDaysAgo(40));
    makeFile(dir / "old", 40);

    EXPECT_EQ(run({"special"}).out, banner() + headline(31) + patternHeader("special") + countLines(0, 0, 0));
    const RunResult result = run({"*"});
    EXPECT_EQ(result.status, 0);
    expectReport(result.out, banner() + headline(31) + patternHeader("*") + listingHeader(),
                 {noonRow("DEL", 40, 0, "old"), noonRow("DEL", 40, 7, "link")}, countLines(2, 2, 0));
    EXPECT_EQ(remaining(dir.path()), Names{"special"});
}

// A directory that may be searched but not listed hides nothing from rm: a file
// named in full is found and removed there.
TEST_F(Fault, InADirectoryThatMayBeSearchedButNotListedAFileNamedInFullIsFound)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root, and root may list any directory";
    // The tool itself must be reachable for nobody, wherever the build lies.
    TempDir bin;
    const std::string tool = bin / "fegaus";
    std::filesystem::copy_file(FEGAUS_EXE, tool);
    ASSERT_EQ(chmod(bin.path().c_str(), 0711), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0711), 0);
    mkdir((dir / "box").c_str(), 0755);
    makeFile(dir / "box/old.log", 40);
    ASSERT_EQ(chmod((dir / "box").c_str(), 0333), 0);

    // A wildcard needs the listing, which is refused: said, even under -Q.
    EXPECT_EQ(runFegaus({"-Q", "box/*.log"}, {.cwd = dir.path(), .launcher = tool.c_str(), .asNobody = true}).out,
              unreachedWay("box", "Zugriff verweigert", "box/*.log"));
    const RunResult result =
        runFegaus({"box/old.log"}, {.cwd = dir.path(), .launcher = tool.c_str(), .asNobody = true});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, banner() + headline(31) + patternHeader("box/old.log") + listingHeader()
                              + noonRow("DEL", 40, 0, "old.log") + countLines(1, 1, 0));
    EXPECT_EQ(remaining(dir.path()), Names{"box"});
}

// Where case counts, a name and a hard link that differs from it only in case
// are two names: each is listed as it was asked for.
TEST_F(Fault, ANameIsListedAsAskedBesideALinkDifferingInCase)
{
    makeFile(dir / "app.log", 40);
    ASSERT_EQ(link((dir / "app.log").c_str(), (dir / "APP.LOG").c_str()), 0);
    for (const char* name : {"app.log", "APP.LOG"}) {
        EXPECT_EQ(run({"-T", name}).out, banner() + testRunLine() + headline(31) + patternHeader(name) + listingHeader()
                                             + noonRow("TST", 40, 0, name) + countLines(1, 0, 0));
    }
}

namespace {

// An NTFS image in dir, mounted through FUSE so that names are looked up without
// regard to case, as on a disk shared with Windows. Unmounted at the end.
class CaseBlindMount {
public:
    explicit CaseBlindMount(const TempDir& dir) : image_(dir / "ntfs.img"), point_(dir / "ntfs")
    {
        mkdir(point_.c_str(), 0755);
        if (geteuid() != 0) {
            reason_ = "mounting needs root";
            return;
        }
        makeFile(image_, 0, 16 << 20);
        if (std::system(("mkntfs -F -f -q '" + image_ + "' >/dev/null 2>&1").c_str()) != 0) {
            reason_ = "mkntfs (Debian package ntfs-3g) is missing or failed";
            return;
        }
        const std::string mount = "lowntfs-3g -o ignore_case '" + image_ + "' '" + point_ + "'";
        if (std::system((mount + " >/dev/null 2>&1").c_str()) != 0) {
            reason_ = "lowntfs-3g cannot mount here (no FUSE?)";
            return;
        }
        mounted_ = true;
    }
    ~CaseBlindMount()
    {
        if (mounted_)
            (void)!std::system(("umount '" + point_ + "'").c_str());
    }
    CaseBlindMount(const CaseBlindMount&) = delete;
    CaseBlindMount& operator=(const CaseBlindMount&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& reason() const { return reason_; }
    std::string operator/(const std::string& name) const { return point_ + "/" + name; }

private:
    std::string image_;
    std::string point_;
    std::string reason_;
    bool mounted_ = false;
};

} // namespace

// Named in another case than stored, a file is found on a file system that ignores
// case and listed under its stored name; wildcards still match case as written.
TEST_F(Fault, OnAFileSystemIgnoringCaseAFileIsListedAsStored)
{
    const CaseBlindMount ntfs(dir);
    if (!ntfs.mounted())
        GTEST_SKIP() << ntfs.reason();
    makeFile(ntfs / "App.Log", 40);
    // The name as the file system lists it (this one shows names in lower case).
    const Names listed = remaining(dir / "ntfs");
    ASSERT_EQ(listed.size(), 1u);
    const std::string stored = *listed.begin();
    ASSERT_NE(stored, "APP.LOG");

    const std::string head = banner() + testRunLine() + headline(31);
    EXPECT_EQ(run({"-T", "ntfs/APP.*"}).out, head + patternHeader("ntfs/APP.*") + nothingFound());
    EXPECT_EQ(run({"-T", "ntfs/APP.LOG"}).out, head + patternHeader("ntfs/APP.LOG") + listingHeader()
                                                   + noonRow("TST", 40, 0, stored) + countLines(1, 0, 0));
    EXPECT_EQ(run({"ntfs/APP.LOG"}).out, banner() + headline(31) + patternHeader("ntfs/APP.LOG") + listingHeader()
                                             + noonRow("DEL", 40, 0, stored) + countLines(1, 1, 0));
    EXPECT_EQ(remaining(dir / "ntfs"), Names{});
}

struct NoFilesCase {
    const char* pattern;
    bool searchFindsSomething; // a directory was found and skipped
};

void PrintTo(const NoFilesCase& c, std::ostream* out)
{
    *out << c.pattern;
}

class PatternNamingNoFile : public Fault, public testing::WithParamInterface<NoFilesCase> {};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Patterns, PatternNamingNoFile, testing::Values(
    NoFilesCase{"missing/*.log", false},
    NoFilesCase{"missing/old.log", false},
    NoFilesCase{"sub", true},
    NoFilesCase{"sub/", false},
    NoFilesCase{"sub/.", true},
    NoFilesCase{"sub/..", true},
    NoFilesCase{"link", true},
    NoFilesCase{"link/", false},
    NoFilesCase{"loop/old.log", false}, // a link to itself: more links than the system follows
    NoFilesCase{"s*", true}));
// clang-format on

TEST_P(PatternNamingNoFile, RemovesNothing)
{
    mkdir((dir / "sub").c_str(), 0755);
    makeFile(dir / "sub/old.log", 40);
    setWriteTime(dir / "sub", noonDaysAgo(40));
    ASSERT_EQ(symlink("sub", (dir / "link").c_str()), 0);
    ASSERT_EQ(symlink("loop", (dir / "loop").c_str()), 0);
    const Names before = remaining(dir.path());
    const RunResult result = run({GetParam().pattern});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, banner() + headline(31) + patternHeader(GetParam().pattern)
                              + (GetParam().searchFindsSomething ? countLines(0, 0, 0) : nothingFound()));
    EXPECT_EQ(remaining(dir.path()), before);
}

struct WayCase {
    const char* pattern;
    const char* step;              // the step refused, "$D" standing for the test's directory; nullptr when followed
    const char* removed;           // the file that goes when the way is followed
    const char* failure = nullptr; // the reason when the step fails instead of being refused
    const char* fault = nullptr;   // an environment entry for the preloaded fault
};

void PrintTo(const WayCase& c, std::ostream* out)
{
    *out << c.pattern;
}

class WayToTheDirectory : public Fault, public testing::WithParamInterface<WayCase> {};

// A target as long as a link may hold is shown by its start, never cut inside a character.
const std::string longTarget = "../" + repeated("ä", 2046);
const std::string longStep = "tmp/long -> ../" + repeated("ä", 894) + "...";

INSTANTIATE_TEST_SUITE_P(Ways, WayToTheDirectory,
                         testing::Values(WayCase{"tmp/cache/*.log", "tmp/cache -> .", nullptr},
                                         WayCase{"tmp/dots/old.log", "tmp/dots -> ./.", nullptr},
                                         WayCase{"tmp/long/*.log", longStep.c_str(), nullptr},
                                         WayCase{"tmp/rootlink/*.log", "tmp -> rootlink", nullptr},
                                         WayCase{"user/self/current/*.log", nullptr, "user/releases/v2/old.log"},
                                         WayCase{"user/cache/*.log", "user/cache -> ../victim", nullptr},
                                         WayCase{"user/outside/*.log", "user/outside -> $D/victim", nullptr},
                                         WayCase{"user/deep/up/../victim/*.log", "user/deep/up -> ..", nullptr},
                                         WayCase{"user/cache/old.log", "user/cache -> ../victim", nullptr},
                                         // A user's target is shown as the tool read it, its control characters as '?'.
                                         WayCase{"user/lines/*.log", "user/lines -> /tmp???[2J?", nullptr},
                                         // A failing disk is said, never taken for an empty search.
                                         WayCase{"logs/*.log", "logs -> $D/victim", nullptr, "Fehler EIO",
                                                 "FEGAUS_TEST_EIO_STEP=victim"},
                                         WayCase{"logs/*.log", nullptr, "victim/old.log"},
                                         WayCase{"user/current/*.log", nullptr, "user/releases/v2/old.log"}));

// A link that a less trusted user laid on the way to a pattern's directory must
// not lead a run by root to anybody else's files; root's own links, and a user's
// links within that user's own tree, are followed as ever.
TEST_P(WayToTheDirectory, IsFollowedOnlyWhereNoOtherUserCanHaveLaidALink)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "the user's directories and links must belong to another user, which needs root";
    for (const char* sub : {"victim", "tmp", "user", "user/deep", "user/releases", "user/releases/v2"})
        ASSERT_EQ(mkdir((dir / sub).c_str(), 0755), 0);
    ASSERT_EQ(chmod((dir / "tmp").c_str(), 01777), 0); // root's, and anyone may write it, like /tmp
    for (const char* sub : {"victim", "tmp", "user/releases/v2"}) {
        makeFile(dir / sub + "/old.log", 40);
        makeFile(dir / sub + "/young.log", 3);
    }
    const std::pair<std::string, const char*> links[] = {{dir / "victim", "logs"},
                                                         {"../victim", "user/cache"},
                                                         {dir / "victim", "user/outside"},
                                                         {"..", "user/deep/up"},
                                                         {"releases/v2", "user/current"},
                                                         {".", "user/self"},
                                                         {".", "tmp/cache"},
                                                         {"./.", "tmp/dots"},
                                                         {longTarget, "tmp/long"},
                                                         {"victim", "rootlink"},
                                                         {"/tmp\r\n\x1b[2J\u202e", "user/lines"}};
    for (const auto& [target, name] : links)
        ASSERT_EQ(symlink(target.c_str(), (dir / name).c_str()), 0);
    for (const char* owned :
         {"user", "user/deep", "user/releases", "user/releases/v2", "user/cache", "user/outside", "user/deep/up",
          "user/current", "user/self", "tmp/cache", "tmp/dots", "tmp/long", "user/lines"})
        ASSERT_EQ(lchown((dir / owned).c_str(), 65534, 65534), 0); // nobody, nogroup
    // Root's own link, given a second name in root's sticky directory, as a user can
    // where the kernel does not protect hard links.
    const bool twoNames = link((dir / "rootlink").c_str(), (dir / "tmp/rootlink").c_str()) == 0;

    const WayCase& c = GetParam();
    if (!twoNames && std::string(c.pattern).starts_with("tmp/rootlink"))
        GTEST_SKIP() << "fs.protected_hardlinks keeps even root from giving a link a second name here";
    Names expected = remaining(dir.path());
    const auto sweep = [&](std::vector<std::string> args) {
        std::vector<std::string> env{"LD_PRELOAD=" FEGAUS_FAULTS};
        if (c.fault != nullptr)
            env.emplace_back(c.fault);
        return runFegaus(args, {.cwd = dir.path(), .env = env}).out;
    };
    if (c.step == nullptr) {
        EXPECT_EQ(sweep({"-Q", c.pattern}), "");
        expected.erase(c.removed);
    } else {
        std::string step = c.step;
        if (const std::size_t at = step.find("$D"); at != std::string::npos)
            step.replace(at, 2, dir.path());
        const std::string line =
            c.failure != nullptr ? unreachedWay(step, c.failure, c.pattern) : unsafeWay(step, c.pattern);
        EXPECT_EQ(sweep({"-Q", c.pattern}), line);
        EXPECT_EQ(sweep({c.pattern}), banner() + headline(31) + patternHeader(c.pattern) + line);
    }
    EXPECT_EQ(remaining(dir.path()), expected);
}

struct LoneWildcardCase {
    const char* pattern;
    std::vector<std::string> deleted;
};

void PrintTo(const LoneWildcardCase& c, std::ostream* out)
{
    *out << c.pattern;
}

class LoneWildcard : public Fault, public testing::WithParamInterface<LoneWildcardCase> {};

INSTANTIATE_TEST_SUITE_P(Patterns, LoneWildcard,
                         testing::Values(LoneWildcardCase{"*", {".hidden", "a", "c.log"}},
                                         LoneWildcardCase{"*.*", {".hidden", "a", "c.log"}},
                                         LoneWildcardCase{"?", {"a"}}));

TEST_P(LoneWildcard, SweepsTheCurrentDirectoryAndNothingBelow)
{
    for (const char* name : {"a", ".hidden", "c.log"})
        makeFile(dir / name, 40);
    makeFile(dir / "b", 2);
    mkdir((dir / "d").c_str(), 0755);
    makeFile(dir / "d/old", 40);
    makeFile(dir / "d/e", 40);
    const RunResult result = run({GetParam().pattern});
    EXPECT_EQ(result.status, 0);
    std::vector<std::string> rows;
    Names left{"b", "d", "d/old", "d/e", "a", ".hidden", "c.log"};
    for (const std::string& name : GetParam().deleted) {
        rows.push_back(noonRow("DEL", 40, 0, name));
        left.erase(name);
    }
    const int count = static_cast<int>(rows.size());
    expectReport(result.out, banner() + headline(31) + patternHeader(GetParam().pattern) + listingHeader(), rows,
                 countLines(count, count, 0));
    EXPECT_EQ(remaining(dir.path()), left);
}

TEST_F(Fault, LinksGoThemselvesAndTheirTargetsStayUntouched)
{
    TempDir elsewhere;
    makeFile(elsewhere / "old.txt", 80, 0);
    makeFile(elsewhere / "readonly.txt", 80, 0);
    chmod((elsewhere / "readonly.txt").c_str(), 0444);
    mkdir((elsewhere / "subdir").c_str(), 0755);
    makeFile(elsewhere / "subdir/old.log", 80);
    const auto link = [&](const std::string& target, const char* name, int daysAgo) {
        ASSERT_EQ(symlink(target.c_str(), (dir / name).c_str()), 0);
        setWriteTime(dir / name, noonDaysAgo(daysAgo));
    };
    link(elsewhere / "old.txt", "toold.log", 50);
    link(elsewhere / "old.txt", "young.log", 2); // the link is judged, not its target
    link(elsewhere / "readonly.txt", "toreadonly.log", 50);
    link(elsewhere / "nowhere", "dangling.log", 50);
    link(elsewhere / "subdir", "todir.log", 50);
    const RunResult result = run({"*.log"});
    EXPECT_EQ(result.status, 0);
    // A link's size is the length of the path it holds.
    const auto linkRow = [&](const char* name, const std::string& target) {
        return noonRow("DEL", 50, target.size(), name);
    };
    expectReport(result.out, banner() + headline(31) + patternHeader("*.log") + listingHeader(),
                 {linkRow("toold.log", elsewhere / "old.txt"), linkRow("toreadonly.log", elsewhere / "readonly.txt"),
                  linkRow("dangling.log", elsewhere / "nowhere")},
                 countLines(3, 3, 0));
    EXPECT_EQ(remaining(dir.path()), (Names{"young.log", "todir.log"}));
    EXPECT_EQ(remaining(elsewhere.path()), (Names{"old.txt", "readonly.txt", "subdir", "subdir/old.log"}));
    struct stat target;
    ASSERT_EQ(stat((elsewhere / "old.txt").c_str(), &target), 0);
    EXPECT_EQ(target.st_mtime, noonDaysAgo(80));
}

struct NameCase {
    const char* label;
    std::string name;
};

void PrintTo(const NameCase& c, std::ostream* out)
{
    *out << c.label;
}

class AwkwardName : public Fault, public testing::WithParamInterface<NameCase> {};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Names, AwkwardName, testing::Values(
    NameCase{"Blanks", " two  blanks "},
    NameCase{"Newline", "line\nbreak"},
    NameCase{"NotUtf8", "\xFF\xFE\xC3(\x80"},
    NameCase{"LeadingDash", "-T"},
    NameCase{"LeadingDashLong", "-F=x"},
    NameCase{"Wildcards", "a*b?c"},
    NameCase{"Longest", std::string(255, 'n')}));
// clang-format on

TEST_P(AwkwardName, IsFoundByItsNameAndByAWildcardAndRemovedAlone)
{
    const std::string& name = GetParam().name;
    makeFile(dir / name, 40);
    makeFile(dir / (name.substr(0, 254) + "x"), 2); // a young neighbour
    const Names neighbour{name.substr(0, 254) + "x"};

    // By its own name after a first pattern, so that it cannot be an option; a
    // pattern too long for the buffer is refused whole.
    const std::string pattern = "./" + name;
    const RunResult byName = run({"-T", "none", pattern});
    const std::string sweep = pattern.size() <= 199 ? patternHeader(pattern) + listingHeader()
                                                          + noonRow("TST", 40, 0, name) + countLines(1, 0, 0)
                                                    : refusal(pattern.substr(0, 60));
    EXPECT_EQ(byName.out, banner() + testRunLine() + headline(31) + patternHeader("none") + nothingFound() + sweep
                              + (pattern.size() <= 199 ? summary(2, 1, 0, 0) : ""));

    const RunResult byWildcard = run({"*"});
    EXPECT_EQ(byWildcard.status, 0);
    EXPECT_EQ(byWildcard.out, banner() + headline(31) + patternHeader("*") + listingHeader()
                                  + noonRow("DEL", 40, 0, name) + countLines(1, 1, 0));
    EXPECT_EQ(remaining(dir.path()), neighbour);
}

struct LengthCase {
    std::size_t length;
    bool asTextOption;
    bool quiet; // a refusal is said even under -Q
};

void PrintTo(const LengthCase& c, std::ostream* out)
{
    *out << c.length << (c.asTextOption ? " as -F" : "") << (c.quiet ? " with -Q" : "");
}

class PatternLength : public Fault, public testing::WithParamInterface<LengthCase> {};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Lengths, PatternLength, testing::Values(
    LengthCase{199, false, false}, LengthCase{200, false, false}, LengthCase{4096, false, false},
    LengthCase{199, true, false}, LengthCase{200, true, false}, LengthCase{4096, true, false},
    LengthCase{199, false, true}, LengthCase{200, false, true}, LengthCase{4096, true, true}));
// clang-format on

TEST_P(PatternLength, FitsWholeOrIsRefusedWholeNeverCut)
{
    // "./////x.log" padded with slashes names x.log; cut by one character it would
    // name x.lo instead.
    const std::string pattern = "." + std::string(GetParam().length - 6, '/') + "x.log";
    ASSERT_EQ(pattern.size(), GetParam().length);
    makeFile(dir / "x.log", 40);
    makeFile(dir / "x.lo", 40);
    const bool quiet = GetParam().quiet;
    std::vector<std::string> args{GetParam().asTextOption ? "-F=" + pattern : pattern};
    if (quiet)
        args.insert(args.begin(), "-Q");
    const RunResult result = run(args);
    EXPECT_EQ(result.status, 0);
    const std::string head = quiet ? "" : banner() + headline(31);
    if (pattern.size() <= 199) {
        EXPECT_EQ(result.out, quiet ? ""
                                    : head + patternHeader(pattern) + listingHeader() + noonRow("DEL", 40, 0, "x.log")
                                          + countLines(1, 1, 0));
        EXPECT_EQ(remaining(dir.path()), (Names{"x.lo"}));
    } else {
        EXPECT_EQ(result.out, head + refusal(pattern.substr(0, 60)));
        EXPECT_EQ(remaining(dir.path()), (Names{"x.lo", "x.log"}));
    }
}

namespace {

class OutputFault : public Fault, public testing::WithParamInterface<Sink> {};

} // namespace

INSTANTIATE_TEST_SUITE_P(Sinks, OutputFault, testing::Values(Sink::FullDevice, Sink::PipeClosedAfterOneByte));

// Freeing space is what the tool is for: output that cannot be written must not
// stop the deletions, nor end the process with a signal or a failure status.
TEST_P(OutputFault, DeletesEverythingAndEndsWithStatusZero)
{
    // Far more rows than one buffer of output holds, so that writes fail midway.
    constexpr int fileCount = 3000;
    for (int i = 0; i < fileCount; ++i)
        makeFile(dir / ("file" + std::to_string(i) + ".log"), 40);
    makeFile(dir / "young.log", 2);
    EXPECT_EQ(runFegaus({"*.log", "none*", "*.log"}, {.cwd = dir.path(), .sink = GetParam()}).status, 0);
    EXPECT_EQ(remaining(dir.path()), (Names{"young.log"}));
}
