// The platform layer on POSIX systems.
//
// A search opens the pattern's directory once and judges and removes every entry
// relative to that open directory, so that a directory renamed or replaced along
// the pattern's path during the run can never turn a removal onto another
// directory. Names are matched before the file system is asked anything about
// them. The matching names are read in batches of bounded size and each batch is
// worked through in the order of the entries' inode numbers: memory does not grow
// with the directory.

#include "platform/file_search.h"

#include "platform/calendar_fields.h"
#include "platform/wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <ctime>

struct SearchState {
    int directoryFd;         // opened only for search when the pattern names one file
    DIR* directory;          // nullptr when the pattern names one file
    char namePattern[256];   // the pattern's last component
    char currentName[256];   // the entry delivered last, and its mode
    mode_t currentMode;
};

namespace {

// One search runs at a time, so its state needs no allocation.
SearchState theSearch;

// A directory's own order is, on ext4, a hash of the names, which scatters the
// examinations and removals over the whole inode table and, with a journal, over
// far more journal blocks than the same work in inode order, where neighbouring
// removals touch neighbouring blocks. So the matching entries are collected in a
// batch, sorted by inode number and delivered in that order. The gain grows with
// the batch: on a journaled ext4, a million files are removed in batches of
// 98,304 within 3 % of the time of one sorted run, in batches of 65,536 to 81,920
// about 10 % slower, in batches of 16,384 a third slower. A batch is bounded in
// entries and in name bytes, and its entries are packed tight, so that it takes
// 2.25 MiB at most.
constexpr int longestName = 256; // a name of 255 bytes and its zero
constexpr int batchEntryCapacity = 98304;
// Room for a full batch of names of up to 15 bytes, besides the longest name's.
constexpr int batchNameCapacity = batchEntryCapacity * 16 + longestName;

// One entry of a batch in 8 bytes, as a number that sorts the way the batch is
// worked through: the inode number in the upper 40 bits, then where the name lies
// among the batch's packed names, then in the lowest bit whether the directory
// entry marks a directory. Inode numbers beyond 40 bits, which only the largest
// volumes hand out, sort as one, in the directory's order: the order is a matter
// of speed alone.
using BatchEntry = std::uint64_t;

constexpr std::uint64_t largestSortedInode = (std::uint64_t{1} << 40) - 1;
constexpr int nameOffsetBits = 23;
static_assert(batchNameCapacity <= 1 << nameOffsetBits);

BatchEntry batchEntry(std::uint64_t inode, std::size_t nameOffset, bool isDirectory)
{
    return std::min(inode, largestSortedInode) << (nameOffsetBits + 1) | nameOffset << 1
           | (isDirectory ? 1 : 0);
}

std::size_t nameOffsetOf(BatchEntry entry)
{
    return entry >> 1 & ((std::uint64_t{1} << nameOffsetBits) - 1);
}

bool isDirectoryEntry(BatchEntry entry)
{
    return (entry & 1) != 0;
}

struct Batch {
    int count;         // entries in the batch
    int next;          // the entry to deliver next
    bool directoryEnd; // the directory has been read to its end
    BatchEntry entries[batchEntryCapacity];
    char names[batchNameCapacity];
};

Batch theBatch;

// The bounds in use; only tests lower them, to see many batches in a small directory.
int batchEntryLimit = batchEntryCapacity;
int batchNameLimit = batchNameCapacity;

bool zeroTimestamp(const statx_timestamp& stamp)
{
    return stamp.tv_sec == 0 && stamp.tv_nsec == 0;
}

// A zero timestamp was never recorded, and a file without a date is never old.
PointInTime pointInTime(const statx_timestamp& stamp)
{
    return zeroTimestamp(stamp) ? noTime : static_cast<PointInTime>(stamp.tv_sec);
}

// Fills entry for a directory without asking the file system for more.
void fillDirectory(const char* name, FindEntry& entry)
{
    entry = FindEntry{.attributes = attributeDirectory,
                      .creationTime = noTime,
                      .accessTime = noTime,
                      .writeTime = noTime,
                      .size = 0,
                      .name = {}};
    std::strcpy(entry.name, name);
}

// Only regular files and symbolic links are what a user means by a file: a FIFO,
// a socket or a device node belongs to whoever made it and is never removed.
bool isCandidate(mode_t mode)
{
    return S_ISREG(mode) || S_ISLNK(mode);
}

// A regular file without any write permission is read-only and stays, even for root.
bool isReadOnly(mode_t mode)
{
    return S_ISREG(mode) && (mode & 0222) == 0;
}

// The status of the entry name itself (a link, not its target); false when it
// has vanished or cannot be examined.
bool lookUp(int directoryFd, const char* name, unsigned wanted, struct statx& status)
{
    return statx(directoryFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, wanted, &status) == 0;
}

bool sameFile(const struct statx& a, const struct statx& b)
{
    return a.stx_ino == b.stx_ino && a.stx_dev_major == b.stx_dev_major
           && a.stx_dev_minor == b.stx_dev_minor;
}

// The creation time of a file whose file system records no birth time. Copying
// with the times kept (cp -p, tar, rsync -t, unzip) and touch -d set the last
// write into the past, so the write time alone could make a file copied in today
// look created months ago. The last status change is set by the system itself,
// when the file is made and at every change since, so the later of the two is
// never earlier than the true creation: no file is judged older than it is.
PointInTime creationStandIn(const struct statx& status)
{
    const PointInTime written = pointInTime(status.stx_mtime);
    const PointInTime changed =
        (status.stx_mask & STATX_CTIME) ? pointInTime(status.stx_ctime) : noTime;
    return changed > written ? changed : written;
}

// Fills entry from the entry's own status (a link is judged by the link itself).
// Whatever is not a file to judge reaches the sweep marked as a directory, which
// it skips without a row and without counting it.
void fillFromStatx(SearchState& search, const struct statx& status, const char* name,
                   FindEntry& entry)
{
    std::strcpy(search.currentName, name);
    search.currentMode = status.stx_mode;
    if (!isCandidate(status.stx_mode)) {
        fillDirectory(name, entry);
        return;
    }
    if (S_ISLNK(status.stx_mode)) {
        // A link to a directory counts as a directory and is never judged.
        struct stat target;
        if (fstatat(search.directoryFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
            fillDirectory(name, entry);
            return;
        }
    }
    entry.attributes = isReadOnly(status.stx_mode) ? attributeReadOnly : 0;
    entry.writeTime = pointInTime(status.stx_mtime);
    entry.accessTime = pointInTime(status.stx_atime);
    const bool hasBirth = (status.stx_mask & STATX_BTIME) && !zeroTimestamp(status.stx_btime);
    entry.creationTime = hasBirth ? pointInTime(status.stx_btime) : creationStandIn(status);
    entry.size = status.stx_size;
    std::strcpy(entry.name, name);
}

constexpr unsigned wantedStatus = STATX_TYPE | STATX_MODE | STATX_INO | STATX_NLINK | STATX_SIZE
                                  | STATX_ATIME | STATX_MTIME | STATX_CTIME | STATX_BTIME;

// Fills entry from the status of the entry name; false when it has vanished or
// cannot be examined.
bool fillFromStatus(SearchState& search, const char* name, FindEntry& entry)
{
    struct statx status;
    if (!lookUp(search.directoryFd, name, wantedStatus, status))
        return false;
    fillFromStatx(search, status, name, entry);
    return true;
}

// Writes name into turned with the case of its ASCII letters turned; false when it
// has no such letter.
bool turnCase(const char* name, char* turned)
{
    bool letter = false;
    for (; *name != '\0'; ++name, ++turned) {
        const char c = *name;
        const bool isLetter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        letter = letter || isLetter;
        *turned = isLetter ? static_cast<char>(c ^ 0x20) : c; // 'a' ^ 0x20 is 'A'
    }
    *turned = '\0';
    return letter;
}

// Reads the directory for the spelling under which found is stored, when it differs
// from entry's name in the case of ASCII letters only. An entry spelled exactly as
// asked wins: on a file system where case counts, a hard link may differ in case.
void readStoredSpelling(DIR* directory, int directoryFd, const struct statx& found, FindEntry& entry)
{
    char stored[256] = "";
    while (const dirent* listed = readdir(directory)) {
        if (strcasecmp(listed->d_name, entry.name) != 0)
            continue;
        if (std::strcmp(listed->d_name, entry.name) == 0)
            return;
        struct statx status;
        if (stored[0] == '\0' && lookUp(directoryFd, listed->d_name, STATX_INO, status)
            && sameFile(status, found)) {
            std::strcpy(stored, listed->d_name);
            if (found.stx_nlink == 1)
                break; // the file has no other name to find
        }
    }
    if (stored[0] != '\0')
        std::strcpy(entry.name, stored);
}

// On a file system that ignores case (vfat, NTFS), a name looked up directly may
// reach a file stored under another spelling, and the listing must show the name
// as stored. Where case counts, the name with its letters' case turned reaches
// nothing (or another file) and that one lookup is all it costs; only where it
// reaches the same file is the directory read. A directory that may be searched
// but not read, and a difference in letters outside ASCII, leave the pattern's
// spelling.
void takeStoredSpelling(int directoryFd, const struct statx& found, FindEntry& entry)
{
    char turned[sizeof entry.name];
    struct statx other;
    if (!turnCase(entry.name, turned) || !lookUp(directoryFd, turned, STATX_INO, other)
        || !sameFile(other, found))
        return;
    const int readable = openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable < 0)
        return;
    DIR* directory = fdopendir(readable);
    if (directory == nullptr) {
        close(readable);
        return;
    }
    readStoredSpelling(directory, directoryFd, found, entry);
    closedir(directory);
}

// Looks up the one file a pattern without wildcards names; false when it is not there.
bool lookUpSingleName(SearchState& search, const char* name, FindEntry& entry)
{
    struct statx status;
    if (!lookUp(search.directoryFd, name, wantedStatus, status))
        return false;
    fillFromStatx(search, status, name, entry);
    if (!(entry.attributes & attributeDirectory)) {
        takeStoredSpelling(search.directoryFd, status, entry);
        std::strcpy(search.currentName, entry.name);
    }
    return true;
}

// Reads the next batch of matching entries and sorts it by inode number; false
// when the directory holds no further match.
bool readBatch(SearchState& search, Batch& batch)
{
    batch.count = 0;
    batch.next = 0;
    std::size_t used = 0;
    // Room for the longest name is kept free, so that every name read fits.
    while (!batch.directoryEnd && batch.count < batchEntryLimit
           && used + longestName <= static_cast<std::size_t>(batchNameLimit)) {
        const dirent* found = readdir(search.directory);
        if (found == nullptr) {
            batch.directoryEnd = true;
            break;
        }
        if (!wildcardMatch(search.namePattern, found->d_name))
            continue;
        const std::size_t size = std::strlen(found->d_name) + 1;
        std::memcpy(batch.names + used, found->d_name, size);
        batch.entries[batch.count++] = batchEntry(found->d_ino, used, found->d_type == DT_DIR);
        used += size;
    }
    std::sort(batch.entries, batch.entries + batch.count);
    return batch.count > 0;
}

// Delivers the next matching entry that still exists; false at the end. An entry
// that vanished since its batch was read leaves no trace.
bool nextMatch(SearchState& search, FindEntry& entry)
{
    Batch& batch = theBatch;
    for (;;) {
        if (batch.next == batch.count && !readBatch(search, batch))
            return false;
        const BatchEntry next = batch.entries[batch.next++];
        const char* name = batch.names + nameOffsetOf(next);
        if (isDirectoryEntry(next)) {
            fillDirectory(name, entry);
            search.currentName[0] = '\0';
            return true;
        }
        if (fillFromStatus(search, name, entry))
            return true;
    }
}

// Opens the directory part of the pattern; -1 when it cannot be opened. Only a
// directory to be listed is opened for reading: a single name needs no more than
// the right to search the directory, which one that may be searched but not
// listed (mode 0333 or 0311) grants, as it does to rm.
int openPatternDirectory(const char* pattern, int directoryLength, bool forListing)
{
    const int how = (forListing ? O_RDONLY : O_PATH) | O_DIRECTORY | O_CLOEXEC;
    if (directoryLength == 0)
        return open(".", how);
    char directory[256];
    std::memcpy(directory, pattern, static_cast<std::size_t>(directoryLength));
    directory[directoryLength] = '\0';
    return open(directory, how);
}

} // namespace

