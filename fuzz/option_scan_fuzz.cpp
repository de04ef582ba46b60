// The option scan over whole argument lists: whatever the arguments, the run
// starts with a limit of at least one day, and a -F value lands in the pattern
// whole or is refused, never cut short.

#include "app/options.h"
#include "app/run_settings.h"
#include "fuzz_check.h"

#include <cstring>

namespace {

bool isTextOption(const std::string& arg)
{
    return arg.size() > 3 && arg[0] == '-' && (arg[1] == 'F' || arg[1] == 'f') && arg[2] == '=';
}

std::string withoutQuotes(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        if (c != '"')
            out += c;
    }
    return out;
}

bool isPlainFlag(const std::string& arg)
{
    if (arg.size() != 2 || arg[0] != '-')
        return false;
    return std::strchr("WwCcQqTt?", arg[1]) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> pieces = splitAtZeros(data, size);
    std::vector<const char*> args;
    for (const std::string& piece : pieces)
        args.push_back(piece.c_str());
    const int count = static_cast<int>(args.size());

    runSettings = RunSettings{0, TimeBasis::LastWrite, false, false, {}};
    const ScanResult scan = scanOptions(count, args.data(), 0);
    settleQuietAndLimit();

    FUZZ_CHECK(runSettings.maxAgeDays >= 1);
    FUZZ_CHECK(std::memchr(runSettings.pattern, '\0', sizeof runSettings.pattern) != nullptr);
    FUZZ_CHECK(!(runSettings.testRun && runSettings.quiet));

    // The arguments the scan took as options: up to the first "-?", or up to the
    // first pattern.
    int scanned = 0;
    if (scan.helpScreen) {
        while (scanned < count && pieces[static_cast<std::size_t>(scanned)] != "-?")
            ++scanned;
        FUZZ_CHECK(scanned < count);
        ++scanned;
    } else {
        FUZZ_CHECK(scan.firstPattern >= 0 && scan.firstPattern <= count);
        scanned = scan.firstPattern;
        if (scanned < count) {
            const std::string& first = pieces[static_cast<std::size_t>(scanned)];
            FUZZ_CHECK(!isPlainFlag(first) && !isTextOption(first));
        }
    }
    const std::string* lastText = nullptr;
    for (int i = 0; i < scanned; ++i) {
        const std::string& arg = pieces[static_cast<std::size_t>(i)];
        FUZZ_CHECK(arg.size() >= 2 && arg[0] == '-');
        if (isTextOption(arg))
            lastText = &arg;
    }

    // The last -F decides: its text whole when it fits, else refused and no pattern.
    if (lastText == nullptr) {
        FUZZ_CHECK(runSettings.pattern[0] == '\0');
        FUZZ_CHECK(scan.tooLongTextOption == nullptr);
    } else if (const std::string text = withoutQuotes(lastText->substr(3)); text.size() <= 199) {
        FUZZ_CHECK(text == runSettings.pattern);
        FUZZ_CHECK(scan.tooLongTextOption == nullptr);
    } else {
        FUZZ_CHECK(runSettings.pattern[0] == '\0');
        FUZZ_CHECK(scan.tooLongTextOption == lastText->c_str());
    }
    return 0;
}
