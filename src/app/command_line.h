// Splitting a Windows command line into arguments, the way the console start-up
// of the platform's classic C runtime does it, independent of the runtime linked.
#pragma once

// Splits line into at most maxArgs arguments, program name first. The arguments
// are written one after another into storage, which must hold strlen(line) + 1
// bytes, and args points at each. Returns the number of arguments.
[[nodiscard]] int splitCommandLine(const char* line, char* storage, const char** args, int maxArgs);
