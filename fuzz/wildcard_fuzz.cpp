// The wildcard matcher against a slow, plainly written reference: '*' any run of
// characters (none included), '?' one character, where a valid UTF-8 sequence is
// one character and any other byte is one, every other byte itself; a pattern
// ending in ".*" also matches names without that dot. The input is the pattern, a
// zero byte, and the name.

#include "fuzz_check.h"
#include "platform/wildcard.h"

namespace {

// Names and patterns of the tool hold at most 255 bytes.
constexpr std::size_t longest = 255;

// The length of the character at text: a valid UTF-8 sequence (shortest form, no
// surrogate, at most U+10FFFF), or one byte.
std::size_t characterLength(const unsigned char* text)
{
    static const unsigned smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    std::size_t length = 0;
    unsigned code = 0;
    if (text[0] >= 0xC0 && text[0] < 0xE0) {
        length = 2;
        code = text[0] & 0x1Fu;
    } else if (text[0] >= 0xE0 && text[0] < 0xF0) {
        length = 3;
        code = text[0] & 0x0Fu;
    } else if (text[0] >= 0xF0 && text[0] < 0xF8) {
        length = 4;
        code = text[0] & 0x07u;
    } else {
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0u) != 0x80u)
            return 1;
        code = (code << 6) | (text[i] & 0x3Fu);
    }
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 1;
    return length;
}

// Tries every way through, remembering the pairs of places that failed.
struct Reference {
    const unsigned char* pattern;
    std::size_t patternLength;
    const unsigned char* name;
    std::size_t nameLength;
    std::vector<char> failed;

    bool match(std::size_t p, std::size_t n)
    {
        char& known = failed[p * (nameLength + 1) + n];
        if (known)
            return false;
        const bool result = step(p, n);
        known = !result;
        return result;
    }

    bool step(std::size_t p, std::size_t n)
    {
        if (p == patternLength)
            return n == nameLength;
        if (pattern[p] == '*') {
            for (std::size_t rest = n;; rest += characterLength(name + rest)) {
                if (match(p + 1, rest))
                    return true;
                if (rest == nameLength)
                    return false;
            }
        }
        if (n == nameLength)
            return false;
        if (pattern[p] == '?')
            return match(p + 1, n + characterLength(name + n));
        return pattern[p] == name[n] && match(p + 1, n + 1);
    }
};

bool referenceMatch(const std::string& pattern, const std::string& name)
{
    Reference whole{reinterpret_cast<const unsigned char*>(pattern.c_str()), pattern.size(),
                    reinterpret_cast<const unsigned char*>(name.c_str()), name.size(),
                    std::vector<char>((pattern.size() + 1) * (name.size() + 1))};
    if (whole.match(0, 0))
        return true;
    if (!pattern.ends_with(".*"))
        return false;
    Reference withoutDotStar = whole;
    withoutDotStar.patternLength -= 2;
    withoutDotStar.failed.assign(withoutDotStar.failed.size(), 0);
    return withoutDotStar.match(0, 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> pieces = splitAtZeros(data, size);
    const std::string& pattern = pieces[0];
    const std::string name = pieces.size() > 1 ? pieces[1] : std::string();
    if (pattern.size() > longest || name.size() > longest)
        return -1;
    const bool matches = wildcardMatch(pattern.c_str(), name.c_str());
    const bool expected = referenceMatch(pattern, name);
    if (matches != expected)
        std::fprintf(stderr, "pattern \"%s\" name \"%s\": matcher says %d\n", pattern.c_str(), name.c_str(), matches);
    FUZZ_CHECK(matches == expected);
    FUZZ_CHECK(hasWildcard(pattern.c_str()) == (pattern.find_first_of("*?") != std::string::npos));
    return 0;
}
