#include "sweep/sweep.h"

#include "app/run_settings.h"
#include "platform/file_search.h"
#include "sweep/day_number.h"
#include "sweep/output.h"
#include "sweep/reports.h"

#include <cstring>

namespace {

// The counts of one sweep.
struct SweepCounts {
    std::int32_t filesFound;
    std::int32_t filesDeleted;
    std::int32_t filesFailed;
    bool headerShown;
};

// Every pattern fits its buffer, so its directory part fits a prefix, and a
// prefix followed by any name fits a path.
constexpr std::size_t pathCapacity = 1000;
static_assert(directoryPrefixCapacity >= patternCapacity);
static_assert(pathCapacity >= directoryPrefixCapacity - 1 + entryNameCapacity);

// A path buffer that keeps the directory prefix in place, so that each selected
// file only appends its name.
struct SweepPath {
    char text[pathCapacity];
    std::size_t prefixLength;
};

void printListingHeader()
{
    const GermanText column = runSettings.timeBasis == TimeBasis::Creation ? "(Erstellung)"_de : "(Änderung)  "_de;
    printOut("    Datum %s Tage       Byte Dateiname\n"_de, textOf(column));
}

// A listing row is put together here and handed to writeOut whole, as printOut
// would hand it, but without the formatted print, which took 1,600 instructions a
// row, more than half of a test run's (callgrind). Its own bytes are ASCII, the
// same in either encoding, and the name goes out unchanged, as a %s would. The
// start of a row is held to the room of one conversion, and a whole row to a
// print's room, on which a console's conversion relies.
constexpr std::size_t sizeColumnWidth = 10;
constexpr std::size_t mostDigits = 20; // of 2^64 - 1
// A status, " 07.03.2007 09:05  ", an age of up to ten digits and a blank.
static_assert(3 + 19 + 10 + 1 <= conversionRoom);
static_assert(conversionRoom + mostDigits + 1 + shownCapacity + 1 <= printCapacity);

// Writes value right-aligned in width columns, as printf's %*llu does, and
// returns the end.
char* rightAligned(char* at, std::uint64_t value, std::size_t width)
{
    char digits[mostDigits];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (; width > count; --width)
        *at++ = ' ';
    while (count > 0)
        *at++ = digits[--count];
    return at;
}

// Writes a day, month, hour or minute in two digits, and returns the end.
char* twoDigits(char* at, int value)
{
    at[0] = static_cast<char>('0' + value / 10);
    at[1] = static_cast<char>('0' + value % 10);
    return at + 2;
}

// The part of a row before the size column: status, date, time and age. Rows of
// one listing mostly share it (many files of the same minute), so it is formatted
// once for each run of equal rows and then reused as it is. Measured on a test
// run over 200,000 files of one minute (180,000 rows into a file, tmpfs), this
// takes the run from 277 to 228 million instructions, a sixth of its user time;
// rows that all differ cost one comparison more each.
struct RowStart {
    const char* status;
    LocalDateTime local;
    std::int32_t age;
    std::size_t length;
    char text[conversionRoom];
};

// A status is one of three literals, so the same status is the same pointer; were
// it not, the start would only be formatted anew.
bool sameRowStart(const RowStart& start, const char* status, const LocalDateTime& local, std::int32_t age)
{
    return start.status == status && start.age == age && start.local.minute == local.minute
           && start.local.hour == local.hour && start.local.day == local.day && start.local.month == local.month
           && start.local.year == local.year;
}

// "TST 07.03.2007 09:05     45 ": the year has four digits (calendarFields), and a
// listed file's age is at least the limit, which is at least one day.
void formatRowStart(RowStart& start, const char* status, const LocalDateTime& local, std::int32_t age)
{
    char* at = start.text;
    for (const char* c = status; *c != '\0'; ++c)
        *at++ = *c;
    *at++ = ' ';
    at = twoDigits(at, local.day);
    *at++ = '.';
    at = twoDigits(at, local.month);
    *at++ = '.';
    at = rightAligned(at, static_cast<std::uint64_t>(local.year), 4);
    *at++ = ' ';
    at = twoDigits(at, local.hour);
    *at++ = ':';
    at = twoDigits(at, local.minute);
    *at++ = ' ';
    *at++ = ' ';
    at = rightAligned(at, static_cast<std::uint64_t>(age), 5);
    *at++ = ' ';
    start.length = static_cast<std::size_t>(at - start.text);
    start.status = status;
    start.local = local;
    start.age = age;
}

void printListingRow(const char* status, const LocalDateTime& local, std::int32_t age, std::uint64_t size,
                     const char* name, RowStart& start)
{
    if (!sameRowStart(start, status, local, age))
        formatRowStart(start, status, local, age);
    char row[printCapacity];
    std::memcpy(row, start.text, start.length);
    char* at = rightAligned(row + start.length, size, sizeColumnWidth);
    *at++ = ' ';
    const std::size_t nameLength = std::strlen(name);
    std::memcpy(at, name, nameLength);
    at += nameLength;
    *at++ = '\n';
    writeOut(row, static_cast<std::size_t>(at - row));
}

// Judges one entry of the walk: selects, deletes and lists it when it is old enough.
void sweepEntry(SearchHandle search, const FindEntry& entry, std::int32_t maxAgeDays, SweepPath& path,
                RowStart& rowStart, SweepCounts& counts)
{
    if (entry.attributes & attributeDirectory)
        return; // a directory, or no file to judge at all
    const PointInTime time = runSettings.timeBasis == TimeBasis::Creation ? entry.creationTime : entry.writeTime;
    LocalDateTime local;
    if (!localDateTime(time, local))
        return; // no date, no age: such a file is never judged old
    const std::int32_t age = todayDay - dayNumber(local.day, local.month, local.year);
    if (age < maxAgeDays)
        return;
    ++counts.filesFound;
    bool failed = false;
    if (!runSettings.testRun) {
        std::strcpy(path.text + path.prefixLength, entry.name);
        failed = removeFile(search, path.text) != 0;
        ++(failed ? counts.filesFailed : counts.filesDeleted);
    }
    if (runSettings.quiet && !failed)
        return;
    if (!counts.headerShown) {
        printListingHeader();
        counts.headerShown = true;
    }
    const char* status = runSettings.testRun ? "TST" : failed ? "ERR" : "DEL";
    char shown[shownCapacity];
    printListingRow(status, local, age, entry.size, shownName(search, entry, shown), rowStart);
}

// A pattern whose way leads through a step someone else could have prepared is
// not swept at all. The line stands even in quiet mode: a cron job must mail it.
// It holds two shown texts, which need not fit one print together, so each
// half is a print of its own.
void printUnsafeWay(const char* step, const char* pattern)
{
    char shown[shownCapacity];
    printOut("Suchmuster führt über einen unsicheren Übergang (%s)"_de, shownPattern(step, shown));
    printOut(" und wird übersprungen: %s\n"_de, shownPattern(pattern, shown));
}

// A pattern whose directory is there but could not be reached or listed is a
// failure, not an empty search: said in one line, even in quiet mode, in the
// form of the unsafe-way line.
void printUnreached(const SearchFailure& failure, const char* pattern)
{
    char shown[shownCapacity];
    printOut("Suchmuster erreicht sein Verzeichnis nicht (%s: "_de, shownPattern(failure.step, shown));
    switch (failure.kind) {
    case Failure::AccessDenied: printOut("Zugriff verweigert"_de); break;
    case Failure::InUse: printOut("in Benutzung"_de); break;
    case Failure::GuardedLink: printOut("von Windows gesperrte Verknüpfung"_de); break;
    default: printOut("Fehler %s"_de, failure.code); break;
    }
    printOut(") und wird übersprungen: %s\n"_de, shownPattern(pattern, shown));
}

} // namespace

