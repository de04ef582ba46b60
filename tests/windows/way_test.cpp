// The way to a pattern's directory over a modelled namespace, since Wine can
// make no junction and give no folder another owner: volumes, folders with
// owner and ACL in SDDL, junctions, mount points and symbolic links, resolved
// as the I/O manager resolves a name, so that an open that let the system
// follow a link is seen. Every row sweeps one pattern under -Q through the
// tool's own code and names the folder listed and the report.

#include "../captured_output.h"
#include "app/run_settings.h"
#include "harness.h"
#include "platform/nt_calls_win32.h"
#include "sweep/sweep.h"

#include <sddl.h>
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The system's folder or link that users may only read; what an administrator
// made on a data volume, which users may change; a user's own; Windows' own.
constexpr const wchar_t* locked = L"O:SYD:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;0x1200a9;;;BU)";
constexpr const wchar_t* dataVolume = L"O:BAD:AI(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1301bf;;;AU)";
constexpr const wchar_t* alices = L"O:S-1-5-21-1-2-3-1001D:(A;;FA;;;S-1-5-21-1-2-3-1001)(A;;FA;;;SY)";
constexpr const wchar_t* alicesOnDataVolume = L"O:S-1-5-21-1-2-3-1001D:AI(A;ID;FA;;;SY)(A;ID;0x1301bf;;;AU)";
constexpr const wchar_t* bobs = L"O:S-1-5-21-1-2-3-1002D:(A;;FA;;;S-1-5-21-1-2-3-1002)";
constexpr const wchar_t* windows = L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:(A;;FA;;;SY)";

// A folder or link of a layout; the folders above it are the system's, locked.
struct Item {
    const wchar_t* path;
    const wchar_t* sddl = locked;
    const wchar_t* junction = nullptr; // a mount point's substitute name
    const wchar_t* symlink = nullptr;  // a symbolic link's
    bool relative = false;
    const wchar_t* print = L"";
    NTSTATUS openStatus = 0; // what opening it answers
    NTSTATUS listStatus = 0; // and listing it
};

struct WayCase {
    const char* name;
    std::vector<Item> layout;
    const char* pattern;
    const wchar_t* listed;                // the folder the sweep lists, "" for none
    std::string line;                     // what -Q reports
    const wchar_t* changeAfter = nullptr; // on the first open, or read as a link, of this path,
    bool changeOnRead = false;
    Item change{}; // this takes its place, and the node moves away
};

// What every layout holds besides, on C:, D:, E: and a volume known by its
// GUID: Windows' folder, users' homes, and folders only administrators change.
const Item common[] = {{L"C:\\Windows", windows},
                       {L"C:\\Users\\alice", alices},
                       {L"C:\\Users\\alice\\logs", alices},
                       {L"C:\\Users\\bob", bobs},
                       {L"C:\\Users\\bob\\logs", bobs},
                       {L"C:\\Logs"},
                       {L"D:"},
                       {L"E:\\Logs"},
                       {L"E:\\Data", dataVolume},
                       {L"Volume{01234567-89ab-cdef-0123-456789abcdef}\\Logs"}};

// The namespace by path, and what the tool did to it.
struct Model {
    const WayCase* row;
    std::map<std::wstring, Item> nodes;
    std::map<HANDLE, std::wstring> handles;
    std::vector<std::wstring> opened;
    bool followed; // an open let the system follow a link
    bool remote;   // a name on another machine was opened
    std::wstring listed;
    std::size_t changed; // how many opens came before the change
};
Model model;

const Item& itemOf(HANDLE handle)
{
    return model.nodes[model.handles[handle]];
}

bool isLink(const Item& item)
{
    return item.junction != nullptr || item.symlink != nullptr;
}

void place(const Item& item)
{
    const std::wstring path = item.path;
    for (std::size_t end = path.find(L'\\'); end != std::wstring::npos; end = path.find(L'\\', end + 1))
        model.nodes.try_emplace(path.substr(0, end), Item{});
    model.nodes[path] = item;
}

// On the first open, or read as a link, of the row's path: the row's change
// takes its place, and the node moves away with every handle that holds it.
void changeOn(const std::wstring& path, bool read)
{
    const WayCase& row = *model.row;
    if (row.changeAfter == nullptr || model.changed != 0 || read != row.changeOnRead || path != row.changeAfter)
        return;
    model.nodes[path + L"~"] = model.nodes[path];
    for (auto& open : model.handles)
        open.second = open.second == path ? path + L"~" : open.second;
    place(row.change);
    model.changed = model.opened.size();
}

