// Logons, array fetches, truncation, NULLs, binds, describe, errors and the flush
// of the shared pool, through every client generation against the demo database.

#include <cstring>

#include "SuiteFixture.h"

namespace {

const char* const kPool = "SELECT sql_text, executions FROM sys.v_$sqlarea WHERE ROWNUM <= ";

TEST_P(ClientTest, LogonFailuresGiveOraclesErrors) {
    EXPECT_EQ(client->Logon("SCOTT", "LION", "DEMO"), 1017);
    EXPECT_EQ(client->ErrorText(), "ORA-01017: invalid username/password; logon denied");
    EXPECT_EQ(client->Logon("SCOTT", "TIGER", "NOWHERE"), 12154);
    EXPECT_EQ(client->ErrorText(), "ORA-12154: TNS:could not resolve the connect identifier specified");
    EXPECT_EQ(client->Logon("SCOTT", "TIGER", ""), 0) << "the empty alias is the local database";
    EXPECT_EQ(client->QueryNumber("SELECT COUNT(1) FROM emp"), 14);
}

TEST_P(ClientTest, ArrayFetchOf250RowsInBatchesOf100) {
    client = Scott();
    static char texts[100][1001];
    int executions[100] = {};
    ASSERT_TRUE(client->Parse(kPool + std::string("250"))) << client->ErrorText();
    ASSERT_TRUE(client->Define(1, texts, 1001, SQLT_STR));
    ASSERT_TRUE(client->Define(2, executions, sizeof(int), SQLT_INT));
    ASSERT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();

    FetchResult result = client->Fetch(100);
    EXPECT_EQ(result.outcome, Outcome::Ok);
    EXPECT_EQ(result.rows, 100u);
    EXPECT_GT(std::strlen(texts[99]), 0u);
    result = client->Fetch(100);
    EXPECT_EQ(result.outcome, Outcome::Ok);
    EXPECT_EQ(result.rows, 100u);
    result = client->Fetch(100);
    EXPECT_EQ(result.outcome, Outcome::NoData);
    EXPECT_EQ(result.rows, 50u);
    EXPECT_EQ(client->ErrorCode(), 1403);
    result = client->Fetch(100);
    EXPECT_EQ(result.outcome, Outcome::Error);
    EXPECT_EQ(client->ErrorText(), "ORA-01002: fetch out of sequence");
}

TEST_P(ClientTest, ArrayFetchOfExactly100Rows) {
    client = Scott();
    static char texts[100][1001];
    ASSERT_TRUE(client->Parse(kPool + std::string("100")));
    ASSERT_TRUE(client->Define(1, texts, 1001, SQLT_STR));
    ASSERT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();
    FetchResult result = client->Fetch(100);
    EXPECT_EQ(result.outcome, Outcome::Ok);
    EXPECT_EQ(result.rows, 100u);
    result = client->Fetch(100);
    EXPECT_EQ(result.outcome, Outcome::NoData);
    EXPECT_EQ(result.rows, 0u);
}

TEST_P(ClientTest, TruncationWithAndWithoutReturnCodes) {
    client = Scott();
    char text[5];
    sb2 indicator = 0;
    ub2 length = 0;
    ub2 code = 0;
    ASSERT_TRUE(client->Parse("SELECT 'ABCDEFGHIJ' FROM dual"));
    ASSERT_TRUE(client->Define(1, text, sizeof text, SQLT_STR, &indicator, &length, &code));
    const FetchResult withCodes = client->ExecuteAndFetch(1);
    EXPECT_EQ(withCodes.outcome, Outcome::Info) << client->ErrorText();
    EXPECT_EQ(withCodes.rows, 1u);
    EXPECT_STREQ(text, "ABCD");
    EXPECT_EQ(indicator, 10);
    EXPECT_EQ(length, 4);
    EXPECT_EQ(code, 1406);
    if (GetParam().release8) {
        EXPECT_EQ(client->ErrorText(), "ORA-24345: A Truncation or null fetch error occurred");
    }

    ASSERT_TRUE(client->Parse("SELECT 'ABCDEFGHIJ' FROM dual"));
    ASSERT_TRUE(client->Define(1, text, sizeof text, SQLT_STR, &indicator));
    EXPECT_EQ(client->ExecuteAndFetch(1).outcome, Outcome::Error);
    EXPECT_EQ(client->ErrorText(), "ORA-01406: fetched column value was truncated");
    EXPECT_STREQ(text, "ABCD");
}

TEST_P(ClientTest, NullSetsTheIndicatorOrFailsWithoutOne) {
    client = Scott();
    double commission = 12.5;
    sb2 indicator = 0;
    ASSERT_TRUE(client->Parse("SELECT comm FROM emp WHERE ename = 'KING'"));
    ASSERT_TRUE(client->Define(1, &commission, sizeof commission, SQLT_FLT, &indicator));
    EXPECT_EQ(client->ExecuteAndFetch(1).outcome, Outcome::Ok) << client->ErrorText();
    EXPECT_EQ(indicator, -1);
    EXPECT_EQ(commission, 12.5) << "the buffer keeps what it held";

    ASSERT_TRUE(client->Parse("SELECT comm FROM emp WHERE ename = 'KING'"));
    ASSERT_TRUE(client->Define(1, &commission, sizeof commission, SQLT_FLT));
    EXPECT_EQ(client->ExecuteAndFetch(1).outcome, Outcome::Error);
    EXPECT_EQ(client->ErrorText(), "ORA-01405: fetched column value is NULL");
}

TEST_P(ClientTest, BindsByName) {
    client = Scott();
    int empno = 7839;
    char name[11] = {};
    ASSERT_TRUE(client->Parse("SELECT ename FROM emp WHERE empno = :e"));
    ASSERT_TRUE(client->Bind(":e", &empno, sizeof empno, SQLT_INT)) << client->ErrorText();
    ASSERT_TRUE(client->Define(1, name, sizeof name, SQLT_STR));
    EXPECT_EQ(client->ExecuteAndFetch(1).outcome, Outcome::Ok) << client->ErrorText();
    EXPECT_STREQ(name, "KING");

    char job[10] = {};
    char wanted[] = "SCOTT";
    ASSERT_TRUE(client->Parse("SELECT job FROM emp WHERE ename = :n"));
    ASSERT_TRUE(client->Bind(":n", wanted, sizeof wanted, SQLT_STR));
    ASSERT_TRUE(client->Define(1, job, sizeof job, SQLT_STR));
    EXPECT_EQ(client->ExecuteAndFetch(1).outcome, Outcome::Ok) << client->ErrorText();
    EXPECT_STREQ(job, "ANALYST");

    // Signed integers keep their sign on the way to the server.
    int minusOne = -1;
    int sum = 0;
    ASSERT_TRUE(client->Parse("SELECT :m + 2 FROM dual"));
    ASSERT_TRUE(client->Bind(":m", &minusOne, sizeof minusOne, SQLT_INT));
    ASSERT_TRUE(client->Define(1, &sum, sizeof sum, SQLT_INT));
    EXPECT_EQ(client->ExecuteAndFetch(1).outcome, Outcome::Ok) << client->ErrorText();
    EXPECT_EQ(sum, 1);

    EXPECT_FALSE(client->Bind(":nope", wanted, sizeof wanted, SQLT_STR));
    EXPECT_EQ(client->ErrorText(), "ORA-01036: illegal variable name/number");
}

TEST_P(ClientTest, DescribeGivesTheSelectList) {
    client = Scott();
    ASSERT_TRUE(client->Parse("SELECT empno, ename, hiredate, sal FROM emp"));
    ColumnInfo column;
    ASSERT_TRUE(client->Describe(1, column)) << client->ErrorText();
    EXPECT_EQ(column.name, "EMPNO");
    EXPECT_EQ(column.type, 2);
    EXPECT_FALSE(column.nullable);
    ASSERT_TRUE(client->Describe(2, column));
    EXPECT_EQ(column.name, "ENAME");
    EXPECT_EQ(column.type, 1);
    EXPECT_EQ(column.size, 10);
    EXPECT_TRUE(column.nullable);
    ASSERT_TRUE(client->Describe(3, column));
    EXPECT_EQ(column.type, 12);
    EXPECT_EQ(column.size, 7);
    ASSERT_TRUE(client->Describe(4, column));
    EXPECT_EQ(column.precision, 7);
    EXPECT_EQ(column.scale, 2);
    EXPECT_FALSE(client->Describe(5, column));
    EXPECT_EQ(client->ErrorCode(), GetParam().release8 ? 24334 : 1007);
}

TEST_P(ClientTest, ServerErrorsCarryNumberAndText) {
    client = Scott();
    struct Case {
        const char* sql;
        int code;
        const char* text;
    } cases[] = {
        {"SELECT * FROM no_such_table", 942, "ORA-00942: table or view does not exist"},
        {"SELECT nope FROM emp", 904, "ORA-00904: \"NOPE\": invalid identifier"},
        {"SELECT ename FROM emp WHERE empno = :x", 1008, "ORA-01008: not all variables bound"},
        {"SELEKT 1 FROM dual", 900, "ORA-00900: invalid SQL statement"},
    };
    for (const Case& c : cases) {
        char buffer[64];
        ASSERT_TRUE(client->Parse(c.sql)) << "parsing is deferred to the execute";
        ASSERT_TRUE(client->Define(1, buffer, sizeof buffer, SQLT_STR));
        EXPECT_EQ(client->ExecuteAndFetch(1).outcome, Outcome::Error) << c.sql;
        EXPECT_EQ(client->ErrorCode(), c.code) << c.sql;
        EXPECT_EQ(client->ErrorText(), c.text) << c.sql;
    }
}

TEST_P(ClientTest, FlushNeedsThePrivilegeAndEmptiesThePool) {
    // A pool of its own for every run, so the other cases keep theirs.
    static int runs = 0;
    UseScenario("demo:" + std::to_string(400 + runs++));
    auto hr = GetParam().make();
    ASSERT_EQ(hr->Logon("HR", "HR", "DEMO"), 0) << hr->ErrorText();
    ASSERT_TRUE(hr->Parse("ALTER SYSTEM FLUSH SHARED_POOL"));
    EXPECT_EQ(hr->Execute(), Outcome::Error);
    EXPECT_EQ(hr->ErrorText(), "ORA-01031: insufficient privileges");

    client = Scott();
    const std::string count = "SELECT COUNT(1) FROM sys.v_$sqlarea WHERE sql_text NOT LIKE '%$SUITE$%'";
    EXPECT_GE(client->QueryNumber(count), 400);
    ASSERT_TRUE(client->Parse("/* $SUITE$ */ ALTER SYSTEM FLUSH SHARED_POOL"));
    EXPECT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();
    EXPECT_EQ(client->QueryNumber(count), 0) << "the suite's own statements are left out";
    UseScenario("demo");
}

INSTANTIATE_TEST_SUITE_P(Generations, ClientTest, ::testing::ValuesIn(AllClients()), ClientName);

TEST(Release8OnlyTest, SysdbaNeedsThePrivilege) {
    UseScenario("demo");
    auto scott = MakeRelease8Client(CClientLibrary::Clntsh(), OCI_SYSDBA);
    EXPECT_EQ(scott->Logon("SCOTT", "TIGER", "DEMO"), 1031);
    EXPECT_EQ(scott->ErrorText(), "ORA-01031: insufficient privileges");
    auto sys = MakeRelease8Client(CClientLibrary::Clntsh(), OCI_SYSDBA);
    EXPECT_EQ(sys->Logon("SYS", "CHANGE_ON_INSTALL", "DEMO"), 0) << sys->ErrorText();
}

TEST(Release8OnlyTest, IterationRulesOfExecute) {
    UseScenario("demo");
    const Release8Api api = CClientLibrary::Clntsh().Release8();
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIStmt* stmt = nullptr;
    ASSERT_EQ(api.OCIEnvInit(&env, OCI_DEFAULT, 0, nullptr), OCI_SUCCESS);
    api.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    ASSERT_EQ(api.OCILogon(env, err, &svc, (const OraText*)"SCOTT", 5, (const OraText*)"TIGER", 5,
                           (const OraText*)"DEMO", 4),
              OCI_SUCCESS);
    api.OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    auto run = [&](const char* sql, ub4 iters) {
        api.OCIStmtPrepare(stmt, err, (const OraText*)sql, static_cast<ub4>(std::strlen(sql)), OCI_NTV_SYNTAX,
                           OCI_DEFAULT);
        return api.OCIStmtExecute(svc, stmt, err, iters, 0, nullptr, nullptr, OCI_DEFAULT);
    };
    auto code = [&] {
        sb4 number = 0;
        OraText text[512];
        api.OCIErrorGet(err, 1, nullptr, &number, text, sizeof text, OCI_HTYPE_ERROR);
        return number;
    };
    EXPECT_EQ(run("SELECT ename FROM emp", 1), OCI_ERROR);
    EXPECT_EQ(code(), 24374);
    EXPECT_EQ(run("UPDATE emp SET sal = sal WHERE deptno = 10", 0), OCI_ERROR);
    EXPECT_EQ(code(), 24333);
    EXPECT_EQ(run("UPDATE emp SET sal = sal WHERE deptno = 10", 1), OCI_SUCCESS);
    ub4 rows = 0;
    api.OCIAttrGet(stmt, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, err);
    EXPECT_EQ(rows, 3u);
    ub2 type = 0;
    api.OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err);
    EXPECT_EQ(type, OCI_STMT_UPDATE);
    EXPECT_EQ(api.OCILogoff(svc, err), OCI_SUCCESS);
    EXPECT_EQ(api.OCIStmtExecute(nullptr, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_INVALID_HANDLE);
    EXPECT_EQ(api.OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);
}

TEST(ParseOnlyTest, BadStatementsFailAtTheirParse) {
    // A describe-only execute and a parse that is not deferred reach the server for
    // every statement; for anything but a query they used to succeed unseen.
    UseScenario("demo");
    const Release8Api api = CClientLibrary::Clntsh().Release8();
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIStmt* stmt = nullptr;
    ASSERT_EQ(api.OCIEnvInit(&env, OCI_DEFAULT, 0, nullptr), OCI_SUCCESS);
    api.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr);
    ASSERT_EQ(api.OCILogon(env, err, &svc, (const OraText*)"SCOTT", 5, (const OraText*)"TIGER", 5,
                           (const OraText*)"DEMO", 4),
              OCI_SUCCESS);
    api.OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr);
    auto describe = [&](const char* sql) {
        api.OCIStmtPrepare(stmt, err, (const OraText*)sql, static_cast<ub4>(std::strlen(sql)), OCI_NTV_SYNTAX,
                           OCI_DEFAULT);
        if (api.OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DESCRIBE_ONLY) == OCI_SUCCESS) return 0;
        sb4 number = 0;
        OraText text[512];
        api.OCIErrorGet(err, 1, nullptr, &number, text, sizeof text, OCI_HTYPE_ERROR);
        return static_cast<int>(number);
    };
    EXPECT_EQ(describe("UPDATE no_such_table SET x = 1"), 942);
    EXPECT_EQ(describe("DELETE FROM emp WHERE"), 936);
    EXPECT_EQ(describe("DELETE FROM emp"), 0);
    EXPECT_EQ(api.OCILogoff(svc, err), OCI_SUCCESS);
    EXPECT_EQ(api.OCIHandleFree(env, OCI_HTYPE_ENV), OCI_SUCCESS);

    const Release7Api api7 = CClientLibrary::Clntsh().Release7();
    Lda_Def lda = {};
    Cda_Def cda = {};
    ub1 hda[512] = {};
    ASSERT_EQ(api7.olog(&lda, hda, (OraText*)"SCOTT/TIGER@DEMO", -1, nullptr, -1, nullptr, -1, 0), 0);
    ASSERT_EQ(api7.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    EXPECT_NE(api7.oparse(&cda, (OraText*)"UPDATE no_such_table SET x = 1", -1, 0, 2), 0);
    EXPECT_EQ(cda.rc, 942);
    EXPECT_NE(api7.oparse(&cda, (OraText*)"SELEKT 1 FROM dual", -1, 0, 2), 0);
    EXPECT_EQ(cda.rc, 900);
    // Parsed, not run: the rows are all there.
    ASSERT_EQ(api7.oparse(&cda, (OraText*)"DELETE FROM emp", -1, 0, 2), 0);
    int count = 0;
    ASSERT_EQ(api7.oparse(&cda, (OraText*)"SELECT COUNT(*) FROM emp", -1, 0, 2), 0);
    ASSERT_EQ(api7.odefin(&cda, 1, (ub1*)&count, sizeof count, SQLT_INT, -1, nullptr, nullptr, -1, -1, nullptr,
                          nullptr),
              0);
    ASSERT_EQ(api7.oexfet(&cda, 1, 0, 0), 0);
    EXPECT_EQ(count, 14);
    EXPECT_EQ(api7.ologof(&lda), 0);
}

}  // namespace
