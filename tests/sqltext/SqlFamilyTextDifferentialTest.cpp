#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sqltext/ReferenceSqlFamilyText.h"
#include "sqltext/SqlFamilyText.h"

namespace corvid {
namespace {

// Pieces that steer the scanner into each of its paths: keywords that make a sign
// or a list special, every quoting, comments and hints, numbers in all their
// forms, binds, names beyond ASCII and bytes that are not UTF-8.
const std::vector<std::string>& Pieces() {
    static const std::vector<std::string> pieces = {
        "select", "SELECT", "where", "and", "or", "not", "when", "then", "else", "return", "between", "like",
        "having", "in", "IN", "values", "any", "some", "all", "from", "t1", "col_3", "x$y#4", "selectx", "inx",
        " ", "  ", "\t", "\n", "\r\n", "(", ")", ",", ";", "=", "<>", "||", "*", "/", "-", "+", ".", "..", ":",
        ":=", "::", ":b1", ":\"Q b\"", ":1", "'", "''", "'abc'", "'it''s'", "n'", "N'x'", "q'", "q'[", "]'",
        "Q'{a}'", "nq'!x!'", "q'<", ">'", "q'(", ")'", "\"", "\"Mixed\"", "--", "--+", "-- c\n", "/*", "*/",
        "/*+", "/*+ full(t) */", "/**/", "0", "1", "42", "1.5", ".5", "7.", "1e10", "2.5E-3", "3e+", "1.5f", "2D",
        "e", "E", "d", "f", "größe", "é", "\xc3", "\xff\xfe", std::string(1, '\0'), "\xe2\x82\xac",
    };
    return pieces;
}

std::string RandomStatement(std::mt19937& rng) {
    const std::vector<std::string>& pieces = Pieces();
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);
    std::uniform_int_distribution<int> count(0, 30);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> percent(0, 99);
    std::string sql;
    for (int n = count(rng); n > 0; --n) {
        if (percent(rng) < 10)
            sql += static_cast<char>(byte(rng));
        else
            sql += pieces[piece(rng)];
    }
    return sql;
}

// The product's scanner gives the first scanner's bytes on any text, also when it
// appends to what is already there.
TEST(SqlFamilyTextDifferential, GivesTheReferenceScannersBytesOnRandomStatements) {
    std::mt19937 rng(1414);
    std::string expected;
    std::string actual;
    for (int round = 0; round < 100000; ++round) {
        const std::string sql = RandomStatement(rng);
        const std::string prefix = round % 3 == 0 ? "in" : round % 3 == 1 ? "x " : "";
        expected = prefix;
        actual = prefix;
        reference::AppendSqlFamilyText(sql, expected);
        AppendSqlFamilyText(sql, actual);
        ASSERT_EQ(actual, expected) << "round " << round << ", prefix \"" << prefix << "\", for: " << sql;
    }
}

TEST(SqlFamilyTextDifferential, GivesTheReferenceScannersBytesOnLongStatements) {
    std::mt19937 rng(60000);
    for (int round = 0; round < 40; ++round) {
        std::string sql;
        while (sql.size() < 60000)
            sql += RandomStatement(rng);
        std::string expected;
        reference::AppendSqlFamilyText(sql, expected);
        ASSERT_EQ(SqlFamilyText(sql), expected) << "round " << round;
    }
}

}  // namespace
}  // namespace corvid
