// Standard output on POSIX systems: its buffering, broken pipes, the character
// set of the program's texts, and the form names and patterns are shown in.
//
// Every program on such a system writes its texts in the character set of the
// user's locale, wherever they go: a terminal, a file, a pipe, the journal or a
// mail from cron. So the texts are UTF-8 under a UTF-8 locale and code page 850
// under any other, byte for byte the Windows program's texts. Names and
// patterns are bytes of the file system and pass into files and pipes as they
// are; only a terminal is shielded from the control characters they may hold.

#include "platform/file_search.h"

#include <strings.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

namespace {

// The name of the locale that sets the character set: the first of LC_ALL,
// LC_CTYPE and LANG that is set and not empty; "" for none.
const char* characterSetLocale()
{
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* name = std::getenv(variable);
        if (name != nullptr && *name != '\0')
            return name;
    }
    return "";
}

// Whether the user's locale writes its characters in UTF-8, by its name alone:
// its codeset, after the '.' and before any '@', is "UTF-8" or "utf8" in any
// case. The locale itself is never loaded. A name given over ssh from another
// machine ("de_DE.UTF-8" where only C.UTF-8 is installed) still means a UTF-8
// terminal, and the tool itself runs in the C locale throughout, so that
// nothing else it does (the option scan's upper case above all) depends on it.
bool localeSpeaksUtf8()
{
    const char* dot = std::strchr(characterSetLocale(), '.');
    if (dot == nullptr)
        return false;
    const char* codeset = dot + 1;
    const std::size_t length = std::strcspn(codeset, "@");
    return (length == 5 && strncasecmp(codeset, "UTF-8", 5) == 0)
           || (length == 4 && strncasecmp(codeset, "UTF8", 4) == 0);
}

// Whether the program's texts go out in UTF-8, and whether standard output is a
// terminal; both fixed by openConsole.
bool textsInUtf8 = false;
bool toTerminal = false;

// A byte that moves a terminal's cursor or starts an escape sequence instead of
// showing a character: the C0 controls and DEL.
bool isControlByte(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

// A C1 control (U+0080 to U+009F) in UTF-8, which a UTF-8 terminal obeys as it
// does the C0 controls (U+009B starts an escape sequence, U+0085 a new line),
// whatever locale the tool itself was given.
bool isUtf8C1Control(const unsigned char* at)
{
    return at[0] == 0xC2 && at[1] >= 0x80 && at[1] <= 0x9F;
}

bool needsShielding(const char* text)
{
    for (const auto* at = reinterpret_cast<const unsigned char*>(text); *at != 0; ++at)
        if (isControlByte(*at) || isUtf8C1Control(at))
            return true;
    return false;
}

// The text as a terminal may be given it: every control character shown as '?',
// as ls shows such names on a terminal, so that a name can neither steer the
// terminal nor split a row. A text too long for shown ends in "...".
const char* shieldedText(const char* text, char (&shown)[shownCapacity])
{
    if (!toTerminal || !needsShielding(text))
        return text;
    std::size_t used = 0;
    for (const auto* at = reinterpret_cast<const unsigned char*>(text); *at != 0; ++at) {
        if (used + 4 == shownCapacity) {
            std::memcpy(shown + used, "...", 3);
            used += 3;
            break;
        }
        if (isUtf8C1Control(at)) {
            shown[used++] = '?';
            ++at; // both bytes of the character
        } else {
            shown[used++] = isControlByte(*at) ? '?' : static_cast<char>(*at);
        }
    }
    shown[used] = '\0';
    return shown;
}

} // namespace

void openConsole()
{
    // Into a file or a pipe a million rows must not be a million writes; a
    // terminal sees every line at once.
    toTerminal = isatty(STDOUT_FILENO) != 0;
    static char buffer[65536];
    std::setvbuf(stdout, buffer, toTerminal ? _IOLBF : _IOFBF, sizeof buffer);
    // A reader that goes away early must not stop a cleanup halfway.
    std::signal(SIGPIPE, SIG_IGN);
    textsInUtf8 = localeSpeaksUtf8();
}

bool consoleTakesUtf8()
{
    return textsInUtf8;
}

void writeOut(const char* bytes, std::size_t length)
{
    std::fwrite(bytes, 1, length, stdout);
}

const char* shownPattern(const char* pattern, char (&shown)[shownCapacity])
{
    return shieldedText(pattern, shown);
}

const char* shownName(SearchHandle, const FindEntry& entry, char (&shown)[shownCapacity])
{
    return shieldedText(entry.name, shown);
}
