// The set an IN subquery builds of its texts, the order a view hands its rows
// in, and ORDER BY over rows that come in order already.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ocisim/engine/Evaluator.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

TEST(InSetOrderTest, TextSetAgreesWithAnOrderedSetThroughItsGrowth) {
    std::mt19937 random(7);
    TextSet set;
    std::set<std::string> model;
    std::vector<std::string> firstSeen;
    EXPECT_TRUE(set.Empty());
    EXPECT_FALSE(set.Contains(""));
    auto text = [&](int i) {
        // Shared prefixes, lengths 0 to 40, some equal after many others.
        switch (i % 4) {
            case 0: return std::string(static_cast<size_t>(i % 41), 'a');
            case 1: return "0000000060" + std::to_string(random() % 5000);
            case 2: return std::string("SELECT ") + std::to_string(i % 997);
            default: return std::string(1, static_cast<char>(random() % 256));
        }
    };
    for (int i = 0; i < 20000; ++i) {
        const std::string t = text(i);
        set.Insert(t);
        if (model.insert(t).second) firstSeen.push_back(t);
        if (i % 1000 == 0) {
            ASSERT_EQ(set.Size(), model.size()) << i;
        }
    }
    EXPECT_EQ(set.Size(), model.size());
    for (const std::string& t : model) ASSERT_TRUE(set.Contains(t)) << t;
    for (int i = 0; i < 5000; ++i) {
        const std::string probe = "0000000061" + std::to_string(i) + "x";
        EXPECT_EQ(set.Contains(probe), model.count(probe) == 1) << probe;
    }
    EXPECT_FALSE(set.Contains(std::string(41, 'a')));
    EXPECT_TRUE(set.Contains(std::string("\0", 1)) == (model.count(std::string("\0", 1)) == 1));
    std::vector<std::string> order;
    set.ForEach([&](std::string_view t) { order.emplace_back(t); });
    EXPECT_EQ(order, firstSeen);
}

TEST(InSetOrderTest, InSubqueriesOverTextsAnswerAsBefore) {
    auto server = ServerFor("user SCOTT id=54 password=TIGER privileges=catalog plan-table\n");
    auto scott = Logon(*server, "SCOTT", "TIGER");
    RunSql(*scott, "CREATE TABLE t (k NUMBER, v VARCHAR2(20))");
    RunSql(*scott, "CREATE TABLE s (v VARCHAR2(20))");
    const char* rows[] = {"1, 'a'", "2, 'b'", "3, NULL", "4, '5'", "5, 'a '", "6, ''"};
    for (const char* r : rows) RunSql(*scott, std::string("INSERT INTO t VALUES (") + r + ")");
    for (const char* v : {"'a'", "'5'", "'a'", "'zz'"}) RunSql(*scott, std::string("INSERT INTO s VALUES (") + v + ")");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT k FROM t WHERE v IN (SELECT v FROM s) ORDER BY k")),
              (std::vector<std::string>{"1", "4"}));
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT k FROM t WHERE v NOT IN (SELECT v FROM s) ORDER BY k")),
              (std::vector<std::string>{"2", "5"}));
    // A number against texts: each text converted, and one that is no number fails.
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT COUNT(*) FROM t WHERE k IN (SELECT v FROM s WHERE v = '5')")),
              std::vector<std::string>{"1"});
    Result bad = RunSql(*scott, "SELECT COUNT(*) FROM t WHERE k IN (SELECT v FROM s)");
    EXPECT_EQ(bad.error.code + bad.fetchError.code, 1722);
    // A NULL in the set: NOT IN is never true.
    RunSql(*scott, "INSERT INTO s VALUES (NULL)");
    EXPECT_TRUE(Texts(RunSql(*scott, "SELECT k FROM t WHERE v NOT IN (SELECT v FROM s)")).empty());
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT k FROM t WHERE v IN ('b', 'a ', 'q') ORDER BY k")),
              (std::vector<std::string>{"2", "5"}));
}

TEST(InSetOrderTest, SqlTextRowsComeByAddressAndSortedReadsStayStable) {
    auto server = ServerFor(
        "user SCOTT id=54 password=TIGER privileges=catalog plan-table\n"
        "statement user=SCOTT command=3 address=00000000F0000000 text=\"SELECT 1 FROM dual\"\n"
        "statement user=SCOTT command=3 address=0000000010000000 text=\"" + std::string(150, 'b') + "\"\n"
        "statement user=SCOTT command=3 address=00000000A0000000 text=\"SELECT 3 FROM dual\"\n");
    auto scott = Logon(*server, "SCOTT", "TIGER");
    const std::string query = "SELECT address, piece FROM sys.v_$sqltext_with_newlines WHERE address LIKE '%0000000'";
    const std::vector<std::string> expected = {"0000000010000000|0", "0000000010000000|1", "0000000010000000|2",
                                               "00000000A0000000|0", "00000000F0000000|0"};
    EXPECT_EQ(Texts(RunSql(*scott, query)), expected);
    EXPECT_EQ(Texts(RunSql(*scott, query + " ORDER BY address, piece")), expected);
    std::vector<std::string> descending = expected;
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(Texts(RunSql(*scott, query + " ORDER BY address DESC, piece DESC")), descending);

    // Equal keys keep the order they were read in, sorted already or not.
    RunSql(*scott, "CREATE TABLE o (k NUMBER, v VARCHAR2(5))");
    for (const char* r : {"1, 'x'", "1, 'b'", "2, 'a'", "2, 'c'", "3, 'a'"})
        RunSql(*scott, std::string("INSERT INTO o VALUES (") + r + ")");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT v FROM o ORDER BY k")),
              (std::vector<std::string>{"x", "b", "a", "c", "a"}));
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT v FROM o ORDER BY k DESC")),
              (std::vector<std::string>{"a", "a", "c", "x", "b"}));
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT k FROM o ORDER BY v, k DESC")),
              (std::vector<std::string>{"3", "2", "1", "2", "1"}));
}

}  // namespace
