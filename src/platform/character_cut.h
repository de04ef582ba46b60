// Where a text too long for its line is cut: never inside a UTF-8 character,
// which a terminal would show as a stray sign and a mail reader might reject.
#pragma once

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
