// The shared pool and its views, flush and privileges, logons, faults and the
// workload, against small scenarios written by each test.

#include <gtest/gtest.h>

#include "TestSupport.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

const char* kUsers =
    "user SYS id=0 password=SYSPW privileges=sysdba,dba plan-table\n"
    "user SCOTT id=54 password=TIGER privileges=catalog,v-database,create-procedure plan-table\n"
    "user BOSS id=60 password=BOSS privileges=catalog,alter-system plan-table\n"
    "user NOCAT id=61 password=NOCAT plan-table\n";

const std::string kLoadQuery =
    "/* $CORVID$ */ SELECT s.disk_reads, s.buffer_gets, s.sorts, s.executions, s.parse_calls, s.rows_processed, "
    "s.sharable_mem, s.persistent_mem, s.runtime_mem, s.loads, s.command_type, s.optimizer_mode, "
    "s.parsing_schema_id, s.parsing_user_id, s.address, s.first_load_time FROM   sys.v_$sqlarea s WHERE  "
    "s.sql_text NOT LIKE '%/* $CORVID$ */%'";

const std::string kTextQuery =
    "/* $CORVID$ */ SELECT t.address, t.sql_text FROM   sys.v_$sqltext_with_newlines t WHERE  t.address IN (       "
    "SELECT  s.address        FROM    sys.v_$sqlarea s        WHERE   s.sql_text NOT LIKE '%/* $CORVID$ */%' ";

std::unique_ptr<Session> As(Server& server, const char* user, const char* password) {
    std::unique_ptr<Session> s = Logon(server, user, password);
    EXPECT_TRUE(s) << user;
    return s;
}

}  // namespace

TEST(PoolTest, ListedStatementsWithTheirFiguresAndTexts) {
    std::string long130(130, 'x');
    long130[64] = '\n';
    std::string escaped = long130.substr(0, 64) + "\\n" + long130.substr(65);
    auto server = ServerFor(std::string(kUsers) + "clock 2024-03-11/12:00:00\n" +
                            "statement user=SCOTT command=3 executions=4 disk-reads=10 buffer-gets=1000 sorts=2 rows=8 "
                            "optimizer=ALL_ROWS first-load=2024-03-11/09:30:00 address=00000000ABCDEF10\n"
                            "SELECT *\n  FROM emp   \n.\n"
                            "statement user=BOSS command=6 executions=0 address=00000000FFFF0000 text=\"" + escaped + "\"\n");
    auto scott = As(*server, "SCOTT", "TIGER");
    ASSERT_TRUE(scott);
    Result load = RunSql(*scott, kLoadQuery);
    ASSERT_FALSE(load.error.IsError()) << load.error.message;
    std::vector<std::string> rows = Texts(load);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "10|1000|2|4|1|8|4132|1200|900|1|3|ALL_ROWS|54|54|00000000ABCDEF10|2024-03-11/09:30:00");
    EXPECT_EQ(load.columns[14].size, 8);
    // Per-execution filters: 0 executions count as 0, never a division error.
    Result perExec = RunSql(*scott, "SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE '%/* $CORVID$ */%' "
                                    "AND DECODE(executions, 0, 0, NULL, 0, ROUND((buffer_gets+disk_reads)/executions)) > :bds",
                            {Bind{"bds", Value::Num(250), false}});
    EXPECT_EQ(Texts(perExec), std::vector<std::string>{"1"});
    Result minutes = RunSql(*scott, "/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea WHERE ROUND((SYSDATE - TO_DATE(first_load_time, "
                                    "'YYYY-MM-DD/HH24:MI:SS')) * 24 * 60, 0) = 150");
    EXPECT_EQ(Texts(minutes), std::vector<std::string>{"1"});
    // The pieces: 64 characters each, numbered from 0, line breaks and trailing blanks kept.
    Result text = RunSql(*scott, kTextQuery + " ) ORDER BY address, piece");
    ASSERT_FALSE(text.error.IsError()) << text.error.message;
    std::vector<std::string> joined;
    std::string current, address;
    for (const auto& row : text.rows) {
        if (row[0].text != address && !address.empty()) {
            joined.push_back(current);
            current.clear();
        }
        address = row[0].text;
        current += row[1].text;
    }
    joined.push_back(current);
    ASSERT_EQ(text.rows.size(), 4u);
    EXPECT_EQ(text.rows[0][0].text, "00000000ABCDEF10");
    EXPECT_EQ(joined[0], "SELECT *\n  FROM emp   ");
    EXPECT_EQ(joined[1], long130);
    EXPECT_EQ(text.rows[3][1].text, "xx");
}

