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
    if (pattern.size() >= directoryPrefixCapacity)
        return -1; // longer than any pattern the tool sweeps; keep out of the corpus
    // On the heap, exactly as large as the tool's buffer, so that the address
    // sanitizer sees any write past it.
    struct Prefix {
        char text[directoryPrefixCapacity];
    };
    const auto buffer = std::make_unique<Prefix>();
    const char* prefix = buffer->text;
    directoryPrefix(pattern.c_str(), buffer->text);

    const std::size_t length = std::strlen(prefix);
    FUZZ_CHECK(pattern.compare(0, length, prefix) == 0);
    FUZZ_CHECK(length == 0 || prefix[length - 1] == '/');
    FUZZ_CHECK(pattern.find('/', length) == std::string::npos);
    return 0;
}
