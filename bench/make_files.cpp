// Makes and checks the directories the benchmark sweeps.
//
//   bench_make_files make DIR N    creates DIR with N *.log files, nine in ten of
//                                  them 60 days old and one in ten of today, and
//                                  ten *.txt files 60 days old
//   bench_make_files check DIR N deleted|kept
//                                  exit status 0 when exactly the old *.log files
//                                  are gone (deleted) or every file is still
//                                  there (kept); otherwise says what differs
//
// Old and new files are told apart by their names alone (old…, new…), so that
// the check never depends on the times it is checking.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr long textFileCount = 10;
constexpr long daySeconds = 86400;

struct FileCounts {
    long oldLogs;
    long newLogs;
    long textFiles;
    long others;
};

FileCounts expectedCounts(long n, bool deleted)
{
    const long newLogs = n / 10;
    return FileCounts{deleted ? 0 : n - newLogs, newLogs, textFileCount, 0};
}

// One empty file with its last write (and access) time; two system calls.
bool makeFile(int directory, const char* name, std::time_t writeTime)
{
    if (mknodat(directory, name, S_IFREG | 0644, 0) != 0) {
        std::fprintf(stderr, "bench_make_files: %s: %s\n", name, std::strerror(errno));
        return false;
    }
    const timespec times[2] = {{writeTime, 0}, {writeTime, 0}};
    if (utimensat(directory, name, times, 0) != 0) {
        std::fprintf(stderr, "bench_make_files: %s: %s\n", name, std::strerror(errno));
        return false;
    }
    return true;
}

int makeDirectory(const char* path, long n)
{
    if (mkdir(path, 0755) != 0) {
        std::fprintf(stderr, "bench_make_files: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    const int directory = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory < 0) {
        std::fprintf(stderr, "bench_make_files: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    const std::time_t now = std::time(nullptr);
    const std::time_t old = now - 60 * daySeconds;
    char name[64];
    for (long i = 0; i < n; ++i) {
        // Every tenth file is of today, spread over the whole directory.
        const bool isNew = i % 10 == 9;
        std::snprintf(name, sizeof name, "%s%07ld.log", isNew ? "new" : "old", i);
        if (!makeFile(directory, name, isNew ? now : old))
            return 1;
    }
    for (long i = 0; i < textFileCount; ++i) {
        std::snprintf(name, sizeof name, "old%07ld.txt", i);
        if (!makeFile(directory, name, old))
            return 1;
    }
    close(directory);
    return 0;
}

bool endsWith(const char* text, const char* end)
{
    const std::size_t length = std::strlen(text);
    const std::size_t endLength = std::strlen(end);
    return length >= endLength && std::strcmp(text + length - endLength, end) == 0;
}

int checkDirectory(const char* path, long n, bool deleted)
{
    DIR* directory = opendir(path);
    if (directory == nullptr) {
        std::fprintf(stderr, "bench_make_files: %s: %s\n", path, std::strerror(errno));
        return 1;
    }
    FileCounts found{0, 0, 0, 0};
    while (const dirent* entry = readdir(directory)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (std::strncmp(name, "old", 3) == 0 && endsWith(name, ".log"))
            ++found.oldLogs;
        else if (std::strncmp(name, "new", 3) == 0 && endsWith(name, ".log"))
            ++found.newLogs;
        else if (endsWith(name, ".txt"))
            ++found.textFiles;
        else
            ++found.others;
    }
    closedir(directory);
    const FileCounts want = expectedCounts(n, deleted);
    if (found.oldLogs == want.oldLogs && found.newLogs == want.newLogs && found.textFiles == want.textFiles
        && found.others == want.others)
        return 0;
    std::fprintf(stderr,
                 "bench_make_files: %s holds %ld old logs, %ld new logs, %ld text files, %ld others;"
                 " expected %ld, %ld, %ld, %ld\n",
                 path, found.oldLogs, found.newLogs, found.textFiles, found.others, want.oldLogs, want.newLogs,
                 want.textFiles, want.others);
    return 1;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_make_files make DIR N\n"
                         "       bench_make_files check DIR N deleted|kept\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return usage();
    char* end = nullptr;
    const long n = std::strtol(argv[3], &end, 10);
    if (*end != '\0' || n < 0)
        return usage();
    if (std::strcmp(argv[1], "make") == 0 && argc == 4)
        return makeDirectory(argv[2], n);
    if (std::strcmp(argv[1], "check") == 0 && argc == 5) {
        if (std::strcmp(argv[4], "deleted") != 0 && std::strcmp(argv[4], "kept") != 0)
            return usage();
        return checkDirectory(argv[2], n, std::strcmp(argv[4], "deleted") == 0);
    }
    return usage();
}
