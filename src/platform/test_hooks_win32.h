// Functions of the Windows platform layer that only the tests call: conversions
// inside a search, and decisions whose inputs no test machine can make (owners
// and links that Wine cannot set, a file system's wildcards that Wine does not
// know, a file system without file IDs).
#pragma once

#include "platform/file_search.h"

#include <cstddef>

#include <windows.h>
#include <winternl.h>

// The name in the form the ANSI search lists it: the code page's characters, a
// look-alike or '?' for the others; false when that form had to be cut, which
// then ends in '*'.
bool listedNameOf(const wchar_t* name, UINT codePage, char (&listed)[MAX_PATH]);

// Fills every field of entry from the fixed part of one directory record and
// its exact name, the name as listedNameOf gives it; false when it had to be cut.
bool entryFromRecord(const FILE_BOTH_DIR_INFORMATION& record, const wchar_t* name, UINT codePage, FindEntry& entry);

// Makes the searches that follow list without file IDs, as on a file system that
// gives none, so that a removal compares times and size instead; false restores
// the usual start, with IDs where the file system gives them.
void startSearchesWithoutFileIds(bool withoutIds);

// Writes "\\?\" and the pattern's path, resolved as the system resolves it, into
// path; the length of its directory part, or 0 when that cannot be known.
std::size_t searchedDirectory(const wchar_t* pattern, wchar_t* path);

// Writes into mask what Windows' own search hands the file system for the name
// part of a pattern (its DOS wildcards); patternEndsInDot tells whether the
// pattern ended in the dot the system dropped from name.
void fileSystemMask(const wchar_t* name, bool patternEndsInDot, wchar_t* mask);

// Whether the step from a link with the owner and ACL in link into a folder
// owned by targetOwner (nullptr: not read) may be taken, judged by everyone who
// could have laid or changed the link.
bool linkStepAllowed(PSECURITY_DESCRIPTOR link, PSID targetOwner);
