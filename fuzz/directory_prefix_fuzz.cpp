// The directory prefix of a pattern: the start of the pattern up to and
// including its last '/', or nothing. The path of every removal is built on it,
// so it must never name another directory than the pattern does.

#include "fuzz_check.h"
#include "sweep/sweep.h"

#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string pattern = splitAtZeros(data, size)[0];
    if (pattern.size() >= static_cast<std::size_t>(directoryPrefixCapacity))
        return -1; // longer than any pattern the tool sweeps; keep out of the corpus
    const auto prefix = std::make_unique<char[]>(static_cast<std::size_t>(directoryPrefixCapacity));
    directoryPrefix(pattern.c_str(), prefix.get());

    const std::size_t length = std::strlen(prefix.get());
    FUZZ_CHECK(pattern.compare(0, length, prefix.get()) == 0);
    FUZZ_CHECK(length == 0 || prefix[length - 1] == '/');
    FUZZ_CHECK(pattern.find('/', length) == std::string::npos);
    return 0;
}
