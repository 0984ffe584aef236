#include "core/Cp1252.h"
#include "core/FixedText.h"

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

TEST(Cp1252, PrintableFormsKeepTextAndMarkControls) {
    struct Case {
        std::string_view in, out;
        bool fromCp1252;
    };
    const Case cases[] = {
        {"Fran\xE7ois \x80 \x85 \x9C", "François € … œ", true}, // the code page's own 80..9F
        {"\x1B]0;x\x07\x1B[2J\t\r\n\x7F", "?]0;x??[2J????", true},
        {"\x81\x8D\x8F\x90\x9D", "?????", true}, // undefined: C1 controls once converted
        {"Élève\nligne 2 日本", "Élève\nligne 2 日本", false},
        {"a\x1B[31mb\rc\td\x7F", "a?[31mb?c?d?", false},
        {"\xC2\x9B \xC2\x85 \xC2\xA0", "? ? \xC2\xA0", false}, // C1 CSI and NEL; no-break space stays
        {"\x9B \xC3", "? ?", false},                           // stray or cut bytes
        {"\xC0\x9B \xED\xA0\x80", "?? ???", false},            // overlong and surrogate forms
        // Every control that reorders the text around it (first and last of each range); not
        // their neighbours.
        {"a\u202Ab\u202Ec\u2066d\u2069e\u200Ef\u200Fg\u061Ch", "a?b?c?d?e?f?g?h", false},
        {"\u2029\u202F\u2065\u206A\u200D\u2010\u061B\u061D",
         "\u2029\u202F\u2065\u206A\u200D\u2010\u061B\u061D", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fromCp1252 ? PrintableText(c.in) : PrintableUtf8(c.in), c.out) << c.out;
    // A name is one line, and cannot show "exe.pdf" for "fdp.exe".
    for (const auto& [in, out] :
         {std::pair<std::string_view, std::string_view>{"CE2\n\r\u202Efdp.exe", "CE2???fdp.exe"},
          {"\xE9\x1B", "??"},
          {"CM1 « B » 日本", "CM1 « B » 日本"}})
        EXPECT_EQ(PrintableName(in), out) << out;
}

// A field's text: cut at its capacity, a shorter value replacing a longer one whole, every
// byte (a NUL included) kept.
TEST(FixedText, KeepsAtMostItsCapacityAndNothingOfAnEarlierValue) {
    FixedText<5> text("ABCDEFG");
    EXPECT_EQ(text, "ABCDE");
    text = "xy";
    EXPECT_EQ(text.size(), 2u);
    EXPECT_EQ(text, FixedText<5>("xy"));
    EXPECT_EQ(text.str(), "xy");
    text = std::string_view("a\0b", 3);
    EXPECT_EQ(std::string_view(text), std::string_view("a\0b", 3));
    text = "";
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(text, FixedText<5>());
}
