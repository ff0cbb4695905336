// The figures of today's servers in the pool views, V$SQL_PLAN, the old-release
// option and the current schema, against small scenarios.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ocisim/engine/Md5.h"
#include "ocisim/engine/SharedPool.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

const char* kUsers =
    "user SYS id=0 password=SYSPW privileges=sysdba,dba plan-table\n"
    "user SCOTT id=54 password=TIGER privileges=catalog plan-table\n"
    "user SHOP id=70 password=SHOP\n"
    "user HIDDEN id=71 password=HIDDEN\n"
    "table SHOP.ORDERS columns=\"ORDER_ID NUMBER, CUSTOMER_ID NUMBER\" rows=2000 analyzed\n"
    "table HIDDEN.SECRETS columns=\"ID NUMBER\" rows=10\n"
    "grant SHOP.ORDERS to SCOTT\n";

std::string Hex(const std::array<std::uint8_t, 16>& digest) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : digest) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

}  // namespace

TEST(CursorCacheTest, Md5MatchesTheStandardVectors) {
    // RFC 1321's test suite, and lengths around the 56- and 64-byte block edges.
    EXPECT_EQ(Hex(Md5("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Hex(Md5("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Hex(Md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890")),
              "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(Hex(Md5(std::string(55, 'a'))), "ef1772b6dff9a122358552954ad0df65");
    EXPECT_EQ(Hex(Md5(std::string(56, 'a'))), "3b0c8ac703f828b04c6c197006d17218");
    EXPECT_EQ(Hex(Md5(std::string(64, 'a'))), "014842d480b571495a4a0363793f7367");
}

TEST(CursorCacheTest, SqlIdAndHashValueAreThoseOfTheServer) {
    // Known from servers: select * from dual.
    EXPECT_EQ(SharedPool::SqlId("select * from dual"), "a5ks9fhw2v9s1");
    EXPECT_EQ(SharedPool::HashText("select * from dual"), 942515969u);
    // Computed apart with Python: md5(text + b"\0"), struct.unpack("<II", d[8:16]),
    // (hi << 32) | lo in base 32 over "0123456789abcdfghjkmnpqrstuvwxyz".
    EXPECT_EQ(SharedPool::SqlId("SELECT 1 FROM DUAL"), "bunvx480ynf57");
    EXPECT_EQ(SharedPool::HashText("SELECT 1 FROM DUAL"), 32127143u);
    EXPECT_EQ(SharedPool::SqlId("begin null; end;"), "7wm4bk66d7zbj");
    EXPECT_EQ(SharedPool::HashText("begin null; end;"), 2362703217u);
    EXPECT_EQ(SharedPool::SqlId("SELECT * FROM scott.emp WHERE empno = :1"), "dphv9xtb0t3fz");
    EXPECT_EQ(SharedPool::HashText("SELECT * FROM scott.emp WHERE empno = :1"), 1443663327u);
}

TEST(CursorCacheTest, SqlAreaShowsTheFiguresConsistently) {
    auto server = ServerFor(std::string(kUsers) + "clock 2024-03-11/12:00:00\n" +
                            "statement user=SHOP command=3 executions=10 disk-reads=5 buffer-gets=400 module=billing "
                            "last-active=2024-03-11/11:59:00 text=\"SELECT order_id FROM orders WHERE customer_id = 7\"\n"
                            "statement user=SHOP command=3 executions=20 disk-reads=50 buffer-gets=4000 "
                            "text=\"SELECT customer_id FROM orders WHERE order_id = 9\"\n"
                            "statement user=SHOP command=47 executions=1 text=\"begin null; end;\"\n");
    auto scott = Logon(*server, "SCOTT", "TIGER");
    ASSERT_TRUE(scott);
    Result r = RunSql(*scott,
                      "SELECT sql_id, hash_value, elapsed_time, cpu_time, user_io_wait_time, module, "
                      "TO_CHAR(last_active_time, 'YYYY-MM-DD/HH24:MI:SS'), version_count, plan_hash_value "
                      "FROM v$sqlarea WHERE parsing_schema_id = 70 ORDER BY executions");
    ASSERT_FALSE(r.error.IsError()) << r.error.message;
    ASSERT_EQ(r.rows.size(), 3u);
    EXPECT_EQ(r.rows[0][0].text, "7wm4bk66d7zbj");
    EXPECT_EQ(r.rows[0][1].number, 2362703217.0);
    EXPECT_EQ(r.rows[0][8].number, 0) << "PL/SQL has no plan";
    for (const auto& row : r.rows) {
        EXPECT_GE(row[2].number, row[3].number) << "elapsed is at least CPU";
        EXPECT_GE(row[2].number, row[4].number) << "elapsed is at least the I/O wait";
    }
    EXPECT_GT(r.rows[2][2].number, r.rows[1][2].number) << "more executions and reads take longer";
    EXPECT_GT(r.rows[2][4].number, r.rows[1][4].number);
    EXPECT_EQ(r.rows[1][5].text, "billing");
    EXPECT_TRUE(r.rows[2][5].IsNull());
    EXPECT_EQ(r.rows[1][6].text, "2024-03-11/11:59:00");
    EXPECT_EQ(r.rows[1][7].number, 1);
    // The two queries on ORDERS have the same shape of plan, so the same plan hash.
    EXPECT_NE(r.rows[1][8].number, 0);
    EXPECT_EQ(r.rows[1][8].number, r.rows[2][8].number);
}

TEST(CursorCacheTest, SqlPlanHoldsThePlanOfTheParsingSchema) {
    auto server = ServerFor(std::string(kUsers) +
                            "statement user=SHOP command=3 executions=3 optimizer=ALL_ROWS "
                            "text=\"SELECT order_id FROM orders WHERE customer_id = 7\"\n"
                            "statement user=SHOP command=3 executions=0 text=\"SELECT COUNT(*) FROM orders\"\n"
                            "statement user=HIDDEN command=3 executions=2 text=\"SELECT id FROM secrets\"\n");
    auto scott = Logon(*server, "SCOTT", "TIGER");
    ASSERT_TRUE(scott);
    Result plan = RunSql(*scott,
                         "SELECT p.sql_id, p.child_number, p.id, p.parent_id, p.depth, p.operation, p.options, "
                         "p.object_owner, p.object_name, p.plan_hash_value, s.plan_hash_value "
                         "FROM v$sql_plan p, v$sqlarea s WHERE p.address = s.address AND s.parsing_schema_id IN (70, 71) "
                         "ORDER BY p.sql_id, p.id");
    ASSERT_FALSE(plan.error.IsError()) << plan.error.message;
    // Names resolve in the parsing schema (SHOP's ORDERS, HIDDEN's SECRETS), whatever
    // the reader may see; the statement that never ran has no plan.
    std::vector<std::string> rows = Texts(plan);
    ASSERT_EQ(rows.size(), 4u);
    const std::string shopId = SharedPool::SqlId("SELECT order_id FROM orders WHERE customer_id = 7");
    const std::string hiddenId = SharedPool::SqlId("SELECT id FROM secrets");
    int shop = 0, hidden = 0;
    for (const auto& row : plan.rows) {
        EXPECT_EQ(row[1].number, 0) << "child 0";
        EXPECT_EQ(row[9].number, row[10].number) << "the plan hash agrees with v$sqlarea";
        if (row[0].text == shopId) ++shop;
        if (row[0].text == hiddenId) ++hidden;
        if (row[2].number == 0) {
            EXPECT_TRUE(row[3].IsNull());
            EXPECT_EQ(row[4].number, 0);
            EXPECT_EQ(row[5].text, "SELECT STATEMENT");
        } else {
            EXPECT_EQ(row[4].number, 1);
            EXPECT_EQ(row[5].text + " " + row[6].text, "TABLE ACCESS FULL");
            EXPECT_EQ(row[7].text + "." + row[8].text, row[0].text == shopId ? "SHOP.ORDERS" : "HIDDEN.SECRETS");
        }
    }
    EXPECT_EQ(shop, 2);
    EXPECT_EQ(hidden, 2);
    // A user without the catalog privilege is refused, as for v$sqlarea.
    auto shopSession = Logon(*server, "SHOP", "SHOP");
    ASSERT_TRUE(shopSession);
    EXPECT_EQ(RunSql(*shopSession, "SELECT COUNT(*) FROM sys.v_$sql_plan").error.code, 942);
}

TEST(CursorCacheTest, AnOldReleaseHasNeitherTheFiguresNorThePlans) {
    auto server = ServerFor(std::string(kUsers) + "release 8i\n" +
                            "statement user=SHOP command=3 executions=3 text=\"SELECT order_id FROM orders\"\n");
    auto scott = Logon(*server, "SCOTT", "TIGER");
    ASSERT_TRUE(scott);
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT banner FROM v$version WHERE ROWNUM = 1")),
              std::vector<std::string>{"Oracle8i Enterprise Edition Release 8.1.7.4.0 - Production"});
    for (const char* column : {"sql_id", "elapsed_time", "cpu_time", "plan_hash_value", "last_active_time",
                               "user_io_wait_time"}) {
        EXPECT_EQ(RunSql(*scott, std::string("SELECT ") + column + " FROM sys.v_$sqlarea").error.code, 904) << column;
    }
    Result old = RunSql(*scott, "SELECT hash_value, module, version_count FROM sys.v_$sqlarea WHERE parsing_schema_id = 70");
    EXPECT_FALSE(old.error.IsError()) << old.error.message;
    EXPECT_EQ(RunSql(*scott, "SELECT COUNT(*) FROM sys.v_$sql_plan").error.code, 942);
    EXPECT_EQ(RunSql(*scott, "SELECT sql_id FROM sys.v_$sqltext_with_newlines").error.code, 904);
}

TEST(CursorCacheTest, CurrentSchemaDecidesNamesButNotPrivileges) {
    auto server = ServerFor(kUsers);
    auto scott = Logon(*server, "SCOTT", "TIGER");
    ASSERT_TRUE(scott);
    EXPECT_EQ(RunSql(*scott, "SELECT COUNT(*) FROM orders").error.code, 942);
    EXPECT_EQ(RunSql(*scott, "ALTER SESSION SET CURRENT_SCHEMA = nobody").error.code, 1435);
    ASSERT_FALSE(RunSql(*scott, "ALTER SESSION SET CURRENT_SCHEMA = shop").error.IsError());
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT COUNT(*) FROM orders")), std::vector<std::string>{"0"});
    // EXPLAIN PLAN resolves the statement in SHOP and writes into the plan table it names.
    Result explain = RunSql(*scott, "EXPLAIN PLAN SET statement_id = 'x' INTO scott.plan_table FOR "
                                    "SELECT order_id FROM orders");
    EXPECT_FALSE(explain.error.IsError()) << explain.error.message;
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT object_owner || '.' || object_name FROM scott.plan_table "
                                   "WHERE statement_id = 'x' AND id = 1")),
              std::vector<std::string>{"SHOP.ORDERS"});
    // Unqualified, the plan table is looked for in SHOP, which has none.
    EXPECT_EQ(RunSql(*scott, "EXPLAIN PLAN FOR SELECT order_id FROM orders").error.code, 2402);
    // Privileges stay SCOTT's.
    ASSERT_FALSE(RunSql(*scott, "ALTER SESSION SET CURRENT_SCHEMA = hidden").error.IsError());
    EXPECT_EQ(RunSql(*scott, "SELECT COUNT(*) FROM secrets").error.code, 942);
    // What SCOTT parses now carries HIDDEN as its parsing schema.
    RunSql(*scott, "SELECT 42 FROM dual");
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT parsing_user_id || '/' || parsing_schema_id FROM v$sqlarea "
                                   "WHERE sql_text = 'SELECT 42 FROM dual'")),
              std::vector<std::string>{"54/71"});
}
