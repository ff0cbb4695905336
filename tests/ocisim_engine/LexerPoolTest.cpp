// The tokenizer's tokens and errors at the edges of the text, the reserved
// words, and the shared pool's lookups against a plain model of its entries.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Lexer.h"
#include "ocisim/engine/Md5.h"
#include "ocisim/engine/Parser.h"
#include "ocisim/engine/SharedPool.h"

using namespace ocisim;

namespace {

// Tokens as "type:text@pos-end", the End token included.
std::string Describe(const std::string& text) {
    static const char* const kTypes[] = {"end", "id", "qid", "num", "str", "bind", "op"};
    std::string out;
    for (const Token& t : Lexer::Tokenize(text)) {
        if (!out.empty()) out += ' ';
        out += std::string(kTypes[static_cast<int>(t.type)]) + ":" + t.text + "@" + std::to_string(t.pos) + "-" +
               std::to_string(t.end);
    }
    return out;
}

int ErrorCode(const std::string& text) {
    try {
        Lexer::Tokenize(text);
    } catch (const OraException& e) {
        return e.error.code;
    }
    return 0;
}

int ParseErrorCode(const std::string& text) {
    try {
        Parser(text).ParseStatement();
    } catch (const OraException& e) {
        return e.error.code;
    }
    return 0;
}

}  // namespace

TEST(LexerTest, TokensEndingTheTextKeepTheirSpellingAndOffsets) {
    EXPECT_EQ(Describe(""), "end:@0-0");
    EXPECT_EQ(Describe("  \t\n"), "end:@4-4");
    EXPECT_EQ(Describe("a"), "id:A@0-1 end:@1-1");
    EXPECT_EQ(Describe("sel_$#9 x"), "id:SEL_$#9@0-7 id:X@8-9 end:@9-9");
    EXPECT_EQ(Describe("x||"), "id:X@0-1 op:||@1-3 end:@3-3");
    EXPECT_EQ(Describe("x|"), "id:X@0-1 op:|@1-2 end:@2-2");
    EXPECT_EQ(Describe("a:=b=>c<>d<=e>=f!=g^=h**i..j"),
              "id:A@0-1 op::=@1-3 id:B@3-4 op:=>@4-6 id:C@6-7 op:<>@7-9 id:D@9-10 op:<=@10-12 id:E@12-13 "
              "op:>=@13-15 id:F@15-16 op:!=@16-18 id:G@18-19 op:^=@19-21 id:H@21-22 op:**@22-24 id:I@24-25 "
              "op:..@25-27 id:J@27-28 end:@28-28");
    // Numbers: a trailing exponent marker without digits is not part of one; a
    // range "1..2" is two numbers.
    EXPECT_EQ(Describe("1.5e"), "num:1.5@0-3 id:E@3-4 end:@4-4");
    EXPECT_EQ(Describe("1e+"), "num:1@0-1 id:E@1-2 op:+@2-3 end:@3-3");
    EXPECT_EQ(Describe(".5E-3 7."), "num:.5E-3@0-5 num:7.@6-8 end:@8-8");
    EXPECT_EQ(Describe("1..2"), "num:1@0-1 op:..@1-3 num:2@3-4 end:@4-4");
    EXPECT_EQ(Describe("a."), "id:A@0-1 op:.@1-2 end:@2-2");
    // Strings and binds.
    EXPECT_EQ(Describe("'it''s'''"), "str:it's'@0-9 end:@9-9");
    EXPECT_EQ(Describe("''''"), "str:'@0-4 end:@4-4");
    EXPECT_EQ(Describe("''"), "str:@0-2 end:@2-2");
    EXPECT_EQ(Describe(":b1 :\"Mixed\" :"), "bind:B1@0-3 bind:Mixed@4-12 op::@13-14 end:@14-14");
    EXPECT_EQ(Describe("\"quoted id\"\"x\""), "qid:quoted id@0-11 qid:x@11-14 end:@14-14");
    // Comments, closed or running to the end of the text.
    EXPECT_EQ(Describe("a -- note\nb -- last"), "id:A@0-1 id:B@10-11 end:@19-19");
    EXPECT_EQ(Describe("a /* x */ b /* open"), "id:A@0-1 id:B@10-11 end:@19-19");
    EXPECT_EQ(Describe("/*/ a */b"), "id:B@8-9 end:@9-9");
    EXPECT_EQ(Describe("a-b/c -"), "id:A@0-1 op:-@1-2 id:B@2-3 op:/@3-4 id:C@4-5 op:-@6-7 end:@7-7");
    EXPECT_EQ(Describe("\v\fa\r"), "id:A@2-3 end:@4-4");
}

