// Parse, bind, define, execute and fetch through both interface generations.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "OracleTestSupport.h"
#include "oracle/OracleCursor.h"

namespace corvid::test {
namespace {

using ::testing::ExitedWithCode;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kInt = 3;
constexpr int kText = 5;

class CursorTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        m_connection = std::make_unique<COracleConnection>(nullptr, GetParam(), SimLoader());
        ASSERT_TRUE(m_connection->Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    }
    void TearDown() override { m_connection->Logoff(); }

    CScratchFolder m_folder;
    CTestPrompter m_prompter;
    CPrompterScope m_scope{m_prompter};
    std::unique_ptr<COracleConnection> m_connection;
};

TEST_P(CursorTest, BindByNameAndFetchOneRow) {
    COracleCursor cursor(*m_connection);
    cursor.Parse("SELECT ename, sal FROM emp WHERE empno = :e");
    int empno = 7839;
    char name[11] = {};
    double salary = 0;
    short nameIndicator = 0;
    cursor.Bind(":e", &empno, sizeof(empno), kInt);
    cursor.Define(1, name, sizeof(name), kText, &nameIndicator);
    cursor.Define(2, &salary, sizeof(salary), 4);
    int rows = -1;
    EXPECT_TRUE(cursor.ExecuteAndFetch(1, &rows));
    EXPECT_EQ(rows, 1);
    EXPECT_STREQ(name, "KING");
    EXPECT_EQ(salary, 5000);
    EXPECT_EQ(nameIndicator, 0);
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_P(CursorTest, AFetchPastTheLastRowIsFalseNotAnError) {
    COracleCursor cursor(*m_connection);
    cursor.Parse("SELECT ename FROM emp WHERE empno = 7788");
    char name[11] = {};
    cursor.Define(1, name, sizeof(name), kText);
    EXPECT_TRUE(cursor.Execute(0));
    int rows = -1;
    EXPECT_TRUE(cursor.Fetch(1, &rows));
    EXPECT_EQ(rows, 1);
    EXPECT_STREQ(name, "SCOTT");
    rows = -1;
    EXPECT_FALSE(cursor.Fetch(1, &rows));
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_P(CursorTest, ExecuteAndFetchOfAQueryWithoutRowsIsFalse) {
    COracleCursor cursor(*m_connection);
    cursor.Parse("SELECT ename FROM emp WHERE empno = 1");
    char name[11] = {};
    cursor.Define(1, name, sizeof(name), kText);
    int rows = -1;
    EXPECT_FALSE(cursor.ExecuteAndFetch(1, &rows));
    EXPECT_EQ(rows, 0);
}

// The statement loader's loop: define arrays of N elements, execute with no
// rows, then fetch N at a time until a call delivers fewer than N.
struct ArrayLoop {
    std::vector<int> calls;  // rows delivered by each fetch
    std::vector<int> values;
};

ArrayLoop FetchInArrays(COracleCursor& cursor, const std::string& statement, int n) {
    ArrayLoop loop;
    std::vector<int> numbers(n, -1);
    cursor.Parse(statement);
    cursor.Define(1, numbers.data(), sizeof(int), kInt);
    cursor.Execute(0);
    for (;;) {
        int rows = -1;
        const bool more = cursor.Fetch(n, &rows);
        loop.calls.push_back(rows);
        loop.values.insert(loop.values.end(), numbers.begin(), numbers.begin() + rows);
        EXPECT_EQ(more, rows == n);
        if (rows < n) break;
    }
    return loop;
}

TEST_P(CursorTest, ArrayLoopOverExactlyNRows) {
    COracleCursor cursor(*m_connection);
    ArrayLoop loop = FetchInArrays(cursor, "SELECT deptno FROM dept ORDER BY deptno", 4);
    EXPECT_THAT(loop.calls, ::testing::ElementsAre(4, 0));
    EXPECT_THAT(loop.values, ::testing::ElementsAre(10, 20, 30, 40));
}

TEST_P(CursorTest, ArrayLoopOverFewerRowsThanTheArrayHolds) {
    COracleCursor cursor(*m_connection);
    ArrayLoop loop = FetchInArrays(cursor, "SELECT empno FROM emp ORDER BY empno", 5);
    EXPECT_THAT(loop.calls, ::testing::ElementsAre(5, 5, 4));
    ASSERT_EQ(loop.values.size(), 14u);
    EXPECT_EQ(loop.values.front(), 7369);
    EXPECT_EQ(loop.values.back(), 7934);

    // The cursor is used again for another statement; the counts start afresh.
    loop = FetchInArrays(cursor, "SELECT deptno FROM dept ORDER BY deptno", 100);
    EXPECT_THAT(loop.calls, ::testing::ElementsAre(4));
}

TEST_P(CursorTest, ExecuteAndFetchIsTrueOnlyWhenAllRequestedRowsCame) {
    COracleCursor cursor(*m_connection);
    int numbers[5] = {};
    cursor.Parse("SELECT deptno FROM dept ORDER BY deptno");
    cursor.Define(1, numbers, sizeof(int), kInt);
    int rows = -1;
    EXPECT_TRUE(cursor.ExecuteAndFetch(4, &rows));
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(numbers[3], 40);

    numbers[3] = 0;
    rows = -1;
    EXPECT_FALSE(cursor.ExecuteAndFetch(5, &rows));
    EXPECT_EQ(rows, 4);
    EXPECT_EQ(numbers[3], 40);
}

TEST_P(CursorTest, NullValuesSetTheIndicator) {
    COracleCursor cursor(*m_connection);
    cursor.Parse("SELECT comm FROM emp WHERE empno = 7839");
    int commission = 12345;
    short indicator = 0;
    cursor.Define(1, &commission, sizeof(commission), kInt, &indicator);
    EXPECT_TRUE(cursor.ExecuteAndFetch(1));
    EXPECT_EQ(indicator, -1);
}

TEST_P(CursorTest, ExecuteWithReportingOffLeavesTheErrorToTheCaller) {
    COracleCursor cursor(*m_connection);
    cursor.Parse("SELECT COUNT(1) FROM no_such_table");
    int count = 0;
    cursor.Define(1, &count, sizeof(count), kInt);
    EXPECT_FALSE(cursor.Execute(1, COracleCursor::EOnError::Return));
    EXPECT_EQ(cursor.GetErrorCode(), 942);
    EXPECT_EQ(cursor.GetErrorText(), "ORA-00942: table or view does not exist");
    EXPECT_TRUE(m_prompter.Prompts().empty());

    // The cursor goes on with the next statement.
    cursor.Parse("SELECT COUNT(1) FROM dept");
    cursor.Define(1, &count, sizeof(count), kInt);
    EXPECT_TRUE(cursor.ExecuteAndFetch(1));
    EXPECT_EQ(count, 4);
}

TEST_P(CursorTest, DescribeColumnsListsTheSelectList) {
    COracleCursor cursor(*m_connection);
    cursor.Parse("SELECT empno, ename, hiredate FROM emp");
    std::vector<CColumnDescription> columns;
    cursor.DescribeColumns(columns);
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].m_Name, "EMPNO");
    EXPECT_EQ(columns[0].m_DataType, 2);
    EXPECT_EQ(columns[0].m_Precision, 4);
    EXPECT_FALSE(columns[0].m_Nullable);
    EXPECT_EQ(columns[1].m_Name, "ENAME");
    EXPECT_EQ(columns[1].m_DataType, 1);
    EXPECT_EQ(columns[1].m_DataSize, 10);
    EXPECT_TRUE(columns[1].m_Nullable);
    EXPECT_EQ(columns[2].m_DataType, 12);
}

TEST_P(CursorTest, ParsedStatementsAreTracedFromLevelFifteen) {
    for (int level : {14, 15}) {
        const std::string file = (m_folder / ("trace" + std::to_string(level))).string();
        CTraceContext trace;
        trace.Open(file, level);
        COracleConnection connection(&trace, GetParam(), SimLoader());
        ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
        COracleCursor cursor(connection);
        cursor.Parse("SELECT 1 FROM dual");
        connection.Logoff();
        const std::string line = "\r\nCOracleCursor::Parse(SELECT 1 FROM dual)\r\n";
        if (level == 14) {
            EXPECT_THAT(ReadFile(file), Not(HasSubstr("COracleCursor::Parse(")));
        } else {
            EXPECT_THAT(ReadFile(file), HasSubstr(line));
        }
    }
}

TEST_P(CursorTest, AFailedExecuteEndsTheProgramWithTheStatement) {
    CTraceContext trace;
    trace.Open((m_folder / "Corvid.log").string(), 1);
    COracleConnection connection(&trace, GetParam(), SimLoader());
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    COracleCursor cursor(connection);
    cursor.Parse("UPDATE no_such_table SET x = 1");
    CFilePrompter prompter(m_folder / "prompts.txt");
    SetPrompter(&prompter);
    EXPECT_EXIT(cursor.Execute(1), ExitedWithCode(1), "");
    const std::string message =
        "ORACLE Error #942\nORA-00942: table or view does not exist\n[UPDATE no_such_table SET x = 1]";
    EXPECT_EQ(ReadFile(m_folder / "prompts.txt"),
              "<ORACLE ERROR>ORACLE Error #942\r\nORA-00942: table or view does not exist\r\n"
              "[UPDATE no_such_table SET x = 1]</ORACLE ERROR>");
    EXPECT_THAT(ReadFile(m_folder / "Corvid.log"), HasSubstr("=== ORACLE ERROR ===\r\n"));
    EXPECT_THAT(ReadFile(m_folder / "Corvid.log"), HasSubstr("\r\n" + message + "\r\n"));
}

TEST_P(CursorTest, AFatalErrorOnAWorkerThreadShowsTheDialogAndEndsTheProgram) {
    CTraceContext trace;
    trace.Open((m_folder / "Corvid.log").string(), 1);
    COracleConnection connection(&trace, GetParam(), SimLoader());
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    CFilePrompter prompter(m_folder / "prompts.txt");
    auto failOnWorker = [&] {
        SetPrompter(&prompter);
        std::thread worker([&] {
            COracleCursor cursor(connection);
            cursor.Parse("SELECT ename FROM no_such_view");
            char name[11];
            cursor.Define(1, name, sizeof(name), kText);
            cursor.ExecuteAndFetch(1);
        });
        worker.join();
    };
    EXPECT_EXIT(failOnWorker(), ExitedWithCode(1), "");
    EXPECT_EQ(ReadFile(m_folder / "prompts.txt"),
              "<ORACLE ERROR>ORACLE Error #942\r\nORA-00942: table or view does not exist\r\n"
              "[SELECT ename FROM no_such_view]</ORACLE ERROR>");
    EXPECT_THAT(ReadFile(m_folder / "Corvid.log"),
                HasSubstr("\r\nORACLE Error #942\nORA-00942: table or view does not exist\n"
                          "[SELECT ename FROM no_such_view]\r\n"));
}

TEST_P(CursorTest, WithoutTraceTheFatalReportStillShowsTheDialog) {
    CFilePrompter prompter(m_folder / "prompts.txt");
    COracleCursor cursor(*m_connection);
    cursor.Parse("SELEKT 1 FROM dual");
    SetPrompter(&prompter);
    EXPECT_EXIT(cursor.Execute(1), ExitedWithCode(1), "");
    EXPECT_THAT(ReadFile(m_folder / "prompts.txt"),
                HasSubstr("ORA-00900: invalid SQL statement\r\n[SELEKT 1 FROM dual]"));
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, CursorTest, ::testing::Values(7, 8),
                         [](const auto& info) { return "OCI" + std::to_string(info.param); });

// The client asks the callback for a buffer for each row of a dynamic define.
struct DynamicColumn {
    char buffer[32] = {};
    oci::ub4 length = 0;
    short indicator = 0;
    int calls = 0;

