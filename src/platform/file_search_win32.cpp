// The directory search and the removal of what it found, on Windows.
//
// A search opens the pattern's directory once, by the checked way of
// safe_way_win32, and both reads the entries and removes files through
// that one handle: nothing is resolved by path after the search started, so a
// directory renamed, or replaced by a junction, during the run cannot turn a
// removal into another directory. A file is removed only when the file opened
// for it is the very entry the search delivered.
//
// Which names match is the system's rule, and the tool adds none of its own:
// the file system gets the mask that the system's own wildcard search hands it,
// so case, "*.*", short 8.3 names, "?" and trailing dots match as they always
// did. Entries come in the order the file system delivers them, directories and
// the entries "." and ".." included (none at a drive's root, where the system's
// own search delivers none); choosing files is the sweep's business. Where a
// file system or server lists no file IDs, the search lists without them.
//
// Patterns arrive and names are listed in the ANSI code page, exactly as the
// system's ANSI search would take and give them. Underneath, everything runs on
// the UTF-16 names the file system holds, and a file is removed by its exact
// UTF-16 name. The ANSI form of a name may stand for another file: characters
// the code page lacks are replaced by look-alikes (an A with a macron by a plain
// A, a fullwidth backslash by a backslash), and a name given back to the system
// loses its trailing dots and blanks. Removing by that form could hit a
// namesake; by the exact name it cannot.

#include "platform/file_search.h"

#include "platform/file_time_win32.h"
#include "platform/nt_calls_win32.h"
#include "platform/safe_way_win32.h"
#include "platform/test_hooks_win32.h"

#include <windows.h>
#include <winternl.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>

namespace {

// The longest path the system takes in its "\\?\" form, terminator included.
constexpr std::size_t pathCapacity = 32768;

// The record of the listing with 128-bit file IDs
// (FILE_ID_EXTD_BOTH_DIR_INFORMATION), which MinGW's headers lack.
struct IdExtdBothRecord {
    ULONG NextEntryOffset;
    ULONG FileIndex;
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    LARGE_INTEGER EndOfFile;
    LARGE_INTEGER AllocationSize;
    ULONG FileAttributes;
    ULONG FileNameLength;
    ULONG EaSize;
    ULONG ReparsePointTag;
    FILE_ID_128 FileId;
    CCHAR ShortNameLength;
    WCHAR ShortName[12];
    WCHAR FileName[1];
};

// A listing a file system may answer, and where its records hold what the
// search needs besides the fields before EaSize, which all of them share.
struct Listing {
    FILE_INFORMATION_CLASS kind;
    std::size_t tagAt;    // a reparse point's tag
    std::size_t idAt;     // the file ID
    std::size_t idLength; // 16 or 8 bytes; 0 for a listing without IDs
    std::size_t nameAt;
};

// With the 128-bit file IDs that ReFS needs, with 64-bit ones, without: a
// search takes the first the file system answers.
constexpr Listing listings[] = {
    {fileIdExtdBothDirectoryInformation, offsetof(IdExtdBothRecord, ReparsePointTag),
     offsetof(IdExtdBothRecord, FileId), 16, offsetof(IdExtdBothRecord, FileName)},
    {FileIdBothDirectoryInformation, offsetof(FILE_ID_BOTH_DIR_INFORMATION, EaSize),
     offsetof(FILE_ID_BOTH_DIR_INFORMATION, FileId), 8, offsetof(FILE_ID_BOTH_DIR_INFORMATION, FileName)},
    {FileBothDirectoryInformation, offsetof(FILE_BOTH_DIR_INFORMATION, EaSize), 0, 0,
     offsetof(FILE_BOTH_DIR_INFORMATION, FileName)},
};
constexpr std::size_t listingCount = sizeof listings / sizeof listings[0];
constexpr std::size_t sharedPart = offsetof(FILE_BOTH_DIR_INFORMATION, EaSize);

// The ends of a listing: nothing matched at all, or nothing more.
constexpr auto noSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr auto noMoreFiles = static_cast<NTSTATUS>(0x80000006);

} // namespace

