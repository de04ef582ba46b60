// The spelling under which a file system that ignores case stores a name.
#pragma once

#include "platform/file_search.h"

#include <sys/stat.h>

// Replaces entry's name, which was looked up directly in the directory and found
// the file found, by the spelling under which the directory stores that file, where
// the two differ in the case of ASCII letters only and the directory may be read.
void takeStoredSpelling(int directoryFd, const struct statx& found, FindEntry& entry);
