// The command line on Windows.

#include "platform/file_search.h"

#include <windows.h>

// The MinGW start-up would otherwise be free to expand wildcards in the
// arguments before main; a pattern has to reach the search as it was typed.
extern "C" {
int _dowildcard = 0;
}

// The process gets its command line as one text, which the tool splits by its
// own rules, whatever the C runtime linked would have made of it.
const char* rawCommandLine()
{
    return GetCommandLineA();
}
