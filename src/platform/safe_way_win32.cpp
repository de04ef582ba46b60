// The safe way to a pattern's directory on Windows.
//
// The directory is not named to the system as a path: its root is opened, then
// each folder relative to the open folder before it, and every step is judged.
// The root of the drive or share is the start of the walk, trusted as "/" is on
// Linux. A step out of a folder that the system owns (SYSTEM, Administrators,
// TrustedInstaller) may lead anywhere; out of anyone else's folder only into
// something of the same owner. A junction, mount point or directory symbolic
// link is a step of its own, from the link into the folder it leads to, and
// there the owner says little: setting or rewriting a mount point takes only
// the right to write a folder's data or attributes, and the folder keeps its
// owner. So that step is judged by everyone who could have laid or changed the
// link, its authors: its owner, and every SID its ACL lets write its data or
// attributes, change its ACL or owner, or delete it. A link of the system's
// alone may lead anywhere; one with a single author besides the system only
// into that author's own folders; one with more, nowhere. Without this, a user
// who may write a folder on the way could point a run by SYSTEM into
// C:\Windows with a mount point, which needs no privilege to make. Nothing is
// guessed: a step whose owner, or a link whose ACL, cannot be read is refused.
// The folder finally opened is the one judged; the search and every removal go
// through its handle.

#include "platform/safe_way_win32.h"

#include "platform/file_search.h"
#include "platform/link_authors_win32.h"

#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr NTSTATUS accessDenied = static_cast<NTSTATUS>(0xC0000022);

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

// One step of the walk: the name in the way's path from start to end, its separator.
struct Step {
    std::size_t start;
    std::size_t end;
    bool last; // into the pattern's directory itself
};

// A link's target as the link holds it, in the buffer linkTarget reads it into.
struct LinkTarget {
    const wchar_t* name; // what the system follows
    std::size_t nameLength;
    const wchar_t* shown; // what a refusal shows: the print name where there is one
    std::size_t shownLength;
    bool relative; // a symbolic link's target, relative to the link's folder
};

// The step the last walk refused, in the pattern's code page; empty when it
// refused none. A console is shown it in UTF-8, which takes at most three bytes
// for a character of one or two here, so a third of a shown text's room holds it.
char refused[shownCapacity / 3];

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

// The owner and ACL of an open link, read only for a link on the way and never
// per file; nullptr when they cannot be read. An ACL takes at most 64 KiB.
PSECURITY_DESCRIPTOR linkDescriptor(HANDLE link)
{
    alignas(8) static BYTE descriptor[SECURITY_DESCRIPTOR_MIN_LENGTH + SECURITY_MAX_SID_SIZE + 65536];
    DWORD needed;
    return GetKernelObjectSecurity(link, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, descriptor,
                                   sizeof descriptor, &needed)
               ? descriptor
               : nullptr;
}

bool isAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

// Reads the target of the open link; false when it holds none of a kind the
// tool can read (a mount point or a symbolic link).
bool linkTarget(HANDLE link, LinkTarget& target)
{
    // A header of 8 bytes (tag, length, reserved), then the offsets and lengths
    // in bytes of the substitute and the print name within the names, which a
    // symbolic link starts after 4 bytes of flags.
    alignas(8) static wchar_t data[MAXIMUM_REPARSE_DATA_BUFFER_SIZE / sizeof(wchar_t)];
    const auto* const bytes = reinterpret_cast<const BYTE*>(data);
    DWORD got = 0;
    if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof data, &got, nullptr) || got < 16)
        return false;
    DWORD tag;
    USHORT names[4];
    DWORD flags = 0;
    std::memcpy(&tag, bytes, sizeof tag);
    std::memcpy(names, bytes + 8, sizeof names);
    const std::size_t start = tag == IO_REPARSE_TAG_SYMLINK ? 20 : tag == IO_REPARSE_TAG_MOUNT_POINT ? 16 : 0;
    if (start == 0 || got < start || names[1] == 0 || (names[0] | names[1] | names[2] | names[3]) % 2 != 0
        || start + names[0] + names[1] > got || start + names[2] + names[3] > got)
        return false;
    if (tag == IO_REPARSE_TAG_SYMLINK)
        std::memcpy(&flags, bytes + 16, sizeof flags);
    const bool printed = names[3] != 0;
    target.name = data + (start + names[0]) / sizeof(wchar_t);
    target.nameLength = names[1] / sizeof(wchar_t);
    target.shown = printed ? data + (start + names[2]) / sizeof(wchar_t) : target.name;
    target.shownLength = printed ? names[3] / sizeof(wchar_t) : target.nameLength;
    target.relative = (flags & SYMLINK_FLAG_RELATIVE) != 0;
    return true;
}

