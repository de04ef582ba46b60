#include "app/run.h"

#include "app/command_line.h"
#include "app/run_settings.h"
#include "platform/character_cut.h"
#include "platform/file_search.h"
#include "sweep/day_number.h"
#include "sweep/output.h"
#include "sweep/sweep.h"

#include <cstring>

namespace {

// A Windows command line holds at most 32767 characters.
constexpr int commandLineCapacity = 32768;

// A pattern that does not fit its buffer is refused whole: a cut pattern could
// match other files. The line shows its start, cut where no UTF-8 character
// is split.
void printPatternTooLong(const char* pattern)
{
    constexpr int shownBytes = 60;
    // Every pattern refused here is longer than its buffer, so far longer than its start.
    static_assert(static_cast<std::size_t>(shownBytes) < patternCapacity);
    const int shown = characterCut(pattern, shownBytes);
    char start[shownBytes + 1];
    std::memcpy(start, pattern, static_cast<std::size_t>(shown));
    start[shown] = '\0';
    char shownStart[shownCapacity];
    printOut("Suchmuster ist zu lang (über %d Zeichen) und wird übersprungen: %s...\n"_de,
             static_cast<int>(patternCapacity - 1), shownPattern(start, shownStart));
}

// Sweeps one pattern argument, unless it is empty or too long for the buffer.
void sweepPatternArgument(const char* argument)
{
    const std::size_t length = std::strlen(argument);
    if (length >= patternCapacity) {
        printPatternTooLong(argument);
        return;
    }
    std::memcpy(runSettings.pattern, argument, length + 1);
    if (length != 0)
        sweepPattern(runSettings.pattern, runSettings.maxAgeDays);
}

} // namespace

Arguments programArguments(int argc, const char* const* argv)
{
    const char* line = rawCommandLine();
    if (line == nullptr || std::strlen(line) >= commandLineCapacity)
        return Arguments{.count = argc, .values = argv};
    static char storage[commandLineCapacity];
    static const char* values[commandLineCapacity / 2 + 1];
    const int count = splitCommandLine(line, storage, values, commandLineCapacity / 2 + 1);
    return Arguments{.count = count, .values = values};
}

std::int32_t todaysDayNumber()
{
    LocalDateTime today;
    if (!localDateTime(now(), today))
        return 0;
    return dayNumber(today.day, today.month, today.year);
}

void printRunOpening()
{
    if (runSettings.testRun)
        printOut("\n--- Testlauf ohne Löschen von Dateien ---\n\n"_de);
    if (runSettings.quiet)
        return;
    const GermanText basis =
        runSettings.timeBasis == TimeBasis::Creation ? "Erstellung"_de : "letzter Schreibzugriff"_de;
    printOut("Suche Dateien, deren %s "_de, textOf(basis));
    printOut("mind. %d Tage zurück liegt.\n"_de, runSettings.maxAgeDays);
}

bool nothingToSweep(const ScanResult& scan, const Arguments& arguments)
{
    return runSettings.pattern[0] == '\0' && scan.tooLongTextOption == nullptr && scan.firstPattern == arguments.count;
}

void sweepPatterns(const ScanResult& scan, const Arguments& arguments)
{
    if (scan.tooLongTextOption != nullptr)
        printPatternTooLong(scan.tooLongTextOption + 3); // the text after "-F="
    if (runSettings.pattern[0] != '\0')
        sweepPattern(runSettings.pattern, runSettings.maxAgeDays);
    for (int i = scan.firstPattern; i < arguments.count; ++i)
        sweepPatternArgument(arguments.values[i]);
}
