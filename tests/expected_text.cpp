#include "expected_text.h"

std::string expectedText(const std::string& utf8, const char* lineEnd)
{
    static const struct { const char* from; char to; } letters[] = {
        {"\xC3\xA4", '\x84'}, {"\xC3\xB6", '\x94'}, {"\xC3\xBC", '\x81'},
        {"\xC3\x84", '\x8E'}, {"\xC3\x9F", '\xE1'},
    };
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        bool replaced = false;
        for (const auto& letter : letters) {
            if (utf8.compare(i, 2, letter.from) == 0) {
                out += letter.to;
                ++i;
                replaced = true;
                break;
            }
        }
        if (replaced)
            continue;
        if (utf8[i] == '\n')
            out += lineEnd;
        else
            out += utf8[i];
    }
    return out;
}