SearchHandle findFirst(const char* pattern, FindEntry& entry)
{
    const int directoryLength = directoryPartLength(pattern);
    const char* namePattern = pattern + directoryLength;
    if (directoryLength >= 256 || std::strlen(namePattern) >= sizeof theSearch.namePattern
        || *namePattern == '\0')
        return nullptr;
    SearchState& search = theSearch;
    const bool singleName = !hasWildcard(namePattern);
    search.directoryFd = openPatternDirectory(pattern, directoryLength, !singleName);
    if (search.directoryFd < 0)
        return nullptr;
    std::strcpy(search.namePattern, namePattern);
    search.directory = nullptr;
    search.currentName[0] = '\0';

    // A name without wildcards is looked up directly instead of reading the whole
    // directory for it.
    if (singleName) {
        if (lookUpSingleName(search, namePattern, entry))
            return &search;
        close(search.directoryFd);
        return nullptr;
    }
    search.directory = fdopendir(search.directoryFd);
    if (search.directory == nullptr) {
        close(search.directoryFd);
        return nullptr;
    }
    theBatch.count = 0;
    theBatch.next = 0;
    theBatch.directoryEnd = false;
    if (nextMatch(search, entry))
        return &search;
    closedir(search.directory);
    return nullptr;
}

const char* refusedStep()
{
    return nullptr; // every way is taken as it is
}

