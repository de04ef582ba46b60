// The option scan: turns the leading arguments into runSettings.
#pragma once

#include <cstddef>
#include <cstdint>

// How an option carries its value.
enum class OptionKind {
    Number, // -L=<days>
    Flag,   // the letter alone
    Text,   // -F=<pattern>
};

struct OptionLetter {
    char letter;
    OptionKind kind;
};

// The option letters, in the order the scan tries them.
inline constexpr OptionLetter optionTable[] = {
    {.letter = 'L', .kind = OptionKind::Number}, {.letter = 'W', .kind = OptionKind::Flag},
    {.letter = 'C', .kind = OptionKind::Flag},   {.letter = 'Q', .kind = OptionKind::Flag},
    {.letter = 'T', .kind = OptionKind::Flag},   {.letter = 'F', .kind = OptionKind::Text},
    {.letter = '?', .kind = OptionKind::Flag},
};

// 1 when arg is exactly the flag "-<letter>" (either case), else 0.
[[nodiscard]] int matchFlagOption(const char* arg, char letter);

// 1 when arg is the number option "-<letter>=..."; value is the number, or 0 for
// the forms that carry none. 0 when arg is not this option, and also when it
// carries a number of 0 or below.
[[nodiscard]] int matchNumberOption(const char* arg, char letter, std::int32_t& value);

// 1 when arg is the text option "-<letter>=<text>" with a text; the text, without
// double quotes, is copied into text, or left empty with tooLong set when it does
// not fit in capacity - 1 characters.
[[nodiscard]] int matchTextOption(const char* arg, char letter, char* text, std::size_t capacity, bool& tooLong);

// What the scan found.
struct ScanResult {
    bool helpScreen;               // -? was given: show the help screen at once
    int firstPattern;              // index into the arguments of the first pattern; count when none
    const char* tooLongTextOption; // the last -F option, when its value does not fit the pattern buffer
};

// Scans args[first..count), filling runSettings, up to the first argument that
// is not an option.
[[nodiscard]] ScanResult scanOptions(int count, const char* const* args, int first);

// A test run always reports, so it switches quiet off; an age limit that was
// never given, or was reset, becomes the default.
void settleQuietAndLimit();
