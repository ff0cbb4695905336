// The server's parsed-statement cache: kept trees are never bound, errors are not
// kept, DDL drops what names the object, the least recently used make room, and
// a server answers the same with the cache as without it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <thread>

#include "TestSupport.h"
#include "ocisim/engine/Errors.h"
#include "ocisim/engine/Evaluator.h"
#include "ocisim/engine/ParseCache.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

int ErrorCode(const std::function<void()>& call) {
    try {
        call();
    } catch (const OraException& e) {
        return e.error.code;
    }
    return 0;
}

TEST(ParseCacheTest, KeepsFromTheSecondParseAndHandsOutIndependentTrees) {
    ParseCache cache;
    const std::string sql = "SELECT ename FROM emp WHERE deptno = :d";
    std::unique_ptr<Statement> first = cache.ParseStatement(sql, "SCOTT");
    EXPECT_EQ(cache.GetCounts().entries, 0u);  // a text parsed once costs no copy
    std::unique_ptr<Statement> second = cache.ParseStatement(sql, "SCOTT");
    EXPECT_EQ(cache.GetCounts().entries, 1u);
    // What a caller does to its tree (binding, moving parts out) never reaches the
    // kept one.
    second->select->where->depth = 0;
    second->select->where->args.clear();
    std::unique_ptr<Select> taken = std::move(second->select);
    const std::size_t hitsBefore = cache.GetCounts().hits;
    std::unique_ptr<Statement> third = cache.ParseStatement(sql, "SCOTT");
    EXPECT_EQ(cache.GetCounts().hits, hitsBefore + 1);
    ASSERT_TRUE(third->select);
    ASSERT_EQ(third->select->where->args.size(), 2u);
    EXPECT_EQ(third->select->where->depth, -1);
    EXPECT_EQ(third->select->where->args[1]->kind, Expr::Kind::Bind);
    EXPECT_EQ(third->select->items.size(), first->select->items.size());
    EXPECT_EQ(third->select->from[0].name, "EMP");

    // Another schema's parse is an entry of its own.
    cache.ParseStatement(sql, "HR");
    cache.ParseStatement(sql, "HR");
    EXPECT_EQ(cache.GetCounts().entries, 2u);

    // EXPLAIN PLAN keeps its explained statement.
    const std::string explain = "EXPLAIN PLAN SET statement_id = 'x' FOR SELECT 1 FROM dual WHERE 2 > 1";
    cache.ParseStatement(explain, "SCOTT");
    std::unique_ptr<Statement> kept = cache.ParseStatement(explain, "SCOTT");
    std::unique_ptr<Statement> again = cache.ParseStatement(explain, "SCOTT");
    ASSERT_TRUE(again->inner);
    EXPECT_EQ(again->innerText, "SELECT 1 FROM dual WHERE 2 > 1");
    EXPECT_EQ(again->inner->select->where->op, ">");
    EXPECT_EQ(again->statementId, "x");
}

TEST(ParseCacheTest, ErrorsAreRaisedEveryTimeAndNeverKept) {
    ParseCache cache;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ErrorCode([&] { cache.ParseStatement("SELECT FROM emp", "SCOTT"); }), 936);
        EXPECT_EQ(ErrorCode([&] { cache.ParseStatement("SELECT 'open FROM dual", "SCOTT"); }), 1756);
    }
    EXPECT_EQ(cache.GetCounts().entries, 0u);

    // An expression followed by more text: an error where the whole text must be
    // the expression, a tree where only its start is read.
    EXPECT_EQ(ErrorCode([&] { cache.ParseExpression("a + 1 b", true); }), 933);
    ExprPtr start = cache.ParseExpression("a + 1 b", false);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->kind, Expr::Kind::Arith);
    EXPECT_EQ(ErrorCode([&] { cache.ParseExpression("a + 1 b", true); }), 933);
    EXPECT_EQ(cache.ParseExpression("a + 1 b", false)->op, "+");
}