    static oci::sb4 Supply(void* context, oci::OCIDefine*, oci::ub4, void** buffer, oci::ub4** length, oci::ub1* piece,
                           void** indicator, oci::ub2**) {
        auto* self = static_cast<DynamicColumn*>(context);
        ++self->calls;
        self->length = sizeof(self->buffer);
        *buffer = self->buffer;
        *length = &self->length;
        *piece = 0;  // one piece
        *indicator = &self->indicator;
        return oci::OCI_CONTINUE;
    }
};

TEST(CursorOci8Test, DynamicDefineFetchesThroughTheCallback) {
    CTestPrompter prompter;
    CPrompterScope scope(prompter);
    COracleConnection connection(nullptr, 8, SimLoader());
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    {
        COracleCursor cursor(connection);
        cursor.Parse("SELECT ename FROM emp WHERE empno = 7902");
        DynamicColumn column;
        unsigned short returned = 0;
        cursor.DefineDynamic(1, 1, &returned, &column, &DynamicColumn::Supply);
        EXPECT_TRUE(cursor.ExecuteAndFetch(1));
        EXPECT_GE(column.calls, 1);
        EXPECT_EQ(std::string(column.buffer, column.length), "FORD");
    }
    {
        COracleCursor cursor(connection);
        void* locator = cursor.AllocLob();
        EXPECT_NE(locator, nullptr);
        cursor.FreeLob(locator);
    }
    connection.Logoff();
    EXPECT_TRUE(prompter.Prompts().empty());
}

TEST(CursorTypeNameTest, NamesTheExternalTypes) {
    EXPECT_EQ(COracleCursor::GetSqltTypeName(5), "SQLT_STR(5)");
    EXPECT_EQ(COracleCursor::GetSqltTypeName(156), "SQLT_ODT(156)");
    EXPECT_EQ(COracleCursor::GetSqltTypeName(13), "?\?\?(13)");
}

// Release 7 offers no dynamic defines and no large objects.
TEST(CursorOci7Test, OperationsOutsideTheGenerationFailThroughTheErrorReport) {
    CScratchFolder folder;
    COracleConnection connection(nullptr, 7, SimLoader());
    ASSERT_TRUE(connection.Logon("SCOTT", "TIGER", "DEMO", EConnectMode::Normal));
    COracleCursor cursor(connection);
    cursor.Parse("SELECT ename FROM emp");
    CFilePrompter prompter(folder / "prompts.txt");
    SetPrompter(&prompter);
    unsigned short length = 0;
    EXPECT_EXIT(cursor.DefineDynamic(1, kText, &length, nullptr, nullptr), ExitedWithCode(1), "");
    EXPECT_EQ(ReadFile(folder / "prompts.txt"),
              "<ORACLE ERROR>ORACLE Error\r\nThe operation 'DefineDynamic' is not available with the OCI7 "
              "interface.\r\n[SELECT ename FROM emp]</ORACLE ERROR>");
    SetPrompter(nullptr);
}

}  // namespace
}  // namespace corvid::test
