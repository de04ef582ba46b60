#include "harness.h"
#include "expected_text.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

const char* const testZone = "CET-1CEST,M3.5.0,M10.5.0/3";

namespace {

// Every test process works in the test zone, so that its dates are the tool's.
const bool zoneSet = [] {
    setenv("TZ", testZone, 1);
    tzset();
    return true;
}();

} // namespace

std::string cp850(const std::string& utf8)
{
    return expectedText(utf8, "\n");
}

std::string expectedBanner()
{
    return cp850("\n"
                 "--------------------------------------------\n"
                 "|   FEGAUS   Löschen alter (Log-)Dateien   |\n"
                 "|          https://fegaus.example.org      |\n"
                 "--------------------------------------------\n\n");
}

void execTool(const std::vector<std::string>& args, const char* program)
{
    if (program == nullptr)
        program = FEGAUS_EXE;
    std::vector<char*> argv{const_cast<char*>(program)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(program, argv.data());
    _exit(127);
}

RunResult runFegaus(const std::vector<std::string>& args, const std::string& cwd,
                    const std::vector<std::string>& env, const char* launcher)
{
    (void)zoneSet;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe");
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0)
            _exit(127);
        setenv("TZ", testZone, 1);
        for (const std::string& entry : env)
            putenv(const_cast<char*>(entry.c_str()));
        execTool(args, launcher);
    }
    close(pipeFds[1]);
    RunResult result{{}, -1};
    char buffer[65536];
    ssize_t got;
    while ((got = read(pipeFds[0], buffer, sizeof buffer)) > 0)
        result.out.append(buffer, static_cast<std::size_t>(got));
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

TempDir::TempDir(const char* parent)
{
    std::string pattern = std::string(parent) + "/fegaus-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

TempDir::~TempDir()
{
    // Restore write permission on directories a test made read-only, then remove all.
    nftw(
        path_.c_str(),
        [](const char* path, const struct stat* status, int type, FTW*) {
            if (type == FTW_D)
                chmod(path, status->st_mode | 0700);
            return 0;
        },
        16, FTW_PHYS);
    nftw(
        path_.c_str(), [](const char* path, const struct stat*, int, FTW*) { return remove(path); },
        16, FTW_DEPTH | FTW_PHYS);
}

long long noonDaysAgo(int daysAgo)
{
    const std::time_t current = std::time(nullptr);
    std::tm day;
    localtime_r(&current, &day);
    day.tm_mday -= daysAgo;
    day.tm_hour = 12;
    day.tm_min = 0;
    day.tm_sec = 0;
    day.tm_isdst = -1;
    return static_cast<long long>(std::mktime(&day));
}

void setWriteTime(const std::string& path, long long seconds)
{
    const timespec times[2] = {{static_cast<time_t>(seconds), 0}, {static_cast<time_t>(seconds), 0}};
    if (utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("utimensat " + path);
}

void makeFile(const std::string& path, int daysAgo, long long size)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ftruncate(fd, size) != 0)
        throw std::runtime_error("create " + path);
    close(fd);
    setWriteTime(path, noonDaysAgo(daysAgo));
}

std::string dateDaysAgo(int daysAgo)
{
    const std::time_t noon = static_cast<std::time_t>(noonDaysAgo(daysAgo));
    std::tm day;
    localtime_r(&noon, &day);
    char text[16];
    std::strftime(text, sizeof text, "%d.%m.%Y", &day);
    return text;
}

bool exists(const std::string& path)
{
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

int todayStamp()
{
    const std::time_t current = std::time(nullptr);
    std::tm day;
    localtime_r(&current, &day);
    return day.tm_year * 1000 + day.tm_yday;
}
