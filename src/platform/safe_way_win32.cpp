// The safe way to a pattern's directory on Windows.
//
// The tool runs as SYSTEM over folders that users can write, and a user who may
// write a folder can turn it into a junction or a mount point, which needs no
// privilege. So the system never resolves a name on the way through a link: the
// pattern's root is opened, then each folder relative to the open folder before
// it, itself and never what it links to. A junction, mount point or symbolic
// link met on the way is read from the handle that holds it, and its target is
// walked the same way: a drive or volume from that volume's root, a relative
// target from the folder that holds the link, with its ".." and "." as steps.
// A target anywhere else (another machine, a device, an object of the system's)
// is refused without being opened. The root of the pattern's drive or share,
// and of each volume a link names, is a start, trusted as "/" is on Linux.
//
// Every step is judged by who could have prepared it (link_authors_win32): out
// of a folder of the system anywhere, out of anyone else's only into the same
// owner's; a link by its authors. Beyond a link with one author besides the
// system, everything must be that author's: the folder its target leads to and
// every folder after it, and every further link may have no author but that one
// and the system. Only the folders on the way down from a volume's root to the
// end of a target merely pass, judged by the owners' rule alone: a user's
// junction into the user's own tree passes C:\ and C:\Users. The folder finally
// reached is the one listed, opened again through its own handle.

#include "platform/safe_way_win32.h"

#include "platform/file_search.h"
#include "platform/link_authors_win32.h"
#include "platform/nt_calls_win32.h"

#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// As many links as one way may take, as on Linux.
constexpr int mostLinks = 40;

// As many folders as one way holds open from its last start, for the ".." of a
// relative target. A way deeper than that is taken for one that does not exist,
// as a path over the system's own limit would be.
constexpr int mostFolders = 128;

// The targets of the links still being walked share this room, as long as the
// longest path the system takes.
constexpr std::size_t targetRoom = 32768;

// What became of a step: taken; impossible, as a way that does not exist;
// refused as unsafe; or failed for any other reason, held in the way's status.
enum class Step { Taken, Impossible, Refused, Failed };

// An owner, or the one author of a link besides the system; not known when it
// stands for no one.
struct Owner {
    bool known;
    alignas(DWORD) BYTE sid[SECURITY_MAX_SID_SIZE];
};

// An open folder on the way, and its owner.
struct Folder {
    HANDLE handle;
    Owner owner;
};

// A text whose components are being walked: the pattern's directory, or a
// link's target as the link holds it for the system (its substitute name).
struct WayPiece {
    const wchar_t* text;
    std::size_t length;
    std::size_t next; // where the component after the one walked last starts
    bool isPattern;
    bool fromRoot; // a target walked from a volume's root
};

// One walk: the pieces still to be walked, the innermost last, and where it stands.
struct Way {
    const wchar_t* path; // "\\?\", the pattern's root, its folders, each closed by '\'
    std::size_t length;
    std::size_t rootLength;
    UINT codePage; // of the shown steps
    WayPiece pieces[mostLinks + 1];
    int depth;
    wchar_t targets[targetRoom];
    std::size_t targetsUsed;
    int links;
    Folder folders[mostFolders]; // from the last start to the folder the walk stands in
    int folderCount;
    bool onShare;             // the last start is a share's root, whose links name the server's volumes
    Owner owner;              // of what the last step reached; a link stands for its author
    Owner author;             // the one author besides the system of the links taken
    std::size_t patternStart; // where the pattern's component walked last starts
    std::size_t patternEnd;   // and where it ends
    NTSTATUS status;          // why the step failed, when it did
};

