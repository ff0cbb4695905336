#include "platform/TerminalText.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

TEST(TerminalTextTest, OnlyVisibleCharactersReachTheTerminal) {
    const struct {
        std::string text;
        std::string shown;
    } cases[] = {
        {"plain text, tab\tand line\n", "plain text, tab\tand line\n"},
        {"\x1b[2J\x1b]0;title\x07", "\\x1b[2J\\x1b]0;title\\x07"},  // clear screen, set title
        {"a\r\nb\rc", "a\nb\\x0dc"},                              // a lone CR would overwrite the line
        {std::string("nul\0del\x7f", 8), "nul\\x00del\\x7f"},
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},  // UTF-8 kept
        {"\xC2\x9B" "31m", "\\u009b31m"},                                                 // C1 CSI
        {"\xFF\xC3(\xE2\x82", "\\xff\\xc3(\\xe2\\x82"},                                   // not UTF-8
        {"back\\slash", "back\\slash"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalText(c.text), c.shown) << c.shown;
}

}  // namespace
}  // namespace corvid
