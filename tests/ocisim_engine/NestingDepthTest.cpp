// Statements nested deeper than the server takes get Oracle's errors for it, at
// any depth, instead of exhausting the stack; those within the limits still run.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.h"
#include "ocisim/engine/Parser.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string text;
    text.reserve(piece.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

std::string Nested(const std::string& open, const std::string& inner, const std::string& close, int depth) {
    return Repeat(open, depth) + inner + Repeat(close, depth);
}

TEST(NestingDepthTest, TooDeepStatementsGetOraclesErrors) {
    auto server = DemoServer();
    auto scott = Logon(*server, "SCOTT", "TIGER");
    ASSERT_TRUE(scott);
    const int limit = Parser::kMaxExpressionDepth;
    const struct {
        std::string sql;
        int code;  // 0: runs
    } cases[] = {
        {"SELECT " + Nested("(", "1", ")", limit - 1) + " FROM dual", 0},
        {"SELECT " + Nested("(", "1", ")", limit + 1) + " FROM dual", 3095},
        {"SELECT " + Nested("(", "1", ")", 10000) + " FROM dual", 3095},
        {"SELECT " + Nested("(", "1", ")", 100000) + " FROM dual", 3095},
        {"SELECT " + Repeat("- ", 100000) + "1 FROM dual", 3095},
        {"SELECT 1 FROM dual WHERE " + Repeat("NOT ", 100000) + "1 = 1", 3095},
        {"SELECT " + Nested("ABS(", "1", ")", 100000) + " FROM dual", 3095},
        {"SELECT " + Nested("CASE WHEN 1 = 1 THEN ", "1", " END", 100000) + " FROM dual", 3095},
        {Nested("(", "SELECT 1 FROM dual", ")", 100000), 1778},
        {"SELECT 1 FROM dual WHERE EXISTS " + Nested("(SELECT 1 FROM dual WHERE EXISTS ", "(SELECT 1 FROM dual)", ")", 300),
         1778},
        {"SELECT 1 FROM dual WHERE EXISTS " + Nested("(SELECT 1 FROM dual WHERE EXISTS ", "(SELECT 1 FROM dual)", ")", 100),
         0},
    };
    for (const auto& c : cases) {
        const Result result = RunSql(*scott, c.sql);
        EXPECT_EQ(result.error.code, c.code) << c.sql.substr(0, 80) << ": " << result.error.message;
        if (c.code == 3095) {
            EXPECT_EQ(result.error.message,
                      "ORA-03095: expression level is too deep, maximum " + std::to_string(limit));
        }
    }
    // PL/SQL statements nested too deeply: the PL/SQL parser's own error.
    const Result block = RunSql(*scott, "BEGIN " + Nested("IF 1 = 1 THEN ", "NULL;", " END IF;", 100000) + " END;");
    EXPECT_TRUE(block.error.IsError());
    EXPECT_NE(block.error.message.find("PLS-00102"), std::string::npos) << block.error.message.substr(0, 200);
    const Result deepExpression = RunSql(*scott, "BEGIN IF " + Nested("(", "1 = 1", ")", 100000) + " THEN NULL; END IF; END;");
    EXPECT_NE(deepExpression.error.message.find("PLS-00102"), std::string::npos)
        << deepExpression.error.message.substr(0, 200);
    const Result fine = RunSql(*scott, "BEGIN " + Nested("IF 1 = 1 THEN ", "NULL;", " END IF;", 100) + " END;");
    EXPECT_FALSE(fine.error.IsError()) << fine.error.message.substr(0, 200);
    // The session is fine afterwards.
    EXPECT_FALSE(RunSql(*scott, "SELECT 1 FROM dual").error.IsError());
}

}  // namespace