// Statuses the tool tells apart.
constexpr auto nameInvalid = static_cast<NTSTATUS>(0xC0000033);
constexpr auto nameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr auto pathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr auto notADirectory = static_cast<NTSTATUS>(0xC0000103);
constexpr auto nameTooLong = static_cast<NTSTATUS>(0xC0000106);
constexpr auto accessDenied = static_cast<NTSTATUS>(0xC0000022);
constexpr auto sharingViolation = static_cast<NTSTATUS>(0xC0000043);
constexpr auto deviceBusy = static_cast<NTSTATUS>(0x80000011);
constexpr auto untrustedMountPoint = static_cast<NTSTATUS>(0xC00004BC);

// The step the last walk refused, and the step or directory where the last
// search failed, in the pattern's code page; empty when there was none. A
// console is shown them in UTF-8, which takes at most three bytes for a
// character of one or two here, so a third of a shown text's room holds them.
char refused[shownCapacity / 3];
char failedStep[shownCapacity / 3];
char failedCode[16];
SearchFailure failure{Failure::None, failedStep, failedCode};

// Whether a status means that the way is not there: nothing of that name, a
// file where a folder should be, or a name that no folder can have (invalid
// or too long), which Windows' own search, too, reports as nothing found.
// Nothing else may pass for an empty search.
bool isAbsence(NTSTATUS status)
{
    return status == nameNotFound || status == pathNotFound || status == notADirectory || status == nameInvalid
           || status == nameTooLong;
}

Failure failureOf(NTSTATUS status)
{
    if (status == accessDenied)
        return Failure::AccessDenied;
    if (status == sharingViolation || status == deviceBusy)
        return Failure::InUse;
    if (status == untrustedMountPoint)
        return Failure::GuardedLink;
    return Failure::Other;
}

// The outcome of a step the system refused with status.
Step failed(Way& way, NTSTATUS status)
{
    if (isAbsence(status))
        return Step::Impossible;
    way.status = status;
    return Step::Failed;
}

PSID sidOf(const Owner& owner)
{
    return owner.known ? const_cast<BYTE*>(owner.sid) : nullptr;
}

void setOwner(Owner& owner, PSID sid)
{
    owner.known = sid != nullptr && CopySid(sizeof owner.sid, owner.sid, sid);
}

bool startsWith(const wchar_t* text, std::size_t length, const wchar_t* start)
{
    const std::size_t startLength = std::wcslen(start);
    return length >= startLength && std::wcsncmp(text, start, startLength) == 0;
}

