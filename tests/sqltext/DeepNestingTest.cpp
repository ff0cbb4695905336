// Every reader of SQL or RTF text takes nesting of any depth without running out
// of stack, and gives its ordinary result.

#include <gtest/gtest.h>

#include <string>

#include "platform/RtfReader.h"
#include "sqltext/SqlFamilyText.h"
#include "sqltext/SqlStatementParser.h"

namespace corvid {
namespace {

constexpr int kDepth = 100000;

std::string Nested(const std::string& open, const std::string& inner, const std::string& close) {
    std::string text;
    for (int i = 0; i < kDepth; ++i)
        text += open;
    text += inner;
    for (int i = 0; i < kDepth; ++i)
        text += close;
    return text;
}

TEST(DeepNestingTest, SqlAndRtfOfAnyDepthAreRead) {
    const std::string sql = "SELECT " + Nested("(", "1", ")") + " FROM dual WHERE x IN " + Nested("(", "'a', 2", ")");
    std::string rtf = sql;
    CSqlStatementParser().HighlightToRtf(rtf);
    EXPECT_EQ(rtf.rfind(CSqlStatementParser::RtfHeader, 0), 0u);
    // The highlighter's document read back gives the statement again.
    EXPECT_EQ(CRtfReader::Read(rtf).PlainText(), sql);

    const std::string family = SqlFamilyText(sql);
    EXPECT_EQ(family.find("'a'"), std::string::npos) << family.substr(0, 200);
    EXPECT_EQ(SqlFamilyText(Nested("(", "SELECT 1 FROM dual", ")")), SqlFamilyText(Nested("(", "SELECT 2 FROM dual", ")")));

    EXPECT_EQ(CRtfReader::Read("{\\rtf1 " + Nested("{", "deep", "}") + "}").PlainText(), "deep");
    EXPECT_EQ(CRtfReader::Read("{\\rtf1 " + Nested("{\\b ", "x", "}") + " after}").PlainText(), "x after");
}

}  // namespace
}  // namespace corvid
