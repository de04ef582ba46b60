// Standard output and the command line on Windows, over kernel32 and the C runtime.

#include "platform/file_search.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

// The MinGW start-up would otherwise be free to expand wildcards in the
// arguments before main; a pattern has to reach the search as it was typed.
extern "C" {
int _dowildcard = 0;
}

namespace {

// True when every print has to reach the output at once: a console, which
// buffers nothing by lines. Fixed by openConsole.
bool flushEachPrint = false;

} // namespace

void openConsole()
{
    // Text mode writes every "\n" as "\r\n" and converts nothing else: texts,
    // patterns and names go out as the bytes they are.
    _setmode(_fileno(stdout), _O_TEXT);
    // Redirected, output goes out in blocks of 4096 bytes; on a console every
    // print appears as soon as it is made.
    static char buffer[4096];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    DWORD mode;
    flushEachPrint = GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// A Windows console shows code page 850 as the tool writes it.
bool consoleTakesUtf8()
{
    return false;
}

void writeOut(const char* bytes, std::size_t length)
{
    std::fwrite(bytes, 1, length, stdout);
    if (flushEachPrint)
        std::fflush(stdout);
}

const char* rawCommandLine()
{
    return GetCommandLineA();
}
