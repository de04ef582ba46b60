// The platform layer on Windows, over kernel32 and the C runtime.
//
// The search is the system's own wildcard search: which names match (case,
// "*.*", short 8.3 names) is the system's rule, and the tool adds none of its
// own. Entries come in the order the system delivers them, directories and the
// entries "." and ".." included; choosing files is the sweep's business.
//
// Patterns arrive and names are listed in the ANSI code page, exactly as the
// system's ANSI search would take and give them. Underneath, the search runs on
// the UTF-16 names the file system holds, and a file is removed by its exact
// UTF-16 name in the directory the search resolved, through a "\\?\" path that
// the system takes as it stands. The ANSI form of a name may stand for another
// file: characters the code page lacks are replaced by look-alikes (an A with a
// macron by a plain A, a fullwidth backslash by a backslash), and a name given
// back to the system loses its trailing dots and blanks. Removing by that form
// could hit a namesake, even in another directory; by the exact name it cannot.

#include "platform/file_search.h"

#include "platform/calendar_fields.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>

// The MinGW start-up would otherwise be free to expand wildcards in the
// arguments before main; a pattern has to reach the search as it was typed.
extern "C" {
int _dowildcard = 0;
}

namespace {

// The longest path the system takes in its "\\?\" form, terminator included.
constexpr std::size_t pathCapacity = 32768;

} // namespace

struct SearchState {
    HANDLE handle;
    UINT codePage;               // of patterns and listed names
    WIN32_FIND_DATAW found;      // the entry delivered last, with its exact name
    bool foundRemovable;         // its listed name is whole, so its row names it
    char listedName[MAX_PATH];   // the name its row shows
    std::size_t directoryLength; // of the directory in path; 0 when not known
    wchar_t path[pathCapacity];  // "\\?\" and the searched directory, then a name
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

// The code page of the ANSI file functions: the ANSI one unless the process
// switched them to the OEM one.
UINT fileNameCodePage()
{
    return AreFileApisANSI() ? CP_ACP : CP_OEMCP;
}

bool startsWith(const wchar_t* text, const wchar_t* start)
{
    return std::wcsncmp(text, start, std::wcslen(start)) == 0;
}

// Writes prefix and the first length characters of text into path; the length
// written, or 0 when it leaves no room for a name.
std::size_t joinPath(wchar_t* path, const wchar_t* prefix, const wchar_t* text, std::size_t length)
{
    const std::size_t prefixLength = std::wcslen(prefix);
    if (prefixLength + length + MAX_PATH > pathCapacity)
        return 0;
    std::wmemmove(path + prefixLength, text, length); // text may lie in path itself
    std::wmemcpy(path, prefix, prefixLength);
    return prefixLength + length;
}

// Whether path ends in name as a whole component.
bool pathEndsInName(const char* path, const char* name)
{
    const std::size_t pathLength = std::strlen(path);
    const std::size_t nameLength = std::strlen(name);
    if (nameLength == 0 || nameLength > pathLength)
        return false;
    const std::size_t start = pathLength - nameLength;
    if (std::strcmp(path + start, name) != 0)
        return false;
    const char before = start == 0 ? '\\' : path[start - 1];
    return before == '\\' || before == '/' || before == ':';
}

} // namespace

// The name in the form the ANSI search gives it: the code page's characters, a
// look-alike or '?' for the others. false when that form does not fit a listed
// name: it is then cut after the last whole character that leaves room for a
// closing '*', a character no file name holds, so that the cut form can never
// read as the name of some other file.
bool listedNameOf(const wchar_t* name, UINT codePage, char (&listed)[MAX_PATH])
{
    if (WideCharToMultiByte(codePage, 0, name, -1, listed, MAX_PATH, nullptr, nullptr) > 0)
        return true;
    int length = 0;
    for (int units = static_cast<int>(std::wcslen(name)) - 1; units > 0; --units) {
        if (IS_HIGH_SURROGATE(name[units - 1]))
            continue; // never half a character
        length = WideCharToMultiByte(codePage, 0, name, units, listed, MAX_PATH - 2, nullptr,
                                     nullptr);
        if (length > 0)
            break;
    }
    listed[length] = '*';
    listed[length + 1] = '\0';
    return false;
}

