// LIKE without "_": the quick path for patterns of literals and "%" must answer as
// the general matcher does, checked against a plain dynamic programme.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ocisim/engine/Evaluator.h"

namespace {

// Does s match p, "%" standing for any run of bytes.
bool Reference(const std::string& s, const std::string& p) {
    std::vector<std::vector<char>> m(s.size() + 1, std::vector<char>(p.size() + 1, 0));
    m[0][0] = 1;
    for (std::size_t j = 1; j <= p.size(); ++j)
        m[0][j] = p[j - 1] == '%' && m[0][j - 1];
    for (std::size_t i = 1; i <= s.size(); ++i) {
        for (std::size_t j = 1; j <= p.size(); ++j) {
            m[i][j] = p[j - 1] == '%' ? (m[i - 1][j] || m[i][j - 1]) : (p[j - 1] == s[i - 1] && m[i - 1][j - 1]);
        }
    }
    return m[s.size()][p.size()];
}

TEST(Like, PatternsOfLiteralsAndPercentAnswerAsTheReference) {
    std::mt19937 random(7);
    auto text = [&](const char* alphabet, int alphabetSize, int maxLength) {
        std::string t(random() % (maxLength + 1), ' ');
        for (char& c : t)
            c = alphabet[random() % alphabetSize];
        return t;
    };
    for (int i = 0; i < 200000; ++i) {
        const std::string s = text("ab", 2, 7);
        const std::string p = text("ab%", 3, 6);
        ASSERT_EQ(ocisim::LikeMatch(s, p), Reference(s, p)) << "'" << s << "' LIKE '" << p << "'";
    }
    EXPECT_TRUE(ocisim::LikeMatch("SELECT 1 /* $CORVID$ */ FROM dual", "%/* $CORVID$ */%"));
    EXPECT_FALSE(ocisim::LikeMatch("SELECT 1 /* $CORVID */ FROM dual", "%/* $CORVID$ */%"));
    EXPECT_TRUE(ocisim::LikeMatch("", ""));
    EXPECT_FALSE(ocisim::LikeMatch("a", ""));
    EXPECT_TRUE(ocisim::LikeMatch("aba", "a%a"));
    EXPECT_FALSE(ocisim::LikeMatch("a", "a%a"));  // the first and last piece may not share a byte
    EXPECT_TRUE(ocisim::LikeMatch("a%b", "a\\%b", '\\'));
    EXPECT_FALSE(ocisim::LikeMatch("axb", "a\\%b", '\\'));
    EXPECT_TRUE(ocisim::LikeMatch("axb", "a%b", '\\'));  // an escape character the pattern does not use
}

}  // namespace
