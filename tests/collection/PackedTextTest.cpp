// The texts an entry holds in a few bytes: every text reads back exactly as it
// was given, in whichever form it is kept, through copies, moves and assignments
// from its own characters, and orders as the plain texts do.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "collection/ObjectEntry.h"
#include "collection/PackedText.h"

namespace corvid {
namespace {

std::string Text(std::size_t length, const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ") {
    const std::string letters = alphabet;
    std::string text;
    for (std::size_t i = 0; i < length; ++i)
        text += letters[i % letters.size()];
    return text;
}

// Copies, moves and assignments of one text keep it whole and leave the source
// of a move empty; `T` is CPackedText or CTimeText.
template <typename T>
void ExpectKeptThroughCopiesAndMoves(const std::string& text) {
    T a(text);
    EXPECT_EQ(a.size(), text.size()) << text;
    EXPECT_EQ(a.str(), text);
    EXPECT_EQ(a, text);
    T b(a);
    EXPECT_EQ(b.str(), text);
    T c(std::move(a));
    EXPECT_EQ(c.str(), text);
    EXPECT_TRUE(a.empty());
    T d("x");
    d = c;
    EXPECT_EQ(d.str(), text);
    d = std::move(b);
    EXPECT_EQ(d.str(), text);
    EXPECT_TRUE(b.empty());
    T& same = d;
    d = same;
    EXPECT_EQ(d.str(), text);
    d = d.str();
    EXPECT_EQ(d.str(), text);
    std::string appended = "<";
    appended += d;
    EXPECT_EQ(appended, "<" + text);
    c = "";
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(d.str(), text) << "a copy shares nothing it can change";
}

TEST(PackedText, EveryFormReadsBackExactly) {
    std::vector<std::string> texts = {"", "A", "ADDR0", "0000ABCD", std::string("a\0b", 3), Text(11)};
    for (std::size_t length = 12; length <= 23; ++length)
        texts.push_back(Text(length, "0123456789ABCDEF"));        // hexadecimal up to 22 digits, then the heap
    texts.push_back("0000000000000000");                          // leading zeros are digits
    texts.push_back("FFFFFFFFFFFFFFFF");
    texts.push_back("00000000deadbeef");                          // lower case: no hexadecimal form
    for (std::size_t length = 12; length <= 18; ++length)
        texts.push_back(Text(length, "0123456789abcdfghjkmnpqrstuvwxyz"));  // SQL IDs up to 17, then the heap
    texts.push_back("a5ks9fhw2v9s1");
    texts.push_back("zzzzzzzzzzzzz");
    texts.push_back("a5ks9fhw2v9se");                             // 'e' is not in the alphabet
    texts.push_back("A5KS9FHW2V9S1");
    texts.push_back(Text(40));
    texts.push_back(Text(1000));
    for (const std::string& text : texts) ExpectKeptThroughCopiesAndMoves<CPackedText>(text);

    CPackedText::Buffer buffer;
    EXPECT_EQ(CPackedText("00000000DEADBEEF").View(buffer), "00000000DEADBEEF");
    EXPECT_EQ(CPackedText(Text(40)).View(buffer), Text(40));
}

TEST(PackedText, OrdersAndComparesAsTheTexts) {
    const std::vector<std::string> texts = {"",         "0",
                                            "00000000000A0004", "00000000000A0005",
                                            "0000000000A00004", "0A1B",
                                            "A5KS9FHW2V9S1",    "a5ks9fhw2v9s1",
                                            "a5ks9fhw2v9s2",    "a5ks9fhw2v9sz",
                                            Text(30),           "zz"};
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            EXPECT_EQ(CPackedText(a) == CPackedText(b), a == b) << a << " " << b;
            EXPECT_EQ(CPackedText(a) < CPackedText(b), a < b) << a << " " << b;
            EXPECT_EQ(CPackedText(a) < std::string_view(b), a < b) << a << " " << b;
        }
    }
}

