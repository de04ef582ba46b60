// The steps of a run that main strings together.
#pragma once

#include "app/options.h"

#include <cstdint>

// The arguments of the process, program name first.
struct Arguments {
    int count;
    const char* const* values;
};

// The arguments as the platform hands them over; where it hands over one
// unsplit command line, split by the classic console rules.
[[nodiscard]] Arguments programArguments(int argc, const char* const* argv);

// The day number of today's local date; 0 when the clock gives no date, which
// makes every file young, so that nothing is deleted.
[[nodiscard]] std::int32_t todaysDayNumber();

// True when the options left nothing to sweep: no -F pattern, not even one too
// long to sweep, and no argument after them.
[[nodiscard]] bool nothingToSweep(const ScanResult& scan, const Arguments& arguments);

// The test-run line and the headline.
void printRunOpening();

// Sweeps the -F pattern, if any, and then every pattern argument in turn.
void sweepPatterns(const ScanResult& scan, const Arguments& arguments);