// Opens name from a volume ("\??\<volume>\...") or relative to an open folder,
// as the I/O manager resolves it; where it would follow a link (on the way, or
// at the end unless the link itself is asked for), the model notes that the
// tool let it.
NTSTATUS NTAPI modelOpen(PHANDLE handle, ACCESS_MASK, POBJECT_ATTRIBUTES attributes, PIO_STATUS_BLOCK, ULONG,
                         ULONG options)
{
    std::wstring name(attributes->ObjectName->Buffer, attributes->ObjectName->Length / sizeof(wchar_t));
    std::wstring path = attributes->RootDirectory != nullptr ? model.handles[attributes->RootDirectory] : L"";
    if (attributes->RootDirectory == nullptr) {
        model.remote |= name.rfind(L"\\??\\UNC\\", 0) == 0;
        name = name.substr(4);
    }
    for (std::size_t start = 0, end; start < name.size(); start = end + 1) {
        end = std::min(name.find(L'\\', start), name.size());
        if (end == start)
            continue;
        path += (path.empty() ? L"" : L"\\") + name.substr(start, end - start);
        if (!model.nodes.contains(path))
            return static_cast<NTSTATUS>(0xC0000034); // no such name
        const bool last = end + 1 >= name.size();
        model.followed |= isLink(model.nodes[path]) && (!last || !(options & FILE_OPEN_REPARSE_POINT));
    }
    model.opened.push_back(path);
    if (model.nodes[path].openStatus != 0)
        return model.nodes[path].openStatus;
    static std::uintptr_t serial = 0x1000;
    *handle = reinterpret_cast<HANDLE>(serial += 4);
    model.handles[*handle] = path;
    changeOn(path, false);
    return 0;
}

NTSTATUS NTAPI modelQueryInformation(HANDLE handle, PIO_STATUS_BLOCK, PVOID buffer, ULONG, FILE_INFORMATION_CLASS kind)
{
    const Item& item = itemOf(handle);
    auto* const tag = static_cast<FILE_ATTRIBUTE_TAG_INFORMATION*>(buffer);
    tag->FileAttributes = FILE_ATTRIBUTE_DIRECTORY | (isLink(item) ? FILE_ATTRIBUTE_REPARSE_POINT : 0);
    tag->ReparseTag = item.junction != nullptr ? IO_REPARSE_TAG_MOUNT_POINT : IO_REPARSE_TAG_SYMLINK;
    return kind == FileAttributeTagInformation ? 0 : static_cast<NTSTATUS>(0xC0000003);
}

NTSTATUS NTAPI modelQuerySecurity(HANDLE handle, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR buffer, ULONG length,
                                  PULONG needed)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(itemOf(handle).sddl, SDDL_REVISION_1, &descriptor, needed)
        || *needed > length)
        return static_cast<NTSTATUS>(0xC0000023);
    std::memcpy(buffer, descriptor, *needed);
    LocalFree(descriptor);
    return 0;
}

// A reparse point: tag, length, the names' offsets and lengths, a symbolic
// link's flags, the substitute name and the print name.
NTSTATUS NTAPI modelControl(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK io, ULONG, PVOID, ULONG,
                            PVOID buffer, ULONG)
{
    const Item item = itemOf(handle);
    if (!isLink(item))
        return static_cast<NTSTATUS>(0xC0000275);
    const std::wstring target = item.junction != nullptr ? item.junction : item.symlink;
    const auto substitute = static_cast<USHORT>(target.size() * 2);
    const auto print = static_cast<USHORT>(std::wcslen(item.print) * 2);
    const ULONG tag = item.junction != nullptr ? IO_REPARSE_TAG_MOUNT_POINT : IO_REPARSE_TAG_SYMLINK;
    const std::size_t names = item.junction != nullptr ? 16 : 20;
    const USHORT header[8] = {0, 0, 0, 0, 0, substitute, substitute, print};
    const ULONG flags = item.relative ? SYMLINK_FLAG_RELATIVE : 0;
    auto* const bytes = static_cast<BYTE*>(buffer);
    std::memcpy(bytes, header, sizeof header);
    std::memcpy(bytes, &tag, sizeof tag);
    std::memcpy(bytes + 16, &flags, sizeof flags);
    std::memcpy(bytes + names, target.data(), substitute);
    std::memcpy(bytes + names + substitute, item.print, print);
    io->Information = names + substitute + print;
    changeOn(model.handles[handle], true);
    return 0;
}

