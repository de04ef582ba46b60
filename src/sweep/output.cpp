#include "sweep/output.h"

#include <cstdarg>
#include <cstdio>

bool textsInUtf8 = false;
bool flushEachPrint = false;

void printOut(const GermanText& format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, textOf(format), args);
    va_end(args);
    if (flushEachPrint)
        std::fflush(stdout);
}
