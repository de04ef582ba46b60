#include "platform/nt_calls_win32.h"

// Calls of ntdll that MinGW's headers lack.
extern "C" NTSTATUS NTAPI NtQuerySecurityObject(HANDLE object, SECURITY_INFORMATION what,
                                                PSECURITY_DESCRIPTOR descriptor, ULONG length, PULONG needed);
extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE directory, HANDLE event, PIO_APC_ROUTINE apcRoutine,
                                               PVOID apcContext, PIO_STATUS_BLOCK io, PVOID entries, ULONG length,
                                               FILE_INFORMATION_CLASS kind, BOOLEAN singleEntry, PUNICODE_STRING mask,
                                               BOOLEAN restartScan);

NtCalls ntCalls{NtOpenFile,      NtQueryInformationFile, NtQuerySecurityObject,
                NtFsControlFile, NtQueryDirectoryFile,   NtSetInformationFile,
                NtClose};
