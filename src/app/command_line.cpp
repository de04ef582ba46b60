#include "app/command_line.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// The program name ends at the first blank, or is quoted as a whole; backslashes
// are never special in it.
const char* copyProgramName(const char* p, char*& out)
{
    if (*p == '"') {
        for (++p; *p != '\0' && *p != '"'; ++p)
            *out++ = *p;
        if (*p == '"')
            ++p;
    } else {
        for (; *p != '\0' && !isBlank(*p); ++p)
            *out++ = *p;
    }
    *out++ = '\0';
    return p;
}

// Copies a run of backslashes. Before a double quote, 2n of them give n and leave
// the quote to act; 2n+1 give n and a literal quote.
const char* copyBackslashes(const char* p, char*& out)
{
    int count = 0;
    while (p[count] == '\\')
        ++count;
    if (p[count] != '"') {
        for (int i = 0; i < count; ++i)
            *out++ = '\\';
        return p + count;
    }
    for (int i = 0; i < count / 2; ++i)
        *out++ = '\\';
    if (count % 2 == 0)
        return p + count;
    *out++ = '"';
    return p + count + 1;
}

// Copies one argument; p stands on its first character.
const char* copyArgument(const char* p, char*& out)
{
    bool quoted = false;
    while (*p != '\0' && (quoted || !isBlank(*p))) {
        if (*p == '\\') {
            p = copyBackslashes(p, out);
        } else if (*p == '"') {
            if (quoted && p[1] == '"') { // "" inside quotes: a literal quote, and the stretch ends
                *out++ = '"';
                ++p;
                quoted = false;
            } else {
                quoted = !quoted;
            }
            ++p;
        } else {
            *out++ = *p++;
        }
    }
    *out++ = '\0';
    return p;
}

} // namespace

int splitCommandLine(const char* line, char* storage, const char** args, int maxArgs)
{
    if (*line == '\0' || maxArgs < 1)
        return 0;
    char* out = storage;
    int count = 0;
    args[count++] = out;
    const char* p = copyProgramName(line, out);
    for (;;) {
        while (isBlank(*p))
            ++p;
        if (*p == '\0' || count == maxArgs)
            return count;
        args[count++] = out;
        p = copyArgument(p, out);
    }
}
