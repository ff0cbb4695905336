// The release 7 calls beyond the ones every client uses: binding by number and
// with lengths, single-row fetch, array execute, cancel, rollback, auto-commit,
// options, LONG pieces and the describe of stored procedures, on both libraries.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "ClientLibrary.h"

namespace {

OraText* Sql(const char* text) { return reinterpret_cast<OraText*>(const_cast<char*>(text)); }

class Release7CallsTest : public ::testing::TestWithParam<const CClientLibrary*> {
protected:
    void SetUp() override {
        UseScenario("demo");
        ASSERT_TRUE(GetParam()->IsLoaded()) << GetParam()->Path();
        api = GetParam()->Release7();
        ASSERT_EQ(api.olog(&lda, hda, Sql("SCOTT"), -1, Sql("TIGER"), -1, Sql("DEMO"), -1, OCI_LM_DEF), 0) << lda.rc;
        ASSERT_EQ(api.oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    }
    void TearDown() override {
        api.oclose(&cda);
        api.ologof(&lda);
    }
    // A count through a fresh cursor, so that the test's cursor keeps its state.
    long Count(const char* sql) {
        Cda_Def other{};
        std::int64_t count = -1;
        EXPECT_EQ(api.oopen(&other, &lda, nullptr, -1, -1, nullptr, -1), 0);
        EXPECT_EQ(api.oparse(&other, Sql(sql), -1, 1, 2), 0) << other.rc;
        EXPECT_EQ(api.odefin(&other, 1, reinterpret_cast<ub1*>(&count), sizeof count, SQLT_INT, -1, nullptr, nullptr,
                             -1, -1, nullptr, nullptr),
                  0);
        EXPECT_EQ(api.oexfet(&other, 1, 0, 0), 0) << other.rc;
        api.oclose(&other);
        return static_cast<long>(count);
    }

    Release7Api api;
    Lda_Def lda{};
    Cda_Def cda{};
    ub1 hda[512] = {};
};

TEST_P(Release7CallsTest, BindByNumberNamesTheNumberedPlaceholder) {
    ASSERT_EQ(api.oparse(&cda, Sql("SELECT COUNT(*) FROM emp WHERE sal > :2 AND deptno = :1"), -1, 1, 2), 0);
    int deptno = 10;
    int salary = 2000;
    std::int64_t count = -1;
    // Bound in the order of the numbers, not of their places in the text.
    EXPECT_EQ(api.obndrn(&cda, 1, reinterpret_cast<ub1*>(&deptno), sizeof deptno, SQLT_INT, -1, nullptr, nullptr, -1,
                         -1),
              0);
    EXPECT_EQ(cda.fc, 30);
    EXPECT_EQ(api.obndrn(&cda, 2, reinterpret_cast<ub1*>(&salary), sizeof salary, SQLT_INT, -1, nullptr, nullptr, -1,
                         -1),
              0);
    EXPECT_NE(api.obndrn(&cda, 3, reinterpret_cast<ub1*>(&salary), sizeof salary, SQLT_INT, -1, nullptr, nullptr, -1,
                         -1),
              0);
    EXPECT_EQ(cda.rc, 1036) << "no placeholder :3";
    ASSERT_EQ(api.odefin(&cda, 1, reinterpret_cast<ub1*>(&count), sizeof count, SQLT_INT, -1, nullptr, nullptr, -1, -1,
                         nullptr, nullptr),
              0);
    EXPECT_EQ(api.oexfet(&cda, 1, 0, 0), 0) << cda.rc;
    EXPECT_EQ(count, 2) << "KING and CLARK";
}

TEST_P(Release7CallsTest, BindWithLengthsTakesTheGivenLengthAndRefusesArraysOutsidePlSql) {
    ASSERT_EQ(api.oparse(&cda, Sql("SELECT COUNT(*) FROM emp WHERE ename = :n"), -1, 1, 2), 0);
    char name[] = "KINGDOM";
    ub2 length = 4;
    ub2 code = 0;
    ub4 current = 3;
    EXPECT_NE(api.obndra(&cda, Sql(":n"), -1, reinterpret_cast<ub1*>(name), sizeof name, SQLT_CHR, -1, nullptr,
                         &length, &code, 5, &current, nullptr, -1, -1),
              0);
    EXPECT_EQ(cda.rc, 1484);
    EXPECT_EQ(api.obndra(&cda, Sql(":n"), -1, reinterpret_cast<ub1*>(name), sizeof name, SQLT_CHR, -1, nullptr,
                         &length, &code, 0, nullptr, nullptr, -1, -1),
              0)
        << cda.rc;
    EXPECT_EQ(cda.fc, 62);
    std::int64_t count = -1;
    ASSERT_EQ(api.odefin(&cda, 1, reinterpret_cast<ub1*>(&count), sizeof count, SQLT_INT, -1, nullptr, nullptr, -1, -1,
                         nullptr, nullptr),
              0);
    EXPECT_EQ(api.oexfet(&cda, 1, 0, 0), 0) << cda.rc;
    EXPECT_EQ(count, 1) << "the first four bytes, KING";
}

TEST_P(Release7CallsTest, SingleRowFetchAndCancel) {
    ASSERT_EQ(api.oparse(&cda, Sql("SELECT ename FROM emp WHERE deptno = 10 ORDER BY ename"), -1, 1, 2), 0);
    char name[11] = {};
    ASSERT_EQ(api.odefin(&cda, 1, reinterpret_cast<ub1*>(name), sizeof name, SQLT_STR, -1, nullptr, nullptr, -1, -1,
                         nullptr, nullptr),
              0);
    ASSERT_EQ(api.oexec(&cda), 0) << cda.rc;
    EXPECT_EQ(api.ofetch(&cda), 0);
    EXPECT_STREQ(name, "CLARK");
    EXPECT_EQ(cda.rpc, 1u);
    EXPECT_EQ(api.ofetch(&cda), 0);
    EXPECT_STREQ(name, "KING");
    EXPECT_EQ(cda.rpc, 2u);
    EXPECT_EQ(api.ofetch(&cda), 0);
    EXPECT_STREQ(name, "MILLER");
    EXPECT_NE(api.ofetch(&cda), 0);
    EXPECT_EQ(cda.rc, 1403);

    ASSERT_EQ(api.oexfet(&cda, 1, 0, 0), 0) << "the statement stays parsed";
    EXPECT_STREQ(name, "CLARK");
    EXPECT_EQ(api.ocan(&cda), 0);
    EXPECT_EQ(cda.fc, 52);
    EXPECT_NE(api.ofetch(&cda), 0);
    EXPECT_EQ(cda.rc, 1002) << "the cancelled query has no more rows";
    EXPECT_EQ(api.oexfet(&cda, 1, 0, 0), 0) << "it runs again";

    Cda_Def closed{};
    EXPECT_NE(api.ofetch(&closed), 0);
    EXPECT_EQ(closed.rc, 1001);
    EXPECT_NE(api.ocan(&closed), 0);
    EXPECT_EQ(closed.rc, 1001);
}

TEST_P(Release7CallsTest, ArrayExecuteRollbackAndAutoCommit) {
    ASSERT_EQ(api.oparse(&cda, Sql("INSERT INTO dept (deptno, dname) VALUES (:1, :2)"), -1, 1, 2), 0);
    int numbers[4] = {91, 92, 93, 94};
    char names[4][8] = {"ONE", "TWO", "THREE", "FOUR"};
    ASSERT_EQ(api.obndrn(&cda, 1, reinterpret_cast<ub1*>(numbers), sizeof numbers[0], SQLT_INT, -1, nullptr, nullptr,
                         -1, -1),
              0);
    ASSERT_EQ(api.obndrn(&cda, 2, reinterpret_cast<ub1*>(names), sizeof names[0], SQLT_STR, -1, nullptr, nullptr, -1,
                         -1),
              0);
    EXPECT_NE(api.oexn(&cda, 0, 0), 0);
    EXPECT_EQ(cda.rc, 24333);
    EXPECT_EQ(api.oexn(&cda, 4, 1), 0) << cda.rc;
    EXPECT_EQ(cda.rpc, 3u) << "elements 1 to 3";
    EXPECT_EQ(Count("SELECT COUNT(*) FROM dept WHERE deptno > 90"), 3);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM dept WHERE dname = 'ONE'"), 0);
    EXPECT_EQ(api.orol(&lda), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM dept WHERE deptno > 90"), 0);

    // With auto-commit on, the rollback finds nothing to undo.
    EXPECT_EQ(api.ocon(&lda), 0);
    EXPECT_EQ(api.oexn(&cda, 2, 0), 0) << cda.rc;
    EXPECT_EQ(cda.rpc, 2u);
    EXPECT_EQ(api.orol(&lda), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM dept WHERE deptno > 90"), 2);
    EXPECT_EQ(api.oparse(&cda, Sql("DELETE FROM dept WHERE deptno > 90"), -1, 1, 2), 0);
    EXPECT_EQ(api.oexec(&cda), 0) << cda.rc;
    EXPECT_EQ(cda.rpc, 2u);
    EXPECT_EQ(api.ocof(&lda), 0);
    EXPECT_EQ(Count("SELECT COUNT(*) FROM dept WHERE deptno > 90"), 0);

    Lda_Def never{};
    EXPECT_NE(api.orol(&never), 0);
    EXPECT_EQ(never.rc, 1012);
    EXPECT_NE(api.ocon(&never), 0);
    EXPECT_EQ(never.rc, 1012);
}

TEST_P(Release7CallsTest, LongColumnIsReadInPiecesAndOtherColumnsAreRefused) {
    ASSERT_EQ(api.oparse(&cda, Sql("INSERT INTO plan_table (statement_id, other) VALUES ('LONG', 'abcdefghij')"), -1,
                         1, 2),
              0);
    ASSERT_EQ(api.oexec(&cda), 0) << cda.rc;
    ASSERT_EQ(api.oparse(&cda, Sql("SELECT other, statement_id FROM plan_table WHERE statement_id = 'LONG'"), -1, 1,
                         2),
              0);
    char id[31] = {};
    ASSERT_EQ(api.odefin(&cda, 2, reinterpret_cast<ub1*>(id), sizeof id, SQLT_STR, -1, nullptr, nullptr, -1, -1,
                         nullptr, nullptr),
              0);
    ub1 piece[4] = {};
    ub4 length = 99;
    EXPECT_NE(api.oflng(&cda, 1, piece, sizeof piece, SQLT_LNG, &length, 0), 0);
    EXPECT_EQ(cda.rc, 1002) << "nothing fetched yet";
    ASSERT_EQ(api.oexfet(&cda, 1, 0, 0), 0) << cda.rc;
    EXPECT_STREQ(id, "LONG");
    EXPECT_EQ(api.oflng(&cda, 1, piece, sizeof piece, SQLT_LNG, &length, 3), 0) << cda.rc;
    EXPECT_EQ(cda.fc, 58);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(piece), 4), "defg");
    EXPECT_EQ(api.oflng(&cda, 1, piece, sizeof piece, SQLT_LNG, &length, 8), 0) << cda.rc;
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(piece), 2), "ij");
    EXPECT_EQ(api.oflng(&cda, 1, piece, sizeof piece, SQLT_LNG, &length, 20), 0);
    EXPECT_EQ(length, 0u) << "past the end";
    EXPECT_NE(api.oflng(&cda, 2, piece, sizeof piece, SQLT_LNG, &length, 0), 0);
    EXPECT_EQ(cda.rc, 1018);
    EXPECT_NE(api.oflng(&cda, 3, piece, sizeof piece, SQLT_LNG, &length, 0), 0);
    EXPECT_EQ(cda.rc, 1007);
    EXPECT_EQ(api.orol(&lda), 0);
}

