#include "core/Cp1252.h"

#include <gtest/gtest.h>

using namespace zeb;

TEST(Cp1252, EveryByteSurvivesTheRoundTripThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(cp1252::fromUtf8(cp1252::toUtf8(all)), all);
}

TEST(Cp1252, AccentsAndTheHighRangeMapToTheirCharacters) {
    EXPECT_EQ(cp1252::toUtf8("J\xE9r\xE9my No\xEBl Fran\xE7ois"), "Jérémy Noël François");
    EXPECT_EQ(cp1252::toUtf8("\x80 \x9C \x92"), "€ œ ’");
    EXPECT_EQ(cp1252::fromUtf8("Élève"), "\xC9l\xE8ve");
}

TEST(Cp1252, RefusesMalformedOrUnrepresentableText) {
    EXPECT_THROW(cp1252::fromUtf8("\xC3"), std::invalid_argument);      // cut sequence
    EXPECT_THROW(cp1252::fromUtf8("\xE9t\xE9"), std::invalid_argument); // Latin-1 bytes, not UTF-8
    EXPECT_THROW(cp1252::fromUtf8("日本"), std::invalid_argument);
}

TEST(Cp1252, LenientConversionKeepsWhatItCanAndMarksTheRest) {
    EXPECT_EQ(cp1252::fromUtf8Lenient("sésame 日本 €"), "s\xE9same ?? \x80");
    EXPECT_EQ(cp1252::fromUtf8Lenient("a\xC3"), "a?"); // cut sequence
}

TEST(Cp1252, PrintableTextKeepsLettersAndMarksControls) {
    struct Case {
        std::string_view in, out;
    };
    const Case cases[] = {
        {"Fran\xE7ois \x80 \x85 \x9C", "François € … œ"}, // the code page's own 80..9F
        {"\x1B]0;pwn\x07", "?]0;pwn?"},                   // retitles a terminal
        {"A\x1B[2JB\tC\r\nD\x7F", "A?[2JB?C??D?"},        // clears the screen
        {"\x81\x8D\x8F\x90\x9D", "?????"},                // undefined: C1 once converted
        {std::string_view("a\0b", 3), "a?b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PrintableText(c.in), c.out) << c.out;
}

TEST(Cp1252, PrintableUtf8KeepsLineFeedsAndMarksEveryControl) {
    struct Case {
        std::string_view in, out;
    };
    const Case cases[] = {
        {"Élève « x »\nligne 2", "Élève « x »\nligne 2"},
        {"a\x1B[31mb\rc\td", "a?[31mb?c?d"},
        {"\xC2\x9B"
         "31m \xC2\x85 \xC2\xA0",
         "?31m ? \xC2\xA0"}, // C1 CSI and NEL; NBSP stays
        {"\x9B"
         "31m \xC3",
         "?31m ?"},                                           // stray or cut bytes
        {"\xC0\x9B \xE0\x80\x9B \xED\xA0\x80", "?? ??? ???"}, // overlong and surrogate forms
        {"日本 😀", "日本 😀"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PrintableUtf8(c.in), c.out) << c.out;
}
