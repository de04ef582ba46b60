// The spelling under which a file system that ignores case stores a name.
#pragma once

#include "platform/file_search.h"

#include <dirent.h>
#include <sys/stat.h>

// Whether the file found, looked up directly in the directory under entry's name,
// may be stored under a spelling that differs in the case of ASCII letters only.
[[nodiscard]] bool mayBeStoredOtherwise(int directoryFd, const struct statx& found, const FindEntry& entry);

// Replaces entry's name by the spelling under which directory, open for reading
// the directory that directoryFd stands for, stores the file found, where the two
// differ in the case of ASCII letters only.
void readStoredSpelling(DIR* directory, int directoryFd, const struct statx& found, FindEntry& entry);
