// The way to a pattern's directory on Windows.
//
// The directory is not named to the system as a path: its root is opened, then
// each folder relative to the open folder before it, and every step is judged by
// the owners of what it joins. A step out of a folder that the system owns
// (SYSTEM, Administrators, TrustedInstaller) is always allowed; out of anyone
// else's folder only into something of the same owner. A junction, mount point
// or directory symbolic link is a step of its own: from the link into the folder
// it leads to, judged by the link's owner, so that a user's junction leads only
// into that user's folders, even where it lies in a folder of the system's that
// users may write. Without this, a user who may write a folder
// on the way could point a run by SYSTEM into C:\Windows with a junction, which
// needs no privilege to make. The folder finally opened is the one whose owner
// was judged; the search and every removal go through its handle.

#include "platform/safe_way_win32.h"

#include "platform/test_hooks.h"

#include <windows.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>

namespace {

// The owner of a folder or link; an owner that could not be read equals no one.
struct Owner {
    bool known;
    alignas(DWORD) BYTE sid[SECURITY_MAX_SID_SIZE];
};

// An open folder on the way, and its owner.
struct Folder {
    HANDLE handle;
    Owner owner;
};

// The path being walked: "\\?\", its root, then its folders, each ended by '\'.
struct Way {
    const wchar_t* path;
    std::size_t length;
    std::size_t rootLength;
    UINT codePage; // of the refused step's text
};

// The service account that owns Windows' own files:
// S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
struct SixPartSid {
    BYTE revision;
    BYTE partCount;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD parts[6];
};
SixPartSid trustedInstaller{SID_REVISION, 6, {{0, 0, 0, 0, 0, 5}},
                            {80, 956008885u, 3418522649u, 1831038044u, 1853292631u, 2271478464u}};

// The step a walk refused, in the pattern's code page. Bounded, so that its
// form on a console fits a print.
char refused[600];

bool isSystemOwner(PSID owner)
{
    return owner != nullptr
           && (IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid)
               || EqualSid(owner, &trustedInstaller));
}

PSID sidOf(Owner& owner)
{
    return owner.known ? owner.sid : nullptr;
}

void readOwner(HANDLE handle, Owner& owner)
{
    alignas(8) BYTE descriptor[256]; // an owner alone: a header and one SID
    DWORD needed;
    PSID sid = nullptr;
    BOOL defaulted;
    owner.known = GetKernelObjectSecurity(handle, OWNER_SECURITY_INFORMATION, descriptor, sizeof descriptor, &needed)
                  && GetSecurityDescriptorOwner(descriptor, &sid, &defaulted) && sid != nullptr
                  && CopySid(sizeof owner.sid, owner.sid, sid);
}

// Opens the folder name (length characters) relative to the open folder from,
// finding it as the system finds a name in a path: whatever its case.
bool openFolder(HANDLE from, const wchar_t* name, std::size_t length, ACCESS_MASK access, ULONG options,
                HANDLE& handle)
{
    return openRelative(from, name, length, false, access, options | FILE_DIRECTORY_FILE, handle);
}

// What a folder on the way is opened for: its owner, and listing for the last.
ACCESS_MASK folderAccess(bool last)
{
    return READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE | (last ? FILE_LIST_DIRECTORY : 0);
}

// Whether the open object leads elsewhere: a junction, a mount point, a
// directory symbolic link or any other reparse point that names another place.
// One that cannot be asked counts as a link, which is judged more strictly.
bool isLink(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag;
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag))
        return true;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag);
}


// The place a link names, as it holds it (its print name where it has one),
// into target; its length, 0 when it cannot be read.
std::size_t linkTarget(HANDLE link, wchar_t (&target)[MAX_PATH])
{
    // A mount point's or a symbolic link's data: a header of 8 bytes, then the
    // offsets and lengths in bytes of the substitute and the print name within
    // the names, which a symbolic link starts after 4 bytes of flags.
    alignas(8) static BYTE data[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
    DWORD got = 0;
    if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof data, &got, nullptr) || got < 16)
        return 0;
    DWORD tag;
    USHORT names[4];
    std::memcpy(&tag, data, sizeof tag);
    std::memcpy(names, data + 8, sizeof names);
    const std::size_t start = tag == IO_REPARSE_TAG_SYMLINK ? 20 : tag == IO_REPARSE_TAG_MOUNT_POINT ? 16 : 0;
    const bool printed = names[3] != 0;
    const std::size_t offset = start + (printed ? names[2] : names[0]);
    const std::size_t bytes = printed ? names[3] : names[1];
    if (start == 0 || offset + bytes > got || bytes / sizeof(wchar_t) >= MAX_PATH)
        return 0;
    std::memcpy(target, data + offset, bytes);
    return bytes / sizeof(wchar_t);
}