bool isAsciiLetter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool isHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// Whether a character is one that a terminal obeys instead of showing, or that
// turns the text around it: a C0 or C1 control, DEL, or a bidirectional
// embedding, override or isolate (U+202A to U+202E, U+2066 to U+2069).
bool isControl(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Appends length characters of text to shown at used, in the code page, every
// control character shown as '?': a link's target is its author's text, which
// must not write lines into SYSTEM's report nor turn it around. What does not
// fit is cut and followed by "...". The new length.
std::size_t appendShown(char (&shown)[shownCapacity / 3], std::size_t used, const wchar_t* text, std::size_t length,
                        UINT codePage)
{
    constexpr std::size_t kept = 4; // room for "..." and the end
    static wchar_t masked[targetRoom];
    if (used + kept >= sizeof shown)
        return used;
    const std::size_t room = sizeof shown - kept - used;
    length = length < room ? length : room; // no character takes less than a byte
    for (std::size_t i = 0; i < length; ++i)
        masked[i] = isControl(text[i]) ? L'?' : text[i];
    for (std::size_t part = length; part > 0; part /= 2) {
        const std::size_t whole = part < length && IS_HIGH_SURROGATE(masked[part - 1]) ? part - 1 : part;
        const int written = WideCharToMultiByte(codePage, 0, masked, static_cast<int>(whole), shown + used,
                                                static_cast<int>(room), nullptr, nullptr);
        if (written <= 0)
            continue;
        used += static_cast<std::size_t>(written);
        if (whole == length)
            return used;
        break;
    }
    std::memcpy(shown + used, "...", 3);
    return used + 3;
}

// Appends path, a path in the "\\?\" form with a root of rootLength, up to end
// as a user writes it: "C:\..." or "\\server\share\...", a path in the system's
// own form as it stands; the root alone keeps its closing separator ("C:\").
std::size_t appendWay(char (&shown)[shownCapacity / 3], std::size_t used, const wchar_t* path, std::size_t rootLength,
                      std::size_t end, UINT codePage)
{
    if (end < rootLength)
        end = rootLength;
    if (startsWith(path, end, L"\\\\?\\UNC\\")) {
        used = appendShown(shown, used, L"\\\\", 2, codePage);
        return appendShown(shown, used, path + 8, end - 8, codePage);
    }
    if (rootLength == 7 && path[5] == L':')
        return appendShown(shown, used, path + 4, end - 4, codePage);
    return appendShown(shown, used, path, end, codePage);
}

// Appends a link's target as the link holds it for the system, written as a
// user writes a path: "C:\..." for "\??\C:\...", "\\host\share" for
// "\??\UNC\host\share", "\\?\..." for any other "\??\...".
std::size_t appendTarget(char (&shown)[shownCapacity / 3], std::size_t used, const WayPiece& piece, UINT codePage)
{
    const wchar_t* text = piece.text;
    std::size_t length = piece.length;
    if (startsWith(text, length, L"\\??\\UNC\\")) {
        used = appendShown(shown, used, L"\\\\", 2, codePage);
        text += 8;
        length -= 8;
    } else if (startsWith(text, length, L"\\??\\")) {
        const bool drive = length >= 6 && isAsciiLetter(text[4]) && text[5] == L':';
        if (!drive)
            used = appendShown(shown, used, L"\\\\?\\", 4, codePage);
        text += 4;
        length -= 4;
    }
    return appendShown(shown, used, text, length, codePage);
}

// Names the step the walk stands on, "<from> -> <to>". Among the pattern's own
// components it goes from the way before the component to the component;
// inside a link's target from the way up to the pattern's component that led
// there to the target holding the step, as the link holds it (never its print
// name, which says nothing about where the link leads).
void nameStep(const Way& way, char (&shown)[shownCapacity / 3])
{
    const WayPiece& piece = way.pieces[way.depth - 1];
    std::size_t used = 0;
    if (piece.isPattern) {
        used = appendWay(shown, used, way.path, way.rootLength, way.patternStart - 1, way.codePage);
        used = appendShown(shown, used, L" -> ", 4, way.codePage);
        used = appendShown(shown, used, way.path + way.patternStart, way.patternEnd - way.patternStart, way.codePage);
    } else {
        used = appendWay(shown, used, way.path, way.rootLength, way.patternEnd, way.codePage);
        used = appendShown(shown, used, L" -> ", 4, way.codePage);
        used = appendTarget(shown, used, piece, way.codePage);
    }
    shown[used] = '\0';
}

void recordFailure(NTSTATUS status)
{
    failure.kind = failureOf(status);
    std::snprintf(failedCode, sizeof failedCode, "0x%08lX", static_cast<unsigned long>(status));
}

// Records how the walk ended where it did not reach its directory: a step
// refused as unsafe, or one that failed. A way that does not exist leaves no
// record: it is an empty search.
void recordEnd(const Way& way, Step step)
{
    if (step == Step::Refused) {
        nameStep(way, refused);
    } else if (step == Step::Failed) {
        nameStep(way, failedStep);
        recordFailure(way.status);
    }
}

// The length of the root of a path in the "\\?\" form: "\\?\C:\",
// "\\?\UNC\server\share\" or "\\?\<device>\"; 0 when it has none.
std::size_t rootLengthOf(const wchar_t* path, std::size_t length)
{
    int separators = startsWith(path, length, L"\\\\?\\UNC\\") ? 6 : 4;
    for (std::size_t i = 0; i < length; ++i)
        if (path[i] == L'\\' && --separators == 0)
            return i + 1;
    return 0;
}

// The length of the volume a link's absolute target starts with, "\??\C:" or
// "\??\Volume{GUID}", followed by its end or a separator; 0 for a target
// anywhere else: another machine ("\??\UNC\..."), a device, an object of the
// system's. Those the tool never opens for a link.
std::size_t volumeLengthOf(const wchar_t* text, std::size_t length)
{
    std::size_t volume = 0;
    if (length >= 6 && startsWith(text, length, L"\\??\\") && isAsciiLetter(text[4]) && text[5] == L':') {
        volume = 6;
    } else if (length >= 48 && startsWith(text, length, L"\\??\\") && _wcsnicmp(text + 4, L"Volume{", 7) == 0
               && text[47] == L'}') {
        for (std::size_t i = 11; i < 47; ++i)
            if (i == 19 || i == 24 || i == 29 || i == 34 ? text[i] != L'-' : !isHexDigit(text[i]))
                return 0;
        volume = 48;
    }
    return volume == length || (volume != 0 && text[volume] == L'\\') ? volume : 0;
}

Folder& here(Way& way)
{
    return way.folders[way.folderCount - 1];
}

void closeFolders(Way& way)
{
    while (way.folderCount > 0)
        ntCalls.close(way.folders[--way.folderCount].handle);
}

// Whether the component walked last is all that is left of its piece.
bool isLastOfPiece(const WayPiece& piece)
{
    for (std::size_t i = piece.next; i < piece.length; ++i)
        if (piece.text[i] != L'\\')
            return false;
    return true;
}

// Whether the walk may enter what owner owns, from what it stands on: by the
// owners' rule, and beyond a link with an author besides the system only into
// that author's, unless the step merely passes on the way down from a volume's
// root to the end of a link's target.
bool mayEnter(const Way& way, PSID owner)
{
    if (!transitionAllowed(sidOf(way.owner), owner))
        return false;
    const WayPiece& piece = way.pieces[way.depth - 1];
    const bool passing = piece.fromRoot && !isLastOfPiece(piece);
    return passing || !way.author.known || EqualSid(owner, sidOf(way.author));
}

// Starts the walk again at a root, name in the system's own form, which counts
// as the system's whoever owns it and is not asked: a share's root may grant
// traverse alone.
Step startAt(Way& way, const wchar_t* name, std::size_t length, bool onShare)
{
    HANDLE root;
    const NTSTATUS status =
        openRelative(nullptr, name, length, false, SYNCHRONIZE, FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, root);
    if (status != 0)
        return failed(way, status);
    closeFolders(way);
    way.folders[0].handle = root;
    setOwner(way.folders[0].owner, localSystem());
    way.folderCount = 1;
    way.owner = way.folders[0].owner;
    way.onShare = onShare;
    return Step::Taken;
}

// Starts the target of the link just taken, the innermost piece: a drive or
// volume at its root, a relative one where the link lies. A target that is no
// more than a root leads there, which is never the author's of a user's link.
Step startTarget(Way& way, bool relative)
{
    WayPiece& piece = way.pieces[way.depth - 1];
    if (relative) // a target starting at "\" would name the root of a volume the tool does not know
        return piece.text[0] == L'\\' ? Step::Refused : Step::Taken;
    const std::size_t volume = volumeLengthOf(piece.text, piece.length);
    if (volume == 0 || way.onShare) // a share's link names a volume of the server
        return Step::Refused;
    wchar_t root[50];
    std::wmemcpy(root, piece.text, volume);
    root[volume] = L'\\';
    const Step step = startAt(way, root, volume + 1, false);
    piece.next = volume;
    piece.fromRoot = true;
    if (step == Step::Taken && isLastOfPiece(piece) && way.author.known)
        return Step::Refused;
    return step;
}

// Skips separators and drops the pieces walked to their end; false when the
// whole way has been walked.
bool moreToWalk(Way& way)
{
    while (way.depth > 0) {
        WayPiece& piece = way.pieces[way.depth - 1];
        while (piece.next < piece.length && piece.text[piece.next] == L'\\')
            ++piece.next;
        if (piece.next < piece.length)
            return true;
        if (!piece.isPattern)
            way.targetsUsed -= piece.length;
        --way.depth;
    }
    return false;
}

// Reads the target of the open link into the way's room, as the piece to walk
// next; relative tells whether it is a symbolic link's relative one. A link of
// a kind the tool cannot read is refused: nothing is guessed.
Step readTarget(Way& way, HANDLE link, bool& relative)
{
    // A header of 8 bytes (tag, length, reserved), then the offsets and lengths
    // in bytes of the substitute and the print name within the names, which a
    // symbolic link starts after 4 bytes of flags.
    alignas(8) static BYTE data[MAXIMUM_REPARSE_DATA_BUFFER_SIZE];
    IO_STATUS_BLOCK io;
    const NTSTATUS status =
        ntCalls.control(link, nullptr, nullptr, nullptr, &io, FSCTL_GET_REPARSE_POINT, nullptr, 0, data, sizeof data);
    if (status != 0)
        return failed(way, status);
    const std::size_t got = io.Information;
    DWORD tag = 0;
    USHORT names[2] = {0, 0}; // the substitute name's offset and length
    DWORD flags = 0;
    if (got >= 16) {
        std::memcpy(&tag, data, sizeof tag);
        std::memcpy(names, data + 8, sizeof names);
    }
    const std::size_t start = tag == IO_REPARSE_TAG_SYMLINK ? 20 : tag == IO_REPARSE_TAG_MOUNT_POINT ? 16 : 0;
    if (start == 0 || names[1] == 0 || (names[0] | names[1]) % 2 != 0 || start + names[0] + names[1] > got)
        return Step::Refused;
    if (tag == IO_REPARSE_TAG_SYMLINK)
        std::memcpy(&flags, data + 16, sizeof flags);
    relative = (flags & SYMLINK_FLAG_RELATIVE) != 0;
    const std::size_t length = names[1] / sizeof(wchar_t);
    (void)moreToWalk(way); // a piece the link ended needs no room while its target is walked
    if (length > targetRoom - way.targetsUsed)
        return Step::Impossible;
    wchar_t* const target = way.targets + way.targetsUsed;
    std::memcpy(target, data + start + names[0], names[1]);
    way.targetsUsed += length;
    way.pieces[way.depth++] = WayPiece{target, length, 0, false, false};
    return Step::Taken;
}

// Follows the link open as link, whose owner and ACL are in descriptor and whose
// step onto it is judged: reads its target and judges the link by its authors,
// with the target in hand, so that a refusal names where the link leads.
Step followLink(Way& way, HANDLE link, PSECURITY_DESCRIPTOR descriptor)
{
    if (++way.links > mostLinks)
        return Step::Refused;
    bool relative = false;
    const Step read = readTarget(way, link, relative);
    if (read != Step::Taken)
        return read;
    PSID other = nullptr;
    if (!otherAuthor(descriptor, other)
        || (other != nullptr && way.author.known && !EqualSid(other, sidOf(way.author))))
        return Step::Refused;
    if (other != nullptr)
        setOwner(way.author, other);
    setOwner(way.owner, other != nullptr ? other : localSystem());
    return startTarget(way, relative);
}

// Reads the owner, for a link also the ACL, of the open object into the
// walk's one buffer; an ACL takes at most 64 KiB.
NTSTATUS readSecurity(HANDLE handle, bool link, PSECURITY_DESCRIPTOR& descriptor)
{
    alignas(8) static BYTE buffer[SECURITY_DESCRIPTOR_MIN_LENGTH + 2 * SECURITY_MAX_SID_SIZE + 65536];
    ULONG needed;
    descriptor = buffer;
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | (link ? DACL_SECURITY_INFORMATION : 0);
    return ntCalls.querySecurity(handle, what, buffer, sizeof buffer, &needed);
}

PSID ownerOf(PSECURITY_DESCRIPTOR descriptor)
{
    PSID owner = nullptr;
    BOOL defaulted;
    return GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) ? owner : nullptr;
}

