// Long texts for the tests of every platform, in narrow and wide characters.
#pragma once

#include <string>

// text written times over.
template <typename Char>
std::basic_string<Char> repeated(const Char* text, int times)
{
    std::basic_string<Char> all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}
