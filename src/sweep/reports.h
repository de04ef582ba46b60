// The count lines that close a pattern's block, and the run summary.
#pragma once

#include <cstdint>

// "    3 Dateien sind älter als 31 Tage." (silenced by quiet mode)
void printFoundLine(std::int32_t count, std::int32_t maxAgeDays);

// "    3 Dateien gelöscht." and an empty line; nothing for 0 or in quiet mode.
void printDeletedLine(std::int32_t count);

// "    3 Dateien konnten nicht gelöscht werden." and an empty line; nothing for 0.
// Quiet mode does not silence it.
void printFailedLine(std::int32_t count);

// The totals over all patterns, when two or more were swept and quiet is off.
void printRunSummary();
