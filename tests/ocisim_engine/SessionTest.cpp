// Sessions: describe-only executes, hierarchical queries over the plan table,
// and sessions used from several threads at once.

#include <gtest/gtest.h>

#include <thread>

#include "TestSupport.h"

using namespace ocisim;
using namespace ocisim::test;

TEST(SessionTest, DescribeOnlyDescribesWithoutRunning) {
    auto server = DemoServer();
    auto scott = Logon(*server, "SCOTT", "TIGER");
    std::vector<Bind> none;
    ExecResult r = scott->Execute("SELECT s.address, s.executions, s.first_load_time FROM sys.v_$sqlarea s", none, true);
    ASSERT_FALSE(r.error.IsError()) << r.error.message;
    EXPECT_FALSE(r.rows);
    ASSERT_EQ(r.columns.size(), 3u);
    EXPECT_EQ(r.columns[0].name, "ADDRESS");
    EXPECT_EQ(static_cast<int>(r.columns[0].type), 23);
    EXPECT_EQ(r.columns[1].type, ColumnType::Number);
    EXPECT_EQ(r.columns[2].size, 19);
}

TEST(SessionTest, DroppedUserCannotLogOnAndIsNotListed) {
    auto server = DemoServer();
    OraError error;
    EXPECT_FALSE(server->Logon("", "LEGACY", "LEGACY", LogonMode::Normal, error));
    EXPECT_EQ(error.code, 1017);
    auto scott = Logon(*server, "SCOTT", "TIGER");
    Result users = RunSql(*scott, "SELECT COUNT(*) FROM all_users WHERE username IN ('LEGACY', 'ETL_OLD', 'SCOTT')");
    EXPECT_EQ(Texts(users), std::vector<std::string>{"1"});
    Result pool = RunSql(*scott, "SELECT COUNT(*) FROM sys.v_$sqlarea WHERE parsing_user_id IN (48, 66)");
    EXPECT_EQ(Texts(pool), std::vector<std::string>{"3"});
}

TEST(SessionTest, HierarchicalQueryWalksTheTree) {
    auto server = DemoServer();
    auto scott = Logon(*server, "SCOTT", "TIGER");
    Result r = RunSql(*scott, "SELECT LPAD(' ', 2 * (LEVEL - 1)) || ename, ROWNUM FROM emp START WITH mgr IS NULL "
                              "CONNECT BY PRIOR empno = mgr");
    ASSERT_FALSE(r.error.IsError()) << r.error.message;
    std::vector<std::string> rows = Texts(r);
    ASSERT_EQ(rows.size(), 14u);
    EXPECT_EQ(rows[0], "KING|1");
    EXPECT_EQ(rows[1], "  JONES|2");
    EXPECT_EQ(rows[2], "    SCOTT|3");
    EXPECT_EQ(rows[3], "      ADAMS|4");
}

