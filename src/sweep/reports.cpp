#include "sweep/reports.h"

#include "app/run_settings.h"
#include "sweep/output.h"

namespace {

const char* pluralEn(std::int32_t count)
{
    return count > 1 ? "en" : "";
}

} // namespace

void printFoundLine(std::int32_t count, std::int32_t maxAgeDays)
{
    if (runSettings.quiet)
        return;
    if (count != 0)
        printOut("    %d "_de, count);
    else
        printOut("    Keine "_de);
    printOut("Datei%s %s älter als %d Tage.\n"_de, pluralEn(count), count > 1 ? "sind" : "ist", maxAgeDays);
}

void printDeletedLine(std::int32_t count)
{
    if (runSettings.quiet || count == 0)
        return;
    printOut("    %d Datei%s gelöscht.\n\n"_de, count, pluralEn(count));
}

void printFailedLine(std::int32_t count)
{
    if (count == 0)
        return;
    printOut("    %d Datei%s konnte%s nicht gelöscht werden.\n\n"_de, count, pluralEn(count), count > 1 ? "n" : "");
}

void printRunSummary()
{
    if (runTotals.patternsSwept < 2 || runSettings.quiet)
        return;
    printOut("\nZusammenfassung über %d Dateipfade:\n"_de, runTotals.patternsSwept);
    printFoundLine(runTotals.filesFound, runSettings.maxAgeDays);
    printDeletedLine(runTotals.filesDeleted);
    printFailedLine(runTotals.filesFailed);
}
