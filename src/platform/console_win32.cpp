// Standard output on Windows, over kernel32 and the C runtime.
//
// A console shows every text as UTF-16, whatever its code page: the program's
// texts reach it from their readable UTF-8 form, names and patterns in their
// own characters (shownName, shownPattern), all through WriteConsoleW. A file
// or a pipe gets the bytes scripts read: code page 850 texts, names and
// patterns in the ANSI code page, "\r\n" line ends, written in blocks.

#include "platform/file_search.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace {

// Standard output when it is a console, else nullptr. Fixed by openConsole.
HANDLE console = nullptr;

} // namespace

void openConsole()
{
    // Text mode writes every "\n" as "\r\n" and converts nothing else: texts,
    // patterns and names go out as the bytes they are.
    _setmode(_fileno(stdout), _O_TEXT);
    // Redirected, output goes out in blocks of 4096 bytes.
    static char buffer[4096];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode;
    console = GetConsoleMode(output, &mode) ? output : nullptr;
}

// A console takes the texts in UTF-8, which writeOut hands it as UTF-16.
bool consoleTakesUtf8()
{
    return console != nullptr;
}

void writeOut(const char* bytes, std::size_t length)
{
    if (console == nullptr) {
        std::fwrite(bytes, 1, length, stdout);
        return;
    }
    // Each print is whole, so it holds whole characters; on a console it
    // appears as soon as it is made.
    static wchar_t text[printCapacity];
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(length), text, static_cast<int>(printCapacity));
    DWORD written;
    WriteConsoleW(console, text, static_cast<DWORD>(units), &written, nullptr);
}
