// The banner and the help screen, byte for byte.

#include "harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string helpText = expectedText(
    "\nVerwendung:\n\n"
    "FEGAUS [-L=Tageszahl] [-C|W] [-Q] [-T] Suchmuster\n\n"
    "\n  Löschen von Dateien.\n  Sicherheitshalber muß mindestens ein Parameter angegeben werden.\n"
    "  Vorsicht: Programm löscht ohne weitere Nachfragen!\n\n"
    "  -L\t\tmax. Alter der Dateien. Dateien älter als <Tageszahl> Tage\n"
    "  \t\twerden gelöscht (Standard=31 Tage).\n"
    "  -C\t\tDateierstellungsdatum verwenden\n"
    "  -W\t\tLetzten Schreibzugriff auf die Datei verwenden (Standard)\n"
    "  -Q\t\tUnterdrückt Bildschirmausgaben (bis auf Fehlermeldungen)\n"
    "  -T\t\tTestlauf ohne Löschen von Dateien (deaktiviert -Q)\n"
    "  Suchmuster\tz.B. '*.*'   oder auch  'e:\\logs\\*.log'\n"
    "\n\nFEGAUS [-?]\n"
    "\n  Zeigt diesen Hilfetext an.\n\n"
    "\n---------------------------\n"
    "\nBeispiele:\n\n"
    "  fegaus -L=31 *.log\n"
    "  Löscht im aktuellen Verzeichnis .log Dateien, die älter als 31 Tage sind.\n\n"
    "  fegaus -L=60 -W -Q e:\\log\\*.*\n"
    "  Löscht alle Dateien in 'e:\\log', deren letzter\n  Schreibzugriff länger als 60 Tage zurück liegt.\n\n"
    "  fegaus -L=365 -T *.*\n"
    "  Testet, welche Dateien älter als 365 Tage sind und gelöscht werden würden.\n\n"
    "  fegaus\n"
    "  Ohne Parameter wird diese Hilfe angezeigt.\n\n"
    "  fegaus \"e:\\mein verzeichnis\\*.*\"\n"
    "  Pfade mit Leerzeichen bitte in Anführungszeichen (\") schreiben.\n");

struct HelpCase {
    std::vector<std::string> args;
    bool withBanner;
};

void PrintTo(const HelpCase& c, std::ostream* out)
{
    for (const std::string& arg : c.args)
        *out << '[' << arg << ']';
}

class HelpScreen : public testing::TestWithParam<HelpCase> {};

} // namespace

TEST_P(HelpScreen, ShowsTheWholeTextAndEndsWithStatusZero)
{
    TempDir dir;
    makeFile(dir / "old.log", 400, 1);
    const RunResult result = runFegaus(GetParam().args, {.cwd = dir.path()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, (GetParam().withBanner ? banner() : "") + helpText);
    EXPECT_TRUE(exists(dir / "old.log")); // the help screen never sweeps
}

INSTANTIATE_TEST_SUITE_P(Calls, HelpScreen, testing::Values(
    HelpCase{{}, true},
    HelpCase{{"-Q"}, false},
    HelpCase{{"-T"}, true},
    HelpCase{{"-Q", "-T"}, true},      // the test run switches quiet off first
    HelpCase{{"-q", "-t", "-L=5", "-c", "-w"}, true},
    HelpCase{{"-Q", "-?"}, false},
    HelpCase{{"-T", "-Q", "-?"}, false}, // -? comes before the test run switches quiet off
    HelpCase{{"-L=60", "-?"}, true},   // always shows the default limit
    HelpCase{{"-?", "*.log"}, true}));
