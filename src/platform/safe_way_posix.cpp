// The tool runs as root over directories that less trusted users can write. Were a
// pattern's directory opened by its path, the owner of any directory on the way
// could put a link there, to /etc or to another user's files, and the next run
// would sweep wherever it leads. So the way is walked one component at a time,
// each opened relative to the one before without following links; a link is read
// and its target walked the same way, an absolute one from "/" again. Every step
// must keep the rule administrators know from systemd-tmpfiles: out of what root
// owns a step may lead anywhere, out of what another user owns only to what that
// same user owns. The step onto a link is judged by the link's own owner, and the
// step from a link to its target's start ("/", or the target's first component)
// by the link's owner too; subdirectories, ".." and "." are judged like any step.
// A link with a second name is refused outright: where the kernel lets anyone
// hard-link another's file, a user can give root's own link a name in a
// directory of root's that the user may write, and its owner then vouches for a
// name root never laid.

#include "platform/safe_way_posix.h"

#include "platform/character_cut.h"
#include "platform/file_search.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// As many links as the system itself follows in one path.
constexpr int mostLinks = 40;

// The link targets that are still being walked share this room. Where they would
// need more at once, the way is taken for one that does not exist, as a path over
// the system's own limit would be.
constexpr int targetRoom = PATH_MAX;

// A text whose components are being walked: the pattern's directory part, or the
// target of a link.
struct WayPiece {
    const char* text;
    int length;
    int next; // where the component after the one walked last starts
    bool isPattern;
};

// One walk: the pieces still to be walked, the innermost last, and where it stands.
struct Way {
    const char* pattern;
    WayPiece pieces[mostLinks + 1];
    int depth;
    char targets[targetRoom];
    int targetsUsed;
    int links;
    int fd;           // the directory reached so far
    uid_t owner;      // the owner of what the last step reached, directory or link
    int patternStart; // where the pattern's component walked last starts
    int patternEnd;   // and where it ends
    int error;        // why the step failed, when it did
};

// What became of a step: taken; impossible, as a way that does not exist; refused
// as unsafe; or failed for any other reason, held in the way's error.
enum class Step { Taken, Impossible, Refused, Failed };

// The refused step of the last walk, empty when it refused none, in the room the
// platform's header promises a shown text. Before the target of a link stand at
// most the pattern's 199 bytes and " -> "; a target too long for the rest is
// shown by its start, followed by "...".
char refusedStepText[shownCapacity];
constexpr int shownTargetLength = static_cast<int>(shownCapacity) - 256;

// The failure of the last walk or listing, named as a refused step is.
char failedStepText[shownCapacity];
SearchFailure failure{Failure::None, failedStepText, nullptr};

// Whether an error of the system means that the way is not there: nothing of
// that name, a file where a directory should be, or a name longer than any.
// Nothing else may pass for an empty search.
bool isAbsence(int error)
{
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG;
}

// The outcome of a step the system refused with error.
Step failedStep(Way& way, int error)
{
    if (isAbsence(error))
        return Step::Impossible;
    way.error = error;
    return Step::Failed;
}

// Whether the character of length bytes at at is one that a terminal obeys
// instead of showing, or that turns the text around it: a C0 control or DEL;
// a C1 control, in UTF-8 or as a stray byte, as an eight-bit terminal takes it;
// a bidirectional embedding, override or isolate (U+202A to U+202E, U+2066 to
// U+2069).
bool isControl(const unsigned char* at, int length)
{
    if (length == 1)
        return at[0] < 0x20 || (at[0] >= 0x7F && at[0] <= 0x9F);
    if (length == 2)
        return at[0] == 0xC2 && at[1] <= 0x9F;
    return length == 3 && at[0] == 0xE2
           && ((at[1] == 0x80 && at[2] >= 0xAA && at[2] <= 0xAE) || (at[1] == 0x81 && at[2] >= 0xA6 && at[2] <= 0xA9));
}

// Shows every control character of a step as '?', in place and on every
// output: a link's target is its author's text, which must not write lines
// into root's report nor turn it around.
void maskControls(char* text)
{
    auto* const bytes = reinterpret_cast<unsigned char*>(text);
    std::size_t to = 0;
    for (std::size_t at = 0; bytes[at] != 0;) {
        const int character = characterLength(bytes + at);
        const auto length = static_cast<std::size_t>(character);
        if (isControl(bytes + at, character)) {
            bytes[to++] = '?';
        } else {
            std::memmove(bytes + to, bytes + at, length);
            to += length;
        }
        at += length;
    }
    bytes[to] = '\0';
}

// systemd-tmpfiles' rule against an "unsafe transition".
bool stepAllowed(uid_t from, uid_t to)
{
    return from == 0 || from == to;
}

// Whether a step out of what from owns may reach onto, a directory or a link; a
// link with a second name never may.
bool mayStepOnto(uid_t from, const struct stat& onto)
{
    if (S_ISLNK(onto.st_mode) && onto.st_nlink > 1)
        return false;
    return stepAllowed(from, onto.st_uid);
}

