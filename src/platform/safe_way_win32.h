// The way to a pattern's directory on Windows: walked one folder at a time from
// its root, every step judged by the owners of what it joins.
#pragma once

#include <windows.h>

#include <cstddef>

// Opens the directory that path names ("\\?\" form, ending in a separator,
// length characters) for listing, walking from its root and opening each folder
// relative to the one before; nullptr when a folder on the way cannot be opened
// or a step is refused, which refused then names in the code page given (it is
// nullptr otherwise).
[[nodiscard]] HANDLE openSearchedDirectory(const wchar_t* path, std::size_t length, UINT codePage,
                                           const char*& refused);

// Opens name (length characters) relative to the open folder from (nullptr for a
// name in the system's own form) with the access and open options given, by its
// exact case or whatever its case.
[[nodiscard]] bool openRelative(HANDLE from, const wchar_t* name, std::size_t length, bool exactCase,
                                ACCESS_MASK access, ULONG options, HANDLE& handle);

// The file ID of an open object; 0 when the file system reports none.
[[nodiscard]] LONGLONG fileIdOf(HANDLE handle);
