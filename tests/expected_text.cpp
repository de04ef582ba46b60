#include "expected_text.h"

namespace {

// The code page 850 byte of the two-byte UTF-8 letter at utf8[at], or 0 when
// none of ä ö ü Ä ß stands there.
char cp850Letter(const std::string& utf8, std::size_t at)
{
    static const struct { const char* from; char to; } letters[] = {
        {"\xC3\xA4", '\x84'}, {"\xC3\xB6", '\x94'}, {"\xC3\xBC", '\x81'},
        {"\xC3\x84", '\x8E'}, {"\xC3\x9F", '\xE1'},
    };
    for (const auto& letter : letters)
        if (utf8.compare(at, 2, letter.from) == 0)
            return letter.to;
    return 0;
}

} // namespace

std::string expectedText(const std::string& utf8, const char* lineEnd)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (const char letter = cp850Letter(utf8, i)) {
            out += letter;
            ++i;
        } else if (utf8[i] == '\n') {
            out += lineEnd;
        } else {
            out += utf8[i];
        }
    }
    return out;
}
