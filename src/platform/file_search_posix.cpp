// The directory search and the removal of what it found, on POSIX systems.
//
// A search reaches the pattern's directory by steps that no other user can have
// prepared (safe_way_posix.cpp), opens it once, and judges and removes every entry
// relative to that open directory, so that a directory renamed or replaced along
// the pattern's path during the run can never turn a removal onto another
// directory. Names are matched before the file system is asked anything about
// them. The matching names are read in batches of bounded size and each batch is
// worked through in the order of the entries' inode numbers: memory does not grow
// with the directory.

#include "platform/file_search.h"

#include "platform/safe_way_posix.h"
#include "platform/stored_spelling_posix.h"
#include "platform/test_hooks_posix.h"
#include "platform/wildcard.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

namespace {

constexpr int longestName = 256; // a name of 255 bytes and its zero

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
    return std::min(inode, largestSortedInode) << (nameOffsetBits + 1) | nameOffset << 1 | (isDirectory ? 1 : 0);
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

} // namespace

struct SearchState {
    const char* pattern;             // as given, for naming its directory in a failure
    int directoryLength;             // the length of its directory part
    int directoryFd;                 // the walk's, for search only, when the pattern names one file
    DIR* directory;                  // nullptr when the pattern names one file
    char namePattern[longestName];   // the pattern's last component
    WildcardPattern preparedPattern; // namePattern, made ready once for every entry read
    char currentName[longestName];   // the entry delivered last, and its mode
    mode_t currentMode;
    Batch batch; // the listed matches not yet delivered
};

