#include "sweep/output.h"

#include <cstdarg>
#include <cstdio>

void printOut(GermanText format, ...)
{
    // Every print is formatted first and handed to the output in one piece: a
    // C library whose formatted print writes out on its own would otherwise
    // defeat the block buffering. The compiler has proved for every program text
    // that it fits here with its numbers and one shown text, so nothing is cut.
    char text[printCapacity];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(text, sizeof text, textOf(format), args);
    va_end(args);
    if (length < 0)
        return;
    const auto fitting =
        static_cast<std::size_t>(length) < sizeof text ? static_cast<std::size_t>(length) : sizeof text - 1;
    writeOut(text, fitting);
}
