#include "platform/wildcard.h"

#include "platform/character_cut.h"

#include <bit>
#include <cstdint>
#include <cstring>

namespace {

// characterLength without a call for a byte below 0x80, of which most names are
// made: the greedy matcher steps through every name the directory holds.
inline int stepLength(const unsigned char* text)
{
    return text[0] < 0x80 ? 1 : characterLength(text);
}

// True when the text up to end is valid UTF-8 throughout.
bool validUtf8(const unsigned char* text, const unsigned char* end)
{
    while (text < end) {
        if (*text >= 0x80 && characterLength(text) == 1)
            return false;
        text += characterLength(text);
    }
    return true;
}

// The classic greedy matcher with one backtracking point: the last '*' seen takes
// one more character each time the rest fails. Pattern ends at patternEnd. It is
// exact for a pattern of valid UTF-8: every place it reaches in the name is then
// the start of one of the name's characters, so each '*', '?' and literal
// character of the pattern takes whole characters, as in the textbook case.
bool matchRange(const unsigned char* pattern, const unsigned char* patternEnd, const unsigned char* name)
{
    const unsigned char* starPattern = nullptr;
    const unsigned char* starName = nullptr;
    while (*name != '\0') {
        if (pattern < patternEnd && *pattern == '*') {
            starPattern = ++pattern;
            starName = name;
        } else if (pattern < patternEnd && *pattern == '?') {
            ++pattern;
            name += stepLength(name);
        } else if (pattern < patternEnd && *pattern == *name) {
            ++pattern;
            ++name;
        } else if (starPattern != nullptr) {
            starName += stepLength(starName);
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

// The places in a name that a pattern read so far can have reached: byte offsets
// 0 to 255, the longest name a file system here holds.
constexpr std::size_t placeCount = 256;

struct Places {
    std::uint64_t words[placeCount / 64];
};

bool holds(const Places& places, std::size_t place)
{
    return (places.words[place / 64] >> (place % 64)) & 1u;
}

void add(Places& places, std::size_t place)
{
    places.words[place / 64] |= std::uint64_t{1} << (place % 64);
}

bool isEmpty(const Places& places)
{
    return (places.words[0] | places.words[1] | places.words[2] | places.words[3]) == 0;
}

// Calls step for every place in the set, in ascending order.
template <typename Step>
void forEachPlace(const Places& places, Step step)
{
    for (std::size_t w = 0; w < placeCount / 64; ++w) {
        for (std::uint64_t bits = places.words[w]; bits != 0; bits &= bits - 1)
            step(w * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
    }
}

// Follows every way through the pattern at once, for patterns that are not valid
// UTF-8. There the greedy matcher loses matches: a literal byte may stop inside a
// UTF-8 sequence of the name, and from there '*' and '?' step through other places
// than from the sequence's start, so the last '*' is not the only one worth
// falling back on.
bool matchEveryWay(const unsigned char* pattern, const unsigned char* patternEnd, const unsigned char* name,
                   std::size_t nameLength)
{
    Places reached{};
    add(reached, 0);
    for (; pattern < patternEnd; ++pattern) {
        Places next{};
        if (*pattern == '*') {
            next = reached; // the empty run, and from every place one character on
            for (std::size_t place = 0; place < nameLength; ++place) {
                if (holds(next, place))
                    add(next, place + static_cast<std::size_t>(characterLength(name + place)));
            }
        } else {
            const unsigned char wanted = *pattern;
            forEachPlace(reached, [&](std::size_t place) {
                if (place == nameLength)
                    return;
                if (wanted == '?')
                    add(next, place + static_cast<std::size_t>(characterLength(name + place)));
                else if (name[place] == wanted)
                    add(next, place + 1);
            });
        }
        reached = next;
        if (isEmpty(reached))
            return false;
    }
    return holds(reached, nameLength);
}

// Whether the name ends in the literal that follows the pattern's '*'. That is
// all the greedy matcher would find out, at a tenth of its cost: the literal
// starts a character, so its first byte continues none, and the place where it
// would start in the name is one that '*', stepping character by character, reaches.
bool endsInLiteral(const WildcardPattern& pattern, const char* name, std::size_t nameLength)
{
    const std::size_t literalLength = pattern.length - 1;
    return nameLength >= literalLength
           && std::memcmp(name + nameLength - literalLength, pattern.text + 1, literalLength) == 0;
}

} // namespace

WildcardPattern prepareWildcard(const char* pattern)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pattern);
    const std::size_t length = std::strlen(pattern);
    const bool valid = validUtf8(p, p + length);
    return WildcardPattern{.text = pattern,
                           .length = length,
                           .validUtf8 = valid,
                           .dotStar = length >= 2 && pattern[length - 2] == '.' && pattern[length - 1] == '*',
                           .starThenLiteral = valid && pattern[0] == '*' && !hasWildcard(pattern + 1)};
}

bool wildcardMatch(const WildcardPattern& pattern, const char* name, std::size_t nameLength)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pattern.text);
    const auto* n = reinterpret_cast<const unsigned char*>(name);
    const auto* end = p + pattern.length;
    if (nameLength >= placeCount)
        return false;
    if (pattern.starThenLiteral)
        return endsInLiteral(pattern, name, nameLength);
    if (pattern.validUtf8)
        return matchRange(p, end, n) || (pattern.dotStar && matchRange(p, end - 2, n));
    return matchEveryWay(p, end, n, nameLength) || (pattern.dotStar && matchEveryWay(p, end - 2, n, nameLength));
}

bool wildcardMatch(const char* pattern, const char* name)
{
    return wildcardMatch(prepareWildcard(pattern), name, std::strlen(name));
}

bool hasWildcard(const char* text)
{
    return std::strpbrk(text, "*?") != nullptr;
}
