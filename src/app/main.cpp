// FEGAUS: deletes the files that a wildcard pattern matches once their calendar
// age reaches the limit, and reports in German what it did.

#include "app/help_screen.h"
#include "app/options.h"
#include "app/run.h"
#include "app/run_settings.h"
#include "platform/file_search.h"
#include "sweep/reports.h"

int main(int argc, char** argv)
{
    openConsole();
    const Arguments arguments = programArguments(argc, argv);

    todayDay = todaysDayNumber(); // every age of the run is measured against it
    runSettings.pattern[0] = '\0';
    if (arguments.count < 2)
        printHelpScreen();
    const ScanResult scan = scanOptions(arguments.count, arguments.values, 1);
    if (scan.helpScreen)
        printHelpScreen();
    settleQuietAndLimit();
    if (nothingToSweep(scan, arguments))
        printHelpScreen();
    printBanner();
    printRunOpening();
    sweepPatterns(scan, arguments);
    printRunSummary();
    return 0;
}
