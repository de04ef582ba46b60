#include "harness.h"

#include <fcntl.h>
#include <ftw.h>
#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

const char* const testZone = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* const reportLineEnd = "\n";

namespace {

// Every test process works in the test zone, so that its dates are the tool's.
const bool zoneSet = [] {
    setenv("TZ", testZone, 1);
    tzset();
    return true;
}();

// The locale variables a run must not inherit from whoever started the tests.
const char* const localeVariables[] = {"LC_ALL", "LC_CTYPE", "LANG", "LANGUAGE", "LC_MESSAGES"};

bool namesALocale(const std::vector<std::string>& env)
{
    for (const std::string& entry : env)
        for (const char* name : localeVariables)
            if (entry.rfind(std::string(name) + "=", 0) == 0)
                return true;
    return false;
}

// The two ends of the tool's standard output: the one the tool writes to, and
// the one the test reads from (-1 where there is none).
struct OutputEnds {
    int write = -1;
    int read = -1;
    std::string file;
};

OutputEnds openSink(Sink sink, const std::string& cwd)
{
    OutputEnds ends;
    int fds[2];
    switch (sink) {
    case Sink::Pipe:
    case Sink::PipeClosedAfterOneByte:
        if (pipe(fds) != 0)
            throw std::runtime_error("pipe");
        ends.read = fds[0];
        ends.write = fds[1];
        break;
    case Sink::Terminal: {
        // A raw terminal: its line end stays a line feed, so the bytes compare as written.
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&ends.read, &ends.write, nullptr, &raw, nullptr) != 0)
            throw std::runtime_error("openpty");
        break;
    }
    case Sink::File:
        ends.file = (cwd.empty() ? std::string(".") : cwd) + "/.report";
        ends.write = open(ends.file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        break;
    case Sink::FullDevice: ends.write = open("/dev/full", O_WRONLY | O_CLOEXEC); break;
    }
    if (ends.write < 0)
        throw std::runtime_error("cannot open the output sink");
    return ends;
}

// Everything that can be read from fd until its writer has gone; a terminal's
// reading side reports an error instead of the end then, which ends it too.
std::string readAll(int fd)
{
    std::string out;
    char buffer[65536];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0)
            out.append(buffer, static_cast<std::size_t>(got));
    return out;
}

// The child's end: 128 + signal when a signal ended it, -1 when it had not
// ended after a minute (it is killed then).
int waitForEnd(pid_t child)
{
    int status = 0;
    for (int waited = 0; waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == 6000) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return -1;
        }
        usleep(10000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Gives up root for the user and group nobody, before the run's directory is
// entered, so that the run gets no further than that user could.
bool becomeNobody()
{
    constexpr uid_t nobody = 65534;
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0;
}

} // namespace

void PrintTo(Sink sink, std::ostream* out)
{
    static const char* const names[] = {"Pipe", "Terminal", "File", "FullDevice", "PipeClosedAfterOneByte"};
    *out << names[static_cast<int>(sink)];
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

RunResult runFegaus(const std::vector<std::string>& args, const RunOptions& options)
{
    (void)zoneSet;
    const OutputEnds ends = openSink(options.sink, options.cwd);
    const pid_t child = fork();
    if (child == 0) {
        dup2(ends.write, STDOUT_FILENO);
        if (ends.read >= 0)
            close(ends.read);
        close(ends.write);
        if (options.asNobody && !becomeNobody())
            _exit(126);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0)
            _exit(127);
        std::signal(SIGPIPE, SIG_DFL);
        for (const char* name : localeVariables)
            unsetenv(name);
        // The byte-exact expectations are those of the C locale, unless the
        // run names a locale of its own.
        if (!namesALocale(options.env))
            setenv("LC_ALL", "C", 1);
        setenv("TZ", testZone, 1);
        for (const std::string& entry : options.env)
            putenv(const_cast<char*>(entry.c_str()));
        execTool(args, options.launcher);
    }
    close(ends.write);
    RunResult result{.out = {}, .status = -1};
    if (options.sink == Sink::PipeClosedAfterOneByte) {
        char first;
        (void)!read(ends.read, &first, 1);
    } else if (ends.read >= 0) {
        result.out = readAll(ends.read);
    }
    if (ends.read >= 0)
        close(ends.read);
    result.status = waitForEnd(child);
    if (!ends.file.empty()) {
        const int fd = open(ends.file.c_str(), O_RDONLY | O_CLOEXEC);
        result.out = readAll(fd);
        close(fd);
        unlink(ends.file.c_str());
    }
    return result;
}

TempDir::TempDir(const char* parent)
{
    std::string pattern = std::string(parent != nullptr ? parent : "/tmp") + "/fegaus-test-XXXXXX";
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
        path_.c_str(), [](const char* path, const struct stat*, int, FTW*) { return remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

std::string TempDir::operator/(const std::string& name) const
{
    return path_ + "/" + name;
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

void expectReport(const std::string& out, const std::string& head, std::vector<std::string> rows,
                  const std::string& tail)
{
    ASSERT_TRUE(out.starts_with(head)) << out;
    ASSERT_TRUE(out.ends_with(tail)) << out;
    ASSERT_GE(out.size(), head.size() + tail.size()) << out;
    std::string middle = out.substr(head.size(), out.size() - head.size() - tail.size());
    for (const std::string& expected : rows) {
        const std::size_t at = middle.find(expected);
        EXPECT_NE(at, std::string::npos) << "missing row: " << expected << out;
        if (at != std::string::npos)
            middle.erase(at, expected.size());
    }
    EXPECT_EQ(middle, "") << "rows too many in:\n" << out;
}