TEST(PoolTest, ThirtyTwoBitAddressesAndAnEmptyPool) {
    auto server = ServerFor(std::string(kUsers) + "word-size 32\nstatement user=SCOTT text=\"SELECT 1 FROM dual\"\n");
    auto scott = As(*server, "SCOTT", "TIGER");
    Result r = RunSql(*scott, "SELECT address FROM v$sqlarea WHERE sql_text = 'SELECT 1 FROM dual'");
    ASSERT_EQ(r.rows.size(), 1u);
    EXPECT_EQ(r.rows[0][0].text.size(), 8u);
    auto empty = ServerFor(kUsers);
    auto s = As(*empty, "SCOTT", "TIGER");
    EXPECT_EQ(Texts(RunSql(*s, "/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE "
                               "'%/* $CORVID$ */%'")),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Texts(RunSql(*s, "SELECT SUM(buffer_gets), SUM(disk_reads) FROM sys.v_$sqlarea WHERE sql_text NOT LIKE "
                               "'%/* $CORVID$ */%' ")),
              std::vector<std::string>{"<null>|<null>"});
}

TEST(PoolTest, EveryStatementEntersThePoolWithItsUserAndType) {
    auto server = ServerFor(kUsers);
    auto scott = As(*server, "SCOTT", "TIGER");
    RunSql(*scott, "SELECT * FROM dual");
    RunSql(*scott, "SELECT * FROM dual");
    RunSql(*scott, "/* $CORVID$ */ SELECT 1 FROM dual");
    RunSql(*scott, "UPDATE plan_table SET id = 1 WHERE 1 = 0");
    Result r = RunSql(*scott, "SELECT sql_text, command_type, executions, parse_calls, parsing_user_id FROM v$sqlarea "
                              "ORDER BY sql_text");
    std::vector<std::string> rows = Texts(r);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], "/* $CORVID$ */ SELECT 1 FROM dual|3|1|1|54");
    EXPECT_EQ(rows[1], "SELECT * FROM dual|3|2|2|54");
    EXPECT_EQ(rows[2].substr(0, 30), "SELECT sql_text, command_type,");  // the query sees itself
    EXPECT_EQ(rows[3], "UPDATE plan_table SET id = 1 WHERE 1 = 0|6|1|1|54");
    // A statement that fails to parse does not enter the pool.
    RunSql(*scott, "SELEC nothing");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT COUNT(*) FROM v$sqlarea WHERE sql_text LIKE 'SELEC %'")),
              std::vector<std::string>{"0"});
}

TEST(PoolTest, FlushNeedsThePrivilege) {
    auto server = ServerFor(std::string(kUsers) + "statement text=\"SELECT 1 FROM dual\"\n");
    auto scott = As(*server, "SCOTT", "TIGER");
    EXPECT_EQ(RunSql(*scott, "/* $CORVID$ */ ALTER SYSTEM FLUSH SHARED_POOL").error.message,
              "ORA-01031: insufficient privileges");
    auto boss = As(*server, "BOSS", "BOSS");
    EXPECT_FALSE(RunSql(*boss, "/* $CORVID$ */ ALTER SYSTEM FLUSH SHARED_POOL").error.IsError());
    EXPECT_EQ(Texts(RunSql(*boss, "SELECT COUNT(*) FROM v$sqlarea WHERE sql_text NOT LIKE 'SELECT COUNT(*)%'")),
              std::vector<std::string>{"0"});
}

TEST(PoolTest, CatalogAndDatabaseViewsNeedTheirGrants) {
    auto server = ServerFor(kUsers);
    auto nocat = As(*server, "NOCAT", "NOCAT");
    EXPECT_EQ(RunSql(*nocat, "SELECT COUNT(1) FROM sys.v_$sqlarea").error.code, 942);
    EXPECT_EQ(RunSql(*nocat, "SELECT name FROM v$database WHERE ROWNUM = 1").error.code, 942);
    EXPECT_FALSE(RunSql(*nocat, "SELECT banner FROM v$version WHERE ROWNUM = 1").error.IsError());
    EXPECT_EQ(Texts(RunSql(*nocat, "SELECT COUNT(1) FROM sys.all_users")), std::vector<std::string>{"4"});
    EXPECT_EQ(Texts(RunSql(*nocat, "SELECT user_id, username FROM sys.all_users ORDER BY user_id")),
              (std::vector<std::string>{"0|SYS", "54|SCOTT", "60|BOSS", "61|NOCAT"}));
    auto scott = As(*server, "SCOTT", "TIGER");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT name FROM v$database WHERE ROWNUM = 1")), std::vector<std::string>{"DEMO"});
}

