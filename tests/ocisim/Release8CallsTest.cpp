// The release 8 calls that Oracle-written clients use beside the program's own
// ones: environment creation, binding by position, the second fetch call,
// versions and the ping.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ClientLibrary.h"

namespace {

const OraText* Text(const char* text) { return reinterpret_cast<const OraText*>(text); }

class Release8CallsTest : public ::testing::Test {
protected:
    void SetUp() override {
        UseScenario("demo");
        ASSERT_TRUE(CClientLibrary::Clntsh().IsLoaded()) << CClientLibrary::Clntsh().Path();
        api = CClientLibrary::Clntsh().Release8();
        ASSERT_EQ(api.OCIEnvCreate(&env, OCI_DEFAULT, nullptr, nullptr, nullptr, nullptr, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(api.OCIHandleAlloc(env, reinterpret_cast<void**>(&err), OCI_HTYPE_ERROR, 0, nullptr), OCI_SUCCESS);
        ASSERT_EQ(api.OCILogon(env, err, &svc, Text("SCOTT"), 5, Text("TIGER"), 5, Text("DEMO"), 4), OCI_SUCCESS)
            << ErrorText();
        ASSERT_EQ(api.OCIHandleAlloc(env, reinterpret_cast<void**>(&stmt), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
    }
    void TearDown() override {
        api.OCIHandleFree(stmt, OCI_HTYPE_STMT);
        api.OCILogoff(svc, err);
        api.OCIHandleFree(env, OCI_HTYPE_ENV);
    }
    std::string ErrorText() {
        sb4 code = 0;
        char text[512] = {};
        api.OCIErrorGet(err, 1, nullptr, &code, reinterpret_cast<OraText*>(text), sizeof text, OCI_HTYPE_ERROR);
        std::string message = text;
        while (!message.empty() && message.back() == '\n') message.pop_back();
        return message;
    }
    sword Prepare(const char* sql) {
        return api.OCIStmtPrepare(stmt, err, Text(sql), static_cast<ub4>(std::strlen(sql)), OCI_NTV_SYNTAX,
                                  OCI_DEFAULT);
    }
    sword BindInt(ub4 position, int* value) {
        OCIBind* bind = nullptr;
        return api.OCIBindByPos(stmt, &bind, err, position, value, sizeof *value, SQLT_INT, nullptr, nullptr, nullptr,
                                0, nullptr, OCI_DEFAULT);
    }
    // Runs the prepared query and fetches its one number.
    long Number() {
        std::int64_t value = -1;
        OCIDefine* define = nullptr;
        EXPECT_EQ(api.OCIDefineByPos(stmt, &define, err, 1, &value, sizeof value, SQLT_INT, nullptr, nullptr, nullptr,
                                     OCI_DEFAULT),
                  OCI_SUCCESS);
        EXPECT_EQ(api.OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrorText();
        return static_cast<long>(value);
    }

    Release8Api api;
    OCIEnv* env = nullptr;
    OCIError* err = nullptr;
    OCISvcCtx* svc = nullptr;
    OCIStmt* stmt = nullptr;
};

TEST_F(Release8CallsTest, BindByPositionCountsPlaceholdersInSqlAndNamesInPlSql) {
    ASSERT_EQ(Prepare("SELECT COUNT(*) FROM emp WHERE deptno = :d AND sal > :s"), OCI_SUCCESS);
    int deptno = 10;
    int salary = 2000;
    EXPECT_EQ(BindInt(2, &salary), OCI_SUCCESS) << ErrorText();
    EXPECT_EQ(BindInt(1, &deptno), OCI_SUCCESS) << ErrorText();
    EXPECT_EQ(BindInt(3, &deptno), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-01036: illegal variable name/number");
    EXPECT_EQ(BindInt(0, &deptno), OCI_ERROR);
    EXPECT_EQ(Number(), 2) << "KING and CLARK";

    // In SQL every occurrence has a position of its own.
    ASSERT_EQ(Prepare("SELECT COUNT(*) FROM emp WHERE empno = :e OR mgr = :e"), OCI_SUCCESS);
    int king = 7839;
    EXPECT_EQ(BindInt(1, &king), OCI_SUCCESS);
    EXPECT_EQ(BindInt(2, &king), OCI_SUCCESS);
    EXPECT_EQ(BindInt(3, &king), OCI_ERROR);
    EXPECT_EQ(Number(), 4) << "KING and the three who report to him";

    // In a PL/SQL block a name has one position.
    ASSERT_EQ(Prepare("BEGIN :x := :x + :y; END;"), OCI_SUCCESS);
    int x = 1;
    int y = 41;
    EXPECT_EQ(BindInt(1, &x), OCI_SUCCESS);
    EXPECT_EQ(BindInt(2, &y), OCI_SUCCESS);
    EXPECT_EQ(BindInt(3, &y), OCI_ERROR);
    EXPECT_EQ(api.OCIStmtExecute(svc, stmt, err, 1, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrorText();
    EXPECT_EQ(x, 42);

    OCIBind* bind = nullptr;
    EXPECT_EQ(api.OCIBindByPos(reinterpret_cast<OCIStmt*>(err), &bind, err, 1, &x, sizeof x, SQLT_INT, nullptr,
                               nullptr, nullptr, 0, nullptr, OCI_DEFAULT),
              OCI_INVALID_HANDLE);
    OCIStmt* unprepared = nullptr;
    ASSERT_EQ(api.OCIHandleAlloc(env, reinterpret_cast<void**>(&unprepared), OCI_HTYPE_STMT, 0, nullptr), OCI_SUCCESS);
    EXPECT_EQ(api.OCIBindByPos(unprepared, &bind, err, 1, &x, sizeof x, SQLT_INT, nullptr, nullptr, nullptr, 0, nullptr,
                               OCI_DEFAULT),
              OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-24337: statement handle not prepared");
    api.OCIHandleFree(unprepared, OCI_HTYPE_STMT);
}

TEST_F(Release8CallsTest, SecondFetchCallMovesForwardOnlyAndReportsItsRows) {
    ASSERT_EQ(Prepare("SELECT ename FROM emp WHERE deptno = 10 ORDER BY ename"), OCI_SUCCESS);
    ub2 type = 0;
    EXPECT_EQ(api.OCIAttrGet(stmt, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, err), OCI_SUCCESS);
    EXPECT_EQ(type, OCI_STMT_SELECT);
    char names[2][11] = {};
    OCIDefine* define = nullptr;
    ASSERT_EQ(api.OCIDefineByPos(stmt, &define, err, 1, names, sizeof names[0], SQLT_STR, nullptr, nullptr, nullptr,
                                 OCI_DEFAULT),
              OCI_SUCCESS);
    ASSERT_EQ(api.OCIStmtExecute(svc, stmt, err, 0, 0, nullptr, nullptr, OCI_DEFAULT), OCI_SUCCESS) << ErrorText();
    ub4 columns = 0;
    EXPECT_EQ(api.OCIAttrGet(stmt, OCI_HTYPE_STMT, &columns, nullptr, OCI_ATTR_PARAM_COUNT, err), OCI_SUCCESS);
    EXPECT_EQ(columns, 1u);

    EXPECT_EQ(api.OCIStmtFetch2(stmt, err, 1, OCI_FETCH_FIRST, 0, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-24391: invalid fetch operation");
    EXPECT_EQ(api.OCIStmtFetch2(stmt, err, 1, OCI_FETCH_ABSOLUTE, 2, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(api.OCIStmtFetch(stmt, err, 1, OCI_FETCH_LAST, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-24391: invalid fetch operation");
    EXPECT_EQ(api.OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 7, OCI_DEFAULT), OCI_SUCCESS) << "the offset is ignored";
    EXPECT_STREQ(names[0], "CLARK");
    EXPECT_STREQ(names[1], "KING");
    EXPECT_EQ(api.OCIStmtFetch2(stmt, err, 2, OCI_FETCH_NEXT, 0, OCI_DEFAULT), OCI_NO_DATA);
    EXPECT_STREQ(names[0], "MILLER");
    ub4 fetched = 0;
    EXPECT_EQ(api.OCIAttrGet(stmt, OCI_HTYPE_STMT, &fetched, nullptr, OCI_ATTR_ROWS_FETCHED, err), OCI_SUCCESS);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(api.OCIStmtFetch2(stmt, err, 1, OCI_FETCH_NEXT, 0, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-01002: fetch out of sequence");
}

TEST_F(Release8CallsTest, VersionsPingAndTerminate) {
    char banner[200] = {};
    EXPECT_EQ(api.OCIServerVersion(svc, err, reinterpret_cast<OraText*>(banner), sizeof banner, OCI_HTYPE_SVCCTX),
              OCI_SUCCESS);
    EXPECT_EQ(std::string(banner), "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production");
    char shortBuffer[7];
    std::memset(shortBuffer, 'x', sizeof shortBuffer);
    EXPECT_EQ(api.OCIServerVersion(svc, err, reinterpret_cast<OraText*>(shortBuffer), sizeof shortBuffer,
                                   OCI_HTYPE_SVCCTX),
              OCI_SUCCESS);
    EXPECT_STREQ(shortBuffer, "Oracle") << "cut to the buffer and terminated";
    EXPECT_EQ(api.OCIServerVersion(svc, err, reinterpret_cast<OraText*>(banner), sizeof banner, OCI_HTYPE_STMT),
              OCI_INVALID_HANDLE);

    // A server handle that was never attached has no server to ask.
    OCIServer* server = nullptr;
    ASSERT_EQ(api.OCIHandleAlloc(env, reinterpret_cast<void**>(&server), OCI_HTYPE_SERVER, 0, nullptr), OCI_SUCCESS);
    EXPECT_EQ(api.OCIServerVersion(server, err, reinterpret_cast<OraText*>(banner), sizeof banner, OCI_HTYPE_SERVER),
              OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-03114: not connected to ORACLE");
    api.OCIHandleFree(server, OCI_HTYPE_SERVER);

    sword major = -1, minor = -1, update = -1, patch = -1, port = -1;
    api.OCIClientVersion(&major, &minor, &update, &patch, &port);
    EXPECT_EQ(major, 19) << "libclntsh.so.19.1";
    EXPECT_EQ(minor, 0);

    EXPECT_EQ(api.OCIPing(svc, err, OCI_DEFAULT), OCI_SUCCESS);
    EXPECT_EQ(api.OCIPing(svc, err, 0x40), OCI_ERROR);
    EXPECT_EQ(api.OCIPing(reinterpret_cast<OCISvcCtx*>(stmt), err, OCI_DEFAULT), OCI_INVALID_HANDLE);
    OCISvcCtx* idle = nullptr;
    ASSERT_EQ(api.OCIHandleAlloc(env, reinterpret_cast<void**>(&idle), OCI_HTYPE_SVCCTX, 0, nullptr), OCI_SUCCESS);
    EXPECT_EQ(api.OCIPing(idle, err, OCI_DEFAULT), OCI_ERROR);
    EXPECT_EQ(ErrorText(), "ORA-03114: not connected to ORACLE");
    api.OCIHandleFree(idle, OCI_HTYPE_SVCCTX);

    EXPECT_EQ(api.OCITerminate(OCI_DEFAULT), OCI_SUCCESS);
}

}  // namespace
