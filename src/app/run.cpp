#include "app/run.h"

#include "app/command_line.h"
#include "app/run_settings.h"
#include "platform/file_search.h"
#include "sweep/day_number.h"
#include "sweep/output.h"
#include "sweep/sweep.h"

#include <cstring>

namespace {

// A Windows command line holds at most 32767 characters.
constexpr int commandLineCapacity = 32768;

// A pattern that does not fit its buffer is refused whole: a cut pattern could
// match other files.
void printPatternTooLong(const char* pattern)
{
    printOut("Suchmuster ist zu lang (über 199 Zeichen) und wird übersprungen: %.60s...\n"_de, pattern);
}

} // namespace

Arguments programArguments(int argc, const char* const* argv)
{
    const char* line = rawCommandLine();
    if (line == nullptr || std::strlen(line) >= commandLineCapacity)
        return Arguments{argc, argv};
    static char storage[commandLineCapacity];
    static const char* values[commandLineCapacity / 2 + 1];
    const int count = splitCommandLine(line, storage, values, commandLineCapacity / 2 + 1);
    return Arguments{count, values};
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

void sweepPatterns(const char* refusedTextOption, int count, const char* const* patterns)
{
    if (refusedTextOption != nullptr)
        printPatternTooLong(refusedTextOption + 3); // the text after "-F="
    if (runSettings.pattern[0] != '\0')
        sweepPattern(runSettings.pattern, runSettings.maxAgeDays);
    for (int i = 0; i < count; ++i) {
        const std::size_t length = std::strlen(patterns[i]);
        if (length >= sizeof runSettings.pattern) {
            printPatternTooLong(patterns[i]);
            continue;
        }
        std::memcpy(runSettings.pattern, patterns[i], length + 1);
        if (length != 0)
            sweepPattern(runSettings.pattern, runSettings.maxAgeDays);
    }
}