// Whether the open object leads elsewhere: a junction, a mount point, a
// directory symbolic link or any other reparse point that names another place.
NTSTATUS askIsLink(HANDLE handle, bool& link)
{
    FILE_ATTRIBUTE_TAG_INFORMATION tag{};
    IO_STATUS_BLOCK io;
    const NTSTATUS status = ntCalls.queryInformation(handle, &io, &tag, sizeof tag, FileAttributeTagInformation);
    link = (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag);
    return status;
}

// Takes the step onto what held holds, just opened: enters a folder, which
// then holds it (held becomes nullptr), or follows a link.
Step stepOnto(Way& way, HANDLE& held)
{
    bool link = false;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    NTSTATUS status = askIsLink(held, link);
    if (status == 0)
        status = readSecurity(held, link, descriptor);
    if (status != 0)
        return failed(way, status);
    const PSID owner = ownerOf(descriptor);
    if (link) // the step onto the link by its owner, the step beyond by its authors
        return transitionAllowed(sidOf(way.owner), owner) ? followLink(way, held, descriptor) : Step::Refused;
    if (!mayEnter(way, owner))
        return Step::Refused;
    Folder& next = way.folders[way.folderCount++];
    next.handle = held;
    held = nullptr;
    setOwner(next.owner, owner);
    way.owner = next.owner;
    return Step::Taken;
}