TEST(ParseCacheTest, DdlOnAnObjectDropsTheStatementsNamingItAndTheOldestMakeRoom) {
    ParseCache cache(3);
    auto keep = [&](const std::string& sql) {
        cache.ParseStatement(sql, "SCOTT");
        cache.ParseStatement(sql, "SCOTT");
    };
    keep("SELECT * FROM emp");
    keep("SELECT * FROM dept d WHERE EXISTS (SELECT 1 FROM emp e WHERE e.deptno = d.deptno)");
    keep("SELECT * FROM salgrade");
    ASSERT_EQ(cache.GetCounts().entries, 3u);
    cache.Invalidate("EMP");
    EXPECT_EQ(cache.GetCounts().entries, 1u);
    EXPECT_EQ(cache.GetCounts().invalidated, 2u);
    cache.Invalidate("BONUS");
    EXPECT_EQ(cache.GetCounts().entries, 1u);

    keep("SELECT 1 FROM dual");
    keep("SELECT 2 FROM dual");
    // Used now, so the oldest is "SELECT 1".
    const std::size_t hits = cache.GetCounts().hits;
    cache.ParseStatement("SELECT * FROM salgrade", "SCOTT");
    EXPECT_EQ(cache.GetCounts().hits, hits + 1);
    keep("SELECT 3 FROM dual");
    EXPECT_EQ(cache.GetCounts().entries, 3u);
    const std::size_t misses = cache.GetCounts().misses;
    cache.ParseStatement("SELECT 1 FROM dual", "SCOTT");
    EXPECT_EQ(cache.GetCounts().misses, misses + 1);
    cache.ParseStatement("SELECT * FROM salgrade", "SCOTT");
    EXPECT_EQ(cache.GetCounts().misses, misses + 1);

    cache.Clear();
    EXPECT_EQ(cache.GetCounts().entries, 0u);
}

TEST(ParseCacheTest, QueryTreesComeBackUnboundAndAreHandedOutAgain) {
    ParseCache cache;
    const std::string sql =
        "SELECT ename, SYSDATE FROM emp e WHERE deptno IN (SELECT deptno FROM dept) "
        "AND sal > (SELECT AVG(sal) FROM emp) ORDER BY ename";
    cache.ParseStatement(sql, "SCOTT");
    std::unique_ptr<Statement> kept = cache.ParseStatement(sql, "SCOTT");
    ASSERT_TRUE(kept->shelf);
    Select* tree = kept->select.get();
    // What binding does to a tree: names resolved, a bare SYSDATE made a function,
    // the subqueries' caches made.
    Expr& sysdate = *tree->items[1].expr;
    ASSERT_EQ(sysdate.kind, Expr::Kind::Name);
    sysdate.kind = Expr::Kind::Function;
    sysdate.column = 7;
    tree->items[0].expr->depth = 0;
    tree->items[0].expr->source = 0;
    tree->items[0].expr->column = 1;
    Expr& in = *tree->where->args[0];
    ASSERT_EQ(in.kind, Expr::Kind::InSubquery);
    in.inSet = std::make_shared<InSet>();
    in.correlated = true;
    Expr& scalar = *tree->where->args[1]->args[1];
    ASSERT_EQ(scalar.kind, Expr::Kind::ScalarSubquery);
    scalar.scalarCache = std::make_shared<std::vector<Value>>();
    scalar.sub->items[0].expr->aggregateIndex = 0;

    kept->shelf->GiveBack(std::move(kept->select));
    EXPECT_EQ(kept->shelf->Spare(), 1u);
    std::unique_ptr<Statement> again = cache.ParseStatement(sql, "SCOTT");
    EXPECT_EQ(cache.GetCounts().reused, 1u);
    ASSERT_EQ(again->select.get(), tree);
    EXPECT_EQ(kept->shelf->Spare(), 0u);
    EXPECT_EQ(again->select->items[1].expr->kind, Expr::Kind::Name);
    EXPECT_EQ(again->select->items[1].expr->column, -1);
    EXPECT_EQ(again->select->items[0].expr->depth, -1);
    EXPECT_EQ(again->select->items[0].expr->source, -1);
    EXPECT_FALSE(again->select->where->args[0]->inSet);
    EXPECT_FALSE(again->select->where->args[0]->correlated);
    EXPECT_FALSE(again->select->where->args[1]->args[1]->scalarCache);
    EXPECT_EQ(again->select->where->args[1]->args[1]->sub->items[0].expr->aggregateIndex, -1);
    EXPECT_EQ(again->select->orderBy.size(), 1u);
    // With none spare, a copy as before.
    std::unique_ptr<Statement> third = cache.ParseStatement(sql, "SCOTT");
    EXPECT_NE(third->select.get(), tree);
    EXPECT_EQ(cache.GetCounts().reused, 1u);

    // A tree whose shape binding changed is dropped, not handed out.
    third->select->items.pop_back();
    third->shelf->GiveBack(std::move(third->select));
    EXPECT_EQ(again->shelf->Spare(), 0u);

    // A select list with * is rewritten by binding: such a query has no shelf, and
    // neither has anything but a query.
    for (const char* other : {"SELECT * FROM emp", "SELECT x FROM (SELECT e.* FROM emp e)",
                              "DELETE emp WHERE deptno = 10"}) {
        cache.ParseStatement(other, "SCOTT");
        EXPECT_FALSE(cache.ParseStatement(other, "SCOTT")->shelf) << other;
    }
    // The kept tree outlives the cache that kept it.
    std::shared_ptr<SelectShelf> shelf = again->shelf;
    cache.Clear();
    shelf->GiveBack(std::move(again->select));
    EXPECT_EQ(shelf->Spare(), 1u);
}

