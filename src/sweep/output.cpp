#include "sweep/output.h"

#include <cstdarg>
#include <cstdio>

bool textsInUtf8 = false;

void printOut(GermanText format, ...)
{
    va_list args;
    va_start(args, format);
    std::vfprintf(stdout, textOf(format), args);
    va_end(args);
}
