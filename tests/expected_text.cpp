#include "expected_text.h"

#include <cstdio>

namespace {

// The code page 850 byte of the two-byte UTF-8 letter at utf8[at], or 0 when
// none of ä ö ü Ä Ü ß stands there.
char cp850Letter(const std::string& utf8, std::size_t at)
{
    static const struct {
        const char* from;
        char to;
    } letters[] = {
        {"\xC3\xA4", '\x84'}, {"\xC3\xB6", '\x94'}, {"\xC3\xBC", '\x81'},
        {"\xC3\x84", '\x8E'}, {"\xC3\x9C", '\x9A'}, {"\xC3\x9F", '\xE1'},
    };
    for (const auto& letter : letters)
        if (utf8.compare(at, 2, letter.from) == 0)
            return letter.to;
    return 0;
}

// "Datei" or "Dateien" after the count, as the count lines write it.
std::string files(int count)
{
    return std::to_string(count) + (count == 1 ? " Datei" : " Dateien");
}

} // namespace

std::string expectedText(const std::string& utf8, const char* lineEnd)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (const char letter = cp850Letter(utf8, i)) {
            out += letter;
            ++i;
        } else if (utf8[i] == '\n') {
            out += lineEnd;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

std::string banner(const char* lineEnd)
{
    return expectedText("\n"
                        "--------------------------------------------\n"
                        "|   FEGAUS   Löschen alter (Log-)Dateien   |\n"
                        "|          https://fegaus.example.org      |\n"
                        "--------------------------------------------\n\n",
                        lineEnd);
}

std::string headline(int days, const char* basis, const char* lineEnd)
{
    return expectedText("Suche Dateien, deren " + std::string(basis) + " mind. " + std::to_string(days)
                            + " Tage zurück liegt.\n",
                        lineEnd);
}

std::string testRunLine(const char* lineEnd)
{
    return expectedText("\n--- Testlauf ohne Löschen von Dateien ---\n\n", lineEnd);
}

std::string patternHeader(const std::string& pattern, const char* lineEnd)
{
    return expectedText("\n\nDateipfad: ", lineEnd) + pattern + expectedText("\n\n", lineEnd);
}

std::string nothingFound(const char* lineEnd)
{
    return expectedText("Keine Dateien gefunden.\n\n\n", lineEnd);
}

std::string listingHeader(const char* column, const char* lineEnd)
{
    return expectedText("    Datum " + std::string(column) + " Tage       Byte Dateiname\n", lineEnd);
}

std::string row(const char* status, const std::string& date, const std::string& time, long long age,
                unsigned long long size, const std::string& name, const char* lineEnd)
{
    char columns[64];
    std::snprintf(columns, sizeof columns, "%s %s %s  %5lld %10llu ", status, date.c_str(), time.c_str(), age, size);
    return columns + name + lineEnd;
}

std::string noonRow(const char* status, int daysAgo, unsigned long long size, const std::string& name)
{
    return row(status, dateDaysAgo(daysAgo), "12:00", daysAgo, size, name);
}

std::string countLines(int found, int deleted, int failed, int days, const char* lineEnd)
{
    const std::string limit = " älter als " + std::to_string(days) + " Tage.\n";
    std::string out = found == 0   ? "    Keine Datei ist" + limit
                      : found == 1 ? "    1 Datei ist" + limit
                                   : "    " + files(found) + " sind" + limit;
    if (deleted != 0)
        out += "    " + files(deleted) + " gelöscht.\n\n";
    if (failed != 0)
        out += "    " + files(failed) + (failed == 1 ? " konnte" : " konnten") + " nicht gelöscht werden.\n\n";
    return expectedText(out, lineEnd);
}

std::string summary(int patterns, int found, int deleted, int failed, int days, const char* lineEnd)
{
    return expectedText("\nZusammenfassung über " + std::to_string(patterns) + " Dateipfade:\n", lineEnd)
           + countLines(found, deleted, failed, days, lineEnd);
}

std::string refusal(const std::string& shown, const char* lineEnd)
{
    return expectedText("Suchmuster ist zu lang (über 199 Zeichen) und wird übersprungen: ", lineEnd) + shown
           + expectedText("...\n", lineEnd);
}

std::string unsafeWay(const std::string& step, const std::string& pattern, const char* lineEnd)
{
    return expectedText("Suchmuster führt über einen unsicheren Übergang (", lineEnd) + step
           + expectedText(") und wird übersprungen: ", lineEnd) + pattern + expectedText("\n", lineEnd);
}

std::string unreachedWay(const std::string& step, const std::string& reason, const std::string& pattern,
                         const char* lineEnd)
{
    return expectedText("Suchmuster erreicht sein Verzeichnis nicht (", lineEnd) + step + ": "
           + expectedText(reason, lineEnd) + expectedText(") und wird übersprungen: ", lineEnd) + pattern
           + expectedText("\n", lineEnd);
}

std::string helpText(const char* lineEnd)
{
    return expectedText(
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
        "  Pfade mit Leerzeichen bitte in Anführungszeichen (\") schreiben.\n",
        lineEnd);
}