// The rows and errors of a script, each statement run twice so that the second
// run works on a kept tree.
std::vector<std::string> RunScript(bool cache) {
    setenv("CORVID_SIM_PARSE_CACHE", cache ? "1" : "0", 1);
    std::shared_ptr<Server> server = ServerFor(
        "user SCOTT id=54 password=TIGER privileges=catalog,create-procedure plan-table\n"
        "table SCOTT.EMP rows=14 columns=\"EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), DEPTNO NUMBER(2)\"\n");
    unsetenv("CORVID_SIM_PARSE_CACHE");
    std::unique_ptr<Session> scott = Logon(*server, "SCOTT", "TIGER");
    const char* script[] = {
        "CREATE TABLE t (a NUMBER, b VARCHAR2(10))",
        "INSERT INTO t VALUES (1, 'one')",
        "INSERT INTO t VALUES (2, 'two')",
        "SELECT b, a FROM t WHERE a > 1 ORDER BY a",
        "SELECT COUNT(*) FROM t t1 WHERE EXISTS (SELECT 1 FROM t t2 WHERE t2.a = t1.a)",
        // The same text over a table of other columns: a tree bound to the old one
        // would read the wrong column or none.
        "DROP TABLE t",
        "SELECT b, a FROM t WHERE a > 1 ORDER BY a",
        "CREATE TABLE t (c DATE, b VARCHAR2(10), a NUMBER)",
        "INSERT INTO t (a, b) VALUES (5, 'five')",
        "SELECT b, a FROM t WHERE a > 1 ORDER BY a",
        "BEGIN NULL; END;",
        "SELECT FROM t",
        "UPDATE t SET b = b || 'x' WHERE a = 5",
        "SELECT b FROM t",
    };
    std::vector<std::string> out;
    for (const char* sql : script) {
        Result r = RunSql(*scott, sql);
        out.push_back(std::string(sql) + " -> " + r.error.message + r.fetchError.message);
        for (const std::string& row : Texts(r)) out.push_back("  " + row);
        if (std::string(sql).rfind("SELECT", 0) == 0) {
            Result again = RunSql(*scott, sql);
            out.push_back("again -> " + again.error.message + again.fetchError.message);
            for (const std::string& row : Texts(again)) out.push_back("  " + row);
        }
    }
    return out;
}

TEST(ParseCacheTest, ServerAnswersTheSameWithAndWithoutTheCache) {
    const std::vector<std::string> without = RunScript(false);
    const std::vector<std::string> with = RunScript(true);
    EXPECT_EQ(with, without);
    // The script did reach the rows it is about.
    EXPECT_NE(std::find(with.begin(), with.end(), "  five|5"), with.end());
    EXPECT_NE(std::find(with.begin(), with.end(), "  fivex"), with.end());
}

