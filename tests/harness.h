// Runs the built tool on real directories and captures its output byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The time zone every end-to-end test runs in, tool and test alike: Central
// European time with its daylight-saving rules.
extern const char* const testZone;

// The German text as the tool writes it: code page 850 bytes for ä ö ü Ä ß. Kept
// apart from the tool's own conversion, so that a mistake there cannot hide.
std::string cp850(const std::string& utf8);

// The banner box that opens every report, as the tool writes it.
std::string expectedBanner();

struct RunResult {
    std::string out;
    int status;
};

// Runs the tool with args in directory cwd (or the current one) and extra
// environment entries; TZ is testZone unless env sets it. With a launcher, the
// launcher runs instead and args go to it (the tool's path among them).
RunResult runFegaus(const std::vector<std::string>& args, const std::string& cwd = "",
                    const std::vector<std::string>& env = {}, const char* launcher = nullptr);

// In a child process: runs program (the tool unless given) with args; the child
// ends with status 127 when it cannot be started.
[[noreturn]] void execTool(const std::vector<std::string>& args, const char* program = nullptr);

// A fresh directory in parent, removed with everything in it at the end of the test.
class TempDir {
public:
    explicit TempDir(const char* parent = "/tmp");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Local noon of the day that lies daysAgo calendar days before today.
long long noonDaysAgo(int daysAgo);

// Creates a file of the given size last written at local noon daysAgo days back.
void makeFile(const std::string& path, int daysAgo, long long size = 0);

// Sets the last write time of path to the given seconds (the link itself for links).
void setWriteTime(const std::string& path, long long seconds);

// "07.03.2007" for the day daysAgo days back.
std::string dateDaysAgo(int daysAgo);

bool exists(const std::string& path);

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

    RunResult run(const std::vector<std::string>& args) { return runFegaus(args, dir.path()); }

    TempDir dir;
    int startDay = 0;
};
