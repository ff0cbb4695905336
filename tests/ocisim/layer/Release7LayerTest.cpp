// The release 7 data areas against exact rows: the cumulative rows-processed
// count, end of data and the fetch states, exact fetches, describe and messages.

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "layer/FakeServer.h"
#include "ocisim/oci/ocisim_oci.h"

namespace {

const char* const kQuery = "SELECT n FROM numbers";

OraText* Text(const char* text) { return reinterpret_cast<OraText*>(const_cast<char*>(text)); }

class Release7LayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        fake::Reset();
        fake::Table table;
        table.columns = {fake::Column("N", ocisim::ColumnType::Number, 22)};
        for (int i = 1; i <= 250; ++i) table.rows.push_back({ocisim::Value::Num(i)});
        fake::TheScript().queries[kQuery] = table;
        table.rows.resize(100);
        fake::TheScript().queries["SELECT n FROM hundred"] = table;
        ASSERT_EQ(olog(&lda, hda, Text("SCOTT"), -1, Text("TIGER"), -1, Text("DEMO"), -1, OCI_LM_DEF), 0);
        ASSERT_EQ(oopen(&cda, &lda, nullptr, -1, -1, nullptr, -1), 0);
    }
    void TearDown() override {
        oclose(&cda);
        ologof(&lda);
    }
    void Parse(const char* sql) {
        ASSERT_EQ(oparse(&cda, Text(sql), -1, 1, 1), 0);
        ASSERT_EQ(odefin(&cda, 1, reinterpret_cast<ub1*>(numbers), sizeof(int), SQLT_INT, -1, nullptr, nullptr, -1, -1,
                         nullptr, nullptr),
                  0);
    }
    std::string Message(int code) {
        OraText buffer[512];
        const sword length = oerhms(&lda, static_cast<sb2>(code), buffer, sizeof buffer);
        return std::string(reinterpret_cast<char*>(buffer), static_cast<std::size_t>(length));
    }

    Lda_Def lda{};
    Cda_Def cda{};
    ub1 hda[HDA_SIZE] = {};
    int numbers[100] = {};
};

TEST_F(Release7LayerTest, RowsProcessedIsCumulativeAndEndOfDataIs1403) {
    Parse(kQuery);
    ASSERT_EQ(oexec(&cda), 0);
    EXPECT_EQ(cda.rpc, 0u);
    EXPECT_EQ(cda.ft, 4);
    EXPECT_EQ(ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rpc, 100u);
    EXPECT_EQ(ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rpc, 200u);
    EXPECT_EQ(numbers[0], 101);
    EXPECT_NE(ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rc, 1403);
    EXPECT_EQ(cda.rpc, 250u);
    EXPECT_EQ(numbers[49], 250);
    EXPECT_NE(ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rc, 1002);
    EXPECT_EQ(Message(1002), "ORA-01002: fetch out of sequence\n");
}

TEST_F(Release7LayerTest, ExactFetchFailsWhenMoreRowsExistButDeliversThem) {
    Parse(kQuery);
    EXPECT_NE(oexfet(&cda, 100, 0, 1), 0);
    EXPECT_EQ(cda.rc, 1422);
    EXPECT_EQ(cda.rpc, 100u);
    EXPECT_EQ(numbers[99], 100);
    EXPECT_NE(ofen(&cda, 100), 0) << "an exact fetch cancels the cursor";
    EXPECT_EQ(cda.rc, 1002);

    Parse("SELECT n FROM hundred");
    EXPECT_EQ(oexfet(&cda, 100, 0, 1), 0);
    EXPECT_EQ(cda.rc, 0);
    EXPECT_EQ(cda.rpc, 100u);

    Parse("SELECT n FROM hundred");
    EXPECT_EQ(oexfet(&cda, 100, 0, 0), 0);
    EXPECT_NE(ofen(&cda, 100), 0);
    EXPECT_EQ(cda.rc, 1403);
    EXPECT_EQ(cda.rpc, 100u);
}