TEST(PoolTest, LogonsAndTheirErrors) {
    auto server = ServerFor(std::string(kUsers) + "alias PROD\n");
    OraError err;
    EXPECT_FALSE(server->Attach("").IsError());
    EXPECT_FALSE(server->Attach("prod").IsError());
    EXPECT_EQ(server->Attach("NOWHERE").message, "ORA-12154: TNS:could not resolve the connect identifier specified");
    EXPECT_FALSE(server->Logon("DEMO", "scott", "WRONG", LogonMode::Normal, err));
    EXPECT_EQ(err.message, "ORA-01017: invalid username/password; logon denied");
    EXPECT_FALSE(server->Logon("DEMO", "SCOTT", "TIGER", LogonMode::SysDba, err));
    EXPECT_EQ(err.code, 1031);
    auto sys = server->Logon("", "sys", "SYSPW", LogonMode::SysDba, err);
    ASSERT_TRUE(sys);
    EXPECT_EQ(sys->UserName(), "SYS");
    auto a = server->Logon("", "SCOTT", "tiger", LogonMode::Normal, err);
    auto b = server->Logon("", "SCOTT", "TIGER", LogonMode::Normal, err);
    ASSERT_TRUE(a && b);
    EXPECT_NE(a->SessionId(), b->SessionId());
}

TEST(PoolTest, FaultsFailTheNamedStep) {
    std::string pool;
    for (int i = 0; i < 250; ++i) pool += "statement text=\"SELECT " + std::to_string(i) + " FROM dual WHERE 'a long padding text' = 'a long padding text'\"\n";
    auto server = ServerFor(std::string(kUsers) + pool +
                            "fault fetch match=\"%v_$sqltext_with_newlines%\" after=300 error=3113\n"
                            "fault logon user=BOSS error=28000\n"
                            "fault execute match=\"%FROM emp%\" error=1555 message=\"snapshot too old\" times=1\n");
    OraError err;
    EXPECT_FALSE(server->Logon("", "BOSS", "BOSS", LogonMode::Normal, err));
    EXPECT_EQ(err.message, "ORA-28000: the account is locked");
    auto scott = As(*server, "SCOTT", "TIGER");
    EXPECT_EQ(RunSql(*scott, "SELECT * FROM emp").error.message, "ORA-01555: snapshot too old");
    EXPECT_EQ(RunSql(*scott, "SELECT * FROM emp").error.code, 942);  // the fault fired once
    Result text = RunSql(*scott, kTextQuery + " ) ORDER BY address, piece");
    EXPECT_EQ(text.rows.size(), 300u);
    EXPECT_EQ(text.fetchError.message, "ORA-03113: end-of-file on communication channel");
    // The connection is gone for good.
    EXPECT_EQ(RunSql(*scott, "SELECT 1 FROM dual").error.code, 3114);
}

TEST(PoolTest, WorkloadMovesThePoolBetweenQueries) {
    std::string pool;
    for (int i = 0; i < 20; ++i) pool += "statement text=\"SELECT " + std::to_string(i) + " FROM dual\"\n";
    auto server = ServerFor(std::string(kUsers) + pool + "workload new=3 touched=5\n");
    auto scott = As(*server, "SCOTT", "TIGER");
    const std::string count = "/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE '%/* $CORVID$ */%'";
    std::string first = Texts(RunSql(*scott, count))[0];
    std::string second = Texts(RunSql(*scott, count))[0];
    EXPECT_EQ(first, "20");
    EXPECT_EQ(second, "23");
}

TEST(PoolTest, DemoHasItsUsersAndPool) {
    auto server = DemoServer();
    auto scott = As(*server, "SCOTT", "TIGER");
    std::string n = Texts(RunSql(*scott, "SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE s.sql_text NOT LIKE '%/* $CORVID$ */%'"))[0];
    EXPECT_GE(std::stoi(n), 5000);
    EXPECT_GE(std::stoi(Texts(RunSql(*scott, "SELECT COUNT(DISTINCT parsing_user_id) FROM v$sqlarea"))[0]), 5);
    EXPECT_GE(std::stoi(Texts(RunSql(*scott, "SELECT COUNT(*) FROM v$sqlarea WHERE command_type = 47"))[0]), 50);
    EXPECT_TRUE(As(*server, "HR", "HR"));
    OraError err;
    EXPECT_TRUE(server->Logon("DEMO", "SYS", "CHANGE_ON_INSTALL", LogonMode::SysDba, err));
    EXPECT_TRUE(server->Logon("", "SYSTEM", "MANAGER", LogonMode::Normal, err));
}

