// The banner and the help screen, byte for byte.

#include "harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct HelpCase {
    std::vector<std::string> args;
    bool withBanner;
};

void PrintTo(const HelpCase& c, std::ostream* out)
{
    for (const std::string& arg : c.args)
        *out << '[' << arg << ']';
}

class HelpScreen : public testing::TestWithParam<HelpCase> {};

} // namespace

TEST_P(HelpScreen, ShowsTheWholeTextAndEndsWithStatusZero)
{
    TempDir dir;
    makeFile(dir / "old.log", 400, 1);
    const RunResult result = runFegaus(GetParam().args, {.cwd = dir.path()});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, (GetParam().withBanner ? banner() : "") + helpText());
    EXPECT_TRUE(exists(dir / "old.log")); // the help screen never sweeps
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Calls, HelpScreen, testing::Values(
    HelpCase{{}, true},
    HelpCase{{"-Q"}, false},
    HelpCase{{"-T"}, true},
    HelpCase{{"-Q", "-T"}, true},      // the test run switches quiet off first
    HelpCase{{"-q", "-t", "-L=5", "-c", "-w"}, true},
    HelpCase{{"-Q", "-?"}, false},
    HelpCase{{"-T", "-Q", "-?"}, false}, // -? comes before the test run switches quiet off
    HelpCase{{"-L=60", "-?"}, true},   // always shows the default limit
    HelpCase{{"-?", "*.log"}, true}));
// clang-format on