// Queries run again and again while what they read changes, each time on a tree an
// earlier execute bound: a cache or binding left over from that execute shows here.
std::vector<std::string> RunRepeatedQueries(bool cache) {
    setenv("CORVID_SIM_PARSE_CACHE", cache ? "1" : "0", 1);
    std::shared_ptr<Server> server = ServerFor(
        "user SCOTT id=54 password=TIGER privileges=catalog,create-procedure plan-table\n");
    unsetenv("CORVID_SIM_PARSE_CACHE");
    std::unique_ptr<Session> scott = Logon(*server, "SCOTT", "TIGER");
    const char* queries[] = {
        "SELECT a, b FROM t WHERE a IN (SELECT k FROM keys) ORDER BY a",
        "SELECT a FROM t WHERE a > (SELECT MAX(k) FROM keys) ORDER BY 1",
        "SELECT COUNT(*), SUM(a) FROM t t1 WHERE NOT EXISTS (SELECT 1 FROM keys WHERE k = t1.a)",
        "SELECT b, COUNT(*) n FROM t GROUP BY b HAVING COUNT(*) > 0 ORDER BY n DESC, b",
        "SELECT v.a FROM (SELECT a FROM t WHERE a < 4) v ORDER BY v.a",
        "SELECT a FROM t WHERE a IN (1, 2) UNION SELECT k FROM keys ORDER BY 1",
        "SELECT LPAD(' ', 2 * (LEVEL - 1)) || a FROM t START WITH a = 1 CONNECT BY PRIOR a = p",
        "SELECT USER, a FROM t WHERE ROWNUM <= 2 ORDER BY a",
    };
    std::vector<std::string> out;
    auto run = [&](const std::string& sql, std::vector<Bind> binds = {}) {
        Result r = RunSql(*scott, sql, std::move(binds));
        out.push_back(sql + " -> " + r.error.message + r.fetchError.message);
        for (const std::string& row : Texts(r)) out.push_back("  " + row);
    };
    RunSql(*scott, "CREATE TABLE t (a NUMBER, b VARCHAR2(10), p NUMBER)");
    RunSql(*scott, "CREATE TABLE keys (k NUMBER)");
    for (int round = 0; round < 5; ++round) {
        const std::string n = std::to_string(round + 1);
        RunSql(*scott, "INSERT INTO t VALUES (" + n + ", 'b" + std::to_string(round % 2) + "', " +
                           std::to_string(round) + ")");
        if (round % 2 == 0) RunSql(*scott, "INSERT INTO keys VALUES (" + n + ")");
        for (const char* sql : queries) run(sql);
        Bind low;
        low.name = round % 2 ? ":hi" : ":lo";
        low.value = Value::Num(round);
        run(round % 2 ? "SELECT a FROM t WHERE a < :hi ORDER BY a" : "SELECT a FROM t WHERE a > :lo ORDER BY a",
            {low});
        Bind wrong;
        wrong.name = ":other";
        wrong.value = Value::Num(1);
        run("SELECT a FROM t WHERE a > :lo ORDER BY a", {wrong});
        if (round == 2) {
            // Other columns under the same names: the kept statements go, and a tree
            // handed back from before must not come again.
            RunSql(*scott, "DROP TABLE keys");
            for (const char* sql : queries) run(sql);
            RunSql(*scott, "CREATE TABLE keys (z DATE, k NUMBER)");
            RunSql(*scott, "INSERT INTO keys (k) VALUES (2)");
        }
    }
    return out;
}

TEST(ParseCacheTest, QueriesBoundAgainAnswerAsFreshlyParsedOnes) {
    const std::vector<std::string> without = RunRepeatedQueries(false);
    const std::vector<std::string> with = RunRepeatedQueries(true);
    EXPECT_EQ(with, without);
    // The script reached rows, errors and the changes it is about.
    EXPECT_NE(std::find(with.begin(), with.end(), "  3|b0"), with.end());
    EXPECT_NE(std::find(with.begin(), with.end(), "  SCOTT|1"), with.end());
    EXPECT_NE(std::find_if(with.begin(), with.end(),
                           [](const std::string& line) { return line.find("ORA-00942") != std::string::npos; }),
              with.end());
    EXPECT_NE(std::find_if(with.begin(), with.end(),
                           [](const std::string& line) { return line.find("ORA-01008") != std::string::npos; }),
              with.end());
}

// Rows are released on the client's thread, outside the server's lock, while other
// sessions execute the same texts: every answer stays its own.
TEST(ParseCacheTest, TreesComeBackFromSessionsOnSeveralThreads) {
    auto server = ServerFor(
        "user SCOTT id=54 password=TIGER privileges=catalog plan-table\n"
        "user BOSS id=60 password=BOSS privileges=catalog plan-table\n"
        "table SCOTT.EMP columns=\"EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), DEPTNO NUMBER(2)\"\n"
        "grant SCOTT.EMP to BOSS\n");
    {
        auto owner = Logon(*server, "SCOTT", "TIGER");
        for (int i = 1; i <= 200; ++i) RunSql(*owner, "INSERT INTO emp VALUES (" + std::to_string(i) + ", 'e', 10)");
        owner->Commit();
    }
    auto worker = [&](const char* user, const char* password, int offset, int& wrong) {
        auto s = Logon(*server, user, password);
        for (int i = 0; i < 300; ++i) {
            const int low = (i + offset) % 150;
            Result r = RunSql(*s, "SELECT COUNT(*) FROM scott.emp WHERE ROWNUM <= 200 - :lo AND empno IN "
                                  "(SELECT empno FROM scott.emp)",
                              {Bind{"lo", Value::Num(low), false}});
            if (r.error.IsError() || r.fetchError.IsError() ||
                Texts(r) != std::vector<std::string>{std::to_string(200 - low)}) {
                if (wrong++ == 0) ADD_FAILURE() << r.error.message << r.fetchError.message << (Texts(r).empty() ? "" : Texts(r)[0]);
            }
        }
    };
    int a = 0, b = 0;
    std::thread t1(worker, "SCOTT", "TIGER", 0, std::ref(a));
    std::thread t2(worker, "BOSS", "BOSS", 7, std::ref(b));
    t1.join();
    t2.join();
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0);
}

}  // namespace
