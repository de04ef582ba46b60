// On a file system that ignores case (vfat, NTFS), a name looked up directly may
// reach a file stored under another spelling, and the listing must show the name
// as stored.

#include "platform/stored_spelling_posix.h"

#include <fcntl.h>
#include <strings.h>

#include <cstring>

namespace {

// Writes name into turned with the case of its ASCII letters turned; false when it
// has no such letter.
bool turnCase(const char* name, char* turned)
{
    bool letter = false;
    for (; *name != '\0'; ++name, ++turned) {
        const char c = *name;
        const bool isLetter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        letter = letter || isLetter;
        *turned = isLetter ? static_cast<char>(c ^ 0x20) : c; // 'a' ^ 0x20 is 'A'
    }
    *turned = '\0';
    return letter;
}

// Whether name in the directory is the file found (the name itself, never a
// link's target).
bool namesFound(int directoryFd, const char* name, const struct statx& found)
{
    struct statx status;
    return statx(directoryFd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_INO, &status) == 0
           && status.stx_ino == found.stx_ino && status.stx_dev_major == found.stx_dev_major
           && status.stx_dev_minor == found.stx_dev_minor;
}

} // namespace

// Where case counts, the name with its letters' case turned reaches nothing (or
// another file), and that one lookup is all a name costs that has no other
// spelling. A difference in letters outside ASCII leaves the pattern's spelling.
bool mayBeStoredOtherwise(int directoryFd, const struct statx& found, const FindEntry& entry)
{
    char turned[sizeof entry.name];
    return turnCase(entry.name, turned) && namesFound(directoryFd, turned, found);
}

// An entry spelled exactly as asked wins: on a file system where case counts, a
// hard link may differ in case.
void readStoredSpelling(DIR* directory, int directoryFd, const struct statx& found, FindEntry& entry)
{
    char stored[sizeof entry.name] = "";
    while (const dirent* listed = readdir(directory)) {
        if (strcasecmp(listed->d_name, entry.name) != 0)
            continue;
        if (std::strcmp(listed->d_name, entry.name) == 0)
            return;
        if (stored[0] == '\0' && namesFound(directoryFd, listed->d_name, found)) {
            std::strcpy(stored, listed->d_name);
            if (found.stx_nlink == 1)
                break; // the file has no other name to find
        }
    }
    if (stored[0] != '\0')
        std::strcpy(entry.name, stored);
}
