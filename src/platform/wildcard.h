// Wildcard matching of file names where the platform's search does not do it.
#pragma once

// True when name matches pattern. '*' stands for any run of characters, the empty
// run included, and '?' for exactly one character, a valid UTF-8 sequence counting
// as one; every other byte stands for itself, so matching is case-sensitive and a
// name the shell already expanded matches only itself. A pattern that ends in
// ".*" also matches names without a dot at that place, so "*.*" matches every name.
// A name of 256 bytes or more, longer than any file system here allows, matches
// nothing.
[[nodiscard]] bool wildcardMatch(const char* pattern, const char* name);

// True when the text holds '*' or '?'.
[[nodiscard]] bool hasWildcard(const char* text);
