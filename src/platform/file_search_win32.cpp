// The platform layer on Windows, over kernel32 and the C runtime.
//
// The search is the system's own wildcard search: which names match (case,
// "*.*", short 8.3 names) is the system's rule, and the tool adds none of its
// own. Entries come in the order the system delivers them, directories and the
// entries "." and ".." included; choosing files is the sweep's business.

#include "platform/file_search.h"

#include "platform/calendar_fields.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <ctime>

// The MinGW start-up would otherwise be free to expand wildcards in the
// arguments before main; a pattern has to reach the search as it was typed.
extern "C" {
int _dowildcard = 0;
}

struct SearchState {
    HANDLE handle;
};

namespace {

// One search runs at a time, so its state needs no allocation.
SearchState theSearch;

// A FILETIME counts 100-nanosecond ticks since 1601-01-01 00:00:00 UTC.
constexpr std::uint64_t ticksPerSecond = 10'000'000;
constexpr std::uint64_t ticksBefore1970 = 116'444'736'000'000'000;

std::uint64_t ticksOf(const FILETIME& time)
{
    return (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

} // namespace

// A file's timestamp as a point in time. A zero FILETIME was never recorded;
// a time before 1970 has no date either. Whole seconds, rounded down.
PointInTime pointInTimeOf(const FILETIME& time)
{
    const std::uint64_t ticks = ticksOf(time);
    if (ticks == 0 || ticks < ticksBefore1970)
        return noTime;
    return static_cast<PointInTime>((ticks - ticksBefore1970) / ticksPerSecond);
}

// Fills every field of entry from one result of the system's search.
void entryFromFindData(const WIN32_FIND_DATAA& data, FindEntry& entry)
{
    // The system reports a file without any other attribute as NORMAL alone;
    // for the tool that is a file with no attribute bit set.
    entry.attributes = data.dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : data.dwFileAttributes;
    entry.creationTime = pointInTimeOf(data.ftCreationTime);
    entry.accessTime = pointInTimeOf(data.ftLastAccessTime);
    entry.writeTime = pointInTimeOf(data.ftLastWriteTime);
    entry.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    static_assert(sizeof entry.name == sizeof data.cFileName);
    std::memcpy(entry.name, data.cFileName, sizeof entry.name);
    entry.name[sizeof entry.name - 1] = '\0';
}

SearchHandle findFirst(const char* pattern, FindEntry& entry)
{
    WIN32_FIND_DATAA data;
    const HANDLE handle = FindFirstFileA(pattern, &data);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    theSearch.handle = handle;
    entryFromFindData(data, entry);
    return &theSearch;
}

int findNext(SearchHandle search, FindEntry& entry)
{
    WIN32_FIND_DATAA data;
    if (!FindNextFileA(search->handle, &data))
        return 1;
    entryFromFindData(data, entry);
    return 0;
}

void closeSearch(SearchHandle search)
{
    FindClose(search->handle);
    search->handle = INVALID_HANDLE_VALUE;
}

// DeleteFileA refuses a read-only file, and the tool never clears that
// attribute: a file someone protected stays.
int removeFile(SearchHandle, const char* path)
{
    return DeleteFileA(path) ? 0 : -1;
}

int directoryPartLength(const char* pattern)
{
    int length = 0;
    for (int i = 0; pattern[i] != '\0'; ++i) {
        // In a double-byte code page the second byte of a character may look
        // like a backslash; it never separates anything.
        if (IsDBCSLeadByte(static_cast<BYTE>(pattern[i])) && pattern[i + 1] != '\0') {
            ++i;
            continue;
        }
        if (pattern[i] == '\\' || pattern[i] == '/')
            length = i + 1;
    }
    // "e:*.log" searches the current directory of drive e:, and the drive
    // belongs in front of every name found there.
    if (length == 0 && isAsciiLetter(pattern[0]) && pattern[1] == ':')
        length = 2;
    return length;
}

PointInTime now()
{
    FILETIME clock;
    GetSystemTimeAsFileTime(&clock);
    return static_cast<PointInTime>((ticksOf(clock) - ticksBefore1970) / ticksPerSecond);
}

// The C runtime applies TZ when it is set, the system's zone otherwise, and in
// either case the daylight rule in force at the given date, not today's: a
// file's date does not move when the clocks change.
bool localDateTime(PointInTime time, LocalDateTime& local)
{
    if (time < 0)
        return false;
    const __time64_t value = time;
    std::tm fields;
    return _localtime64_s(&fields, &value) == 0 && calendarFields(fields, local);
}

namespace {

// True when every print has to reach the output at once: a console, which
// buffers nothing by lines. Fixed by openConsole.
bool flushEachPrint = false;

} // namespace

void openConsole()
{
    // Text mode writes every "\n" as "\r\n" and converts nothing else: texts,
    // patterns and names go out as the bytes they are.
    _setmode(_fileno(stdout), _O_TEXT);
    // Redirected, output goes out in blocks of 4096 bytes; on a console every
    // print appears as soon as it is made.
    static char buffer[4096];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    DWORD mode;
    flushEachPrint = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// A Windows console shows code page 850 as the tool writes it.
bool consoleTakesUtf8()
{
    return false;
}

void writeOut(const char* bytes, std::size_t length)
{
    std::fwrite(bytes, 1, length, stdout);
    if (flushEachPrint)
        std::fflush(stdout);
}

const char* rawCommandLine()
{
    return GetCommandLineA();
}