// The children of a row are looked up by the PRIOR column when the condition
// starts with that equality; written the other way round, every row is tried. Both
// must give the same rows, NULL parents, shared ids and cycles included.
TEST(SessionTest, HierarchicalQueryGivesTheSameRowsWithAndWithoutTheChildLookup) {
    auto server = DemoServer();
    auto scott = Logon(*server, "SCOTT", "TIGER");
    const char* rows[] = {"'a', 0, NULL, 'SELECT STATEMENT'", "'a', 1, 0, 'HASH JOIN'", "'b', 0, NULL, 'DELETE'",
                          "'a', 2, 1, 'TABLE ACCESS'",       "'b', 1, 0, 'TABLE ACCESS'", "'a', 3, 1, 'INDEX'",
                          "'a', 4, NULL, 'ORPHAN'",          "'a', 5, 3, 'SORT'",        "'a', 1, 0, 'TWIN'"};
    for (const char* values : rows) {
        Result r = RunSql(*scott, std::string("INSERT INTO plan_table (statement_id, id, parent_id, operation) VALUES (") +
                                      values + ")");
        ASSERT_FALSE(r.error.IsError()) << r.error.message;
    }
    const std::string select = "SELECT LEVEL, statement_id, id, operation FROM plan_table START WITH id = 0 ";
    for (const char* id : {"'a'", "'b'"}) {
        Result indexed = RunSql(*scott, select + "AND statement_id = " + id +
                                            " CONNECT BY PRIOR id = parent_id AND statement_id = " + id);
        Result reversed = RunSql(*scott, select + "AND statement_id = " + id +
                                             " CONNECT BY parent_id = PRIOR id AND statement_id = " + id);
        Result scanned = RunSql(*scott, select + "AND statement_id = " + id + " CONNECT BY statement_id = " + id +
                                            " AND PRIOR id = parent_id");
        ASSERT_FALSE(indexed.error.IsError() || scanned.error.IsError()) << indexed.error.message;
        EXPECT_EQ(Texts(indexed), Texts(scanned));
        EXPECT_EQ(Texts(reversed), Texts(scanned));
    }
    Result a = RunSql(*scott, select + "AND statement_id = 'a' CONNECT BY PRIOR id = parent_id AND statement_id = 'a'");
    EXPECT_EQ(Texts(a), (std::vector<std::string>{"1|a|0|SELECT STATEMENT", "2|a|1|HASH JOIN", "3|a|2|TABLE ACCESS",
                                                  "3|a|3|INDEX", "4|a|5|SORT", "2|a|1|TWIN", "3|a|2|TABLE ACCESS",
                                                  "3|a|3|INDEX", "4|a|5|SORT"}));
    // Without the statement id the two trees mix, and a row that is its own child loops.
    Result mixed = RunSql(*scott, select + "CONNECT BY PRIOR id = parent_id");
    Result mixedScan = RunSql(*scott, select + "CONNECT BY 1 = 1 AND PRIOR id = parent_id");
    EXPECT_EQ(Texts(mixed), Texts(mixedScan));
    RunSql(*scott, "INSERT INTO plan_table (statement_id, id, parent_id, operation) VALUES ('c', 7, 7, 'LOOP')");
    Result loop = RunSql(*scott, "SELECT id FROM plan_table START WITH id = 7 CONNECT BY PRIOR id = parent_id");
    EXPECT_EQ(loop.fetchError.code + loop.error.code, 1436);
    // A text column holding numbers: compared as numbers, every row tried.
    ASSERT_FALSE(RunSql(*scott, "CREATE TABLE tree (id NUMBER, parent VARCHAR2(10))").error.IsError());
    RunSql(*scott, "INSERT INTO tree VALUES (1, NULL)");
    RunSql(*scott, "INSERT INTO tree VALUES (2, '1')");
    RunSql(*scott, "INSERT INTO tree VALUES (3, '01')");
    Result tree = RunSql(*scott, "SELECT LEVEL, id FROM tree START WITH parent IS NULL CONNECT BY PRIOR id = parent");
    EXPECT_EQ(Texts(tree), (std::vector<std::string>{"1|1", "2|2", "2|3"}));
    RunSql(*scott, "INSERT INTO tree VALUES (4, 'x')");
    Result bad = RunSql(*scott, "SELECT LEVEL, id FROM tree START WITH parent IS NULL CONNECT BY PRIOR id = parent");
    EXPECT_EQ(bad.fetchError.code + bad.error.code, 1722);
    scott->Rollback();
    RunSql(*scott, "DROP TABLE tree");
}

