// The tool's whole window on the platform: a wildcard search over one
// directory, the removal of a file the search found, the clock, local calendar
// time, the console, the shown forms of texts and the raw command line. The
// build picks one set of files per platform; each function lives here:
//
//   function                        POSIX                     Windows
//   findFirst findNext closeSearch  file_search_posix.cpp     file_search_win32.cpp
//   removeFile directoryPartLength  file_search_posix.cpp     file_search_win32.cpp
//   refusedStep searchFailure       safe_way_posix.cpp        safe_way_win32.cpp
//   now localDateTime               local_time_posix.cpp      local_time_win32.cpp
//   openConsole consoleTakesUtf8    console_posix.cpp         console_win32.cpp
//   writeOut                        console_posix.cpp         console_win32.cpp
//   shownPattern shownName          console_posix.cpp         file_search_win32.cpp
//   rawCommandLine                  command_line_posix.cpp    command_line_win32.cpp
//
// The shown forms live with the Windows search because a console is given the
// exact UTF-16 name only the search holds; on POSIX systems the listed name is
// the name, and only the terminal decides how it is shown.
//
// Where the platforms differ on purpose, in one line each:
// - the walked directory: POSIX reuses it for a later pattern of the same directory part; Windows walks anew.
// - a name outside the code page: Windows lists a look-alike and removes by the exact name; POSIX lists bytes.
#pragma once

#include <cstddef>
#include <cstdint>

// A point in time: seconds since 1970-01-01 00:00:00 UTC.
using PointInTime = std::int64_t;

// A timestamp the platform did not record or could not convert.
inline constexpr PointInTime noTime = -1;

inline constexpr std::uint32_t attributeReadOnly = 0x01;
// Set for a directory, and for anything else that is no file to judge (a FIFO, a
// socket, a device node, a link to a directory): the sweep skips such an entry.
inline constexpr std::uint32_t attributeDirectory = 0x10;

// The size of an entry's name buffer: a name of at most 259 bytes and its end.
inline constexpr std::size_t entryNameCapacity = 260;

// One result of a directory search.
struct FindEntry {
    std::uint32_t attributes; // bit 0x10 marks a directory or no file to judge
    PointInTime creationTime;
    PointInTime accessTime;
    PointInTime writeTime;
    std::uint64_t size;
    char name[entryNameCapacity]; // the name alone, without its directory
};

// Local calendar date and time of day.
struct LocalDateTime {
    int year;
    int month; // 1 to 12
    int day;   // 1 to 31
    int hour;
    int minute;
};

// The state of one running search; its layout belongs to the implementation.
struct SearchState;
using SearchHandle = SearchState*;

// Starts a search for the pattern and fills entry with the first match; no handle
// (nullptr) when nothing matches, when the way to the pattern's directory takes
// a step that refusedStep then names, or when the directory could not be
// reached or listed for a reason that searchFailure then gives.
[[nodiscard]] SearchHandle findFirst(const char* pattern, FindEntry& entry);

// The step on the way to the pattern's directory for which the last findFirst
// refused the whole pattern, as "<from> -> <to>" in the bytes of the pattern and
// the links followed, each control character and bidirectional override shown
// as '?'; nullptr when it refused none. A step out of a directory
// that belongs to neither the system nor the owner of what it leads to could
// lead a run by root into a directory its owner never meant to be swept.
[[nodiscard]] const char* refusedStep();

// Why a pattern's directory could not be reached or listed, when it is there:
// anything but its absence, which is no failure but an empty search.
enum class Failure {
    None,
    AccessDenied,
    InUse,       // held by another without sharing, or busy
    GuardedLink, // a link the system's own guard refused to follow
    Other        // named by the platform's code
};

// A failure to reach or list the pattern's directory: where, as a shown text in
// the pattern's bytes (a step "<from> -> <to>" as refusedStep names one, or the
// directory whose listing failed), why, and for Failure::Other the platform's
// code ("EIO", "0xC000020C").
struct SearchFailure {
    Failure kind;
    const char* step;
    const char* code;
};

// The failure that ended the last findFirst without a handle, or the listing of
// the last search before its end (findNext then reports the end, and the
// entries delivered before it stand); kind None when there was none. Every
// control character and bidirectional override of a step is shown as '?', as
// in refusedStep, on every output: a link's target is its author's text.
[[nodiscard]] SearchFailure searchFailure();

// Fills entry with the next match and gives 0, or non-zero at the end.
[[nodiscard]] int findNext(SearchHandle search, FindEntry& entry);

// Ends a search and releases what it holds; the handle then only serves a
// removeFile that refuses.
void closeSearch(SearchHandle search);

// Removes the entry the running search delivered last, which path names (its
// directory part aside): 0 when it is gone, -1 when the platform refused
// (read-only, in use, gone, no right) and also when path ends in any other name,
// since only the entry just judged may be removed, and once findNext has
// reported the end or the search is closed, when there is no such entry. Where the platform allows, the
// file is removed relative to the directory the search holds open, so that no path
// is resolved again after the search found it. Where a listed name may stand for
// another file (a code page's look-alikes), the entry is removed by the exact name
// the search holds, and path only has to end in the name as listed.
[[nodiscard]] int removeFile(SearchHandle search, const char* path);

// How many leading characters of the pattern name its directory, separator
// included; 0 when the pattern names the current directory.
[[nodiscard]] int directoryPartLength(const char* pattern);

// The current time, in whole seconds.
[[nodiscard]] PointInTime now();

// The local date and time of a point in time, by the rules of the platform's time
// zone or TZ; false when it has none (no time, before 1970, beyond year 9999).
// Days already converted may be remembered for the rest of the process (the
// POSIX implementation does), so the zone in force at the first call holds for
// every later one: a change of TZ after it is not seen.
[[nodiscard]] bool localDateTime(PointInTime time, LocalDateTime& local);

// Prepares standard output once at start: its buffering, and whether the
// program's texts go out in UTF-8.
void openConsole();

// True when the program's texts go out in UTF-8 instead of code page 850; fixed
// by openConsole: under a UTF-8 locale wherever output goes on POSIX systems,
// on a console on Windows.
[[nodiscard]] bool consoleTakesUtf8();

// Hands bytes to standard output, in one piece. Where the console shows nothing
// until it is flushed, they appear at once.
void writeOut(const char* bytes, std::size_t length);

// Room for one print: its bytes as formatted, and the UTF-16 units a console
// is handed for them, which are never more.
inline constexpr std::size_t printCapacity = 4096;

// Room for the form in which a pattern, a refused step or a name is shown.
inline constexpr std::size_t shownCapacity = 2048;

// The text to show for a pattern, or for a text in a pattern's bytes such as a
// refused step: the bytes as they are, except on a terminal, which sees every
// control character as '?' (POSIX systems), and where the output takes UTF-8
// and the platform took the pattern in another code page (a Windows console).
[[nodiscard]] const char* shownPattern(const char* pattern, char (&shown)[shownCapacity]);

// The name to show for the entry the search delivered last: its name as
// listed, except on a terminal, which sees every control character as '?'
// (POSIX systems), and where the output takes UTF-8 and the listed form is not
// the name itself (a Windows console, which gets the exact name).
[[nodiscard]] const char* shownName(SearchHandle search, const FindEntry& entry, char (&shown)[shownCapacity]);

// The process's command line as one text, where the platform hands it over
// unsplit; nullptr where the arguments arrive split.
[[nodiscard]] const char* rawCommandLine();