TEST(TimeText, ServerTimesAndOtherTextsReadBackExactly) {
    for (const char* text : {"2026-12-06/13:17:02", "0000-00-00/00:00:00", "9999-99-99/99:99:99", "",
                             "2024-3-11/1:00:00", "2026-12-07 09:00:59", "2026-12-06/13:17:0x", "2026-12-06/13:17:021",
                             "2026-12-06/13:17:0", "x"}) {
        ExpectKeptThroughCopiesAndMoves<CTimeText>(text);
    }
    CTimeText::Buffer buffer;
    EXPECT_EQ(CTimeText("2026-12-06/13:17:02").View(buffer), "2026-12-06/13:17:02");
}

TEST(TimeText, OrdersAsTheTexts) {
    // Packed against packed compares numbers; mixed forms compare texts: both as the texts order.
    const std::vector<std::string> texts = {"",
                                            "0000-00-00/00:00:00",
                                            "2024-03-11/12:00:00",
                                            "2024-03-11/12:00:01",
                                            "2024-03-11/12:00:01x",
                                            "2024-03-11/12:01:00",
                                            "2024-3-11/1:00:00",
                                            "2025-01-01/00:00:00",
                                            "9999-12-31/23:59:59",
                                            "unknown"};
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            EXPECT_EQ(CTimeText(a) == CTimeText(b), a == b) << a << " " << b;
            EXPECT_EQ(CTimeText(a) < CTimeText(b), a < b) << a << " " << b;
            EXPECT_EQ(CTimeText(a) > std::string_view(b), a > b) << a << " " << b;
        }
    }
}

TEST(SharedText, InternedTextsShareOneCopyThatOutlivesTheInterner) {
    CSharedText scott, again, other;
    {
        CTextInterner interner;
        scott = interner.Intern("SCOTT");
        again = interner.Intern(std::string("SCOTT"));
        other = interner.Intern("SYSTEM");
        EXPECT_TRUE(interner.Intern("").empty());
        EXPECT_EQ(interner.Size(), 2u);
    }
    EXPECT_EQ(scott, "SCOTT");
    EXPECT_EQ(scott.data(), again.data()) << "one copy";
    EXPECT_NE(scott.data(), other.data());
    EXPECT_EQ(std::string(scott.c_str()), "SCOTT") << "terminated at its length";
    // A shared text is immutable: assigning to one copy leaves the others.
    again = "ADAMS";
    EXPECT_EQ(scott, "SCOTT");
    CSharedText& same = scott;
    scott = same;
    EXPECT_EQ(scott, "SCOTT");
    scott = scott.view().substr(1);
    EXPECT_EQ(scott, "COTT");
    EXPECT_LT(CSharedText("ADAMS"), CSharedText("SCOTT"));
    EXPECT_TRUE(CSharedText().empty());
    EXPECT_EQ(CSharedText().size(), 0u);
    EXPECT_STREQ(CSharedText().c_str(), "");
}

TEST(Unsigned32, KeepsEveryThirtyTwoBitValueAndClampsTheRest) {
    EXPECT_EQ(CUnsigned32(4294967295.0).Value(), 4294967295u);
    EXPECT_EQ(CUnsigned32(0.0).Value(), 0u);
    EXPECT_EQ(CUnsigned32(2147483648.0).Value(), 2147483648u);
    EXPECT_EQ(CUnsigned32(12.7).Value(), 12u) << "truncated as the list shows counts";
    EXPECT_EQ(CUnsigned32(4294967296.0).Value(), 4294967295u);
    EXPECT_EQ(CUnsigned32(1e300).Value(), 4294967295u);
    EXPECT_EQ(CUnsigned32(-1.0).Value(), 0u);
    EXPECT_EQ(CUnsigned32(std::numeric_limits<double>::quiet_NaN()).Value(), 0u);
    EXPECT_EQ(CUnsigned32(-std::numeric_limits<double>::infinity()).Value(), 0u);
    EXPECT_EQ(static_cast<double>(CUnsigned32(4294967295.0)), 4294967295.0);
}

TEST(PackedText, EntryKeepsAnyAddressAndTimeWhole) {
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
