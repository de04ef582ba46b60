// Which encoding the tool's own texts take: UTF-8 on a terminal whose locale is
// UTF-8, code page 850 everywhere else. File names and patterns pass unchanged
// either way.

#include "harness.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum class Sink { Terminal, Pipe, File };

// The locale variables a run must not inherit from whoever started the tests.
const char* const localeVariables[] = {"LC_ALL", "LC_CTYPE", "LANG", "LANGUAGE", "LC_MESSAGES"};

// Starts the tool with standard output on the given sink and only the given locale
// variables set; gives everything it wrote, byte for byte.
std::string runWithOutputOn(Sink sink, const std::vector<std::string>& args, const std::string& cwd,
                            const std::vector<std::string>& locale)
{
    int readEnd = -1;
    int writeEnd = -1;
    std::string fileName;
    if (sink == Sink::Terminal) {
        // A raw terminal: its line end stays a line feed, so the bytes compare as written.
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&readEnd, &writeEnd, nullptr, &raw, nullptr) != 0)
            throw std::runtime_error("openpty");
    } else if (sink == Sink::Pipe) {
        int fds[2];
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe");
        readEnd = fds[0];
        writeEnd = fds[1];
    } else {
        fileName = cwd + "/.report";
        writeEnd = open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (writeEnd < 0)
            throw std::runtime_error("open " + fileName);
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(writeEnd, STDOUT_FILENO);
        if (readEnd >= 0)
            close(readEnd);
        close(writeEnd);
        if (chdir(cwd.c_str()) != 0)
            _exit(127);
        for (const char* name : localeVariables)
            unsetenv(name);
        setenv("TZ", testZone, 1);
        for (const std::string& entry : locale)
            putenv(const_cast<char*>(entry.c_str()));
        execTool(args);
    }
    close(writeEnd);
    std::string out;
    if (readEnd >= 0) {
        // A terminal's reading side reports an error instead of the end once the
        // writer has gone; either ends the output.
        char buffer[4096];
        ssize_t got;
        while ((got = read(readEnd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
            if (got > 0)
                out.append(buffer, static_cast<std::size_t>(got));
        close(readEnd);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error("the tool did not end with status 0");
    if (sink == Sink::File) {
        const int fd = open(fileName.c_str(), O_RDONLY);
        char buffer[4096];
        ssize_t got;
        while ((got = read(fd, buffer, sizeof buffer)) > 0)
            out.append(buffer, static_cast<std::size_t>(got));
        close(fd);
        unlink(fileName.c_str());
    }
    return out;
}

bool utf8LocaleInstalled()
{
    const bool installed = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
    std::setlocale(LC_CTYPE, "C");
    return installed;
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
    void SetUp() override
    {
        if (!utf8LocaleInstalled())
            GTEST_SKIP() << "the locale C.UTF-8 is not installed";
    }
    TempDir dir;
};

// A name that is neither code page 850 nor valid UTF-8 throughout, and a pattern
// holding an umlaut: both must come out as the very bytes given.
const std::string oddName = "gr\xC3\xBC\xC3\x9F \x94\xFF.log";
const std::string umlautPattern = "*\xC3\xBC\xC3\x9F*";

} // namespace

TEST_P(OutputEncoding, TextsFollowTheSinkAndLocaleNamesNever)
{
    const EncodingCase& c = GetParam();
    makeFile(dir / oddName, 40, 5);
    const std::string out = runWithOutputOn(c.sink, {"-t", "-l=7", umlautPattern}, dir.path(), c.locale);
    const auto text = [&](const std::string& utf8) { return c.utf8 ? utf8 : cp850(utf8); };

    EXPECT_NE(out.find(text("|   FEGAUS   Löschen alter (Log-)Dateien   |\n")), std::string::npos) << out;
    EXPECT_NE(out.find(text("\n--- Testlauf ohne Löschen von Dateien ---\n")), std::string::npos) << out;
    EXPECT_NE(out.find(text("Suche Dateien, deren letzter Schreibzugriff mind. 7 Tage zurück liegt.\n")),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\n\nDateipfad: " + umlautPattern + "\n\n"), std::string::npos) << out;
    EXPECT_NE(out.find(text("    Datum (Änderung)   Tage       Byte Dateiname\n")), std::string::npos) << out;
    EXPECT_NE(out.find(" 12:00     40          5 " + oddName + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find(text("    1 Datei ist älter als 7 Tage.\n")), std::string::npos) << out;
    // Nothing of the other encoding slips through.
    const std::string other = c.utf8 ? cp850("Löschen") : std::string("Löschen");
    EXPECT_EQ(out.find(other), std::string::npos) << out;
}

INSTANTIATE_TEST_SUITE_P(
    Sinks, OutputEncoding,
    testing::Values(
        EncodingCase{"TerminalAllUtf8", Sink::Terminal, {"LC_ALL=C.UTF-8"}, true},
        EncodingCase{"TerminalLangUtf8", Sink::Terminal, {"LANG=C.UTF-8"}, true},
        EncodingCase{"TerminalCtypeUtf8", Sink::Terminal, {"LANG=C", "LC_CTYPE=C.UTF-8"}, true},
        EncodingCase{"TerminalAllOverridesCtype", Sink::Terminal, {"LC_ALL=C", "LC_CTYPE=C.UTF-8"}, false},
        EncodingCase{"TerminalNoLocale", Sink::Terminal, {}, false},
        EncodingCase{"TerminalPosixLocale", Sink::Terminal, {"LC_ALL=POSIX"}, false},
        EncodingCase{"TerminalUnknownLocale", Sink::Terminal, {"LC_ALL=xx_YY.UTF-8"}, false},
        EncodingCase{"PipeUtf8", Sink::Pipe, {"LC_ALL=C.UTF-8"}, false},
        EncodingCase{"FileUtf8", Sink::File, {"LC_ALL=C.UTF-8"}, false}),
    [](const testing::TestParamInfo<EncodingCase>& test) { return std::string(test.param.name); });

// The help screen is the longest text; on a UTF-8 terminal it reads as written,
// and through a pipe it stays the same code page 850 bytes as without a locale.
TEST(HelpScreenEncoding, Utf8OnTheTerminalCodePage850InThePipe)
{
    if (!utf8LocaleInstalled())
        GTEST_SKIP() << "the locale C.UTF-8 is not installed";
    TempDir dir;
    const std::string onTerminal = runWithOutputOn(Sink::Terminal, {"-?"}, dir.path(), {"LC_ALL=C.UTF-8"});
    const std::string inPipe = runWithOutputOn(Sink::Pipe, {"-?"}, dir.path(), {"LC_ALL=C.UTF-8"});
    const std::string plain = runWithOutputOn(Sink::Pipe, {"-?"}, dir.path(), {});
    EXPECT_NE(onTerminal.find("  Sicherheitshalber muß mindestens ein Parameter angegeben werden.\n"),
              std::string::npos)
        << onTerminal;
    EXPECT_NE(onTerminal.find("  Pfade mit Leerzeichen bitte in Anführungszeichen (\") schreiben.\n"),
              std::string::npos);
    EXPECT_EQ(cp850(onTerminal), inPipe);
    EXPECT_EQ(inPipe, plain);
}
