// The safe way to a pattern's directory on Windows: walked one folder at a time
// from its root, every link's target too, every step judged by who could have
// prepared it.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>

// Opens the directory that path names ("\\?\" form, ending in a separator,
// length characters) for listing, walking from its root and opening each folder
// relative to the one before; nullptr when a folder on the way is not there, or
// when a step is refused (refusedStep names it) or fails (searchFailure says
// why), in the code page given.
[[nodiscard]] HANDLE openSearchedDirectory(const wchar_t* path, std::size_t length, UINT codePage);

// Forgets the refused step and the failure of the last search: every search
// starts without them.
void forgetLastSearch();

// Records that the directory that path names ("\\?\" form, length characters
// with its closing separator) could not be listed, for status, which
// searchFailure then gives, the directory shown in the code page given.
void recordUnlistable(const wchar_t* path, std::size_t length, UINT codePage, NTSTATUS status);

// Opens name (length characters) relative to the open folder from (nullptr for a
// name in the system's own form) with the access and open options given, by its
// exact case or whatever its case; the system's status, 0 when it is open.
[[nodiscard]] NTSTATUS openRelative(HANDLE from, const wchar_t* name, std::size_t length, bool exactCase,
                                    ACCESS_MASK access, ULONG options, HANDLE& handle);