// Takes "." in a link's target: onto the folder the walk stands in, judged as
// any step (at the target's start, from the link).
Step stayInPlace(Way& way)
{
    if (!mayEnter(way, sidOf(here(way).owner)))
        return Step::Refused;
    way.owner = here(way).owner;
    return Step::Taken;
}

// Takes ".." in a link's target: back to the folder before, as the system
// reads a target, by its text; at a start, the start itself.
Step stepUp(Way& way)
{
    if (way.folderCount == 1)
        return stayInPlace(way);
    const Folder& parent = way.folders[way.folderCount - 2];
    if (!mayEnter(way, sidOf(parent.owner)))
        return Step::Refused;
    ntCalls.close(here(way).handle);
    --way.folderCount;
    way.owner = here(way).owner;
    return Step::Taken;
}

bool isName(const wchar_t* text, std::size_t length, const wchar_t* name)
{
    return length == std::wcslen(name) && std::wcsncmp(text, name, length) == 0;
}

// Takes the walk's next step: a component of the innermost piece, opened
// relative to the folder the walk stands in, itself and never what it links
// to, for its owner and attributes.
Step takeStep(Way& way)
{
    WayPiece& piece = way.pieces[way.depth - 1];
    const std::size_t start = piece.next;
    while (piece.next < piece.length && piece.text[piece.next] != L'\\')
        ++piece.next;
    if (piece.isPattern) {
        way.patternStart = start;
        way.patternEnd = piece.next;
    }
    const wchar_t* const name = piece.text + start;
    const std::size_t length = piece.next - start;
    if (!piece.isPattern && isName(name, length, L"."))
        return stayInPlace(way);
    if (!piece.isPattern && isName(name, length, L".."))
        return stepUp(way);
    if (way.folderCount == mostFolders)
        return Step::Impossible;
    HANDLE held;
    const NTSTATUS status =
        openRelative(here(way).handle, name, length, false, READ_CONTROL | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                     FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, held);
    if (status != 0)
        return failed(way, status);
    const Step step = stepOnto(way, held);
    if (held != nullptr)
        ntCalls.close(held);
    return step;
}