// Every folder is empty, unless it fails to list.
NTSTATUS NTAPI modelQueryDirectory(HANDLE handle, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                   FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN)
{
    model.listed = model.handles[handle];
    const NTSTATUS status = itemOf(handle).listStatus;
    return status != 0 ? status : static_cast<NTSTATUS>(0xC000000F); // no such file
}

NTSTATUS NTAPI modelClose(HANDLE handle)
{
    model.handles.erase(handle);
    return 0;
}

// The report of a sweep under -Q, as the tool writes it into a file.
std::string quietSweep(const char* pattern)
{
    runSettings.quiet = true;
    const std::string out = captured([pattern] { sweepPattern(pattern, 31); });
    runSettings.quiet = false;
    return out;
}

class Way : public testing::TestWithParam<WayCase> {};

TEST_P(Way, ReachesWhatItsStepsAllowAndSaysWhyNot)
{
    const WayCase& c = GetParam();
    model = Model{&c, {}, {}, {}, false, false, L"", 0};
    for (const Item& item : common)
        place(item);
    for (const Item& item : c.layout)
        place(item);
    const NtCalls system = ntCalls;
    ntCalls = NtCalls{modelOpen,           modelQueryInformation, modelQuerySecurity, modelControl,
                      modelQueryDirectory, system.setInformation, modelClose};
    const std::string out = quietSweep(c.pattern);
    ntCalls = system;
    EXPECT_EQ(out, c.line);
    EXPECT_EQ(model.listed, c.listed);
    EXPECT_FALSE(model.followed) << "the system was let follow a link";
    EXPECT_FALSE(model.remote) << "a name on another machine was opened";
    EXPECT_TRUE(model.handles.empty()) << "a handle was left open";
    EXPECT_EQ(model.changed != 0, c.changeAfter != nullptr);
    EXPECT_EQ(std::count(model.opened.begin() + static_cast<std::ptrdiff_t>(model.changed), model.opened.end(),
                         c.changeAfter != nullptr ? c.changeAfter : L""),
              0)
        << "what came later was opened";
}

constexpr auto status = [](unsigned long value) { return static_cast<NTSTATUS>(value); };