// A sleeping session moves the server's clock and runs the scripted workload:
// matching statements run again, others age out, held-back statements enter
// with the clock of that moment; the random workload runs once per sleep when
// it is declared so.
TEST(PoolTest, SleepMovesTheClockAndRunsTheScriptedWorkload) {
    auto server = ServerFor(std::string(kUsers) + "clock 2024-03-11/12:00:00\n"
                            "statement user=SCOTT executions=4 disk-reads=10 buffer-gets=1000 sorts=2 rows=8 "
                            "parse-calls=3 text=\"SELECT ename FROM emp\"\n"
                            "statement user=SCOTT text=\"SELECT dname FROM dept\"\n"
                            "statement user=SCOTT executions=7 text=\"DELETE FROM bonus\"\n"
                            "statement user=SCOTT executions=2 after-sleep text=\"SELECT sal FROM emp\"\n"
                            "run match=\"SELECT ename%\" executions=3 buffer-gets=750 disk-reads=5 rows=6 sorts=1 "
                            "parse-calls=2\n"
                            "age-out match=\"DELETE%\"\n");
    auto scott = As(*server, "SCOTT", "TIGER");
    const std::string figures =
        "SELECT TO_CHAR(SYSDATE, 'YYYY-MM-DD/HH24:MI:SS'), COUNT(1), SUM(executions), SUM(buffer_gets), "
        "SUM(disk_reads), SUM(rows_processed), SUM(sorts) FROM sys.v_$sqlarea WHERE sql_text LIKE 'SELECT ename%'";
    EXPECT_EQ(Texts(RunSql(*scott, figures))[0], "2024-03-11/12:00:00|1|4|1000|10|8|2");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT COUNT(1) FROM v$sqlarea WHERE sql_text LIKE 'SELECT sal%'"))[0], "0");

    Result sleep = RunSql(*scott, "BEGIN DBMS_LOCK.SLEEP(90); END;");
    ASSERT_FALSE(sleep.error.IsError()) << sleep.error.message;
    EXPECT_EQ(Texts(RunSql(*scott, figures))[0], "2024-03-11/12:01:30|1|7|1750|15|14|3");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT parse_calls FROM v$sqlarea WHERE sql_text = 'SELECT ename FROM emp'"))[0],
              "5");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT COUNT(1) FROM v$sqlarea WHERE sql_text LIKE 'DELETE%'"))[0], "0");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT executions, first_load_time FROM v$sqlarea WHERE sql_text LIKE 'SELECT sal%'"))[0],
              "2|2024-03-11/12:01:30");

    // The second sleep runs the steps again; the statement entered once stays as it is.
    ASSERT_FALSE(RunSql(*scott, "BEGIN DBMS_SESSION.SLEEP(30.5); END;").error.IsError());
    EXPECT_EQ(Texts(RunSql(*scott, figures))[0], "2024-03-11/12:02:00|1|10|2500|20|20|4");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT executions FROM v$sqlarea WHERE sql_text LIKE 'SELECT sal%'"))[0], "2");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT executions FROM v$sqlarea WHERE sql_text = 'SELECT dname FROM dept'"))[0], "1");
    EXPECT_EQ(RunSql(*scott, "BEGIN DBMS_LOCK.SLEEP(1, 2); END;").error.code, 6550);
}

TEST(PoolTest, RandomWorkloadAtSleepsLeavesQueriesAlone) {
    std::string pool;
    for (int i = 0; i < 20; ++i) pool += "statement text=\"SELECT " + std::to_string(i) + " FROM dual\"\n";
    auto server = ServerFor(std::string(kUsers) + pool + "workload new=3 touched=5 at=sleep\n");
    auto scott = As(*server, "SCOTT", "TIGER");
    const std::string count = "/* $CORVID$ */ SELECT COUNT(1) FROM sys.v_$sqlarea s WHERE  s.sql_text NOT LIKE '%/* $CORVID$ */%'";
    EXPECT_EQ(Texts(RunSql(*scott, count))[0], "20");
    EXPECT_EQ(Texts(RunSql(*scott, count))[0], "20");
    ASSERT_FALSE(RunSql(*scott, "/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(10); END;").error.IsError());
    EXPECT_EQ(Texts(RunSql(*scott, count))[0], "23");
}
