#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sqltext/SqlStatementParser.h"

namespace corvid {
namespace {

const std::string kHeader =
    "{\\rtf1\\ansi\\deff0\\deftab720{\\fonttbl{\\f0\\fmodern Curier New;}}\n"
    "{\\colortbl\\red0\\green0\\blue0;\\red255\\green0\\blue0;\\red0\\green255\\blue0;\\red0\\green0\\blue255;}\n"
    "\\deflang1033\\pard\\tx360\\tx720\\tx1080\\tx1440\\tx1800\\tx2160\\tx2520\\tx2880\\tx3240\\tx3600\\tx3960"
    "\\tx4320\\tx4680\\tx5040\\tx5400\\tx5760\\tx6120\\tx6480\\plain\\f0\\fs20 ";
const std::string kTrailer = "\n\\par }";

// The body between header and trailer of a highlighted statement.
std::string HighlightBody(const std::string& sql) {
    std::string text = sql;
    CSqlStatementParser().HighlightToRtf(text);
    EXPECT_EQ(text.substr(0, kHeader.size()), kHeader);
    EXPECT_GE(text.size(), kHeader.size() + kTrailer.size());
    EXPECT_EQ(text.substr(text.size() - kTrailer.size()), kTrailer);
    return text.substr(kHeader.size(), text.size() - kHeader.size() - kTrailer.size());
}

// The class in force at each position of a normalised text.
std::vector<int> ClassesByPosition(const std::string& text) {
    const auto records = CSqlStatementParser::TokenizeSql(text);
    std::vector<int> classes(text.size(), -1);
    for (std::size_t i = 0; i < text.size(); ++i)
        for (const auto& r : records)
            if (r.m_Position <= static_cast<int>(i)) classes[i] = CSqlStatementParser::ColorIndexOf(r.m_Class);
    return classes;
}

std::string ColourString(const std::string& text) {
    std::string out;
    for (int c : ClassesByPosition(text))
        out += static_cast<char>('0' + c);
    return out;
}

TEST(SqlStatementParser, HeaderAndTrailerAreWrittenByteForByte) {
    std::string text;
    CSqlStatementParser().HighlightToRtf(text);
    EXPECT_EQ(text, kHeader + kTrailer);
    text.clear();
    CSqlStatementParser().TextToRtf(text);
    EXPECT_EQ(text, kHeader + kTrailer);
    EXPECT_EQ(std::string(CSqlStatementParser::RtfHeader), kHeader);
}

TEST(SqlStatementParser, SimpleSelectGetsItsSwitchesInPlace) {
    EXPECT_EQ(HighlightBody("select a from b"), "\\cf0 \\cf3 select\\cf0  a\\cf0  \\cf3 from\\cf0  b");
    EXPECT_EQ(HighlightBody("SELECT x"), "\\cf0 \\cf3 SELECT\\cf0  x");
    EXPECT_EQ(HighlightBody("Select x"), "\\cf0 \\cf3 Select\\cf0  x");
    EXPECT_EQ(HighlightBody("selected x"), "\\cf0 selected\\cf0  x");
}

TEST(SqlStatementParser, TrailingKeywordIsColoured) {
    EXPECT_EQ(HighlightBody("a order by"), "\\cf0 a\\cf0  \\cf3 order\\cf0  \\cf3 by");
    EXPECT_EQ(HighlightBody("x = 12"), "\\cf0 x\\cf0  = \\cf1 12");
}

TEST(SqlStatementParser, QuotedStringsRunToTheirClosingQuote) {
    // The doubled quote keeps the string open up to the end.
    EXPECT_EQ(ColourString("x = 'it''s'"), "00001111111");
    EXPECT_EQ(ColourString("'a' b"), "11100");
    EXPECT_EQ(ColourString("\"Col\" = 1"), "111110001");
    // An empty string leaves the string open.
    EXPECT_EQ(ColourString("'' and"), "111111");
}

TEST(SqlStatementParser, CommentsAreGreen) {
    EXPECT_EQ(ColourString("a // b\nselect"), "0022222222222");
    EXPECT_EQ(ColourString("/* c */ select"), "22222220333333");
    EXPECT_EQ(HighlightBody("/* c */ select"), "\\cf0 \\cf2 /* c */\\cf0  \\cf3 select");
    // A line comment right after a block comment's end would lie before the last
    // record, so it is dropped and the rest stays normal text.
    EXPECT_EQ(ColourString("/**///x"), "2222000");
}

TEST(SqlStatementParser, WordsRunningIntoQuotesStayUncoloured) {
    EXPECT_EQ(ColourString("select'x' from"), "00000011103333");
    EXPECT_EQ(ColourString("sys.v_$sqlarea"), "00000000000000");
    EXPECT_EQ(ColourString("from sys.v_$sqlarea where"), "3333000000000000000033333");
}

TEST(SqlStatementParser, RecordPositionsNeverDecrease) {
    for (const std::string text : {"a//b", "/**///", "x/*y*/z", "\"a\"\"b\"c", "1e5'x'//", "select/*a*/from"}) {
        const auto records = CSqlStatementParser::TokenizeSql(text);
        ASSERT_FALSE(records.empty()) << text;
        for (std::size_t i = 1; i < records.size(); ++i)
            EXPECT_GE(records[i].m_Position, records[i - 1].m_Position) << text;
        EXPECT_LE(records.size(), 2 * text.size() + 2) << text;
    }
}

TEST(SqlStatementParser, LineBreaksAreNormalisedAndWrittenOnce) {
    std::string text = "a\r\n\r\nb\n\rc\r\rd\ne";
    CSqlStatementParser::NormalizeLineBreaks(text);
    EXPECT_EQ(text, "a\n\nb\nc\nd\ne");
    EXPECT_EQ(HighlightBody("a\r\n\r\nb"), "\\cf0 a\\cf0 \\line b");
    std::string plan = "line 1\r\nline 2\n";
    CSqlStatementParser().TextToRtf(plan);
    EXPECT_EQ(plan, kHeader + "line 1\\line line 2\\line " + kTrailer);
}

TEST(SqlStatementParser, RtfSpecialCharactersAreEscaped) {
    EXPECT_EQ(HighlightBody("{a}\\"), "\\cf0 \\{a\\cf0 \\}\\\\");
    std::string plan = "a{b}\\c";
    CSqlStatementParser().TextToRtf(plan);
    EXPECT_EQ(plan, kHeader + "a\\{b\\}\\\\c" + kTrailer);
}

TEST(SqlStatementParser, KeywordsAndNumbers) {
    auto keyword = [](const std::string& w) { return CSqlStatementParser::IsSqlKeyword(w.data(), w.size()); };
    auto number = [](const std::string& w) { return CSqlStatementParser::IsSqlNumber(w.data(), w.size()); };
    for (const char* k : CSqlStatementParser::SqlKeywords)
        EXPECT_TRUE(keyword(k)) << k;
    EXPECT_TRUE(keyword("TO_CHAR"));
    EXPECT_TRUE(keyword("Between"));
    EXPECT_FALSE(keyword("selec"));
    EXPECT_FALSE(keyword("selectx"));
    EXPECT_FALSE(keyword(""));
    EXPECT_TRUE(number("0x1F"));
    EXPECT_TRUE(number("0xabc"));
    EXPECT_TRUE(number("1.5E3"));
    EXPECT_TRUE(number("7"));
    EXPECT_TRUE(number("1e-5"));
    EXPECT_FALSE(number("0x"));
    EXPECT_FALSE(number("0X1F"));
    EXPECT_FALSE(number("0x1G"));
    EXPECT_FALSE(number("1a"));
    EXPECT_FALSE(number(".5"));
    EXPECT_FALSE(number(""));
}

TEST(SqlStatementParser, TokenClassNames) {
    EXPECT_STREQ(TokenClassName(0), "whitespace");
    EXPECT_STREQ(TokenClassName(1), "wbackground");
    EXPECT_STREQ(TokenClassName(2), "normal text");
    EXPECT_STREQ(TokenClassName(3), "keyword");
    EXPECT_STREQ(TokenClassName(4), "comment");
    EXPECT_STREQ(TokenClassName(5), "number");
    EXPECT_STREQ(TokenClassName(6), "operator");
    EXPECT_STREQ(TokenClassName(7), "string");
    EXPECT_STREQ(TokenClassName(8), "unknown");
    EXPECT_STREQ(TokenClassName(-1), "unknown");
}

}  // namespace
}  // namespace corvid
