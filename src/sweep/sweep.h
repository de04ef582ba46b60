// The pattern sweep: judges, deletes and lists the old files one pattern matches.
#pragma once

#include <cstddef>
#include <cstdint>

// Sweeps one pattern with the age limit: 0 after a completed walk, 1 when the
// search found nothing or the way to the pattern's directory was refused.
int sweepPattern(const char* pattern, std::int32_t maxAgeDays);

// The capacity of a directory prefix.
inline constexpr std::size_t directoryPrefixCapacity = 500;

// Copies the directory part of the pattern, separator included, into prefix
// (empty when the pattern names the current directory). The pattern is shorter
// than the prefix's capacity.
void directoryPrefix(const char* pattern, char (&prefix)[directoryPrefixCapacity]);