namespace {

// One search runs at a time, so its state, batch and all, needs no allocation.
SearchState theSearch;

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

// The sweep skips every entry marked as a directory, without a row and without
// counting it. The search gives that mark to everything that is no file to judge:
// directories, links to directories, FIFOs, sockets and device nodes.
constexpr std::uint32_t notAFileToJudge = attributeDirectory;

bool isFileToJudge(const FindEntry& entry)
{
    return (entry.attributes & notAFileToJudge) == 0;
}

// Fills entry for something that is no file to judge, without asking the file
// system for more.
void markNotAFileToJudge(const char* name, FindEntry& entry)
{
    entry = FindEntry{.attributes = notAFileToJudge,
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

// The creation time of a file whose file system records no birth time. Copying
// with the times kept (cp -p, tar, rsync -t, unzip) and touch -d set the last
// write into the past, so the write time alone could make a file copied in today
// look created months ago. The last status change is set by the system itself,
// when the file is made and at every change since, so the later of the two is
// never earlier than the true creation: no file is judged older than it is.
PointInTime creationStandIn(const struct statx& status)
{
    const PointInTime written = pointInTime(status.stx_mtime);
    const PointInTime changed = (status.stx_mask & STATX_CTIME) ? pointInTime(status.stx_ctime) : noTime;
    return changed > written ? changed : written;
}

// Fills entry from the entry's own status (a link is judged by the link itself).
void fillFromStatx(SearchState& search, const struct statx& status, const char* name, FindEntry& entry)
{
    std::strcpy(search.currentName, name);
    search.currentMode = status.stx_mode;
    if (!isCandidate(status.stx_mode)) {
        markNotAFileToJudge(name, entry);
        return;
    }
    if (S_ISLNK(status.stx_mode)) {
        // A link to a directory counts as a directory and is never judged.
        struct stat target;
        if (fstatat(search.directoryFd, name, &target, 0) == 0 && S_ISDIR(target.st_mode)) {
            markNotAFileToJudge(name, entry);
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

constexpr unsigned wantedStatus = STATX_TYPE | STATX_MODE | STATX_INO | STATX_NLINK | STATX_SIZE | STATX_ATIME
                                  | STATX_MTIME | STATX_CTIME | STATX_BTIME;

// Opens the directory that directoryFd stands for, to read its entries; nullptr
// with errno set when it may not be read.
DIR* openForReading(int directoryFd)
{
    const int readable = openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* directory = readable >= 0 ? fdopendir(readable) : nullptr;
    if (directory == nullptr && readable >= 0) {
        const int error = errno;
        close(readable);
        errno = error;
    }
    return directory;
}

// Gives a file that a name without wildcards found the spelling under which the
// directory stores it. Only where another spelling may reach it is the directory
// read; one that may be searched but not read leaves the pattern's spelling.
void takeStoredSpelling(SearchState& search, const struct statx& found, FindEntry& entry)
{
    if (!mayBeStoredOtherwise(search.directoryFd, found, entry))
        return;
    DIR* directory = openForReading(search.directoryFd);
    if (directory == nullptr)
        return;
    readStoredSpelling(directory, search.directoryFd, found, entry);
    closedir(directory);
    std::strcpy(search.currentName, entry.name);
}

// Fills entry from the status of the entry name, listed or named in full by a
// pattern without wildcards (the search then holds no listing); false when it
// has vanished or cannot be examined.
bool lookUpEntry(SearchState& search, const char* name, FindEntry& entry)
{
    struct statx status;
    if (!lookUp(search.directoryFd, name, wantedStatus, status))
        return false;
    fillFromStatx(search, status, name, entry);
    if (search.directory == nullptr && isFileToJudge(entry))
        takeStoredSpelling(search, status, entry);
    return true;
}

// Reads the next batch of matching entries and sorts it by inode number; false
// when the directory holds no further match.
bool readBatch(SearchState& search)
{
    Batch& batch = search.batch;
    batch.count = 0;
    batch.next = 0;
    std::size_t used = 0;
    // Room for the longest name is kept free, so that every name read fits.
    while (!batch.directoryEnd && batch.count < batchEntryLimit
           && used + longestName <= static_cast<std::size_t>(batchNameLimit)) {
        errno = 0;
        const dirent* found = readdir(search.directory);
        if (found == nullptr) {
            // A listing that broke off is no end of the directory: the entries
            // read so far are delivered, and the failure is said after them.
            if (errno != 0)
                recordUnlistable(search.pattern, search.directoryLength, errno);
            batch.directoryEnd = true;
            break;
        }
        const std::size_t size = std::strlen(found->d_name) + 1;
        if (!wildcardMatch(search.preparedPattern, found->d_name, size - 1))
            continue;
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
    Batch& batch = search.batch;
    for (;;) {
        if (batch.next == batch.count && !readBatch(search))
            return false;
        const BatchEntry next = batch.entries[batch.next++];
        const char* name = batch.names + nameOffsetOf(next);
        if (isDirectoryEntry(next)) {
            markNotAFileToJudge(name, entry);
            search.currentName[0] = '\0';
            return true;
        }
        if (lookUpEntry(search, name, entry))
            return true;
    }
}

// Opens the directory the walk ended in for reading its entries. Only a directory
// to be listed is: a single name needs no more than the right to search the
// directory, which one that may be searched but not listed (mode 0333 or 0311)
// grants, as it does to rm.
bool openForListing(SearchState& search)
{
    search.directory = openForReading(search.directoryFd);
    if (search.directory == nullptr) {
        recordUnlistable(search.pattern, search.directoryLength, errno);
        return false;
    }
    search.directoryFd = dirfd(search.directory);
    return true;
}

} // namespace

SearchHandle findFirst(const char* pattern, FindEntry& entry)
{
    const int directoryLength = directoryPartLength(pattern);
    const char* namePattern = pattern + directoryLength;
    SearchState& search = theSearch;
    // The way is walked first, so that an unsafe one is named whatever follows it.
    search.directoryFd = openSafeWay(pattern, directoryLength);
    if (search.directoryFd < 0)
        return nullptr;
    search.pattern = pattern;
    search.directoryLength = directoryLength;
    search.directory = nullptr;
    search.currentName[0] = '\0';
    if (std::strlen(namePattern) >= sizeof search.namePattern || *namePattern == '\0') {
        closeSearch(&search);
        return nullptr;
    }
    std::strcpy(search.namePattern, namePattern);
    search.preparedPattern = prepareWildcard(search.namePattern);

    // A name without wildcards is looked up directly instead of reading the whole
    // directory for it; its last component is the file itself, never part of the way.
    if (!hasWildcard(namePattern)) {
        if (lookUpEntry(search, namePattern, entry))
            return &search;
        recordUnlistable(pattern, directoryLength, errno);
    } else if (openForListing(search)) {
        search.batch.count = 0;
        search.batch.next = 0;
        search.batch.directoryEnd = false;
        if (nextMatch(search, entry))
            return &search;
    }
    closeSearch(&search);
    return nullptr;
}

int findNext(SearchHandle search, FindEntry& entry)
{
    if (search->directory != nullptr && nextMatch(*search, entry))
        return 0;
    search->currentName[0] = '\0'; // nothing is delivered once the end is reported
    return 1;
}

// Lowers the bounds of a batch for the searches that follow (tests only): the
// entries a batch holds, and the bytes its names may take, of which the longest
// name's room is kept free. Values out of range restore the default.
void setSearchBatchLimits(int entries, int nameBytes)
{
    const bool valid =
        entries >= 1 && entries <= batchEntryCapacity && nameBytes >= longestName && nameBytes <= batchNameCapacity;
    batchEntryLimit = valid ? entries : batchEntryCapacity;
    batchNameLimit = valid ? nameBytes : batchNameCapacity;
}

void closeSearch(SearchHandle search)
{
    // The walk's own descriptor stays with the walk. Neither the name nor the
    // descriptor number outlives the search: a number closed here may name
    // another directory by the time of a later call.
    if (search->directory != nullptr)
        closedir(search->directory);
    search->directory = nullptr;
    search->directoryFd = -1;
    search->currentName[0] = '\0';
}

int removeFile(SearchHandle search, const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    // Only the entry just judged may go. It was examined a moment ago; asking
    // again before every removal would cost a tenth of a sweep's time and leave
    // the same moment open between the asking and the removal.
    if (search->currentName[0] == '\0' || std::strcmp(name, search->currentName) != 0)
        return -1;
    const mode_t mode = search->currentMode;
    if (!isCandidate(mode) || isReadOnly(mode))
        return -1;
    return unlinkat(search->directoryFd, name, 0) == 0 ? 0 : -1;
}

int directoryPartLength(const char* pattern)
{
    const char* slash = std::strrchr(pattern, '/');
    return slash != nullptr ? static_cast<int>(slash - pattern + 1) : 0;
}