struct SearchState {
    HANDLE directory;    // the pattern's directory, opened once
    UINT codePage;       // of patterns and listed names
    const wchar_t* path; // the directory's "\\?\" form, closed by '\'
    std::size_t pathLength;
    std::size_t listing; // which of the listings the file system answers
    bool volumeKnown;    // and the directory's volume, for 128-bit IDs
    ULONGLONG volume;
    bool atDriveRoot;                // where there is no "." or ".." to deliver
    wchar_t mask[MAX_PATH];          // what the file system matches names against
    std::size_t fetched;             // bytes of entries read into the buffer
    std::size_t next;                // where the next of them lies
    FILE_BOTH_DIR_INFORMATION found; // the shared fields of the record delivered last
    ULONG foundTag;                  // its reparse tag, where it is a reparse point
    BYTE foundId[16];                // its file ID as listed, zeros where none
    wchar_t foundName[MAX_PATH];     // its exact name, or its start closed by '*'
    bool foundWhole;                 // the exact name fits foundName
    bool foundRemovable;             // and its listed name is whole, so its row names it
    char listedName[MAX_PATH];       // the name its row shows
};

namespace {

// One search runs at a time, so its state needs no allocation. One read of the
// directory fetches hundreds of entries at once, which keeps a large directory
// to few calls.
SearchState theSearch;
alignas(8) BYTE entries[65536];

// The listing a search asks for first; only tests start further down.
std::size_t firstListing = 0;

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
// written, or 0 when it does not fit.
std::size_t joinPath(wchar_t* path, const wchar_t* prefix, const wchar_t* text, std::size_t length)
{
    const std::size_t prefixLength = std::wcslen(prefix);
    if (prefixLength + length >= pathCapacity)
        return 0;
    std::wmemmove(path + prefixLength, text, length); // text may lie in path itself
    std::wmemcpy(path, prefix, prefixLength);
    path[prefixLength + length] = L'\0';
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

// Whether the file system is handed the DOS wildcards that Windows' own search
// makes of a pattern. Wine's search hands the name as written, and its file
// systems match by that; the tool matches as the system it runs on does.
bool systemMakesDosWildcards()
{
    static const bool dosWildcards = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
    return dosWildcards;
}

bool isEndOfListing(NTSTATUS status)
{
    return status == noSuchFile || status == noMoreFiles;
}

// Reads the next entries of the directory, the first with the mask from the
// beginning; the status.
NTSTATUS queryDirectory(SearchState& search, bool first)
{
    UNICODE_STRING mask;
    RtlInitUnicodeString(&mask, search.mask);
    IO_STATUS_BLOCK io;
    const NTSTATUS status =
        ntCalls.queryDirectory(search.directory, nullptr, nullptr, nullptr, &io, entries, sizeof entries,
                               listings[search.listing].kind, FALSE, first ? &mask : nullptr, first ? TRUE : FALSE);
    search.fetched = status == 0 ? io.Information : 0;
    search.next = 0;
    return status;
}

// Whether entries were read; a listing that failed instead of reaching its end
// is recorded as the search's failure.
bool fetched(SearchState& search, NTSTATUS status)
{
    if (status != 0 && !isEndOfListing(status))
        recordUnlistable(search.path, search.pathLength, search.codePage, status);
    return search.fetched != 0;
}

// Reads the first entries by the first listing the file system answers, so
// that a file system or server without file IDs (SMB1, FAT, WebDAV) lists
// where Windows' own search lists: any answer but entries or an empty
// directory moves on to the next listing. With 128-bit IDs the directory's
// volume is read too, once, for the identity of the files removed.
bool fetchFirst(SearchState& search)
{
    NTSTATUS status;
    for (search.listing = firstListing;; ++search.listing) {
        status = queryDirectory(search, true);
        if (status == 0 || isEndOfListing(status) || search.listing + 1 == listingCount)
            break;
    }
    FILE_ID_INFO id;
    IO_STATUS_BLOCK io;
    search.volumeKnown = listings[search.listing].idLength == 16 && status == 0
                         && ntCalls.queryInformation(search.directory, &io, &id, sizeof id, fileIdInformation) == 0;
    search.volume = search.volumeKnown ? id.VolumeSerialNumber : 0;
    return fetched(search, status);
}

// Takes the record at the search's position: its fixed part, file ID and exact
// name. A name longer than any the system lists whole is kept cut and closed
// by '*', which no name holds; such an entry is never removed.
void takeRecord(SearchState& search)
{
    const Listing& listing = listings[search.listing];
    const BYTE* const record = entries + search.next;
    std::memcpy(&search.found, record, sharedPart);
    std::memcpy(&search.foundTag, record + listing.tagAt, sizeof search.foundTag);
    std::memset(search.foundId, 0, sizeof search.foundId);
    std::memcpy(search.foundId, record + listing.idAt, listing.idLength);
    const std::size_t nameAt = listing.nameAt;
    std::size_t length = search.found.FileNameLength / sizeof(wchar_t);
    search.foundWhole = length < MAX_PATH;
    if (!search.foundWhole)
        length = MAX_PATH - 2;
    std::memcpy(search.foundName, record + nameAt, length * sizeof(wchar_t));
    if (!search.foundWhole)
        search.foundName[length++] = L'*';
    search.foundName[length] = L'\0';
    const ULONG step = search.found.NextEntryOffset;
    search.next = step == 0 ? search.fetched : search.next + step;
}

bool isDotEntry(const wchar_t* name)
{
    return std::wcscmp(name, L".") == 0 || std::wcscmp(name, L"..") == 0;
}

// Takes the next entry of the directory; false at the end.
bool takeNextEntry(SearchState& search)
{
    do {
        if (search.next >= search.fetched && !fetched(search, queryDirectory(search, false)))
            return false;
        takeRecord(search);
    } while (search.atDriveRoot && isDotEntry(search.foundName));
    return true;
}

PointInTime timeOf(LARGE_INTEGER time)
{
    return pointInTimeOf(static_cast<std::uint64_t>(time.QuadPart));
}

// Whether the path, "\\?\" form of length characters, is a drive's root.
bool isDriveRoot(const wchar_t* path, std::size_t length)
{
    if (length < 7 || path[5] != L':')
        return false;
    for (std::size_t i = 6; i < length; ++i)
        if (path[i] != L'\\')
            return false;
    return true;
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
        length = WideCharToMultiByte(codePage, 0, name, units, listed, MAX_PATH - 2, nullptr, nullptr);
        if (length > 0)
            break;
    }
    listed[length] = '*';
    listed[length + 1] = '\0';
    return false;
}

namespace {

// Writes the UTF-16 text into shown in UTF-8; false when it does not fit.
bool toUtf8(const wchar_t* text, char (&shown)[shownCapacity])
{
    return WideCharToMultiByte(CP_UTF8, 0, text, -1, shown, sizeof shown, nullptr, nullptr) > 0;
}

} // namespace

// A console is given every character as it is: the pattern's characters read in
// the code page it was taken in, which is the pattern the search used.
const char* shownPattern(const char* pattern, char (&shown)[shownCapacity])
{
    wchar_t text[shownCapacity];
    if (!consoleTakesUtf8() || MultiByteToWideChar(fileNameCodePage(), 0, pattern, -1, text, shownCapacity) == 0
        || !toUtf8(text, shown))
        return pattern;
    return shown;
}

// A console is given the exact name the search holds, not its listed form, so
// that a name outside the code page reads as itself and not as a look-alike.
const char* shownName(SearchHandle search, const FindEntry& entry, char (&shown)[shownCapacity])
{
    if (!consoleTakesUtf8() || !toUtf8(search->foundName, shown))
        return entry.name;
    return shown;
}

// The pattern resolved once, as the system resolves it (current directory,
// drive, "." and "..", separators, trailing dots and blanks), in the "\\?\" form
// the system takes as it stands; a path given in that form stays as it is.
std::size_t searchedDirectory(const wchar_t* pattern, wchar_t* path)
{
    if (startsWith(pattern, L"\\\\?\\") || startsWith(pattern, L"\\??\\")) {
        const wchar_t* const whole = pattern + 4;
        const wchar_t* const last = std::wcsrchr(whole, L'\\');
        if (last == nullptr || joinPath(path, L"\\\\?\\", whole, std::wcslen(whole)) == 0)
            return 0;
        return 4 + static_cast<std::size_t>(last + 1 - whole);
    }
    // Resolved behind the room for the longest prefix, then moved to the front.
    wchar_t* const full = path + 8;
    wchar_t* filePart = nullptr;
    const DWORD length = GetFullPathNameW(pattern, pathCapacity - 8, full, &filePart);
    if (length == 0 || length >= pathCapacity - 8 || filePart == nullptr)
        return 0;
    const wchar_t* start = full;
    const wchar_t* prefix = L"\\\\?\\";
    if (startsWith(full, L"\\\\.\\") || startsWith(full, L"\\\\?\\")) {
        start = full + 4;
    } else if (startsWith(full, L"\\\\")) {
        start = full + 2;
        prefix = L"\\\\?\\UNC\\";
    }
    const auto directoryLength = static_cast<std::size_t>(filePart - start);
    if (joinPath(path, prefix, start, length - static_cast<std::size_t>(start - full)) == 0)
        return 0;
    return std::wcslen(prefix) + directoryLength;
}

// What Windows' own search hands the file system for a pattern's name: "*.*"
// becomes "*", which matches every name; otherwise '?' becomes the DOS question
// mark '>', a '.' before '?' or '*' the DOS dot '"', a '*' before '.' the DOS
// star '<', and a closing '*' the DOS star too when the pattern ended in a dot
// that the system dropped: "*." matches the names without an extension.
void fileSystemMask(const wchar_t* name, bool patternEndsInDot, wchar_t* mask)
{
    const std::size_t length = std::wcslen(name);
    std::wmemcpy(mask, name, length + 1);
    if (std::wcscmp(name, L"*.*") == 0) {
        mask[1] = L'\0';
        return;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (name[i] == L'?')
            mask[i] = L'>';
        if (i > 0 && name[i] == L'.' && name[i - 1] == L'*')
            mask[i - 1] = L'<';
        if (i > 0 && name[i - 1] == L'.' && (name[i] == L'?' || name[i] == L'*'))
            mask[i - 1] = L'"';
    }
    if (patternEndsInDot && length > 0 && name[length - 1] == L'*')
        mask[length - 1] = L'<';
}

// Fills every field of entry from the fixed part of one directory record and
// its exact name, the name as listedNameOf gives it; false when it had to be cut.
bool entryFromRecord(const FILE_BOTH_DIR_INFORMATION& record, const wchar_t* name, UINT codePage, FindEntry& entry)
{
    // The system reports a file without any other attribute as NORMAL alone;
    // for the tool that is a file with no attribute bit set.
    entry.attributes = record.FileAttributes == FILE_ATTRIBUTE_NORMAL ? 0 : record.FileAttributes;
    entry.creationTime = timeOf(record.CreationTime);
    entry.accessTime = timeOf(record.LastAccessTime);
    entry.writeTime = timeOf(record.LastWriteTime);
    entry.size = static_cast<std::uint64_t>(record.EndOfFile.QuadPart);
    return listedNameOf(name, codePage, entry.name);
}

namespace {

// Hands the entry taken last to the caller, and keeps what its removal needs.
void deliverFound(SearchState& search, FindEntry& entry)
{
    const bool listedWhole = entryFromRecord(search.found, search.foundName, search.codePage, entry);
    search.foundRemovable = search.foundWhole && listedWhole;
    std::strcpy(search.listedName, entry.name);
}

// Whether the listing gave the entry delivered last a file ID: all zeros is
// none, and all ones is the file systems' own "no ID".
bool hasFileId(const SearchState& search)
{
    const std::size_t length = listings[search.listing].idLength;
    bool zeros = true;
    bool ones = true;
    for (std::size_t i = 0; i < length; ++i) {
        zeros = zeros && search.foundId[i] == 0;
        ones = ones && search.foundId[i] == 0xFF;
    }
    return length != 0 && !zeros && !ones;
}

// Whether the file opened for removal is the entry the search delivered: the
// same file ID (with 128 bits, on the same volume), or, where the listing gave
// it none (withId false), the same times and size. An ID that cannot be read
// is no match.
bool isFoundFile(const SearchState& search, bool withId, HANDLE file)
{
    IO_STATUS_BLOCK io;
    if (withId && listings[search.listing].idLength == 16) {
        FILE_ID_INFO id;
        return ntCalls.queryInformation(file, &io, &id, sizeof id, fileIdInformation) == 0 && search.volumeKnown
               && id.VolumeSerialNumber == search.volume
               && std::memcmp(id.FileId.Identifier, search.foundId, sizeof search.foundId) == 0;
    }
    if (withId) {
        FILE_INTERNAL_INFORMATION internal;
        return ntCalls.queryInformation(file, &io, &internal, sizeof internal, FileInternalInformation) == 0
               && std::memcmp(&internal.IndexNumber, search.foundId, sizeof internal.IndexNumber) == 0;
    }
    FILE_NETWORK_OPEN_INFORMATION opened;
    const FILE_BOTH_DIR_INFORMATION& found = search.found;
    return ntCalls.queryInformation(file, &io, &opened, sizeof opened, FileNetworkOpenInformation) == 0
           && opened.CreationTime.QuadPart == found.CreationTime.QuadPart
           && opened.LastWriteTime.QuadPart == found.LastWriteTime.QuadPart
           && opened.EndOfFile.QuadPart == found.EndOfFile.QuadPart;
}

// Opens the entry delivered last in the search's directory by its exact name,
// and never a directory, asking what the system's own deletion asks: DELETE,
// which a folder may grant on a file whose own ACL grants nothing, and the
// right to read the times only where there is no file ID (withId) to compare.
// A link is opened itself, never what it leads to; any other reparse point (a
// deduplicated file, a cloud placeholder) through its filter, which removes it
// as the system's deletion would, but only where a file ID then proves that
// the file opened is the one listed.
bool openFound(const SearchState& search, bool withId, HANDLE& file)
{
    const bool filtered = withId && (search.found.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
                          && !IsReparseTagNameSurrogate(search.foundTag);
    const ACCESS_MASK access = DELETE | (withId ? 0 : FILE_READ_ATTRIBUTES);
    const ULONG options = FILE_NON_DIRECTORY_FILE | (filtered ? 0 : FILE_OPEN_REPARSE_POINT);
    return openRelative(search.directory, search.foundName, std::wcslen(search.foundName), true, access, options, file)
           == 0;
}

// Marks the open file for deletion. This plain form refuses a read-only file,
// and the tool never clears that attribute: a file someone protected stays.
bool markForDeletion(HANDLE file)
{
    FILE_DISPOSITION_INFORMATION disposition{TRUE};
    IO_STATUS_BLOCK io;
    return ntCalls.setInformation(file, &io, &disposition, sizeof disposition, FileDispositionInformation) == 0;
}

bool endsInDot(const wchar_t* text)
{
    const std::size_t length = std::wcslen(text);
    return length != 0 && text[length - 1] == L'.';
}

} // namespace

// A file system without file IDs leaves a search in the last listing, where a
// removal proves the file's identity by its times and size; Wine lists IDs, so
// tests start there to take that way.
void startSearchesWithoutFileIds(bool withoutIds)
{
    firstListing = withoutIds ? listingCount - 1 : 0;
}

SearchHandle findFirst(const char* pattern, FindEntry& entry)
{
    // The pattern becomes UTF-16 as the ANSI search would convert it, so that
    // the system matches exactly what it would have matched.
    forgetLastSearch();
    SearchState& search = theSearch;
    search.codePage = fileNameCodePage();
    wchar_t widePattern[MAX_PATH];
    if (MultiByteToWideChar(search.codePage, 0, pattern, -1, widePattern, MAX_PATH) == 0)
        return nullptr;
    static wchar_t path[pathCapacity];
    search.path = path;
    const std::size_t directoryLength = searchedDirectory(widePattern, path);
    const wchar_t* const name = path + directoryLength;
    if (directoryLength == 0 || *name == L'\0' || std::wcslen(name) >= MAX_PATH)
        return nullptr;
    if (systemMakesDosWildcards())
        fileSystemMask(name, endsInDot(widePattern), search.mask);
    else
        std::wcscpy(search.mask, name);
    path[directoryLength] = L'\0';
    search.pathLength = directoryLength;
    search.directory = openSearchedDirectory(path, directoryLength, search.codePage);
    if (search.directory == nullptr)
        return nullptr;
    search.atDriveRoot = isDriveRoot(path, directoryLength);
    if (!fetchFirst(search) || !takeNextEntry(search)) {
        ntCalls.close(search.directory);
        return nullptr;
    }
    deliverFound(search, entry);
    return &search;
}

int findNext(SearchHandle search, FindEntry& entry)
{
    if (!takeNextEntry(*search)) {
        search->foundRemovable = false;
        return 1;
    }
    deliverFound(*search, entry);
    return 0;
}

void closeSearch(SearchHandle search)
{
    ntCalls.close(search->directory);
    search->directory = nullptr;
    search->foundRemovable = false;
}

// Removes the entry the search delivered last, by its exact name in the
// directory the search holds open, and only when path names it as it was listed
// and the file opened is that very entry.
int removeFile(SearchHandle search, const char* path)
{
    HANDLE file;
    const bool withId = hasFileId(*search);
    if (!search->foundRemovable || !pathEndsInName(path, search->listedName) || !openFound(*search, withId, file))
        return -1;
    const bool removed = isFoundFile(*search, withId, file) && markForDeletion(file);
    ntCalls.close(file);
    return removed ? 0 : -1;
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
