// The pattern sweep: judges, deletes and lists the old files one pattern matches.
#pragma once

#include <cstdint>

// Sweeps one pattern with the age limit: 0 after a completed walk, 1 when the
// search found nothing.
int sweepPattern(const char* pattern, std::int32_t maxAgeDays);

// Copies the directory part of the pattern, separator included, into prefix
// (empty when the pattern names the current directory). prefix holds 500 bytes.
void directoryPrefix(const char* pattern, char* prefix);

// The capacity of a directory prefix.
inline constexpr int directoryPrefixCapacity = 500;
