// The short texts of an entry: every length kept whole, in place or on the heap,
// through copies, moves and assignments from its own characters.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "collection/CompactText.h"
#include "collection/ObjectEntry.h"

namespace corvid {
namespace {

std::string Text(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += static_cast<char>('A' + i % 26);
    return text;
}

TEST(CompactText, KeepsEveryLengthThroughCopiesAndMoves) {
    for (std::size_t length : {0u, 1u, 16u, 19u, 21u, 22u, 23u, 24u, 64u, 1000u}) {
        const std::string text = Text(length);
        CCompactText a(text);
        EXPECT_EQ(a.size(), length);
        EXPECT_EQ(a, text);
        EXPECT_EQ(std::string(a.c_str()), text) << "terminated at its length";
        CCompactText b(a);
        EXPECT_EQ(b, text);
        CCompactText c(std::move(a));
        EXPECT_EQ(c, text);
        EXPECT_TRUE(a.empty());
        CCompactText d("x");
        d = c;
        EXPECT_EQ(d, text);
        d = std::move(b);
        EXPECT_EQ(d, text);
        EXPECT_TRUE(b.empty());
        // Replacing a long text by a short one and back frees and reallocates.
        d = "short";
        EXPECT_EQ(d, "short");
        d = text;
        EXPECT_EQ(d.str(), text);
    }
}

TEST(CompactText, AssignsFromItsOwnCharacters) {
    for (std::size_t length : {10u, 22u, 40u}) {
        CCompactText t(Text(length));
        t = t.view().substr(2);
        EXPECT_EQ(t, Text(length).substr(2));
        t = t;
        EXPECT_EQ(t, Text(length).substr(2));
    }
}

TEST(CompactText, ComparesAndAppendsAsAString) {
    const CCompactText a("2024-03-11/12:00:00"), b("2024-03-11/12:00:01");
    EXPECT_LT(a, b);
    EXPECT_LT(a, std::string("2024-03-11/12:00:01"));
    EXPECT_NE(a, b);
    EXPECT_EQ(a, CCompactText(std::string("2024-03-11/12:00:00")));
    std::string out = "at ";
    out += a;
    EXPECT_EQ(out, "at 2024-03-11/12:00:00");
    std::vector<CCompactText> texts(40, CCompactText(Text(30)));
    texts.resize(200);  // moves every element
    EXPECT_EQ(texts[39], Text(30));
    EXPECT_TRUE(texts[199].empty());
}

TEST(CompactText, EntryKeepsAnyAddressAndTimeWhole) {
    CObjectEntry e(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, "CHOOSE", 1, 1, "SCOTT", Text(40), "SELECT 1 FROM dual",
                   "2024-03-11/12:00:00");
    EXPECT_EQ(e.m_Address, Text(40));
    EXPECT_EQ(e.GetColumnText(kColAddress), Text(40));
    CObjectEntry copy(e);
    e.m_Address = "6000F3A8";
    EXPECT_EQ(copy.m_Address, Text(40));
    EXPECT_EQ(copy.m_FirstLoadTime, "2024-03-11/12:00:00");
}

}  // namespace
}  // namespace corvid
