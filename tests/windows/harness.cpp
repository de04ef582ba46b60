#include "harness.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>

const Zone testZone{"CET-1", 3600};
const char* const reportLineEnd = "\r\n";

namespace {

std::string fegausPath()
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string own(path, length);
    return own.substr(0, own.find_last_of('\\') + 1) + FEGAUS_EXE_FROM_TESTS;
}

// Removes a directory and everything in it through the wide functions on
// verbatim paths, so that names the ANSI code page cannot hold, and names
// ending in a dot or a blank, go too.
void removeTree(const std::wstring& directory)
{
    WIN32_FIND_DATAW data;
    const HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &data);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = directory + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                removeTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &data));
        FindClose(search);
    }
    RemoveDirectoryW(directory.c_str());
}

} // namespace

FILETIME fileTimeOf(std::int64_t seconds)
{
    const auto ticks = static_cast<std::uint64_t>(seconds * ticksPerSecond + ticksBefore1970);
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

RunResult runFegaus(const std::string& arguments, const std::string& cwd, const Zone& zone)
{
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd;
    HANDLE writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        ADD_FAILURE() << "CreatePipe";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine = "\"";
    commandLine += fegausPath();
    commandLine += "\" ";
    commandLine += arguments;
    SetEnvironmentVariableA("TZ", zone.tz); // the child inherits the process's environment
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        cwd.empty() ? nullptr : cwd.c_str(), &startup, &process);
    CloseHandle(writeEnd);
    RunResult result{{}, 0xFFFFFFFF};
    if (!started) {
        ADD_FAILURE() << "cannot start " << commandLine;
        CloseHandle(readEnd);
        return result;
    }
    char buffer[65536];
    DWORD got;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        result.out.append(buffer, got);
    CloseHandle(readEnd);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &result.status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return result;
}

TempDir::TempDir(const char* parent)
{
    char base[MAX_PATH];
    if (parent != nullptr)
        std::snprintf(base, sizeof base, "%s\\", parent);
    else
        GetTempPathA(sizeof base, base);
    static int serial = 0;
    for (;;) {
        path_ = std::string(base) + "fegaus-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
        if (CreateDirectoryA(path_.c_str(), nullptr))
            return;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create " << path_;
            return;
        }
    }
}

TempDir::~TempDir()
{
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path_.c_str(), -1, wide, MAX_PATH) > 0)
        removeTree(std::wstring(L"\\\\?\\") + wide);
}

std::string TempDir::operator/(const std::string& name) const
{
    return path_ + "\\" + name;
}

std::int64_t todayIn(const Zone& zone)
{
    FILETIME clock;
    GetSystemTimeAsFileTime(&clock);
    const std::int64_t ticks =
        static_cast<std::int64_t>((std::uint64_t{clock.dwHighDateTime} << 32) | clock.dwLowDateTime);
    const std::int64_t seconds = (ticks - ticksBefore1970) / ticksPerSecond;
    return (seconds + zone.offset) / 86400;
}

std::int64_t localTimeDaysAgo(int daysAgo, int hour, int minute, const Zone& zone)
{
    return (todayIn(zone) - daysAgo) * 86400 + hour * 3600 + minute * 60 - zone.offset;
}

std::int64_t noonDaysAgo(int daysAgo)
{
    return localTimeDaysAgo(daysAgo, 12, 0);
}

std::string dateDaysAgo(int daysAgo)
{
    return dateText(todayIn(testZone) - daysAgo);
}

std::string dateText(std::int64_t day)
{
    // Days since 1970 to the civil date (proleptic Gregorian calendar).
    const std::int64_t z = day + 719468;
    const std::int64_t era = z / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int dayOfMonth = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    char text[16];
    std::snprintf(text, sizeof text, "%02d.%02d.%04d", dayOfMonth, month, year);
    return text;
}

namespace {

// Creates a file of the given size with the given times; no creation time
// (nullptr) leaves the moment it was made.
void makeTimedFile(const std::string& path, std::uint64_t size, const FILETIME* creation, const FILETIME& written)
{
    const HANDLE file =
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    if (size != 0) {
        // Setting the end leaves a sparse file: gigabytes cost no disk space.
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(size);
        EXPECT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN));
        EXPECT_TRUE(SetEndOfFile(file));
    }
    EXPECT_TRUE(SetFileTime(file, creation, &written, &written));
    CloseHandle(file);
}

} // namespace

// Last written and read at noon, created now, as a file the Linux harness makes.
void makeFile(const std::string& path, int daysAgo, long long size)
{
    makeTimedFile(path, static_cast<std::uint64_t>(size), nullptr, fileTimeOf(noonDaysAgo(daysAgo)));
}

void makeFileWrittenAt(const std::string& path, std::int64_t writeTime, std::uint64_t size)
{
    const FILETIME time = fileTimeOf(writeTime);
    makeTimedFile(path, size, &time, time);
}

void makeReadOnly(const std::string& path)
{
    EXPECT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
}

bool exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

INSTANTIATE_TEST_SUITE_P(Listings, Removal, testing::Bool(),
                         [](const auto& test) { return test.param ? "WithoutFileIds" : "WithFileIds"; });
