// Preloaded into the tool by a test: statx reports no birth time, as on file
// systems that record none, and, when FEGAUS_TEST_CHANGE_TIME holds seconds since
// 1970, that time as every file's last status change, which no test could set
// otherwise.

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>

extern "C" int statx(int directory, const char* name, int flags, unsigned mask, struct statx* status)
{
    using Statx = int (*)(int, const char*, int, unsigned, struct statx*);
    static const auto next = reinterpret_cast<Statx>(dlsym(RTLD_NEXT, "statx"));
    const int result = next(directory, name, flags, mask, status);
    if (result != 0)
        return result;
    status->stx_mask &= ~static_cast<unsigned>(STATX_BTIME);
    status->stx_btime = {};
    if (const char* changed = std::getenv("FEGAUS_TEST_CHANGE_TIME"))
        status->stx_ctime = {std::strtoll(changed, nullptr, 10), 0, 0};
    return 0;
}
