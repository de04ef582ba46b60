// Wildcard matching of file names where the platform's search does not do it.
#pragma once

#include <cstddef>

// True when name matches pattern. '*' stands for any run of characters, the empty
// run included, and '?' for exactly one character, a valid UTF-8 sequence counting
// as one; every other byte stands for itself, so matching is case-sensitive and a
// name the shell already expanded matches only itself. A pattern that ends in
// ".*" also matches names without a dot at that place, so "*.*" matches every name.
// A name of 256 bytes or more, longer than any file system here allows, matches
// nothing.
[[nodiscard]] bool wildcardMatch(const char* pattern, const char* name);

// A pattern made ready for matching many names: what wildcardMatch would learn
// about it anew for every name (its length, whether it is valid UTF-8, whether it
// ends in ".*") is learnt once. It refers to the pattern's text, which must stay.
struct WildcardPattern {
    const char* text;
    std::size_t length;
    bool validUtf8;
    bool dotStar;
    bool starThenLiteral; // '*' and then valid UTF-8 without wildcards, as "*.log"
};

[[nodiscard]] WildcardPattern prepareWildcard(const char* pattern);

// As wildcardMatch, for a prepared pattern and a name of nameLength bytes, which
// the caller has measured anyway.
[[nodiscard]] bool wildcardMatch(const WildcardPattern& pattern, const char* name, std::size_t nameLength);

// True when the text holds '*' or '?'.
[[nodiscard]] bool hasWildcard(const char* text);
