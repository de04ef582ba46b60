// UTF-8 characters in texts of bytes: how long one is, and where a text too
// long for its line is cut: never inside a character, which a terminal would
// show as a stray sign and a mail reader might reject.
#pragma once

// The length of the character at text: a whole valid UTF-8 sequence, or one byte.
[[nodiscard]] inline int characterLength(const unsigned char* text)
{
    const unsigned char lead = text[0];
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 1;
    }
    if (text[1] < low || text[1] > high)
        return 1;
    for (int i = 2; i < length; ++i) {
        if (text[i] < 0x80 || text[i] > 0xBF)
            return 1;
    }
    return length;
}

// How many leading bytes of text to show when it is cut after at most most of
// them (text holds more): most, or fewer where the byte at most continues a UTF-8
// character that starts before it, so that the character is left out whole.
// Bytes that are not UTF-8 are cut where they stand.
[[nodiscard]] inline int characterCut(const char* text, int most)
{
    const auto byteAt = [text](int at) { return static_cast<unsigned char>(text[at]); };
    int start = most;
    while (start > 0 && most - start < 3 && (byteAt(start) & 0xC0) == 0x80)
        --start;
    const unsigned char lead = byteAt(start);
    if (start == most || lead < 0xC0 || lead >= 0xF8)
        return most;
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    return start + length > most ? start : most;
}
