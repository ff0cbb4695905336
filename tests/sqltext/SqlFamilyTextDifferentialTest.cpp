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

// The first scanner kept the statement's blanks (one for a run); the product's
// writes its own. Everything but the blanks is the same.
std::string WithoutBlanks(std::string text) {
    std::erase(text, ' ');
    return text;
}

// The product's scanner gives the first scanner's bytes but for blanks on any
// text, also when it appends to what is already there.
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
        ASSERT_EQ(WithoutBlanks(actual), WithoutBlanks(expected))
            << "round " << round << ", prefix \"" << prefix << "\", for: " << sql;
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
        ASSERT_EQ(WithoutBlanks(SqlFamilyText(sql)), WithoutBlanks(expected)) << "round " << round;
    }
}

bool IsWordByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c == '#' || c == '?' || c >= 0x80;
}

// A family text read again with no blank between a word and an operator or
// punctuation ("A=?" for "A = ?") gives the same family text: spacing there does
// not part a family. Texts with quoted names, binds or hints (which keep blanks of
// their own) are left out.
TEST(SqlFamilyTextDifferential, BlanksBesideOperatorsDoNotChangeTheFamilyText) {
    std::mt19937 rng(2014);
    int checked = 0;
    for (int round = 0; round < 100000; ++round) {
        const std::string family = SqlFamilyText(RandomStatement(rng));
        if (family.find_first_of("\":") != std::string::npos || family.find("/*") != std::string::npos) continue;
        // "(? +)" pressed together would read as the placeholder list "(?+)".
        if (family.find("(? +)") != std::string::npos) continue;
        std::string tight;
        for (std::size_t i = 0; i < family.size(); ++i) {
            if (family[i] == ' ' && i > 0 && i + 1 < family.size() &&
                IsWordByte(static_cast<unsigned char>(family[i - 1])) !=
                    IsWordByte(static_cast<unsigned char>(family[i + 1])))
                continue;
            tight += family[i];
        }
        ++checked;
        ASSERT_EQ(SqlFamilyText(tight), family) << "round " << round << ", read again as: " << tight;
    }
    EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace corvid