TEST_F(Release7LayerTest, DescribeStopsWith1007PastTheLastColumn) {
    ASSERT_EQ(oparse(&cda, Text(kQuery), -1, 1, 1), 0);
    sb4 size = 0;
    sb2 type = 0;
    sb1 name[999];
    sb4 nameLength = sizeof name;
    ASSERT_EQ(odescr(&cda, 1, &size, &type, name, &nameLength, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(type, 2);
    EXPECT_EQ(size, 22);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(name), static_cast<std::size_t>(nameLength)), "N");
    EXPECT_NE(odescr(&cda, 2, &size, &type, name, &nameLength, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(cda.rc, 1007);
}

TEST_F(Release7LayerTest, ServerErrorsComeThroughTheCursorArea) {
    ASSERT_EQ(oparse(&cda, Text("SELECT * FROM missing"), -1, 1, 1), 0) << "a deferred parse does not reach the server";
    EXPECT_NE(oexec(&cda), 0);
    EXPECT_EQ(cda.rc, 942);
    EXPECT_EQ(Message(cda.rc), "ORA-00942: table or view does not exist\n");
    EXPECT_NE(oparse(&cda, Text("SELECT * FROM missing"), -1, 0, 1), 0) << "a parse that is not deferred does";
    EXPECT_EQ(cda.rc, 942);
    EXPECT_EQ(cda.fc, 54);
}

TEST_F(Release7LayerTest, ParseThatIsNotDeferredRunsDataDefinitionOnce) {
    int runs = 0;
    fake::TheScript().handler = [&runs](const std::string&, std::vector<ocisim::Bind>&) {
        ++runs;
        return ocisim::ExecResult{};
    };
    ASSERT_EQ(oparse(&cda, Text("CREATE TABLE t (x NUMBER)"), -1, 0, 1), 0);
    EXPECT_EQ(cda.ft, 1);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(oexec(&cda), 0);
    EXPECT_EQ(runs, 1) << "the execute after the parse does not run it again";
    EXPECT_EQ(oexec(&cda), 0);
    EXPECT_EQ(runs, 2);

    ASSERT_EQ(oparse(&cda, Text("UPDATE t SET x = 1"), -1, 0, 1), 0);
    EXPECT_EQ(cda.ft, 5);
    EXPECT_EQ(runs, 2) << "other statements wait for the execute";
}

TEST_F(Release7LayerTest, ClosedCursorAndLoggedOffAreaAreRefused) {
    Cda_Def other{};
    EXPECT_NE(oexec(&other), 0);
    EXPECT_EQ(other.rc, 1001);
    Lda_Def never{};
    EXPECT_NE(oopen(&other, &never, nullptr, -1, -1, nullptr, -1), 0);
    EXPECT_EQ(other.rc, 1012);
}

TEST_F(Release7LayerTest, LogonFailuresSetTheLogonArea) {
    Lda_Def failed{};
    ub1 area[HDA_SIZE] = {};
    EXPECT_NE(olog(&failed, area, Text("SCOTT"), -1, Text("LION"), -1, Text("DEMO"), -1, OCI_LM_DEF), 0);
    EXPECT_EQ(failed.rc, 1017);
    EXPECT_EQ(Message(1017), "ORA-01017: invalid username/password; logon denied\n");
    EXPECT_NE(olog(&failed, area, Text("SCOTT"), -1, Text("TIGER"), -1, Text("NOWHERE"), -1, OCI_LM_DEF), 0);
    EXPECT_EQ(failed.rc, 12154);
    // user/password@alias in the user name alone
    ASSERT_EQ(olog(&failed, area, Text("SCOTT/TIGER@DEMO"), -1, nullptr, -1, nullptr, -1, OCI_LM_DEF), 0);
    EXPECT_EQ(ologof(&failed), 0);
    EXPECT_NE(ologof(&failed), 0);
    EXPECT_EQ(failed.rc, 1012);
}

}  // namespace