TEST_P(Release7CallsTest, OptionsAndProcedureDescribe) {
    EXPECT_EQ(api.oopt(&cda, 0, 0), 0);
    EXPECT_EQ(api.oopt(&cda, 2, 1), 0);
    EXPECT_EQ(cda.fc, 34);
    EXPECT_NE(api.oopt(&cda, 3, 0), 0);
    EXPECT_EQ(cda.rc, 1010);

    ub2 overload[8] = {};
    ub2 position[8] = {};
    ub2 level[8] = {};
    OraText* names[8] = {};
    ub2 nameLengths[8] = {};
    ub2 types[8] = {};
    ub1 defaults[8] = {};
    ub1 modes[8] = {};
    ub4 sizes[8] = {};
    sb2 precisions[8] = {};
    sb2 scales[8] = {};
    ub1 radixes[8] = {};
    ub4 spare[8] = {};
    ub4 count = 8;
    char procedure[] = "CorvidExplainPlan";
    EXPECT_NE(api.odessp(&cda, Sql(procedure), std::strlen(procedure), nullptr, 0, nullptr, 0, overload, position,
                         level, names, nameLengths, types, defaults, modes, sizes, precisions, scales, radixes, spare,
                         &count),
              0);
    EXPECT_EQ(cda.rc, 3001);
    char text[200] = {};
    api.oerhms(&lda, static_cast<sb2>(cda.rc), reinterpret_cast<OraText*>(text), sizeof text);
    EXPECT_STREQ(text, "ORA-03001: unimplemented feature\n");
}

INSTANTIATE_TEST_SUITE_P(Libraries, Release7CallsTest,
                         ::testing::Values(&CClientLibrary::Clntsh(), &CClientLibrary::Ociw32()),
                         [](const ::testing::TestParamInfo<const CClientLibrary*>& info) {
                             return info.param == &CClientLibrary::Clntsh() ? std::string("Clntsh")
                                                                            : std::string("Ociw32");
                         });

}  // namespace
