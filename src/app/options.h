// The option scan: turns the leading arguments into runSettings.
#pragma once

#include <cstddef>
#include <cstdint>

// The option letters, in the order the scan tries them.
inline constexpr char optionLetters[] = {'L', 'W', 'C', 'Q', 'T', 'F', '?'};

// 1 when arg is exactly the flag "-<letter>" (either case), else 0.
[[nodiscard]] int matchFlagOption(const char* arg, char letter);

// 1 when arg is the number option "-<letter>=..."; value is the number, or 0 for
// the forms that carry none. 0 when arg is not this option, and also when it
// carries a number of 0 or below.
[[nodiscard]] int matchNumberOption(const char* arg, char letter, std::int32_t& value);

// 1 when arg is the text option "-<letter>=<text>" with a text; the text, without
// double quotes, is copied into text, or left empty with tooLong set when it does
// not fit in capacity - 1 characters.
[[nodiscard]] int matchTextOption(const char* arg, char letter, char* text, std::size_t capacity,
                                  bool& tooLong);

// What the scan found.
struct ScanResult {
    bool helpScreen;      // -? was given: show the help screen at once
    int firstPattern;     // index of the first argument that is a pattern
    const char* refusedTextOption; // a -F value too long for the pattern buffer, or nullptr
};

// Scans args[0..count) from the start, filling runSettings, up to the first
// argument that is not an option.
[[nodiscard]] ScanResult scanOptions(int count, const char* const* args);

// The settings a run starts from: a test run always reports, and an unset limit
// takes the default.
void settleSettings();
