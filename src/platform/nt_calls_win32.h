// The native calls through which the walk to a pattern's directory, the search
// and the removal reach the file system, gathered in one table. The tool never
// changes it; tests put a modelled namespace behind it, with the junctions,
// mount points and owners that Wine cannot make.
#pragma once

#include <windows.h>
#include <winternl.h>

// clang-format off: the formatter splits a long pointer to a function between its
// name and its parameters.
struct NtCalls {
    NTSTATUS(NTAPI* openFile)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, ULONG, ULONG);
    NTSTATUS(NTAPI* queryInformation)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
    NTSTATUS(NTAPI* querySecurity)(HANDLE, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, ULONG, PULONG);
    // Reads a reparse point (FSCTL_GET_REPARSE_POINT), the one control the tool sends.
    NTSTATUS(NTAPI* control)
    (HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, ULONG, PVOID, ULONG, PVOID, ULONG);
    NTSTATUS(NTAPI* queryDirectory)
    (HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS, BOOLEAN,
     PUNICODE_STRING, BOOLEAN);
    NTSTATUS(NTAPI* setInformation)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
    NTSTATUS(NTAPI* close)(HANDLE);
};
// clang-format on

// The calls in use: ntdll's own.
extern NtCalls ntCalls;

// Information classes that MinGW's headers lack: a file's 128-bit ID with its
// volume's serial number, and the listing that holds the 128-bit IDs.
inline constexpr auto fileIdInformation = static_cast<FILE_INFORMATION_CLASS>(59);
inline constexpr auto fileIdExtdBothDirectoryInformation = static_cast<FILE_INFORMATION_CLASS>(63);
