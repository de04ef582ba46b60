#include "sweep/output.h"

#include <cstdarg>
#include <cstdio>

void printOut(GermanText format, ...)
{
    // Every print is formatted first and handed to the output in one piece: a
    // C library whose formatted print writes out on its own would otherwise
    // defeat the block buffering. Every argument of a print is bounded (a
    // pattern by its 200-byte buffer, a name by its 260 bytes, a refused step
    // by its 3 KiB, the rest are numbers and the tool's own texts), so no print
    // reaches this size.
    char text[4096];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, textOf(format), args);
    va_end(args);
    if (length < 0)
        return;
    const auto fitting = static_cast<std::size_t>(length) < sizeof text ? static_cast<std::size_t>(length)
                                                                         : sizeof text - 1;
    writeOut(text, fitting);
}