// The pattern's text before end, its trailing separators dropped: "/" when that
// leaves the root alone, "." when it leaves nothing; its length into length.
const char* textBefore(const char* pattern, int end, int& length)
{
    while (end > 0 && pattern[end - 1] == '/')
        --end;
    length = end > 0 ? end : 1;
    return end > 0 ? pattern : pattern[0] == '/' ? "/" : ".";
}

// Names the step the walk stands on: "<from> -> <to>", in the bytes of the
// pattern and the links. A step among the pattern's own components goes from the
// text before the component to the component; a step inside a link's target goes
// from the pattern's component that led there to the target holding the step, as
// read.
void nameStep(const Way& way, char (&text)[shownCapacity])
{
    const WayPiece& piece = way.pieces[way.depth - 1];
    if (piece.isPattern) {
        int length = 0;
        const char* from = textBefore(way.pattern, way.patternStart, length);
        std::snprintf(text, sizeof text, "%.*s -> %.*s", length, from, way.patternEnd - way.patternStart,
                      way.pattern + way.patternStart);
    } else {
        const bool cut = piece.length > shownTargetLength;
        const int shown = cut ? characterCut(piece.text, shownTargetLength) : piece.length;
        std::snprintf(text, sizeof text, "%.*s -> %.*s%s", way.patternEnd, way.pattern, shown, piece.text,
                      cut ? "..." : "");
    }
    maskControls(text);
}

// Records why the system's error kept the search from its directory; the
// step's text is in failedStepText already.
void recordFailure(int error)
{
    static char number[16];
    failure.kind = error == EACCES || error == EPERM    ? Failure::AccessDenied
                   : error == EBUSY || error == ETXTBSY ? Failure::InUse
                                                        : Failure::Other;
    failure.code = strerrorname_np(error);
    if (failure.code == nullptr) {
        std::snprintf(number, sizeof number, "%d", error);
        failure.code = number;
    }
}

// Records how the walk ended where it did not end at its directory: a step
// refused as unsafe, or one that failed. A way that does not exist leaves no
// record: it is an empty search.
void recordEnd(const Way& way, Step step)
{
    if (step == Step::Refused) {
        nameStep(way, refusedStepText);
    } else if (step == Step::Failed) {
        nameStep(way, failedStepText);
        recordFailure(way.error);
    }
}

// Skips separators and drops the pieces walked to their end; false when the whole
// way has been walked.
bool moreToWalk(Way& way)
{
    while (way.depth > 0) {
        WayPiece& piece = way.pieces[way.depth - 1];
        while (piece.next < piece.length && piece.text[piece.next] == '/')
            ++piece.next;
        if (piece.next < piece.length)
            return true;
        if (!piece.isPattern)
            way.targetsUsed -= piece.length;
        --way.depth;
    }
    return false;
}

// Takes the next component into name; false when it is longer than any name.
bool takeComponent(Way& way, char (&name)[NAME_MAX + 1])
{
    WayPiece& piece = way.pieces[way.depth - 1];
    const int start = piece.next;
    while (piece.next < piece.length && piece.text[piece.next] != '/')
        ++piece.next;
    if (piece.isPattern) {
        way.patternStart = start;
        way.patternEnd = piece.next;
    }
    const int length = piece.next - start;
    if (length > NAME_MAX)
        return false;
    std::memcpy(name, piece.text + start, static_cast<std::size_t>(length));
    name[length] = '\0';
    return true;
}

// Stands the walk in directory, whose owner the step has been checked for.
void moveTo(Way& way, int directory, uid_t owner)
{
    close(way.fd);
    way.fd = directory;
    way.owner = owner;
}