int findNext(SearchHandle search, FindEntry& entry)
{
    if (search->directory == nullptr)
        return 1;
    return nextMatch(*search, entry) ? 0 : 1;
}

// Lowers the bounds of a batch for the searches that follow (tests only; declared
// there): the entries a batch holds, and the bytes its names may take, of which
// the longest name's room is kept free. Values out of range restore the default.
void setSearchBatchLimits(int entries, int nameBytes)
{
    const bool valid = entries >= 1 && entries <= batchEntryCapacity && nameBytes >= longestName
                       && nameBytes <= batchNameCapacity;
    batchEntryLimit = valid ? entries : batchEntryCapacity;
    batchNameLimit = valid ? nameBytes : batchNameCapacity;
}

void closeSearch(SearchHandle search)
{
    if (search->directory != nullptr)
        closedir(search->directory); // closes directoryFd too
    else
        close(search->directoryFd);
}

int removeFile(SearchHandle search, const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    // The entry the search has just delivered was examined a moment ago; asking
    // again before every removal would cost a tenth of a sweep's time and leave
    // the same moment open between the asking and the removal.
    mode_t mode = search->currentMode;
    if (std::strcmp(name, search->currentName) != 0) {
        struct stat status;
        if (fstatat(search->directoryFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            return -1;
        mode = status.st_mode;
    }
    if (!isCandidate(mode) || isReadOnly(mode))
        return -1;
    return unlinkat(search->directoryFd, name, 0) == 0 ? 0 : -1;
}

int directoryPartLength(const char* pattern)
{
    const char* slash = std::strrchr(pattern, '/');
    return slash != nullptr ? static_cast<int>(slash - pattern + 1) : 0;
}

PointInTime now()
{
    timespec clock;
    clock_gettime(CLOCK_REALTIME, &clock);
    return clock.tv_sec;
}

namespace {

// A local calendar day without a change of UTC offset in it: every point in time
// of [start, start + 86400) lies on this date, at (time - start) seconds past midnight.
struct CachedDay {
    PointInTime start;
    int year;
    int month;
    int day;
};

// Files of a directory mostly share a few dates, so the last days converted are
// kept; a day on which the offset changes is never kept and always converted anew.
CachedDay cachedDays[4];
int cachedDayCount = 0;
int nextCachedDay = 0;

bool sameLocalDay(const std::tm& a, const std::tm& b)
{
    return a.tm_year == b.tm_year && a.tm_yday == b.tm_yday && a.tm_gmtoff == b.tm_gmtoff;
}

// Remembers the day of time when midnight and the day's last second share its offset.
void rememberDay(PointInTime time, const std::tm& fields)
{
    const PointInTime start = time - (fields.tm_hour * 3600 + fields.tm_min * 60 + fields.tm_sec);
    const std::time_t first = static_cast<std::time_t>(start);
    const std::time_t last = static_cast<std::time_t>(start + 86399);
    std::tm atFirst;
    std::tm atLast;
    if (localtime_r(&first, &atFirst) == nullptr || localtime_r(&last, &atLast) == nullptr)
        return;
    if (!sameLocalDay(atFirst, fields) || !sameLocalDay(atLast, fields) || atFirst.tm_hour != 0
        || atFirst.tm_min != 0 || atFirst.tm_sec != 0 || atLast.tm_hour != 23
        || atLast.tm_min != 59 || atLast.tm_sec != 59)
        return;
    cachedDays[nextCachedDay] = CachedDay{.start = start,
                                          .year = fields.tm_year + 1900,
                                          .month = fields.tm_mon + 1,
                                          .day = fields.tm_mday};
    nextCachedDay = (nextCachedDay + 1) % 4;
    if (cachedDayCount < 4)
        ++cachedDayCount;
}

bool fromCachedDay(PointInTime time, LocalDateTime& local)
{
    for (int i = 0; i < cachedDayCount; ++i) {
        const CachedDay& cached = cachedDays[i];
        if (time >= cached.start && time - cached.start < 86400) {
            const auto seconds = static_cast<int>(time - cached.start);
            local = LocalDateTime{.year = cached.year,
                                  .month = cached.month,
                                  .day = cached.day,
                                  .hour = seconds / 3600,
                                  .minute = seconds % 3600 / 60};
            return true;
        }
    }
    return false;
}

} // namespace

bool localDateTime(PointInTime time, LocalDateTime& local)
{
    if (time < 0)
        return false;
    if (fromCachedDay(time, local))
        return true;
    const std::time_t value = static_cast<std::time_t>(time);
    std::tm fields;
    if (localtime_r(&value, &fields) == nullptr || !calendarFields(fields, local))
        return false;
    rememberDay(time, fields);
    return true;
}

namespace {

// Whether the user's locale writes its characters in UTF-8. The locale is
// consulted only here: the tool itself runs in the C locale throughout, so that
// nothing else it does (the option scan's upper case above all) depends on it.
bool localeSpeaksUtf8()
{
    if (std::setlocale(LC_CTYPE, "") == nullptr)
        return false;
    const char* codeset = nl_langinfo(CODESET);
    const bool utf8 = codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
    std::setlocale(LC_CTYPE, "C");
    return utf8;
}

// Whether the program's texts go out in UTF-8; fixed by openConsole.
bool textsInUtf8 = false;

} // namespace

void openConsole()
{
    // Into a file or a pipe a million rows must not be a million writes; a
    // terminal sees every line at once.
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    static char buffer[65536];
    std::setvbuf(stdout, buffer, terminal ? _IOLBF : _IOFBF, sizeof buffer);
    // A reader that goes away early must not stop a cleanup halfway.
    std::signal(SIGPIPE, SIG_IGN);
    // A person at a UTF-8 terminal reads the texts in UTF-8; a file or a pipe
    // always gets code page 850, the same bytes on every system, for scripts.
    textsInUtf8 = terminal && localeSpeaksUtf8();
}

bool consoleTakesUtf8()
{
    return textsInUtf8;
}

void writeOut(const char* bytes, std::size_t length)
{
    std::fwrite(bytes, 1, length, stdout);
}

const char* rawCommandLine()
{
    return nullptr;
}

// Patterns and names are the bytes a terminal shows as they are.
const char* shownPattern(const char* pattern, char (&)[shownCapacity])
{
    return pattern;
}

const char* shownName(SearchHandle, const FindEntry& entry, char (&)[shownCapacity])
{
    return entry.name;
}
