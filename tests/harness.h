// Runs the built tool on real directories and captures its output byte for byte.
#pragma once

#include "expected_text.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

// The time zone every end-to-end test runs in, tool and test alike: Central
// European time with its daylight-saving rules.
extern const char* const testZone;

// Where the tool's standard output goes.
enum class Sink {
    Pipe,                   // a pipe, read to its end
    Terminal,               // a raw pseudo-terminal, read to its end
    File,                   // a file in the run's directory, read after the run
    FullDevice,             // /dev/full, where every write fails
    PipeClosedAfterOneByte, // a pipe whose reader goes away after the first byte
};

void PrintTo(Sink sink, std::ostream* out);

struct RunOptions {
    std::string cwd{};              // the directory the tool runs in; the current one when empty
    std::vector<std::string> env{}; // entries added to the environment, the locale's among them
    Sink sink = Sink::Pipe;
    const char* launcher = nullptr; // runs instead of the tool, with args (the tool's path among them)
    bool asNobody = false;          // run as user and group nobody, as an unprivileged cron job; root only
};

struct RunResult {
    std::string out; // everything the tool wrote, where the sink can be read
    int status;      // the exit status; 128 + signal; -1 when it had not ended after a minute
};

// Runs the tool with args. The run gets TZ = testZone unless env sets it, the
// locale variables env sets or else LC_ALL=C alone, and SIGPIPE in its default
// state, as a shell leaves it.
RunResult runFegaus(const std::vector<std::string>& args, const RunOptions& options = {});

// In a child process: runs program (the tool unless given) with args; the child
// ends with status 127 when it cannot be started.
[[noreturn]] void execTool(const std::vector<std::string>& args, const char* program = nullptr);

// Local noon of the day that lies daysAgo calendar days before today.
long long noonDaysAgo(int daysAgo);

// Creates a file of the given size last written at local noon daysAgo days back.
void makeFile(const std::string& path, int daysAgo, long long size = 0);

// Sets the last write time of path to the given seconds (the link itself for links).
void setWriteTime(const std::string& path, long long seconds);

// The report of one sweep whose rows come in the order the directory gives them:
// head, then the rows in any order, then tail.
void expectReport(const std::string& out, const std::string& head, std::vector<std::string> rows,
                  const std::string& tail);

// Today's day count in the test zone, to notice a test that ran across midnight.
int todayStamp();

class EndToEndTest : public testing::Test {
protected:
    // The cases measure ages against today; one that ran across midnight says
    // nothing and is skipped.
    void SetUp() override { startDay = todayStamp(); }
    void TearDown() override
    {
        if (todayStamp() != startDay)
            GTEST_SKIP() << "the run crossed midnight";
    }

    RunResult run(const std::vector<std::string>& args) { return runFegaus(args, {.cwd = dir.path()}); }

    TempDir dir;
    int startDay = 0;
};
