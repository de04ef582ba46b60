// The command line on POSIX systems.

#include "platform/file_search.h"

// The arguments arrive split by the shell or the caller's exec; there is no
// command line as one text to take apart.
const char* rawCommandLine()
{
    return nullptr;
}