// Appends the wide text to refused in the pattern's code page, at used; the new
// length. A text that does not fit is shown as "...".
std::size_t appendStep(std::size_t used, const wchar_t* text, std::size_t length, UINT codePage)
{
    constexpr std::size_t kept = 4; // room for "..." and the end
    if (length == 0 || used + kept >= sizeof refused)
        return used;
    const int written = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), refused + used,
                                            static_cast<int>(sizeof refused - kept - used), nullptr, nullptr);
    if (written > 0)
        return used + static_cast<std::size_t>(written);
    std::memcpy(refused + used, "...", 3);
    return used + 3;
}

// The way up to length in the form a user writes it: "C:\..." or "\\server\share\...",
// and a path in the system's own form as it stands.
std::size_t appendShownWay(std::size_t used, const Way& way, std::size_t length)
{
    const wchar_t* path = way.path;
    if (std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
        used = appendStep(used, L"\\\\", 2, way.codePage);
        return appendStep(used, path + 8, length - 8, way.codePage);
    }
    if (way.rootLength == 7 && path[5] == L':')
        return appendStep(used, path + 4, length - 4, way.codePage);
    return appendStep(used, path, length, way.codePage);
}

// Records the refused step "<from> -> <to>": from is the way up to fromLength
// without its closing separator (the root keeps it, as in "C:\").
void refuse(const Way& way, std::size_t fromLength, const wchar_t* to, std::size_t toLength)
{
    const std::size_t shown = fromLength > way.rootLength ? fromLength - 1 : fromLength;
    std::size_t used = appendShownWay(0, way, shown);
    used = appendStep(used, L" -> ", 4, way.codePage);
    used = appendStep(used, to, toLength, way.codePage);
    refused[used] = '\0';
}

// The length of the way's root: "\\?\C:\", "\\?\UNC\server\share\" or
// "\\?\<device>\"; 0 when the way has none.
std::size_t rootLengthOf(const wchar_t* path, std::size_t length)
{
    int separators = std::wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0 ? 6 : 4;
    for (std::size_t i = 0; i < length; ++i)
        if (path[i] == L'\\' && --separators == 0)
            return i + 1;
    return 0;
}

bool openRoot(const Way& way, bool last, Folder& root)
{
    wchar_t name[MAX_PATH + 4] = L"\\??\\";
    if (way.rootLength >= MAX_PATH)
        return false;
    std::wmemcpy(name + 4, way.path + 4, way.rootLength - 4);
    if (!openFolder(nullptr, name, way.rootLength, folderAccess(last), 0, root.handle))
        return false;
    readOwner(root.handle, root.owner);
    return true;
}

// Follows the link open as link, owned by linkOwner, which the name start to end
// holds in from, into next; false when the link was swapped meanwhile or the step
// from the link into its target is refused.
bool followLink(Folder& from, const Way& way, std::size_t start, std::size_t end, HANDLE link,
                Owner& linkOwner, bool last, Folder& next)
{
    const wchar_t* const name = way.path + start;
    if (!openFolder(from.handle, name, end - start, folderAccess(last), 0, next.handle))
        return false;
    // The name must still hold the link judged: one swapped in between could
    // lead anywhere. A link renamed away and back in that moment leads, at
    // worst, to a folder that the target's owner check below still judges.
    HANDLE again;
    bool same = openFolder(from.handle, name, end - start, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                             FILE_OPEN_REPARSE_POINT, again);
    if (same) {
        same = fileIdOf(again) == fileIdOf(link);
        NtClose(again);
    }
    readOwner(next.handle, next.owner);
    if (!same) {
        refuse(way, start, name, end - start);
    } else if (!transitionAllowed(sidOf(linkOwner), sidOf(next.owner))) {
        wchar_t target[MAX_PATH];
        const std::size_t targetLength = linkTarget(link, target);
        if (targetLength != 0)
            refuse(way, end + 1, target, targetLength);
        else
            refuse(way, start, name, end - start);
    } else {
        return true;
    }
    NtClose(next.handle);
    return false;
}

