#include "platform/wildcard.h"

#include <cstring>

namespace {

// The length of the character at text: a whole valid UTF-8 sequence, or one byte.
int characterLength(const unsigned char* text)
{
    const unsigned char lead = text[0];
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 1;
    }
    if (text[1] < low || text[1] > high)
        return 1;
    for (int i = 2; i < length; ++i) {
        if (text[i] < 0x80 || text[i] > 0xBF)
            return 1;
    }
    return length;
}

// The classic greedy matcher with one backtracking point: the last '*' seen takes
// one more character each time the rest fails. Pattern ends at patternEnd.
bool matchRange(const unsigned char* pattern, const unsigned char* patternEnd,
                const unsigned char* name)
{
    const unsigned char* starPattern = nullptr;
    const unsigned char* starName = nullptr;
    while (*name != '\0') {
        if (pattern < patternEnd && *pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (pattern < patternEnd && *pattern == '?') {
            ++pattern;
            name += characterLength(name);
        } else if (pattern < patternEnd && *pattern == *name) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            starName += characterLength(starName);
            pattern = starPattern;
            name = starName;
        } else {
            return false;
        }
    }
    while (pattern < patternEnd && *pattern == '*')
        ++pattern;
    return pattern == patternEnd;
}

} // namespace

bool wildcardMatch(const char* pattern, const char* name)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    const auto* n = reinterpret_cast<const unsigned char*>(name);
    const std::size_t length = std::strlen(pattern);
    if (matchRange(p, p + length, n))
        return true;
    return length >= 2 && pattern[length - 2] == '.' && pattern[length - 1] == '*'
           && matchRange(p, p + length - 2, n);
}

bool hasWildcard(const char* text)
{
    return std::strpbrk(text, "*?") != nullptr;
}
