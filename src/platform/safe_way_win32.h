// The safe way to a pattern's directory on Windows: walked one folder at a time
// from its root, every step judged by who could have prepared it.
#pragma once

#include <windows.h>
#include <winternl.h>

#include <cstddef>

// Opens the directory that path names ("\\?\" form, ending in a separator,
// length characters) for listing, walking from its root and opening each folder
// relative to the one before; nullptr when a folder on the way is not there or
// a step is refused, which refusedStep then names in the code page given.
[[nodiscard]] HANDLE openSearchedDirectory(const wchar_t* path, std::size_t length, UINT codePage);

// Forgets the step refused last: every search starts without one.
void forgetRefusedStep();

// Opens name (length characters) relative to the open folder from (nullptr for a
// name in the system's own form) with the access and open options given, by its
// exact case or whatever its case; the system's status, 0 when it is open.
[[nodiscard]] NTSTATUS openRelative(HANDLE from, const wchar_t* name, std::size_t length, bool exactCase,
                                    ACCESS_MASK access, ULONG options, HANDLE& handle);

// The file ID of an open object; 0 when the file system reports none.
[[nodiscard]] LONGLONG fileIdOf(HANDLE handle);
