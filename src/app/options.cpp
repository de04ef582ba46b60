#include "app/options.h"

#include "app/run_settings.h"

#include <cstring>

namespace {

// Upper case by the rules of the C locale, whatever locale is in force: only a
// to z change, bytes above 127 keep their value.
char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool startsOption(const char* arg, char letter)
{
    return arg[0] == '-' && arg[1] != '\0' && upperAscii(arg[1]) == letter;
}

// Copies text without its double quotes; false when it does not fit.
bool copyWithoutQuotes(const char* text, char* out, std::size_t capacity)
{
    std::size_t used = 0;
    for (; *text != '\0'; ++text) {
        if (*text == '"')
            continue;
        if (used + 1 >= capacity)
            return false;
        out[used++] = *text;
    }
    out[used] = '\0';
    return true;
}

// The digits of atol: white space, one sign, digits up to the first other byte.
std::int32_t leadingNumber(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    std::int32_t number = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        number = number * 10 + (*text - '0');
    return negative ? -number : number;
}

// At most this many characters may follow "-L=", so that the number cannot
// overflow; a longer text carries no number at all.
constexpr std::size_t mostNumberCharacters = 8;

} // namespace

int matchFlagOption(const char* arg, char letter)
{
    return startsOption(arg, letter) && arg[2] == '\0';
}

int matchNumberOption(const char* arg, char letter, std::int32_t& value)
{
    if (!startsOption(arg, letter))
        return 0;
    const std::size_t length = std::strlen(arg);
    if (arg[2] != '=' || length <= 3 || length - 3 > mostNumberCharacters) {
        value = 0;
        return 1;
    }
    char digits[mostNumberCharacters + 1];
    copyWithoutQuotes(arg + 3, digits, sizeof digits); // fits: its length was checked
    const std::int32_t number = leadingNumber(digits);
    if (number <= 0)
        return 0;
    value = number;
    return 1;
}

int matchTextOption(const char* arg, char letter, char* text, std::size_t capacity, bool& tooLong)
{
    if (!startsOption(arg, letter) || arg[2] != '=' || std::strlen(arg) <= 3)
        return 0;
    tooLong = !copyWithoutQuotes(arg + 3, text, capacity);
    if (tooLong)
        text[0] = '\0';
    return 1;
}

namespace {

// Applies a flag to runSettings; the help screen is the scan's to show.
void applyFlag(char letter, ScanResult& result)
{
    switch (letter) {
    case 'W': runSettings.timeBasis = TimeBasis::LastWrite; break;
    case 'C': runSettings.timeBasis = TimeBasis::Creation; break;
    case 'Q': runSettings.quiet = true; break;
    case 'T': runSettings.testRun = true; break;
    case '?': result.helpScreen = true; break;
    default: break; // a letter without a meaning changes nothing
    }
}

// Applies the option of one table entry to runSettings when arg is that option.
bool applyOption(const char* arg, const OptionLetter& option, ScanResult& result)
{
    std::int32_t days = 0;
    bool tooLong = false;
    switch (option.kind) {
    case OptionKind::Number:
        if (!matchNumberOption(arg, option.letter, days))
            return false;
        runSettings.maxAgeDays = days; // 0 for the forms without a number: unset
        return true;
    case OptionKind::Text:
        if (!matchTextOption(arg, option.letter, runSettings.pattern, sizeof runSettings.pattern, tooLong))
            return false;
        result.tooLongTextOption = tooLong ? arg : nullptr;
        return true;
    case OptionKind::Flag:
        if (!matchFlagOption(arg, option.letter))
            return false;
        applyFlag(option.letter, result);
        return true;
    }
    return false;
}

} // namespace

ScanResult scanOptions(int count, const char* const* args, int first)
{
    ScanResult result{.helpScreen = false, .firstPattern = count, .tooLongTextOption = nullptr};
    for (int i = first; i < count; ++i) {
        bool recognised = false;
        for (const OptionLetter& option : optionTable) {
            recognised = applyOption(args[i], option, result) || recognised;
            if (result.helpScreen)
                return result; // the remaining arguments are not looked at
        }
        if (!recognised) {
            result.firstPattern = i;
            return result;
        }
    }
    return result;
}

void settleQuietAndLimit()
{
    if (runSettings.testRun)
        runSettings.quiet = false;
    if (runSettings.maxAgeDays == 0)
        runSettings.maxAgeDays = defaultMaxAgeDays;
}
