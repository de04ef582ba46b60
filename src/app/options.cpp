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
    if (arg[2] != '=' || length <= 3 || length >= 12) {
        value = 0;
        return 1;
    }
    // At most eight characters follow '=', so the number cannot overflow.
    char digits[9];
    if (!copyWithoutQuotes(arg + 3, digits, sizeof digits))
        return 0;
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

ScanResult scanOptions(int count, const char* const* args)
{
    ScanResult result{false, count, nullptr};
    for (int i = 0; i < count; ++i) {
        const char* arg = args[i];
        bool recognised = false;
        std::int32_t days = 0;
        bool tooLong = false;
        if (matchNumberOption(arg, 'L', days)) {
            runSettings.maxAgeDays = days;
            recognised = true;
        }
        if (matchFlagOption(arg, 'W')) {
            runSettings.timeBasis = TimeBasis::LastWrite;
            recognised = true;
        }
        if (matchFlagOption(arg, 'C')) {
            runSettings.timeBasis = TimeBasis::Creation;
            recognised = true;
        }
        if (matchFlagOption(arg, 'Q')) {
            runSettings.quiet = true;
            recognised = true;
        }
        if (matchFlagOption(arg, 'T')) {
            runSettings.testRun = true;
            recognised = true;
        }
        if (matchTextOption(arg, 'F', runSettings.pattern, sizeof runSettings.pattern, tooLong)) {
            result.refusedTextOption = tooLong ? arg : nullptr;
            recognised = true;
        }
        if (matchFlagOption(arg, '?')) {
            result.helpScreen = true;
            return result;
        }
        if (!recognised) {
            result.firstPattern = i;
            return result;
        }
    }
    return result;
}

void settleSettings()
{
    if (runSettings.testRun)
        runSettings.quiet = false;
    if (runSettings.maxAgeDays == 0)
        runSettings.maxAgeDays = defaultMaxAgeDays;
}