TEST(LexerTest, ReusedTokenBuffersStartEmpty) {
    // Parsers hand their token buffers back for the next parse on the thread,
    // nested ones (an explained statement) too.
    std::string longText = "EXPLAIN PLAN SET statement_id = 'a' FOR SELECT 1";
    for (int i = 0; i < 200; ++i) longText += " + " + std::to_string(i);
    longText += " FROM dual";
    for (int round = 0; round < 3; ++round) {
        {
            Parser outer(longText);
            ASSERT_TRUE(outer.ParseStatement()->inner);
        }
        EXPECT_EQ(Describe("a"), "id:A@0-1 end:@1-1");
        Parser small("SELECT b FROM t");
        std::unique_ptr<Statement> st = small.ParseStatement();
        ASSERT_TRUE(st->select);
        EXPECT_EQ(st->select->items.size(), 1u);
        EXPECT_TRUE(small.AtEnd());
        EXPECT_EQ(small.LastEnd(), 15u);
    }
}

TEST(LexerTest, BytesBeyondAsciiAreNeitherLettersNorUpperCased) {
    // UTF-8 "é" (C3 A9): not part of an identifier, kept as is inside quotes.
    EXPECT_EQ(Describe("caf\xC3\xA9"), "id:CAF@0-3 op:\xC3@3-4 op:\xA9@4-5 end:@5-5");
    EXPECT_EQ(Describe("\"caf\xC3\xA9\" 'd\xC3\xA9j\xC3\xA0'"),
              "qid:caf\xC3\xA9@0-7 str:d\xC3\xA9j\xC3\xA0@8-16 end:@16-16");
    EXPECT_EQ(Describe(":x\xC3\xA9"), "bind:X@0-2 op:\xC3@2-3 op:\xA9@3-4 end:@4-4");
}

TEST(LexerTest, UnterminatedQuotesRaiseTheirErrors) {
    EXPECT_EQ(ErrorCode("SELECT 'abc FROM dual"), 1756);
    EXPECT_EQ(ErrorCode("'"), 1756);
    EXPECT_EQ(ErrorCode("'it''"), 1756);
    EXPECT_EQ(ErrorCode("SELECT \"abc FROM dual"), 1740);
    EXPECT_EQ(ErrorCode(":\"abc"), 1756);
    EXPECT_EQ(ErrorCode("'ok' /* 'not a string"), 0);
    EXPECT_EQ(ErrorCode("'ok' -- 'not a string"), 0);
}

TEST(ParserTest, ReservedWordsAreExactlyTheListedOnes) {
    const std::set<std::string> reserved = {
        "ALL",     "AND",   "AS",      "ASC",     "BETWEEN", "BY",     "CONNECT", "CREATE",  "DELETE", "DESC",
        "DISTINCT", "DROP", "ELSE",    "END",     "EXISTS",  "FOR",    "FROM",    "GROUP",   "HAVING", "IN",
        "INSERT",  "INTERSECT", "INTO", "IS",     "LIKE",    "MINUS",  "NOT",     "NULL",    "ON",     "OR",
        "ORDER",   "PRIOR", "SELECT",  "SET",     "START",   "THEN",   "UNION",   "UNIQUE",  "UPDATE", "VALUES",
        "WHEN",    "WHERE", "WITH",    "JOIN",    "INNER",   "LEFT",   "RIGHT",   "FULL",    "CROSS",  "NATURAL",
        "OUTER",   "USING", "NULLS",   "ESCAPE"};
    for (const std::string& w : reserved) {
        EXPECT_TRUE(Parser::IsReserved(w)) << w;
        // Near misses on either side of every word.
        EXPECT_FALSE(Parser::IsReserved(w + "S") && !reserved.count(w + "S")) << w;
        EXPECT_FALSE(Parser::IsReserved(w.substr(0, w.size() - 1)) && !reserved.count(w.substr(0, w.size() - 1)))
            << w;
    }
    for (const char* w : {"", "A", "B", "select", "LEVEL", "ROWNUM", "DUAL", "ZZZ", "INTERSECTS", "AAA", "NATURALLY"})
        EXPECT_FALSE(Parser::IsReserved(w)) << w;
}

