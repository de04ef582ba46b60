#include "sweep/output.h"

#include <cstdarg>
#include <cstdio>

bool textsInUtf8 = false;
bool flushEachPrint = false;

void printOut(GermanText format, ...)
{
    // Every print is formatted first and handed to the stream in one piece: a
    // C library whose formatted print writes out on its own would otherwise
    // defeat the stream's block buffering. No print of the tool comes near the
    // buffer's size; one that did would still go out whole, formatted directly.
    char text[4096];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, textOf(format), args);
    va_end(args);
    if (length >= 0 && static_cast<std::size_t>(length) < sizeof text) {
        std::fwrite(text, 1, static_cast<std::size_t>(length), stdout);
    } else {
        va_start(args, format);
        std::vfprintf(stdout, textOf(format), args);
        va_end(args);
    }
    if (flushEachPrint)
        std::fflush(stdout);
}
