// The one print path of the tool, and its German texts.
//
// The program's own texts are written in readable UTF-8 in the source and turned
// into code page 850 at compile time; a character that code page 850 cannot hold,
// or that the tool does not use, stops the build. Both forms are kept, so that a
// platform whose terminal speaks UTF-8 can be served without converting at run
// time. File names and patterns never pass through here as texts: they are %s
// arguments, in the form the platform shows them (shownName, shownPattern).
#pragma once

#include "platform/file_search.h"

#include <array>
#include <cstddef>

// A literal as written in the source, usable as a template argument.
template <std::size_t N>
struct SourceText {
    char bytes[N];
    consteval SourceText(const char (&text)[N])
    {
        for (std::size_t i = 0; i < N; ++i)
            bytes[i] = text[i];
    }
};

// Reached only at compile time, where calling it stops the build.
void textHoldsACharacterThatCodePage850LacksOrThatTheToolDoesNotUse();

// The code page 850 byte of one two-byte UTF-8 sequence; only the letters the
// German texts use are known.
consteval char cp850Of(unsigned char lead, unsigned char trail)
{
    if (lead == 0xC3) {
        switch (trail) {
        case 0xA4: return static_cast<char>(0x84); // ä
        case 0xB6: return static_cast<char>(0x94); // ö
        case 0xBC: return static_cast<char>(0x81); // ü
        case 0x84: return static_cast<char>(0x8E); // Ä
        case 0x9C: return static_cast<char>(0x9A); // Ü
        case 0x9F: return static_cast<char>(0xE1); // ß
        default: break;
        }
    }
    textHoldsACharacterThatCodePage850LacksOrThatTheToolDoesNotUse();
    return 0;
}

template <std::size_t N>
consteval std::array<char, N> toCp850(const SourceText<N>& source)
{
    std::array<char, N> out{};
    std::size_t o = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const auto c = static_cast<unsigned char>(source.bytes[i]);
        if (c < 0x80) {
            out[o++] = static_cast<char>(c);
        } else if (i + 1 < N) {
            out[o++] = cp850Of(c, static_cast<unsigned char>(source.bytes[i + 1]));
            ++i;
        } else {
            textHoldsACharacterThatCodePage850LacksOrThatTheToolDoesNotUse();
        }
    }
    return out;
}

// A program text in both encodings.
struct GermanText {
    const char* cp850;
    const char* utf8;
};

template <SourceText S>
struct GermanTextStore {
    static constexpr std::array<char, sizeof(S.bytes)> cp850 = toCp850(S);
};

// The most one conversion of a print may add to its text: a number, or one of
// the tool's own short texts (a column's name, a plural ending). A pattern, a
// name or a refused step is a shown text instead, of at most shownCapacity
// bytes, and a print carries at most one of them. The start of a listing row,
// which sweep.cpp writes itself, is held to the same room.
inline constexpr std::size_t conversionRoom = 48;

// The most a print of text can take, formatted with one shown text.
template <std::size_t N>
consteval std::size_t longestPrint(const SourceText<N>& text)
{
    std::size_t conversions = 0;
    for (std::size_t i = 0; i < N; ++i)
        conversions += text.bytes[i] == '%' ? 1 : 0;
    return N + conversions * conversionRoom + shownCapacity;
}

// "Löschen"_de is the text "Löschen" with its code page 850 form made at compile
// time, and the compiler's proof that no print of it can outgrow the print's room.
template <SourceText S>
constexpr GermanText operator""_de()
{
    static_assert(longestPrint(S) <= printCapacity, "a print of this text may not fit the print's room");
    return GermanText{GermanTextStore<S>::cp850.data(), S.bytes};
}

// The bytes of a program text in the one encoding or the other.
[[nodiscard]] inline const char* textIn(const GermanText& text, bool utf8)
{
    return utf8 ? text.utf8 : text.cp850;
}

// The bytes of a program text in the encoding the console takes.
[[nodiscard]] inline const char* textOf(const GermanText& text)
{
    return textIn(text, consoleTakesUtf8());
}

// Every output of the tool passes here but the listing rows, which sweep.cpp puts
// together itself and hands to writeOut whole: printf conventions, standard output.
// The format is a program text; %s arguments go out unchanged, and at most one of
// them is a shown text, so that every print fits printCapacity (see operator""_de).
// It is taken by value: va_start on a reference parameter is undefined behaviour.
void printOut(GermanText format, ...);
