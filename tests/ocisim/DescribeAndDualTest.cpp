// Describing queries whose placeholders have no values yet, and the plans of
// queries on DUAL under every optimizer goal, through every client generation.

#include <cstring>
#include <string>

#include "SuiteFixture.h"

namespace {

const char* const kDeptQuery = "SELECT ename, sal FROM emp WHERE deptno = :1";

TEST_P(ClientTest, QueryWithPlaceholdersIsDescribedBeforeAndAfterBinding) {
    client = Scott();
    ASSERT_TRUE(client->Parse(kDeptQuery)) << client->ErrorText();
    ColumnInfo column;
    ASSERT_TRUE(client->Describe(1, column)) << client->ErrorText();
    EXPECT_EQ(column.name, "ENAME");
    ASSERT_TRUE(client->Describe(2, column)) << client->ErrorText();
    EXPECT_EQ(column.name, "SAL");
    EXPECT_FALSE(client->Describe(3, column));

    // The execute is what needs the value.
    EXPECT_EQ(client->Execute(), Outcome::Error);
    EXPECT_EQ(client->ErrorText(), "ORA-01008: not all variables bound");

    ASSERT_TRUE(client->Parse(kDeptQuery)) << client->ErrorText();
    int deptno = 10;
    ASSERT_TRUE(client->Bind(":1", &deptno, sizeof deptno, SQLT_INT)) << client->ErrorText();
    ASSERT_TRUE(client->Describe(1, column)) << client->ErrorText();
    EXPECT_EQ(column.name, "ENAME");
    char name[11] = {};
    ASSERT_TRUE(client->Define(1, name, sizeof name, SQLT_STR)) << client->ErrorText();
    const FetchResult result = client->ExecuteAndFetch(1);
    EXPECT_EQ(result.outcome, Outcome::Ok) << client->ErrorText();
    EXPECT_EQ(result.rows, 1u);
    EXPECT_GT(std::strlen(name), 0u);
}

// A parse that is not deferred describes the query at once, without values.
void ParseNowThenDescribe(const CClientLibrary& library) {
    SCOPED_TRACE(library.Path());
    const Release7Api api = library.Release7();
    Lda_Def lda{};
    Cda_Def cda{};
    ub1 hda[512] = {};
    char user[] = "SCOTT/TIGER";
    ASSERT_EQ(api.olog(&lda, hda, reinterpret_cast<OraText*>(user), -1, nullptr, -1, nullptr, -1, OCI_LM_DEF), 0);
    ASSERT_EQ(api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    std::string sql = kDeptQuery;
    EXPECT_EQ(api.oparse(&cda, reinterpret_cast<OraText*>(sql.data()), -1, 0, 2), 0) << "rc " << cda.rc;
    EXPECT_EQ(cda.ft, 4);
    sb4 size = 0;
    sb2 type = 0;
    sb1 name[30];
    sb4 nameLength = sizeof name;
    EXPECT_EQ(api.odescr(&cda, 2, &size, &type, name, &nameLength, nullptr, nullptr, nullptr, nullptr), 0)
        << "rc " << cda.rc;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name), static_cast<std::size_t>(nameLength)), "SAL");
    EXPECT_NE(api.oexec(&cda), 0);
    EXPECT_EQ(cda.rc, 1008);
    api.oclose(&cda);
    api.ologof(&lda);
}

TEST(Release7Parse, ParseThatIsNotDeferredDescribesAQueryWithPlaceholders) {
    UseScenario("demo");
    ParseNowThenDescribe(CClientLibrary::Clntsh());
    ParseNowThenDescribe(CClientLibrary::Ociw32());
}

class DualPlanTest : public ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        client = Scott();
    }
    // OPERATION and OPTIONS of the plan's line below the root.
    std::string AccessOf(const std::string& query, const std::string& goal) {
        EXPECT_TRUE(client->Parse("ALTER SESSION SET OPTIMIZER_GOAL = " + goal));
        EXPECT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();
        EXPECT_TRUE(client->Parse("DELETE FROM plan_table WHERE statement_id = 'DUAL'"));
        EXPECT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();
        EXPECT_TRUE(client->Parse("EXPLAIN PLAN SET STATEMENT_ID = 'DUAL' FOR " + query));
        EXPECT_EQ(client->Execute(), Outcome::Ok) << client->ErrorText();
        const std::string where = " FROM plan_table WHERE statement_id = 'DUAL' AND id = 1";
        std::string access = client->QueryText("SELECT operation" + where);
        const std::string options = client->QueryText("SELECT options" + where);
        if (!options.empty()) access += " " + options + " " + client->QueryText("SELECT object_name" + where);
        EXPECT_EQ(client->QueryNumber("SELECT COUNT(1) FROM plan_table WHERE statement_id = 'DUAL'"), 2) << query;
        return access;
    }
};

TEST_P(DualPlanTest, FastDualOnlyWhenNoColumnIsReadUnderEveryGoal) {
    // CHOOSE over DUAL alone has no statistics to cost with, so its plan is the
    // rule-based one, without cost.
    for (const char* goal : {"ALL_ROWS", "FIRST_ROWS", "RULE", "CHOOSE"}) {
        SCOPED_TRACE(goal);
        EXPECT_EQ(AccessOf("SELECT 1 FROM dual", goal), "FAST DUAL");
        EXPECT_EQ(AccessOf("SELECT SYSDATE FROM sys.dual", goal), "FAST DUAL");
        EXPECT_EQ(AccessOf("SELECT USER FROM dual d WHERE 1 = 1", goal), "FAST DUAL");
        EXPECT_EQ(AccessOf("SELECT * FROM dual", goal), "TABLE ACCESS FULL DUAL");
        EXPECT_EQ(AccessOf("SELECT dummy FROM dual", goal), "TABLE ACCESS FULL DUAL");
        EXPECT_EQ(AccessOf("SELECT 1 FROM dual d WHERE d.dummy = 'X'", goal), "TABLE ACCESS FULL DUAL");
        const bool costBased = std::string(goal).find("_ROWS") != std::string::npos;
        EXPECT_EQ(client->QueryText("SELECT cost FROM plan_table WHERE statement_id = 'DUAL' AND id = 0").empty(),
                  !costBased);
    }
}

INSTANTIATE_TEST_SUITE_P(Generations, DualPlanTest, ::testing::ValuesIn(AllClients()), ClientName);

}  // namespace