// Opens a directory to start from, "/" or the current one, and learns its
// owner; -1 with errno set when it cannot.
int openStart(const char* start, uid_t& owner)
{
    const int fd = open(start, O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct stat status;
    if (fd >= 0 && fstat(fd, &status) == 0) {
        owner = status.st_uid;
        return fd;
    }
    const int error = errno;
    if (fd >= 0)
        close(fd);
    errno = error;
    return -1;
}

// Reads the link and walks on into its target: from the link's own directory, or
// from "/" for an absolute target. The walk stands on the link, judged already.
Step followLink(Way& way, int link)
{
    if (++way.links > mostLinks)
        return Step::Impossible;
    // Read while the piece that holds the link still stands, so that a failure
    // names the step onto the link.
    static char read[targetRoom];
    const ssize_t got = readlinkat(link, "", read, sizeof read);
    if (got < 0)
        return failedStep(way, errno);
    (void)moreToWalk(way); // a piece the link ended needs no room while its target is walked
    const int length = static_cast<int>(got);
    if (length == 0 || length >= targetRoom - way.targetsUsed)
        return Step::Impossible;
    char* target = way.targets + way.targetsUsed;
    std::memcpy(target, read, static_cast<std::size_t>(length));
    way.targetsUsed += length;
    way.pieces[way.depth++] = WayPiece{.text = target, .length = length, .next = 0, .isPattern = false};
    if (target[0] != '/')
        return Step::Taken;
    uid_t rootOwner = 0;
    const int root = openStart("/", rootOwner);
    if (root < 0)
        return failedStep(way, errno);
    if (!stepAllowed(way.owner, rootOwner)) {
        close(root);
        return Step::Refused;
    }
    moveTo(way, root, rootOwner);
    return Step::Taken;
}

// Takes "." onto the directory the walk stands in. Among the pattern's own
// components it joins that directory to itself; at the start of a link's target
// it leads from the link, whose owner is the one in hand, into the directory the
// link lies in.
Step stayInPlace(Way& way)
{
    struct stat status;
    if (fstat(way.fd, &status) != 0)
        return failedStep(way, errno);
    if (!stepAllowed(way.owner, status.st_uid))
        return Step::Refused;
    way.owner = status.st_uid;
    return Step::Taken;
}

// Takes the walk's next step: a component of the innermost piece.
Step takeStep(Way& way)
{
    char name[NAME_MAX + 1];
    if (!takeComponent(way, name))
        return Step::Impossible;
    if (std::strcmp(name, ".") == 0)
        return stayInPlace(way);
    const int how = std::strcmp(name, "..") == 0 ? O_DIRECTORY : 0;
    const int child = openat(way.fd, name, O_PATH | O_NOFOLLOW | O_CLOEXEC | how);
    if (child < 0)
        return failedStep(way, errno);
    struct stat status;
    Step step = Step::Impossible;
    if (fstat(child, &status) != 0) {
        step = failedStep(way, errno);
    } else if (!(S_ISDIR(status.st_mode) || S_ISLNK(status.st_mode))) {
        step = Step::Impossible; // a file where a directory should be
    } else if (!mayStepOnto(way.owner, status)) {
        step = Step::Refused;
    } else if (S_ISDIR(status.st_mode)) {
        moveTo(way, child, status.st_uid);
        return Step::Taken;
    } else {
        way.owner = status.st_uid;
        step = followLink(way, child);
    }
    close(child);
    return step;
}

// Walks the way to the directory the first length bytes of pattern name.
int walkWay(const char* pattern, int length)
{
    static Way way;
    way.pattern = pattern;
    way.pieces[0] = WayPiece{.text = pattern, .length = length, .next = 0, .isPattern = true};
    way.depth = 1;
    way.targetsUsed = 0;
    way.links = 0;
    way.patternStart = 0;
    way.patternEnd = 0;
    way.fd = openStart(length > 0 && pattern[0] == '/' ? "/" : ".", way.owner);
    if (way.fd < 0) {
        recordUnlistable(pattern, 0, errno);
        return -1;
    }
    while (moreToWalk(way)) {
        const Step step = takeStep(way);
        if (step == Step::Taken)
            continue;
        recordEnd(way, step);
        close(way.fd);
        return -1;
    }
    return way.fd;
}

// The last way walked to its end, and the directory it reached, held for the run.
// An unquoted *.log reaches the tool as thousands of patterns that share one
// directory part, and walking it anew for each name would cost a dozen system
// calls per file. A pattern whose directory part is byte for byte the same is
// swept in the directory already reached: one this run reached by allowed steps,
// held open as a single pattern's directory is for the whole of its sweep, so
// that whatever is renamed meanwhile cannot lead the sweep anywhere else.
struct WalkedWay {
    char text[PATH_MAX];
    int length;
    int fd; // -1 while none is held
};

WalkedWay walked{.text = {}, .length = 0, .fd = -1};

bool isWalked(const char* pattern, int length)
{
    return walked.fd >= 0 && walked.length == length
           && std::memcmp(walked.text, pattern, static_cast<std::size_t>(length)) == 0;
}

} // namespace

int openSafeWay(const char* pattern, int length)
{
    refusedStepText[0] = '\0';
    failure.kind = Failure::None;
    if (isWalked(pattern, length))
        return walked.fd;
    const int fd = walkWay(pattern, length);
    if (fd < 0)
        return fd;
    if (walked.fd >= 0)
        close(walked.fd);
    walked.fd = fd;
    // A directory part longer than any path is held, but never matched again.
    walked.length = length < static_cast<int>(sizeof walked.text) ? length : -1;
    if (walked.length >= 0)
        std::memcpy(walked.text, pattern, static_cast<std::size_t>(length));
    return fd;
}

void recordUnlistable(const char* pattern, int length, int error)
{
    if (isAbsence(error))
        return;
    int shown = 0;
    const char* directory = textBefore(pattern, length, shown);
    std::snprintf(failedStepText, sizeof failedStepText, "%.*s", shown, directory);
    maskControls(failedStepText);
    recordFailure(error);
}

SearchFailure searchFailure()
{
    return failure;
}

const char* refusedStep()
{
    return refusedStepText[0] != '\0' ? refusedStepText : nullptr;
}
