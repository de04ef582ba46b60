#include "app/help_screen.h"

#include "app/maker.h"
#include "app/run_settings.h"
#include "sweep/output.h"

#include <cstdlib>

namespace {

// Every line of the box is this wide before its line end.
constexpr int bannerWidth = 44;

// The second box line: ten blanks, the web address, blanks up to the right edge.
constexpr int webAddressPadding = bannerWidth - 1 - 10 - static_cast<int>(sizeof FEGAUS_WEB_ADDRESS - 1) - 1;
static_assert(webAddressPadding >= 0, "the web address must fit in the banner box");

} // namespace

void printBanner()
{
    if (runSettings.quiet)
        return;
    printOut("\n"_de);
    printOut("--------------------------------------------\n"_de);
    printOut("|   FEGAUS   Löschen alter (Log-)Dateien   |\n"_de);
    printOut("|          %s%*s|\n"_de, FEGAUS_WEB_ADDRESS, webAddressPadding, "");
    printOut("--------------------------------------------\n\n"_de);
}

void printHelpScreen()
{
    printBanner();
    printOut("\nVerwendung:\n\n"_de);
    printOut("FEGAUS [-L=Tageszahl] [-C|W] [-Q] [-T] Suchmuster\n\n"_de);
    printOut("\n  Löschen von Dateien.\n  Sicherheitshalber muß mindestens ein Parameter angegeben werden.\n"_de);
    printOut("  Vorsicht: Programm löscht ohne weitere Nachfragen!\n\n"_de);
    printOut("  -L\t\tmax. Alter der Dateien. Dateien älter als <Tageszahl> Tage\n"_de);
    printOut("  \t\twerden gelöscht (Standard=%d Tage).\n"_de, defaultMaxAgeDays);
    printOut("  -C\t\tDateierstellungsdatum verwenden\n"_de);
    printOut("  -W\t\tLetzten Schreibzugriff auf die Datei verwenden (Standard)\n"_de);
    printOut("  -Q\t\tUnterdrückt Bildschirmausgaben (bis auf Fehlermeldungen)\n"_de);
    printOut("  -T\t\tTestlauf ohne Löschen von Dateien (deaktiviert -Q)\n"_de);
    printOut("  Suchmuster\tz.B. '*.*'   oder auch  'e:\\logs\\*.log'\n"_de);
    printOut("\n\nFEGAUS [-?]\n"_de);
    printOut("\n  Zeigt diesen Hilfetext an.\n\n"_de);
    printOut("\n---------------------------\n"_de);
    printOut("\nBeispiele:\n\n"_de);
    printOut("  fegaus -L=31 *.log\n"_de);
    printOut("  Löscht im aktuellen Verzeichnis .log Dateien, die älter als 31 Tage sind.\n\n"_de);
    printOut("  fegaus -L=60 -W -Q e:\\log\\*.*\n"_de);
    printOut(
        "  Löscht alle Dateien in 'e:\\log', deren letzter\n  Schreibzugriff länger als 60 Tage zurück liegt.\n\n"_de);
    printOut("  fegaus -L=365 -T *.*\n"_de);
    printOut("  Testet, welche Dateien älter als 365 Tage sind und gelöscht werden würden.\n\n"_de);
    printOut("  fegaus\n"_de);
    printOut("  Ohne Parameter wird diese Hilfe angezeigt.\n\n"_de);
    printOut("  fegaus \"e:\\mein verzeichnis\\*.*\"\n"_de);
    printOut("  Pfade mit Leerzeichen bitte in Anführungszeichen (\") schreiben.\n"_de);
    std::exit(0); // flushes standard output
}
