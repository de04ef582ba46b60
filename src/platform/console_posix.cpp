// Standard output on POSIX systems: its buffering, broken pipes, whether the
// program's texts go out in UTF-8, and the form names and patterns are shown in.

#include "platform/file_search.h"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

// Whether the user's locale writes its characters in UTF-8. The locale is
// consulted only here: the tool itself runs in the C locale throughout, so that
// nothing else it does (the option scan's upper case above all) depends on it.
bool localeSpeaksUtf8()
{
    if (std::setlocale(LC_CTYPE, "") == nullptr)
        return false;
    const char* codeset = nl_langinfo(CODESET);
    const bool utf8 = codeset != nullptr && std::strcmp(codeset, "UTF-8") == 0;
    std::setlocale(LC_CTYPE, "C");
    return utf8;
}

// Whether the program's texts go out in UTF-8; fixed by openConsole.
bool textsInUtf8 = false;

} // namespace

void openConsole()
{
    // Into a file or a pipe a million rows must not be a million writes; a
    // terminal sees every line at once.
    const bool terminal = isatty(STDOUT_FILENO) != 0;
    static char buffer[65536];
    std::setvbuf(stdout, buffer, terminal ? _IOLBF : _IOFBF, sizeof buffer);
    // A reader that goes away early must not stop a cleanup halfway.
    std::signal(SIGPIPE, SIG_IGN);
    // A person at a UTF-8 terminal reads the texts in UTF-8; a file or a pipe
    // always gets code page 850, the same bytes on every system, for scripts.
    textsInUtf8 = terminal && localeSpeaksUtf8();
}

bool consoleTakesUtf8()
{
    return textsInUtf8;
}

void writeOut(const char* bytes, std::size_t length)
{
    std::fwrite(bytes, 1, length, stdout);
}

// Patterns and names are the bytes a terminal shows as they are.
const char* shownPattern(const char* pattern, char (&)[shownCapacity])
{
    return pattern;
}

const char* shownName(SearchHandle, const FindEntry& entry, char (&)[shownCapacity])
{
    return entry.name;
}