// Opens the folder the walk reached for listing, through its own handle, so
// that no name is resolved again: the folder listed is the folder judged.
HANDLE openReached(Way& way)
{
    HANDLE listed;
    const NTSTATUS status = openRelative(here(way).handle, L"", 0, false, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                         FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, listed);
    closeFolders(way);
    if (status == 0)
        return listed;
    if (!isAbsence(status))
        recordUnlistable(way.path, way.length, way.codePage, status);
    return nullptr;
}

// Opts the process into Windows' own guard against junctions made by users who
// are not administrators, where the system has it (Windows 10 22H2, Windows 11
// and later): should any open ever follow a junction, the system checks it too.
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
        // the policy. Nothing changes and nothing is said: the tool's own walk
        // judges every link on every Windows, guard or not.
    }
}

} // namespace

NTSTATUS openRelative(HANDLE from, const wchar_t* name, std::size_t length, bool exactCase, ACCESS_MASK access,
                      ULONG options, HANDLE& handle)
{
    if (length > 0xFFFF / sizeof(wchar_t))
        return nameTooLong; // more than the system's names hold, never to be cut short
    UNICODE_STRING text;
    text.Length = static_cast<USHORT>(length * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    text.Buffer = const_cast<wchar_t*>(name);
    // A server that a pattern on a share names may learn who opens it but never
    // act as SYSTEM. That does not keep a sign-in from being relayed, which is
    // why no link may lead to another machine at all.
    SECURITY_QUALITY_OF_SERVICE quality{sizeof quality, SecurityIdentification, SECURITY_STATIC_TRACKING, FALSE};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, exactCase ? 0 : OBJ_CASE_INSENSITIVE, from, nullptr);
    attributes.SecurityQualityOfService = &quality;
    // Synchronous calls need a handle that may be waited on; one opened for
    // DELETE alone, as a removal is, serves the calls that do no waiting.
    if (access & SYNCHRONIZE)
        options |= FILE_SYNCHRONOUS_IO_NONALERT;
    IO_STATUS_BLOCK io;
    return ntCalls.openFile(&handle, access, &attributes, &io, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            options);
}