// clang-format off
INSTANTIATE_TEST_SUITE_P(Layouts, Way, testing::Values(
    // What keeps working.
    WayCase{"PlainFolder", {}, "C:\\Logs\\*.log", L"C:\\Logs", ""},
    WayCase{"DriveRoot", {}, "C:\\*.log", L"C:", ""},
    WayCase{"AdminsLockedJunction", {{L"D:\\Logs", locked, L"\\??\\E:\\Logs"}}, "D:\\Logs\\*.log", L"E:\\Logs", ""},
    WayCase{"UsersJunctionIntoOwnTree", {{L"C:\\Users\\alice\\j", alices, L"\\??\\C:\\Users\\alice\\logs"}},
            "C:\\Users\\alice\\j\\*.log", L"C:\\Users\\alice\\logs", ""},
    WayCase{"VolumeMountPointByGuid", {{L"C:\\Mnt", locked, L"\\??\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\"}},
            "C:\\Mnt\\Logs\\*.log", L"Volume{01234567-89ab-cdef-0123-456789abcdef}\\Logs", ""},
    WayCase{"UsersRelativeLinkWithDot", {{L"C:\\Users\\alice\\r", alices, nullptr, L".\\logs", true}},
            "C:\\Users\\alice\\r\\*.log", L"C:\\Users\\alice\\logs", ""},
    // A name swapped for a user's junction while the step holds it, and a
    // user's link rewritten to a share once read: never followed.
    WayCase{"NameSwappedDuringTheStep", {{L"D:\\Logs", locked, L"\\??\\E:\\Logs"}}, "D:\\Logs\\*.log", L"E:\\Logs", "",
            L"D:\\Logs", false, {L"D:\\Logs", alices, L"\\??\\C:\\Windows"}},
    WayCase{"UsersLinkRewrittenToAShareAfterItIsRead",
            {{L"C:\\Users\\alice\\s", alices, nullptr, L"\\??\\C:\\Users\\alice\\logs"}}, "C:\\Users\\alice\\s\\*.log",
            L"C:\\Users\\alice\\logs", "", L"C:\\Users\\alice\\s", true,
            {L"C:\\Users\\alice\\s", alices, nullptr, L"\\??\\UNC\\evil\\share"}},
    // Refused.
    WayCase{"LockedJunctionsTargetTurnedIntoAMountPoint",
            {{L"D:\\Logs", locked, L"\\??\\E:\\Logs"}, {L"E:\\Logs", dataVolume, L"\\??\\C:\\Windows"}},
            "D:\\Logs\\*.log", L"", unsafeWay("D:\\Logs -> C:\\Windows", "D:\\Logs\\*.log")},
    WayCase{"LockedJunctionsTargetReplacedByAUsersJunction",
            {{L"D:\\Logs", locked, L"\\??\\E:\\Logs"}, {L"E:\\Logs", alicesOnDataVolume, L"\\??\\C:\\Windows"}},
            "D:\\Logs\\*.log", L"", unsafeWay("D:\\Logs -> C:\\Windows", "D:\\Logs\\*.log")},
    WayCase{"ChainThroughAUsersLinkToAShare",
            {{L"D:\\Logs", locked, L"\\??\\E:\\Data\\s\\x"}, {L"E:\\Data\\s", alices, nullptr, L"\\??\\UNC\\evil\\share"}},
            "D:\\Logs\\*.log", L"", unsafeWay("D:\\Logs -> \\\\evil\\share", "D:\\Logs\\*.log")},
    WayCase{"UsersJunctionToADrivesRoot", {{L"C:\\Users\\alice\\j", alices, L"\\??\\C:\\"}}, "C:\\Users\\alice\\j\\*.log",
            L"", unsafeWay("C:\\Users\\alice\\j -> C:\\", "C:\\Users\\alice\\j\\*.log")},
    WayCase{"UsersRelativeLinkOutOfTheTree", {{L"C:\\Users\\alice\\r", alices, nullptr, L"..\\..\\Windows", true}},
            "C:\\Users\\alice\\r\\*.log", L"",
            unsafeWay("C:\\Users\\alice\\r -> ..\\..\\Windows", "C:\\Users\\alice\\r\\*.log")},
    WayCase{"UsersJunctionThroughAnotherUsersLink",
            {{L"C:\\Users\\alice\\j", alices, L"\\??\\C:\\Users\\bob\\j"},
             {L"C:\\Users\\bob\\j", bobs, L"\\??\\C:\\Users\\bob\\logs"}},
            "C:\\Users\\alice\\j\\*.log", L"",
            unsafeWay("C:\\Users\\alice\\j -> C:\\Users\\bob\\logs", "C:\\Users\\alice\\j\\*.log")},
    WayCase{"LinkLoop", {{L"C:\\Loop", locked, L"\\??\\C:\\Loop"}}, "C:\\Loop\\*.log", L"",
            unsafeWay("C:\\Loop -> C:\\Loop", "C:\\Loop\\*.log")},
    // The print name is free text of the link's author: the line shows the
    // substitute name, and no control character of it.
    WayCase{"PrintNameWithLineEnds",
            {{L"C:\\Users\\alice\\p", alices, L"\\??\\UNC\\evil\\s\x1B]2;\x202Ex", nullptr, false,
              L"C:\\Logs\r\nDEL 01.01.2020"}},
            "C:\\Users\\alice\\p\\*.log", L"",
            unsafeWay("C:\\Users\\alice\\p -> \\\\evil\\s?]2;?x", "C:\\Users\\alice\\p\\*.log")},
    // Failures to reach or list the folder: said even under -Q.
    WayCase{"RedirectionGuard", {{.path = L"D:\\Logs", .openStatus = status(0xC00004BC)}}, "D:\\Logs\\*.log", L"",
            unreachedWay("D:\\ -> Logs", "von Windows gesperrte Verknüpfung", "D:\\Logs\\*.log")},
    WayCase{"SharingViolation", {{.path = L"C:\\Logs", .openStatus = status(0xC0000043)}}, "C:\\Logs\\*.log", L"",
            unreachedWay("C:\\ -> Logs", "in Benutzung", "C:\\Logs\\*.log")},
    WayCase{"AccessDeniedBehindALink",
            {{L"D:\\Logs", locked, L"\\??\\E:\\Logs"}, {.path = L"E:\\Logs", .openStatus = status(0xC0000022)}},
            "D:\\Logs\\*.log", L"", unreachedWay("D:\\Logs -> E:\\Logs", "Zugriff verweigert", "D:\\Logs\\*.log")},
    WayCase{"ListingFails", {{.path = L"C:\\Logs", .listStatus = status(0xC0000185)}}, "C:\\Logs\\*.log", L"C:\\Logs",
            unreachedWay("C:\\Logs", "Fehler 0xC0000185", "C:\\Logs\\*.log")}),
    [](const testing::TestParamInfo<WayCase>& test) { return test.param.name; });
// clang-format on

} // namespace
