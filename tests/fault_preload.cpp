// Preloaded into the tool by a fault test: what other processes, a failing disk
// or a lost network file system do, which no test can provoke otherwise. With
// FEGAUS_TEST_VANISH set, the file of that name is removed just before the
// tool's own removal of it; with FEGAUS_TEST_EIO_STEP set, opening that name
// fails with EIO; with FEGAUS_TEST_EIO_AFTER set, reading a directory fails with
// EIO after that many entries besides "." and "..".

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

bool failsToOpen(const char* name)
{
    const char* failing = std::getenv("FEGAUS_TEST_EIO_STEP");
    return failing != nullptr && std::strcmp(name, failing) == 0;
}

int failedWithEio()
{
    errno = EIO;
    return -1;
}

} // namespace

extern "C" int unlinkat(int directory, const char* name, int flags)
{
    static const auto next = reinterpret_cast<int (*)(int, const char*, int)>(dlsym(RTLD_NEXT, "unlinkat"));
    const char* vanishing = std::getenv("FEGAUS_TEST_VANISH");
    if (vanishing != nullptr && std::strcmp(name, vanishing) == 0)
        next(directory, name, flags);
    return next(directory, name, flags);
}

extern "C" int openat(int directory, const char* name, int flags, ...)
{
    static const auto next = reinterpret_cast<int (*)(int, const char*, int, ...)>(dlsym(RTLD_NEXT, "openat"));
    va_list rest;
    va_start(rest, flags);
    const auto mode = static_cast<mode_t>(va_arg(rest, int));
    va_end(rest);
    return failsToOpen(name) ? failedWithEio() : next(directory, name, flags, mode);
}

// What a checked build calls where the flags are not known at compile time.
extern "C" int __openat_2(int directory, const char* name, int flags)
{
    static const auto next = reinterpret_cast<int (*)(int, const char*, int)>(dlsym(RTLD_NEXT, "__openat_2"));
    return failsToOpen(name) ? failedWithEio() : next(directory, name, flags);
}

extern "C" dirent* readdir(DIR* directory)
{
    static const auto next = reinterpret_cast<dirent* (*)(DIR*)>(dlsym(RTLD_NEXT, "readdir"));
    static long delivered = 0;
    const char* after = std::getenv("FEGAUS_TEST_EIO_AFTER");
    if (after != nullptr && delivered == std::strtol(after, nullptr, 10)) {
        errno = EIO;
        return nullptr;
    }
    dirent* entry = next(directory);
    if (entry != nullptr && std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        ++delivered;
    return entry;
}