TEST(SessionTest, SessionsOnSeveralThreads) {
    auto server = ServerFor(
        "user SCOTT id=54 password=TIGER privileges=catalog,create-procedure plan-table\n"
        "user BOSS id=60 password=BOSS privileges=catalog plan-table\n"
        "template users=SCOTT,BOSS text=\"SELECT {int:1:100000000} FROM dual\"\ngenerate count=2000\n"
        "workload new=2 touched=20\n");
    auto worker = [&](const char* user, const char* password, size_t& total) {
        auto s = Logon(*server, user, password);
        for (int i = 0; i < 20; ++i) {
            Result r = RunSql(*s, "/* $CORVID$ */ SELECT t.address, t.sql_text FROM sys.v_$sqltext_with_newlines t "
                                  "WHERE t.address IN (SELECT s.address FROM sys.v_$sqlarea s WHERE "
                                  "s.sql_text NOT LIKE '%/* $CORVID$ */%') ORDER BY address, piece");
            EXPECT_FALSE(r.error.IsError() || r.fetchError.IsError());
            total += r.rows.size();
            RunSql(*s, "EXPLAIN PLAN SET statement_id = 'x' FOR SELECT * FROM dual");
            RunSql(*s, "DELETE plan_table");
            s->Commit();
        }
    };
    size_t a = 0, b = 0;
    std::thread t1(worker, "SCOTT", "TIGER", std::ref(a));
    std::thread t2(worker, "BOSS", "BOSS", std::ref(b));
    t1.join();
    t2.join();
    EXPECT_GE(a, 20u * 2000u);
    EXPECT_GE(b, 20u * 2000u);
}

TEST(SessionTest, AnotherUsersTableChangesOnlyWithTheGrantOfThatChange) {
    auto server = ServerFor(
        "user APP id=70 password=APP\nuser READER id=71 password=READER\nuser NOBODY id=72 password=NOBODY\n"
        "table APP.T columns=\"ID NUMBER\"\nrow APP.T values=\"1\"\ngrant APP.T to READER\n");
    auto reader = Logon(*server, "READER", "READER");
    auto nobody = Logon(*server, "NOBODY", "NOBODY");
    auto app = Logon(*server, "APP", "APP");
    // A grant line lets READER read the table, not change it: updates once went through.
    EXPECT_EQ(Texts(RunSql(*reader, "SELECT id FROM app.t")), std::vector<std::string>{"1"});
    for (const char* change : {"UPDATE app.t SET id = 2", "DELETE FROM app.t", "INSERT INTO app.t VALUES (3)",
                               "CREATE INDEX t_id ON app.t(id)", "ANALYZE TABLE app.t COMPUTE STATISTICS",
                               "TRUNCATE TABLE app.t", "DROP TABLE app.t"}) {
        EXPECT_EQ(RunSql(*reader, change).error.code, 1031) << change;
        EXPECT_EQ(RunSql(*nobody, change).error.code, 942) << change;
    }
    // Privileges are reserved words: GRANT SELECT/UPDATE once failed with ORA-00990.
    ASSERT_FALSE(RunSql(*app, "GRANT SELECT, UPDATE ON t TO reader").error.IsError());
    EXPECT_EQ(RunSql(*reader, "UPDATE app.t SET id = 2").rowsProcessed, 1u);
    EXPECT_EQ(RunSql(*reader, "DELETE FROM app.t").error.code, 1031);
    ASSERT_FALSE(RunSql(*app, "GRANT ALL PRIVILEGES ON t TO PUBLIC").error.IsError());
    EXPECT_EQ(RunSql(*app, "GRANT EVERYTHING ON t TO PUBLIC").error.code, 990);
    EXPECT_EQ(RunSql(*nobody, "DELETE FROM app.t").rowsProcessed, 1u);
}

TEST(SessionTest, PlSqlStringsStopAt32767Bytes) {
    auto server = DemoServer();
    auto scott = Logon(*server, "SCOTT", "TIGER");
    std::vector<Bind> binds(2);
    binds[0].name = "LEN";
    binds[1].name = "E";
    // Strings once grew without limit; Oracle raises ORA-06502 and keeps the old value.
    ExecResult r = scott->Execute(
        "DECLARE x VARCHAR2(32767); BEGIN x := RPAD('a', 32767, 'a'); x := x || 'b'; :len := 0; "
        "EXCEPTION WHEN OTHERS THEN :len := LENGTH(x); :e := SQLERRM; END;",
        binds, false);
    ASSERT_FALSE(r.error.IsError()) << r.error.message;
    EXPECT_EQ(binds[0].value.ToText(), "32767");
    EXPECT_EQ(binds[1].value.ToText(), "ORA-06502: PL/SQL: numeric or value error: character string buffer too small");
}
