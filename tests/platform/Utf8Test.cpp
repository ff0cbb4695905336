#include <gtest/gtest.h>

#include "platform/Utf8.h"

namespace corvid {
namespace {

TEST(Utf8, DecodesOnlyValidShortestFormSequences) {
    char32_t code = 0;
    EXPECT_EQ(DecodeUtf8("\xC3\xA9", 0, code), 2u);
    EXPECT_EQ(code, U'\u00E9');
    EXPECT_EQ(DecodeUtf8("x\xE2\x82\xAC", 1, code), 3u);
    EXPECT_EQ(code, U'\u20AC');
    EXPECT_EQ(DecodeUtf8("\xF0\x9F\x98\x80", 0, code), 4u);
    EXPECT_EQ(code, U'\U0001F600');
    // ASCII, lone continuations, overlong forms, surrogates, beyond U+10FFFF, cut short.
    for (const char* bad : {"a", "\x80", "\xC0\xAF", "\xC1\xBF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF0\x80\x80\xAF",
                            "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xC3", "\xE2\x82", "\xF0\x9F\x98"}) {
        EXPECT_EQ(DecodeUtf8(bad, 0, code), 0u) << bad;
    }
    EXPECT_EQ(DecodeUtf8("\xC3\xA9", 2, code), 0u);
}

TEST(Utf8, EncodesWhatItDecodes) {
    for (char32_t code : {U'\u0080', U'\u07FF', U'\u0800', U'\uFFFD', U'\U00010000', U'\U0010FFFF'}) {
        std::string text;
        AppendUtf8(text, code);
        char32_t back = 0;
        EXPECT_EQ(DecodeUtf8(text, 0, back), text.size());
        EXPECT_EQ(back, code);
    }
    std::string text;
    AppendUtf8(text, U'A');
    AppendUtf8(text, 0xD800);
    AppendUtf8(text, 0x110000);
    EXPECT_EQ(text, "A\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
}  // namespace corvid
