#include "tarnwick/files/cp1252.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace cp = platform::cp1252;

TEST(Cp1252, EveryByteDecodesAndEncodesBackToItself) {
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    const std::u16string text = cp::decode(all);
    ASSERT_EQ(text.size(), 256u);
    const auto back = cp::encode(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, all);
    // Distinct bytes give distinct characters.
    std::u16string sorted = text;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(Cp1252, HighBytesAreTheWindowsCharacters) {
    EXPECT_EQ(cp::decode(0x80), u'\u20AC');
    EXPECT_EQ(cp::decode(0x85), u'\u2026');
    EXPECT_EQ(cp::decode(0x9F), u'\u0178');
    EXPECT_EQ(cp::decode(0xE9), u'\u00E9');
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(cp::decode(static_cast<unsigned char>(undefined)), undefined);
    }
}

TEST(Cp1252, CharactersOutsideTheSetHaveNoByte) {
    unsigned char byte = 0;
    EXPECT_FALSE(cp::encode(u'\u0080', byte));  // the C1 control whose byte means the euro sign
    EXPECT_FALSE(cp::encode(u'\u4E2D', byte));
    EXPECT_FALSE(cp::encode(static_cast<char16_t>(0xD800), byte));
    EXPECT_FALSE(cp::encode(u"ab\u0100c").has_value());
    EXPECT_EQ(cp::encode(u"\u20AC=\u00FF").value(), "\x80=\xFF");
}