// Whether a link's target may lie on another machine, whose server SYSTEM
// would authenticate to on opening it: anything but a drive or a volume of
// this machine, and on a share a relative target too.
bool mayBeRemote(const LinkTarget& target, const Way& way)
{
    if (target.relative)
        return std::wcsncmp(way.path, L"\\\\?\\UNC\\", 8) == 0;
    const wchar_t* const name = target.name;
    const std::size_t length = target.nameLength;
    const bool drive = length >= 6 && std::wcsncmp(name, L"\\??\\", 4) == 0 && isAsciiLetter(name[4])
                       && name[5] == L':' && (length == 6 || name[6] == L'\\');
    const bool volume = length >= 11 && std::wcsncmp(name, L"\\??\\Volume{", 11) == 0;
    return !drive && !volume;
}

// Opens the folder name (length characters) relative to the open folder from,
// finding it as the system finds a name in a path: whatever its case.
NTSTATUS openFolder(HANDLE from, const wchar_t* name, std::size_t length, ACCESS_MASK access, ULONG options,
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

// Records the step onto the name of step as refused; false, for the walk to end.
bool refuseStep(const Way& way, const Step& step)
{
    refuse(way, step.start, way.path + step.start, step.end - step.start);
    return false;
}

// Records the step from the link that step names into its target as refused,
// naming the target as the link holds it, or the link where that is not known.
bool refuseTarget(const Way& way, const Step& step, const LinkTarget* target)
{
    if (target == nullptr)
        return refuseStep(way, step);
    refuse(way, step.end + 1, target->shown, target->shownLength);
    return false;
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

// Opens the root of the way, its start, which counts as the system's whoever
// owns it and is not asked for its owner: a share's root may grant traverse alone.
bool openRoot(const Way& way, bool last, Folder& root)
{
    wchar_t name[MAX_PATH + 4] = L"\\??\\";
    DWORD size = sizeof root.owner.sid;
    if (way.rootLength >= MAX_PATH || !CreateWellKnownSid(WinLocalSystemSid, nullptr, root.owner.sid, &size))
        return false;
    root.owner.known = true;
    std::wmemcpy(name + 4, way.path + 4, way.rootLength - 4);
    return openFolder(nullptr, name, way.rootLength, SYNCHRONIZE | (last ? FILE_LIST_DIRECTORY : 0), 0,
                      root.handle)
           == 0;
}

// Whether the name of step in from still holds the link judged: one swapped in
// between could lead anywhere. A link renamed away and back in that moment
// leads, at worst, to a folder whose owner the authors' rule still judges.
bool stillHolds(Folder& from, const Way& way, const Step& step, HANDLE link)
{
    HANDLE again;
    if (openFolder(from.handle, way.path + step.start, step.end - step.start, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                   FILE_OPEN_REPARSE_POINT, again)
        != 0)
        return false;
    const bool same = fileIdOf(again) == fileIdOf(link);
    NtClose(again);
    return same;
}

// Whether a link whose one author besides the system is other (nullptr: the
// system alone) may lead into a folder owned by targetOwner (nullptr: not read).
bool authorMayEnter(PSID other, PSID targetOwner)
{
    return targetOwner != nullptr && (other == nullptr || EqualSid(other, targetOwner));
}

// Whether the link may be opened through at all, judged before anything it
// leads to is touched: its owner and ACL read, no two authors besides the
// system, and no target on another machine from a link a user could have laid.
// other is then the link's one author besides the system, if any, which
// points into descriptor.
bool mayOpenThrough(const Way& way, const Step& step, PSECURITY_DESCRIPTOR descriptor, const LinkTarget* target,
                    PSID& other)
{
    if (descriptor == nullptr)
        return refuseStep(way, step);
    if (!otherAuthor(descriptor, other)
        || (other != nullptr && (target == nullptr || mayBeRemote(*target, way))))
        return refuseTarget(way, step, target);
    return true;
}

// Follows the link open as link, which the name of step holds in from, into
// next; false when its target is not there, or the step into it is refused.
bool followLink(Folder& from, const Way& way, const Step& step, HANDLE link, Folder& next)
{
    LinkTarget read;
    const LinkTarget* const target = linkTarget(link, read) ? &read : nullptr;
    PSID other = nullptr;
    if (!mayOpenThrough(way, step, linkDescriptor(link), target, other))
        return false;
    const NTSTATUS status = openFolder(from.handle, way.path + step.start, step.end - step.start,
                                       folderAccess(step.last), 0, next.handle);
    if (status != 0) {
        if (status == accessDenied) // there, but not to be opened to read its owner
            refuseTarget(way, step, target);
        return false;
    }
    readOwner(next.handle, next.owner);
    if (!stillHolds(from, way, step, link))
        refuseStep(way, step);
    else if (!authorMayEnter(other, sidOf(next.owner)))
        refuseTarget(way, step, target);
    else
        return true;
    NtClose(next.handle);
    return false;
}

// Takes the step from the open folder from into the folder that step names,
// into next; false when that is not there or the step is refused. A name the
// system will not open for its owner is there, and refused.
bool takeStep(Folder& from, const Way& way, const Step& step, Folder& next)
{
    HANDLE held; // what the name holds itself: a folder, or a link
    const NTSTATUS status = openFolder(from.handle, way.path + step.start, step.end - step.start,
                                       folderAccess(step.last), FILE_OPEN_REPARSE_POINT, held);
    if (status != 0) {
        if (status == accessDenied)
            refuseStep(way, step);
        return false;
    }
    Owner heldOwner;
    readOwner(held, heldOwner);
    bool taken = false;
    if (!transitionAllowed(sidOf(from.owner), sidOf(heldOwner))) {
        refuseStep(way, step);
    } else if (isLink(held)) {
        taken = followLink(from, way, step, held, next);
    } else {
        next.handle = held;
        next.owner = heldOwner;
        return true;
    }
    NtClose(held);
    return taken;
}

// Opts the process into Windows' own guard against junctions made by users who
// are not administrators, where the system has it (Windows 10 22H2, Windows 11
// and later).
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
    if (!setPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof policy)) {
        // Windows without the guard (Server 2016, 2019 and 2022 among them) refuse
        // the policy. Nothing changes and nothing is said: the authors' rule
        // judges every link on every Windows, guard or not.
    }
}

} // namespace

