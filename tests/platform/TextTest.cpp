#include "platform/Text.h"

#include <gtest/gtest.h>

namespace vornal {
namespace {

TEST(Utf8, RoundTripsEveryPlaneRefusesMalformedInputAndReplacesLoneSurrogates) {
    const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    const auto u16 = utf8ToUtf16(utf8);
    ASSERT_TRUE(u16);
    EXPECT_EQ(*u16, u"a\u00e9\u20ac\U0001F600");
    EXPECT_EQ(utf16ToUtf8(*u16), utf8);
    for (const char* bad : {"\x80", "\xC3", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                            "\xF4\x90\x80\x80", "\xFF", "ok\xE2\x82"}) {
        EXPECT_FALSE(utf8ToUtf16(bad)) << bad;
    }
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(utf16ToUtf8(u"x" + std::u16string(1, u'\xDC00')), "x\xEF\xBF\xBD");
}

TEST(Windows1252, EveryByteMapsToACharacterAndBackOthersAreReported) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    const std::u16string text = decodeWindows1252(all);
    ASSERT_EQ(text.size(), 256u);
    EXPECT_EQ(text[0x80], u'\u20AC');
    EXPECT_EQ(text[0x9F], u'\u0178');
    EXPECT_EQ(text[0xE9], u'\u00E9');
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(text[static_cast<std::size_t>(b)], static_cast<char16_t>(b));
    }
    EXPECT_EQ(encodeWindows1252(text), all);
    std::size_t bad = 99;
    EXPECT_FALSE(encodeWindows1252(u"ab\u0100", &bad));
    EXPECT_EQ(bad, 2u);
    EXPECT_FALSE(encodeWindows1252(u"\u0080"));
}

} // namespace
} // namespace vornal