HANDLE openSearchedDirectory(const wchar_t* path, std::size_t length, UINT codePage)
{
    optIntoRedirectionGuard();
    static Way way;
    way.path = path;
    way.length = length;
    way.rootLength = rootLengthOf(path, length);
    way.codePage = codePage;
    way.pieces[0] = WayPiece{path, length, way.rootLength, true, false};
    way.depth = 1;
    way.targetsUsed = 0;
    way.links = 0;
    way.folderCount = 0;
    way.author.known = false;
    way.patternStart = way.rootLength;
    way.patternEnd = way.rootLength;
    if (way.rootLength == 0 || way.rootLength >= MAX_PATH)
        return nullptr;
    wchar_t root[MAX_PATH + 4] = L"\\??\\";
    std::wmemcpy(root + 4, path + 4, way.rootLength - 4);
    const Step start = startAt(way, root, way.rootLength, startsWith(path, length, L"\\\\?\\UNC\\"));
    if (start != Step::Taken) {
        if (start == Step::Failed)
            recordUnlistable(path, way.rootLength, codePage, way.status);
        return nullptr;
    }
    while (moreToWalk(way)) {
        const Step step = takeStep(way);
        if (step == Step::Taken)
            continue;
        recordEnd(way, step);
        closeFolders(way);
        return nullptr;
    }
    return openReached(way);
}

void recordUnlistable(const wchar_t* path, std::size_t length, UINT codePage, NTSTATUS status)
{
    const std::size_t used = appendWay(failedStep, 0, path, rootLengthOf(path, length), length - 1, codePage);
    failedStep[used] = '\0';
    recordFailure(status);
}

SearchFailure searchFailure()
{
    return failure;
}

const char* refusedStep()
{
    return refused[0] != '\0' ? refused : nullptr;
}

void forgetLastSearch()
{
    refused[0] = '\0';
    failure.kind = Failure::None;
}