NTSTATUS openRelative(HANDLE from, const wchar_t* name, std::size_t length, bool exactCase, ACCESS_MASK access,
                      ULONG options, HANDLE& handle)
{
    UNICODE_STRING text;
    text.Length = static_cast<USHORT>(length * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    text.Buffer = const_cast<wchar_t*>(name);
    // Whatever a name leads to, another machine's server included, may learn
    // who opens it but never act as SYSTEM.
    SECURITY_QUALITY_OF_SERVICE quality{sizeof quality, SecurityIdentification, SECURITY_STATIC_TRACKING, FALSE};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, exactCase ? 0 : OBJ_CASE_INSENSITIVE, from, nullptr);
    attributes.SecurityQualityOfService = &quality;
    // Synchronous calls need a handle that may be waited on; one opened for
    // DELETE alone, as a removal is, serves the calls that do no waiting.
    if (access & SYNCHRONIZE)
        options |= FILE_SYNCHRONOUS_IO_NONALERT;
    IO_STATUS_BLOCK io;
    return NtOpenFile(&handle, access, &attributes, &io, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      options);
}

LONGLONG fileIdOf(HANDLE handle)
{
    FILE_INTERNAL_INFORMATION internal;
    IO_STATUS_BLOCK io;
    if (NtQueryInformationFile(handle, &io, &internal, sizeof internal, FileInternalInformation) != 0)
        return 0;
    return internal.IndexNumber.QuadPart;
}

HANDLE openSearchedDirectory(const wchar_t* path, std::size_t length, UINT codePage)
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
        const bool taken = takeStep(folder, way, Step{start, end, end + 1 == length}, next);
        NtClose(folder.handle);
        if (!taken)
            return nullptr;
        folder = next;
        start = end + 1;
    }
    return folder.handle;
}

SearchFailure searchFailure()
{
    return SearchFailure{Failure::None, nullptr, nullptr};
}

const char* refusedStep()
{
    return refused[0] != '\0' ? refused : nullptr;
}

void forgetRefusedStep()
{
    refused[0] = '\0';
}
