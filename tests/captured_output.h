// What the tool's own code writes to standard output, caught within the test
// process, on every platform.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

// Everything print writes to standard output, as it would reach a file.
inline std::string captured(const std::function<void()>& print)
{
    std::fflush(stdout);
    std::FILE* file = std::tmpfile();
    const int saved = dup(1);
    dup2(fileno(file), 1);
#ifdef _WIN32
    _setmode(1, _O_TEXT); // a redirected program's line ends, as the tool writes them
#endif
    print();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string out;
    std::rewind(file);
    for (int c; (c = std::fgetc(file)) != EOF;)
        out += static_cast<char>(c);
    std::fclose(file);
    return out;
}