TEST(ParserTest, ErrorsAtTheEndOfTheTextAndAfterIt) {
    EXPECT_EQ(ParseErrorCode("SELECT * FROM emp e WHERE"), 936);
    EXPECT_EQ(ParseErrorCode("SELECT a FROM"), 903);
    EXPECT_EQ(ParseErrorCode("SELECT a"), 921);
    EXPECT_EQ(ParseErrorCode("SELECT a b c FROM t"), 923);
    EXPECT_EQ(ParseErrorCode("SELECT a FROM t ORDER"), 921);
    EXPECT_EQ(ParseErrorCode("SELECT a FROM t;"), 911);
    EXPECT_EQ(ParseErrorCode("SELECT a FROM t t2 t3"), 933);
    EXPECT_EQ(ParseErrorCode("EXPLAIN PLAN SET statement_id = 'x' INTO plan_table FOR"), 900);
    EXPECT_EQ(ParseErrorCode("EXPLAIN PLAN SET statement_id = x FOR SELECT 1 FROM dual"), 1780);
    EXPECT_EQ(ParseErrorCode("EXPLAIN PLAN SET statement_id = 'x' FOR SELECT 1 FROM dual WHERE"), 936);
    EXPECT_EQ(ParseErrorCode("SELECT select FROM t"), 936);
    EXPECT_EQ(ParseErrorCode("SELECT a nulls FROM t"), 923);
    EXPECT_EQ(ParseErrorCode("SELECT a natural FROM t"), 923);
    EXPECT_EQ(ParseErrorCode("SELECT a \"NULLS\" FROM t"), 0);
    EXPECT_EQ(ParseErrorCode("SELECT a nullx FROM t"), 0);
}

TEST(ParserTest, ExplainedStatementKeepsItsOwnOffsets) {
    const std::string text = "EXPLAIN PLAN SET statement_id = 'it''s' INTO x.plan_table FOR SELECT a+1, 'b' FROM t";
    std::unique_ptr<Statement> st = Parser(text).ParseStatement();
    ASSERT_TRUE(st && st->inner);
    EXPECT_EQ(st->statementId, "it's");
    EXPECT_EQ(st->intoTable, "X.PLAN_TABLE");
    EXPECT_EQ(st->innerText, "SELECT a+1, 'b' FROM t");
    ASSERT_TRUE(st->inner->select);
    ASSERT_EQ(st->inner->select->items.size(), 2u);
    EXPECT_EQ(st->inner->select->items[0].alias, "A+1");
    EXPECT_EQ(st->inner->select->items[1].alias, "'b'");
    EXPECT_EQ(st->inner->select->items[0].expr->pos, 8u);
    EXPECT_EQ(st->inner->select->from[0].pos, 21u);
}

TEST(Md5Test, WithZeroIsTheDigestOfTheTextAndItsTerminator) {
    // Every length around the one- and two-block tails.
    std::string text;
    for (int n = 0; n <= 200; ++n) {
        EXPECT_EQ(Md5WithZero(text), Md5(text + '\0')) << n;
        text += static_cast<char>('a' + n % 26);
    }
}

