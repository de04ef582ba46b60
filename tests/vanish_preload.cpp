// Preloaded into the tool by a fault test: removes the file named by
// FEGAUS_TEST_VANISH just before the tool's own removal of it, as another process
// could between the tool's search and its removal.

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>

extern "C" int unlinkat(int directory, const char* name, int flags)
{
    using Unlinkat = int (*)(int, const char*, int);
    static const auto next = reinterpret_cast<Unlinkat>(dlsym(RTLD_NEXT, "unlinkat"));
    const char* vanishing = std::getenv("FEGAUS_TEST_VANISH");
    if (vanishing != nullptr && std::strcmp(name, vanishing) == 0)
        next(directory, name, flags);
    return next(directory, name, flags);
}