// Writes "\\?\" and the directory the system searches for the pattern into
// path, resolved once as the search resolves it (current directory, drive, "."
// and "..", separators, trailing dots and blanks); its length, or 0 when it
// cannot be known, and then nothing the search finds may be removed.
std::size_t removalDirectory(const wchar_t* pattern, wchar_t* path)
{
    // A path given in the system's own form is searched as it stands.
    if (startsWith(pattern, L"\\\\?\\") || startsWith(pattern, L"\\??\\")) {
        const wchar_t* const directory = pattern + 4;
        const wchar_t* const last = std::wcsrchr(directory, L'\\');
        if (last == nullptr)
            return 0;
        return joinPath(path, L"\\\\?\\", directory, static_cast<std::size_t>(last + 1 - directory));
    }
    // Resolved behind the room for the longest prefix, then moved to the front.
    wchar_t* const full = path + 8;
    wchar_t* filePart = nullptr;
    const DWORD length = GetFullPathNameW(pattern, pathCapacity - 8, full, &filePart);
    if (length == 0 || length >= pathCapacity - 8 || filePart == nullptr)
        return 0;
    const auto upToName = [&](const wchar_t* from) {
        return static_cast<std::size_t>(filePart - from);
    };
    if (startsWith(full, L"\\\\.\\") || startsWith(full, L"\\\\?\\"))
        return joinPath(path, L"\\\\?\\", full + 4, upToName(full + 4));
    if (startsWith(full, L"\\\\"))
        return joinPath(path, L"\\\\?\\UNC\\", full + 2, upToName(full + 2));
    return joinPath(path, L"\\\\?\\", full, upToName(full));
}

// A file's timestamp as a point in time. A zero FILETIME was never recorded;
// a time before 1970 has no date either. Whole seconds, rounded down.
PointInTime pointInTimeOf(const FILETIME& time)
{
    const std::uint64_t ticks = ticksOf(time);
    if (ticks == 0 || ticks < ticksBefore1970)
        return noTime;
    return static_cast<PointInTime>((ticks - ticksBefore1970) / ticksPerSecond);
}

// Fills every field of entry from one result of the system's search, the name
// as listedNameOf gives it; false when the name had to be cut.
bool entryFromFindData(const WIN32_FIND_DATAW& data, UINT codePage, FindEntry& entry)
{
    // The system reports a file without any other attribute as NORMAL alone;
    // for the tool that is a file with no attribute bit set.
    entry.attributes = data.dwFileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : data.dwFileAttributes;
    entry.creationTime = pointInTimeOf(data.ftCreationTime);
    entry.accessTime = pointInTimeOf(data.ftLastAccessTime);
    entry.writeTime = pointInTimeOf(data.ftLastWriteTime);
    entry.size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
    return listedNameOf(data.cFileName, codePage, entry.name);
}

namespace {

// Hands the entry the search delivered last to the caller, and keeps what its
// removal needs.
void deliverFound(SearchState& search, FindEntry& entry)
{
    search.foundRemovable = entryFromFindData(search.found, search.codePage, entry);
    std::strcpy(search.listedName, entry.name);
}

} // namespace

SearchHandle findFirst(const char* pattern, FindEntry& entry)
{
    // The pattern becomes UTF-16 as the ANSI search would convert it, so that
    // the system matches exactly what it would have matched.
    SearchState& search = theSearch;
    search.codePage = fileNameCodePage();
    wchar_t widePattern[MAX_PATH];
    if (MultiByteToWideChar(search.codePage, 0, pattern, -1, widePattern, MAX_PATH) == 0)
        return nullptr;
    const HANDLE handle = FindFirstFileW(widePattern, &search.found);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    search.handle = handle;
    search.directoryLength = removalDirectory(widePattern, search.path);
    deliverFound(search, entry);
    return &search;
}

const char* refusedStep()
{
    return nullptr; // every way is taken as it is
}

int findNext(SearchHandle search, FindEntry& entry)
{
    if (!FindNextFileW(search->handle, &search->found)) {
        search->foundRemovable = false;
        return 1;
    }
    deliverFound(*search, entry);
    return 0;
}

void closeSearch(SearchHandle search)
{
    FindClose(search->handle);
    search->handle = INVALID_HANDLE_VALUE;
    search->foundRemovable = false;
}

// Removes the entry the search delivered last, by its exact name in the
// directory the search resolved at its start, and only when path names it as it
// was listed. DeleteFileW refuses a read-only file, and the tool never clears
// that attribute: a file someone protected stays.
int removeFile(SearchHandle search, const char* path)
{
    if (!search->foundRemovable || search->directoryLength == 0
        || !pathEndsInName(path, search->listedName))
        return -1;
    wchar_t* const name = search->path + search->directoryLength;
    std::wcscpy(name, search->found.cFileName); // room for it is kept by joinPath
    return DeleteFileW(search->path) ? 0 : -1;
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