TEST(SharedPoolTest, LookupsFollowAModelThroughEntersRemovalsAndFlushes) {
    SharedPool pool(7);
    std::vector<std::string> model;  // the texts in the pool's order
    std::map<std::string, std::uint64_t> addresses;
    std::mt19937 random(3);
    size_t largest = 0;
    auto textOf = [](unsigned n) {
        // Texts sharing long prefixes and differing only at the end.
        return "SELECT * FROM t WHERE id = " + std::to_string(n % 1500) + (n % 3 == 0 ? " " : "");
    };
    for (int step = 0; step < 6000; ++step) {
        const unsigned r = random();
        if (r % 10 < 7 || model.empty()) {
            const std::string text = textOf(random());
            bool created = false;
            PoolEntry& e = pool.Enter(text, created);
            auto known = std::find(model.begin(), model.end(), text);
            ASSERT_EQ(created, known == model.end()) << step;
            ASSERT_EQ(*e.text, text);
            if (created) {
                model.push_back(text);
                addresses[text] = e.address;
                ASSERT_EQ(e.textKey, SharedPool::TextKey(text));
                ASSERT_EQ(e.hashValue, SharedPool::HashText(text));
            } else {
                ASSERT_EQ(e.address, addresses[text]) << step;
            }
        } else if (r % 10 < 9) {
            const size_t index = random() % model.size();
            pool.Remove(index);
            addresses.erase(model[index]);
            model.erase(model.begin() + static_cast<long>(index));
        } else if (r % 97 == 0) {
            pool.Flush();
            model.clear();
            addresses.clear();
        }
        ASSERT_EQ(pool.Size(), model.size());
        largest = std::max(largest, model.size());
    }
    // Grown through several resizes of the index, and still well filled.
    ASSERT_GT(largest, 500u);
    ASSERT_GT(model.size(), 200u);
    std::set<std::uint64_t> distinct;
    for (size_t i = 0; i < model.size(); ++i) {
        PoolEntry* e = pool.Find(model[i]);
        ASSERT_TRUE(e) << i;
        EXPECT_EQ(e, &pool.Entries()[i]);
        EXPECT_EQ(e->address, addresses[model[i]]);
        distinct.insert(e->address);
    }
    EXPECT_EQ(distinct.size(), model.size());
    EXPECT_EQ(pool.Find("SELECT * FROM t WHERE id = "), nullptr);
    EXPECT_EQ(pool.Find(""), nullptr);
}

TEST(SharedPoolTest, SnapshotsAndFlushKeepWhatTheyHad) {
    SharedPool pool;
    bool created;
    pool.Enter("SELECT 1 FROM dual", created);
    PoolSnapshot before = pool.Snapshot();
    pool.Enter("SELECT 2 FROM dual", created);
    EXPECT_TRUE(created);
    EXPECT_EQ(before->size(), 1u);
    EXPECT_EQ(pool.Size(), 2u);
    pool.Flush();
    EXPECT_EQ(before->size(), 1u);
    EXPECT_EQ(*(*before)[0].text, "SELECT 1 FROM dual");
    EXPECT_EQ(pool.Find("SELECT 1 FROM dual"), nullptr);
    // Entered again after the flush: a new entry, at the start of the pool.
    PoolEntry& again = pool.Enter("SELECT 1 FROM dual", created);
    EXPECT_TRUE(created);
    EXPECT_EQ(pool.Size(), 1u);
    EXPECT_EQ(&again, pool.Find("SELECT 1 FROM dual"));
    EXPECT_NE(again.address, 0u);
}

TEST(SharedPoolTest, AddReplacesByTextAndKeepsAddressesUnique) {
    SharedPool pool(11);
    PoolEntry a;
    a.text = std::make_shared<const std::string>("SELECT a FROM t");
    a.address = 0x1000;
    a.executions = 5;
    pool.Add(a);
    PoolEntry again;
    again.text = std::make_shared<const std::string>("SELECT a FROM t");
    again.address = 0x2000;
    again.executions = 9;
    pool.Add(again);
    ASSERT_EQ(pool.Size(), 1u);
    EXPECT_EQ(pool.View()[0].address, 0x2000u);
    EXPECT_EQ(pool.View()[0].executions, 9.0);
    // Entries of their own get addresses unlike the ones given.
    std::set<std::uint64_t> seen = {0x2000};
    for (int i = 0; i < 2000; ++i) {
        bool created;
        PoolEntry& e = pool.Enter("SELECT " + std::to_string(i) + " FROM dual", created);
        EXPECT_TRUE(seen.insert(e.address).second) << i;
    }
}
