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
