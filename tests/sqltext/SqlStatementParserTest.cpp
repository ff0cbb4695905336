#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
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

// A statement and the colour index in force at each of its bytes (0 normal, 1
// number or string, 2 comment, 3 keyword), with why the case matters.
struct SColourCase {
    const char* sql;
    const char* colours;
    const char* why;
};

TEST(SqlStatementParser, EachByteGetsTheColourOfItsToken) {
    const SColourCase cases[] = {
        {"x = 'it''s'", "00001111111", "a doubled quote keeps the string open up to the end"},
        {"'a' b", "11100", "a string ends at its closing quote"},
        {"\"Col\" = 1", "111110001", "a quoted name is coloured like a string"},
        {"'' and", "111111", "an empty string leaves the string open"},
        {"a // b\nselect", "0022222222222", "a line comment runs over the line end"},
        {"/* c */ select", "22222220333333", "a block comment ends at */"},
        {"/**///x", "2222000",
         "a line comment right after a block comment's end would lie before the last record: it is dropped"},
        {"select'x' from", "00000011103333", "a word running into a quote stays uncoloured"},
        {"sys.v_$sqlarea", "00000000000000", "names with dots and dollars are plain words"},
        {"from sys.v_$sqlarea where", "3333000000000000000033333", "keywords around a dotted name"},
    };
    for (const SColourCase& c : cases) EXPECT_EQ(ColourString(c.sql), c.colours) << c.sql << ": " << c.why;
}

TEST(SqlStatementParser, HighlightWritesOneSwitchPerToken) {
    const std::pair<const char*, const char*> cases[] = {
        {"select a from b", "\\cf0 \\cf3 select\\cf0  a\\cf0  \\cf3 from\\cf0  b"},
        {"SELECT x", "\\cf0 \\cf3 SELECT\\cf0  x"},
        {"Select x", "\\cf0 \\cf3 Select\\cf0  x"},
        {"selected x", "\\cf0 selected\\cf0  x"},
        {"a order by", "\\cf0 a\\cf0  \\cf3 order\\cf0  \\cf3 by"},
        {"x = 12", "\\cf0 x\\cf0  = \\cf1 12"},
        {"/* c */ select", "\\cf0 \\cf2 /* c */\\cf0  \\cf3 select"},
    };
    for (const auto& [sql, body] : cases) EXPECT_EQ(HighlightBody(sql), body) << sql;
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
    auto keyword = [](std::string_view w) { return CSqlStatementParser::IsSqlKeyword(w.data(), w.size()); };
    auto number = [](std::string_view w) { return CSqlStatementParser::IsSqlNumber(w.data(), w.size()); };
    for (const char* k : CSqlStatementParser::SqlKeywords) EXPECT_TRUE(keyword(k)) << k;
    for (const char* k : {"TO_CHAR", "Between"}) EXPECT_TRUE(keyword(k)) << k;
    for (const char* w : {"selec", "selectx", ""}) EXPECT_FALSE(keyword(w)) << w;
    for (const char* n : {"0x1F", "0xabc", "1.5E3", "7", "1e-5"}) EXPECT_TRUE(number(n)) << n;
    for (const char* w : {"0x", "0X1F", "0x1G", "1a", ".5", ""}) EXPECT_FALSE(number(w)) << w;
}

TEST(SqlStatementParser, TokenClassNames) {
    const char* names[] = {"whitespace", "wbackground", "normal text", "keyword", "comment",
                           "number",     "operator",    "string",      "unknown"};
    for (int c = 0; c < 9; ++c) EXPECT_STREQ(TokenClassName(c), names[c]) << c;
    EXPECT_STREQ(TokenClassName(-1), "unknown");
}

}  // namespace
}  // namespace corvid
