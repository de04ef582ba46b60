// The command-line splitter: it writes only into the storage it was given, no
// argument outgrows the line, the count stays within what the line can hold, and
// a line without double quotes splits exactly at its blanks and tabs.

#include "app/command_line.h"
#include "fuzz_check.h"

#include <cstring>
#include <memory>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The plain split of a line without quotes: the program name runs to the first
// blank (and is empty when the line starts with one), every other argument is a
// run of non-blanks.
std::vector<std::string> plainSplit(const std::string& line)
{
    std::vector<std::string> out;
    if (line.empty())
        return out;
    std::size_t i = 0;
    while (i < line.size() && !isBlank(line[i]))
        ++i;
    out.push_back(line.substr(0, i));
    for (;;) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        if (i == line.size())
            return out;
        const std::size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        out.push_back(line.substr(start, i - start));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string line = splitAtZeros(data, size)[0];
    const std::size_t length = line.size();
    // Exactly the room the contract asks for, on the heap, so that the address
    // sanitizer sees a single byte too many.
    const auto storage = std::make_unique<char[]>(length + 1);
    const int maxArgs = static_cast<int>(length / 2 + 2);
    const auto args = std::make_unique<const char*[]>(static_cast<std::size_t>(maxArgs));
    const int count = splitCommandLine(line.c_str(), storage.get(), args.get(), maxArgs);

    // Each argument after the program name takes a blank and a character at least.
    FUZZ_CHECK(count >= 0);
    FUZZ_CHECK(count <= (length == 0 ? 0 : 1 + static_cast<int>(length / 2)));
    const char* next = storage.get();
    for (int i = 0; i < count; ++i) {
        FUZZ_CHECK(args[static_cast<std::size_t>(i)] == next);
        const std::size_t argLength = std::strlen(next);
        FUZZ_CHECK(argLength <= length);
        next += argLength + 1;
    }
    FUZZ_CHECK(next <= storage.get() + length + 1);

    if (line.find('"') == std::string::npos) {
        const std::vector<std::string> expected = plainSplit(line);
        FUZZ_CHECK(static_cast<int>(expected.size()) == count);
        for (int i = 0; i < count; ++i)
            FUZZ_CHECK(expected[static_cast<std::size_t>(i)] == args[static_cast<std::size_t>(i)]);
    }
    return 0;
}
