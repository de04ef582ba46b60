// Which encoding the tool's own texts take: UTF-8 under a UTF-8 locale, code
// page 850 under any other, wherever the output goes. File names and patterns
// pass unchanged into files and pipes; a terminal sees their control
// characters as '?'.

#include "harness.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

// Runs the tool with its standard output on the given sink and only the given
// locale variables set; gives everything it wrote, byte for byte.
std::string runWithOutputOn(Sink sink, const std::vector<std::string>& args, const std::string& cwd,
                            const std::vector<std::string>& locale)
{
    const RunResult result = runFegaus(args, {.cwd = cwd, .env = locale, .sink = sink});
    EXPECT_EQ(result.status, 0);
    return result.out;
}

struct EncodingCase {
    const char* name;
    Sink sink;
    std::vector<std::string> locale;
    bool utf8;
};

void PrintTo(const EncodingCase& c, std::ostream* out)
{
    *out << c.name;
}

class OutputEncoding : public testing::TestWithParam<EncodingCase> {
protected:
    TempDir dir;
};

// A name that is neither code page 850 nor valid UTF-8 throughout, and a pattern
// holding an umlaut: both must come out as the very bytes given.
const std::string oddName = "gr\xC3\xBC\xC3\x9F \x94\xFF.log";
const std::string umlautPattern = "*\xC3\xBC\xC3\x9F*";
// A name that would clear a terminal and split its row: an escape sequence, a
// line feed, DEL and the C1 control CSI in UTF-8.
const std::string steeringName = "\xC3\xBC\xC3\x9F\x1B[2J\n\x7F\xC2\x9B.log";
const std::string steeringNameShown = "\xC3\xBC\xC3\x9F?[2J???.log";

} // namespace

TEST_P(OutputEncoding, TextsFollowTheLocaleNamesPassButNotIntoATerminal)
{
    const EncodingCase& c = GetParam();
    makeFile(dir / oddName, 40, 5);
    makeFile(dir / steeringName, 40, 5);
    const std::string out = runWithOutputOn(c.sink, {"-t", "-l=7", umlautPattern}, dir.path(), c.locale);
    const auto text = [&](const std::string& utf8) { return c.utf8 ? utf8 : expectedText(utf8); };

    EXPECT_NE(out.find(text("|   FEGAUS   Löschen alter (Log-)Dateien   |\n")), std::string::npos) << out;
    EXPECT_NE(out.find(text("\n--- Testlauf ohne Löschen von Dateien ---\n")), std::string::npos) << out;
    EXPECT_NE(out.find(text("Suche Dateien, deren letzter Schreibzugriff mind. 7 Tage zurück liegt.\n")),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\n\nDateipfad: " + umlautPattern + "\n\n"), std::string::npos) << out;
    EXPECT_NE(out.find(text("    Datum (Änderung)   Tage       Byte Dateiname\n")), std::string::npos) << out;
    EXPECT_NE(out.find(" 12:00     40          5 " + oddName + "\n"), std::string::npos) << out;
    const std::string shown = c.sink == Sink::Terminal ? steeringNameShown : steeringName;
    EXPECT_NE(out.find(" 12:00     40          5 " + shown + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find(text("    2 Dateien sind älter als 7 Tage.\n")), std::string::npos) << out;
    // Nothing of the other encoding slips through.
    const std::string other = c.utf8 ? expectedText("Löschen") : std::string("Löschen");
    EXPECT_EQ(out.find(other), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Sinks, OutputEncoding,
    testing::Values(EncodingCase{"TerminalAllUtf8", Sink::Terminal, {"LC_ALL=C.UTF-8"}, true},
                    EncodingCase{"TerminalLangUtf8", Sink::Terminal, {"LANG=C.UTF-8"}, true},
                    EncodingCase{"TerminalCtypeUtf8", Sink::Terminal, {"LANG=C", "LC_CTYPE=C.UTF-8"}, true},
                    EncodingCase{"TerminalAllOverridesCtype", Sink::Terminal, {"LC_ALL=C", "LC_CTYPE=C.UTF-8"}, false},
                    EncodingCase{"TerminalNoLocale", Sink::Terminal, {"LC_ALL="}, false},
                    EncodingCase{"TerminalPosixLocale", Sink::Terminal, {"LC_ALL=POSIX"}, false},
                    // Decided by the name alone: a UTF-8 locale that is named but not
                    // installed, as ssh brings one from another machine, is still UTF-8.
                    EncodingCase{"TerminalNamedButMissingUtf8", Sink::Terminal, {"LC_ALL=xx_YY.UTF-8"}, true},
                    EncodingCase{"PipeMissingUtf8WithModifier", Sink::Pipe, {"LANG=de_DE.utf8@euro"}, true},
                    EncodingCase{"PipeEmptyAllGivesWayToLang", Sink::Pipe, {"LC_ALL=", "LANG=de_DE.UTF-8"}, true},
                    EncodingCase{"PipeLatin1", Sink::Pipe, {"LC_ALL=de_DE.ISO-8859-1"}, false},
                    EncodingCase{"PipeUtf8OnlyInTheLanguage", Sink::Pipe, {"LANG=UTF-8"}, false},
                    EncodingCase{"PipeUtf8", Sink::Pipe, {"LC_ALL=C.UTF-8"}, true},
                    EncodingCase{"PipeLangUtf8", Sink::Pipe, {"LANG=C.UTF-8"}, true},
                    EncodingCase{"PipeC", Sink::Pipe, {"LC_ALL=C"}, false},
                    EncodingCase{"FileUtf8", Sink::File, {"LC_ALL=C.UTF-8"}, true},
                    EncodingCase{"FileNoLocale", Sink::File, {"LC_ALL="}, false}),
    [](const testing::TestParamInfo<EncodingCase>& test) { return std::string(test.param.name); });

// The help screen is the longest text: under a UTF-8 locale it reads as
// written on a terminal and in a pipe alike, and without one it is the same
// code page 850 bytes.
TEST(HelpScreenEncoding, FollowsTheLocaleOnATerminalAndInAPipe)
{
    TempDir dir;
    const std::string onTerminal = runWithOutputOn(Sink::Terminal, {"-?"}, dir.path(), {"LC_ALL=C.UTF-8"});
    const std::string inPipe = runWithOutputOn(Sink::Pipe, {"-?"}, dir.path(), {"LC_ALL=C.UTF-8"});
    const std::string plain = runWithOutputOn(Sink::Pipe, {"-?"}, dir.path(), {});
    EXPECT_NE(onTerminal.find("  Sicherheitshalber muß mindestens ein Parameter angegeben werden.\n"),
              std::string::npos)
        << onTerminal;
    EXPECT_NE(onTerminal.find("  Pfade mit Leerzeichen bitte in Anführungszeichen (\") schreiben.\n"),
              std::string::npos);
    EXPECT_EQ(inPipe, onTerminal);
    EXPECT_EQ(expectedText(onTerminal), plain);
}