void directoryPrefix(const char* pattern, char (&prefix)[directoryPrefixCapacity])
{
    const int length = directoryPartLength(pattern);
    std::memcpy(prefix, pattern, static_cast<std::size_t>(length));
    prefix[length] = '\0';
}

int sweepPattern(const char* pattern, std::int32_t maxAgeDays)
{
    ++runTotals.patternsSwept;
    char shown[shownCapacity];
    if (!runSettings.quiet)
        printOut("\n\nDateipfad: %s\n\n"_de, shownPattern(pattern, shown));
    char prefix[directoryPrefixCapacity];
    directoryPrefix(pattern, prefix);
    SweepPath path;
    path.prefixLength = std::strlen(prefix);
    std::memcpy(path.text, prefix, path.prefixLength);

    FindEntry entry;
    const SearchHandle search = findFirst(pattern, entry);
    if (search == nullptr) {
        if (const char* step = refusedStep())
            printUnsafeWay(step, pattern);
        else if (const SearchFailure failure = searchFailure(); failure.kind != Failure::None)
            printUnreached(failure, pattern);
        else if (!runSettings.quiet)
            printOut("Keine Dateien gefunden.\n\n\n"_de);
        return 1;
    }
    SweepCounts counts{};
    RowStart rowStart{};
    do
        sweepEntry(search, entry, maxAgeDays, path, rowStart, counts);
    while (findNext(search, entry) == 0);
    closeSearch(search);
    // A listing that broke off leaves its rows standing, counted, and says so.
    if (const SearchFailure failure = searchFailure(); failure.kind != Failure::None)
        printUnreached(failure, pattern);

    printFoundLine(counts.filesFound, maxAgeDays);
    printDeletedLine(counts.filesDeleted);
    printFailedLine(counts.filesFailed);
    runTotals.filesFound += counts.filesFound;
    runTotals.filesDeleted += counts.filesDeleted;
    runTotals.filesFailed += counts.filesFailed;
    return 0;
}