// Takes the step from the open folder from into the folder named by the way
// from start to end (a separator) into next; false when the folder cannot be
// opened or the step is refused.
bool takeStep(Folder& from, const Way& way, std::size_t start, std::size_t end, Folder& next)
{
    const bool last = end + 1 == way.length;
    const wchar_t* const name = way.path + start;
    HANDLE held; // what the name holds itself: a folder, or a link
    if (!openFolder(from.handle, name, end - start, folderAccess(last), FILE_OPEN_REPARSE_POINT, held))
        return false;
    Owner heldOwner;
    readOwner(held, heldOwner);
    if (!transitionAllowed(sidOf(from.owner), sidOf(heldOwner))) {
        refuse(way, start, name, end - start);
        NtClose(held);
        return false;
    }
    if (!isLink(held)) {
        next.handle = held;
        next.owner = heldOwner;
        return true;
    }
    const bool followed = followLink(from, way, start, end, held, heldOwner, last, next);
    NtClose(held);
    return followed;
}

// Opts the process into Windows' own guard against junctions made by users who
// are not administrators, where the system has it (Windows 10 22H2, Windows 11
// and later); elsewhere the call fails, and the owners' rule above stands alone.
void optIntoRedirectionGuard()
{
    static bool asked = false;
    if (asked)
        return;
    asked = true;
    using SetPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);
    const FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetProcessMitigationPolicy");
    if (found == nullptr)
        return;
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy{};
    policy.EnforceRedirectionTrust = 1;
    const auto setPolicy = reinterpret_cast<SetPolicy>(reinterpret_cast<void (*)()>(found));
    setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy);
}

// Walks from the root of path to its directory; see openSearchedDirectory.
HANDLE walkTo(const wchar_t* path, std::size_t length, UINT codePage)
{
    optIntoRedirectionGuard();
    const Way way{path, length, rootLengthOf(path, length), codePage};
    Folder folder;
    if (way.rootLength == 0 || !openRoot(way, way.rootLength == length, folder))
        return nullptr;
    for (std::size_t start = way.rootLength; start < length;) {
        const std::size_t end = static_cast<std::size_t>(std::wmemchr(path + start, L'\\', length - start) - path);
        if (end == start) { // an empty name between two separators leads nowhere
            ++start;
            continue;
        }
        Folder next;
        const bool taken = takeStep(folder, way, start, end, next);
        NtClose(folder.handle);
        if (!taken)
            return nullptr;
        folder = next;
        start = end + 1;
    }
    return folder.handle;
}

} // namespace

bool openRelative(HANDLE from, const wchar_t* name, std::size_t length, bool exactCase, ACCESS_MASK access,
                  ULONG options, HANDLE& handle)
{
    UNICODE_STRING text;
    text.Length = static_cast<USHORT>(length * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    text.Buffer = const_cast<wchar_t*>(name);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, exactCase ? 0 : OBJ_CASE_INSENSITIVE, from, nullptr);
    IO_STATUS_BLOCK io;
    return NtOpenFile(&handle, access, &attributes, &io, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      options | FILE_SYNCHRONOUS_IO_NONALERT)
           == 0;
}

LONGLONG fileIdOf(HANDLE handle)
{
    FILE_INTERNAL_INFORMATION internal;
    IO_STATUS_BLOCK io;
    if (NtQueryInformationFile(handle, &io, &internal, sizeof internal, FileInternalInformation) != 0)
        return 0;
    return internal.IndexNumber.QuadPart;
}

bool transitionAllowed(PSID from, PSID to)
{
    return isSystemOwner(from) || (from != nullptr && to != nullptr && EqualSid(from, to));
}

HANDLE openSearchedDirectory(const wchar_t* path, std::size_t length, UINT codePage, const char*& refusedText)
{
    refused[0] = '\0';
    const HANDLE directory = walkTo(path, length, codePage);
    refusedText = refused[0] != '\0' ? refused : nullptr;
    return directory;
}