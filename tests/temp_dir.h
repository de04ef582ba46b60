// A scratch directory for one test, on every platform.
#pragma once

#include <string>

// A fresh directory, removed with everything in it at the end of the test; made
// in parent, or where the platform keeps temporary files when none is given.
class TempDir {
public:
    explicit TempDir(const char* parent = nullptr);
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // The path of name inside the directory, joined by the platform's separator.
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

// True when something (a file, a directory, a link) stands at path.
bool exists(const std::string& path);
