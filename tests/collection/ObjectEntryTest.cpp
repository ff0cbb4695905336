#include "collection/ObjectEntry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "diag/TraceContext.h"
#include "list/StatementColumn.h"

namespace corvid {
namespace {

CObjectEntry MakeEntry() {
    return CObjectEntry(12.3456, 0.0, 2.5e9, 1000, 7, 3, 4, 10, 1024, 512, 256, 2, 3, "CHOOSE", 11, 12, "SCOTT",
                        "0A1B2C3D", "select * from emp", "2026-12-06/13:17:02");
}

TEST(ObjectEntryTest, ValueConstructorClearsAnalysisFields) {
    CObjectEntry fresh = MakeEntry();
    EXPECT_EQ(fresh.SqlPlan(), "");
    EXPECT_EQ(fresh.ErrorMessage(), "");
    EXPECT_EQ(fresh.DebugField(), "");
    EXPECT_EQ(fresh.m_PlanCost, 0);
    EXPECT_EQ(fresh.m_NoOfFullTableScans, 0);
    EXPECT_EQ(fresh.m_Distance, 0);
    EXPECT_EQ(fresh.m_Status, 0);
    EXPECT_EQ(fresh.m_OptimizerMode, "CHOOSE");
    EXPECT_EQ(fresh.m_ParsingSchemaId, 11);
    EXPECT_EQ(fresh.m_ParsingUserId, 12);
    EXPECT_EQ(fresh.m_FirstLoadTime, "2026-12-06/13:17:02");
}

TEST(ObjectEntryTest, CountsAndPerExecutionFigures) {
    CObjectEntry e = MakeEntry();
    EXPECT_EQ(e.m_DiskReads, 2.5e9);
    EXPECT_EQ(e.GetColumnText(kColDiskReads), "2500000000");
    EXPECT_EQ(e.GetColumnText(kColBufferGets), "1000");
    EXPECT_EQ(e.GetColumnText(kColBufferGetsPerExec), "333");
    EXPECT_EQ(e.GetColumnText(kColDiskReadsPerExec), "833333333");
    EXPECT_EQ(e.GetColumnText(kColSortsPerExec), "2");
    EXPECT_EQ(e.GetColumnText(kColRowsPerExec), "3");
    EXPECT_EQ(e.GetColumnText(kColExecutions), "3");
    EXPECT_EQ(e.GetColumnText(kColParseCalls), "4");
    EXPECT_EQ(e.GetColumnText(kColSharableMem), "1024");
    EXPECT_EQ(e.GetColumnText(kColPersistentMem), "512");
    EXPECT_EQ(e.GetColumnText(kColRuntimeMem), "256");
    EXPECT_EQ(e.GetColumnText(kColLoads), "2");

    e.m_Executions = 0;
    for (StatementColumn c : {kColDiskReadsPerExec, kColBufferGetsPerExec, kColSortsPerExec, kColRowsPerExec}) {
        EXPECT_EQ(e.GetColumnText(c), "0") << c;
    }
    e.m_Executions = 2;
    e.m_BufferGets = 7;
    EXPECT_EQ(e.GetColumnText(kColBufferGetsPerExec), "3");
    e.m_BufferGets = -7;
    EXPECT_EQ(e.GetColumnText(kColBufferGetsPerExec), "-3");  // toward zero
    EXPECT_EQ(e.GetColumnText(kColBufferGets), "-7");
    e.m_Sorts = 9.99;
    EXPECT_EQ(e.GetColumnText(kColSorts), "9");
}

TEST(ObjectEntryTest, PercentagesKeepTwoDecimals) {
    CObjectEntry e = MakeEntry();
    EXPECT_EQ(e.GetColumnText(kColPercOfDiskReads), "12.35");
    EXPECT_EQ(e.GetColumnText(kColPercOfBufferGets), "0.00");
    e.m_PercOfBufferGets = 100;
    EXPECT_EQ(e.GetColumnText(kColPercOfBufferGets), "100.00");
    char expected[64];
    for (double v : {0.005, 0.015, 1.125, 99.995, 33.3333333}) {
        e.m_PercOfBufferGets = v;
        std::snprintf(expected, sizeof expected, "%3.2lf", v);
        EXPECT_EQ(e.GetColumnText(kColPercOfBufferGets), expected) << v;
    }
}

TEST(ObjectEntryTest, TextAndIntegerColumns) {
    CObjectEntry e = MakeEntry();
    e.SetPlanCost(42);
    e.SetNoOfFullTableScans(2);
    e.SetDistance(-5);
    e.SetErrorMessage("ORA-00942");
    e.SetDebugField("dbg");
    EXPECT_EQ(e.GetColumnText(kColCommandType), "3");
    EXPECT_EQ(e.GetColumnText(kColCommandName), "SELECT");
    EXPECT_EQ(e.GetColumnText(kColOptimizerMode), "CHOOSE");
    EXPECT_EQ(e.GetColumnText(kColParsingSchemaId), "11");
    EXPECT_EQ(e.GetColumnText(kColParsingUserId), "12");
    EXPECT_EQ(e.GetColumnText(kColUserName), "SCOTT");
    EXPECT_EQ(e.GetColumnText(kColAddress), "0A1B2C3D");
    EXPECT_EQ(e.GetColumnText(kColSqlText), "select * from emp");
    EXPECT_EQ(e.GetColumnText(kColFirstLoadTime), "2026-12-06/13:17:02");
    EXPECT_EQ(e.GetColumnText(kColPlanCost), "42");
    EXPECT_EQ(e.GetColumnText(kColFullTableScans), "2");
    EXPECT_EQ(e.GetColumnText(kColDistance), "-5");
    EXPECT_EQ(e.GetColumnText(kColErrorMessage), "ORA-00942");
    EXPECT_EQ(e.GetColumnText(kColDebugField), "dbg");
    for (int code : {0, 31, -1, 9997, 9999})
        EXPECT_EQ(e.GetColumnText(code), "") << code;

    const char* status[] = {"analyzed", "not analyzed", "", "error", ""};
    for (int s = 0; s < 5; ++s) {
        e.SetStatus(s);
        EXPECT_EQ(e.GetColumnText(kColStatus), status[s]) << s;
    }
    e.SetStatus(-1);
    EXPECT_EQ(e.GetColumnText(kColStatus), "");

    std::string appended = "x";
    e.AppendColumnText(kColUserName, appended);
    EXPECT_EQ(appended, "xSCOTT");
}

TEST(ObjectEntryTest, CommandNames) {
    const std::pair<int, const char*> names[] = {{2, "INSERT"},           {3, "SELECT"},          {6, "UPDATE"},
                                                 {7, "DELETE"},           {35, "ALTER DATABASE"}, {42, "ALTER SESSION"},
                                                 {47, "PL/SQL"},          {50, "EXPLAIN PLAN"},   {62, "ANALYZE TABLE"},
                                                 {64, "ANALYZE CLUSTER"}, {4, "OTHERS"},          {0, "OTHERS"}};
    CObjectEntry e;
    for (auto [code, name] : names) {
        e.m_CommandType = code;
        EXPECT_EQ(e.GetCommandName(), name);
        EXPECT_EQ(e.GetColumnText(kColCommandName), name);
    }
}

TEST(ObjectEntryTest, HugeAndInvalidCountsDoNotOverflow) {
    CObjectEntry e;
    e.m_Executions = 1;
    e.m_DiskReads = 1e30;
    EXPECT_EQ(e.GetColumnText(kColDiskReads), "9223372036854775807");
    e.m_DiskReads = -1e30;
    EXPECT_EQ(e.GetColumnText(kColDiskReads), "-9223372036854775808");
    e.m_DiskReads = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(e.GetColumnText(kColDiskReads), "0");
    EXPECT_EQ(e.GetColumnText(kColDiskReadsPerExec), "0");
}

TEST(ObjectEntryTest, CopyAndSelfAssignmentKeepEveryField) {
    CObjectEntry e = MakeEntry();
    e.SetSqlPlan("plan\r\nline");
    e.SetStatus(3);
    e.SetDebugField("d");
    CObjectEntry copy(e);
    EXPECT_EQ(copy.DumpText(), e.DumpText());
    const std::string before = e.DumpText();
    CObjectEntry& self = e;
    e = self;
    EXPECT_EQ(e.DumpText(), before);
    CObjectEntry other;
    other = e;
    EXPECT_EQ(other.DumpText(), before);
    other.m_SqlText = "changed";
    EXPECT_EQ(e.m_SqlText, "select * from emp");
}

TEST(ObjectEntryTest, DumpWritesEveryFieldInOrder) {
    CObjectEntry e = MakeEntry();
    e.SetSqlPlan("P");
    e.SetErrorMessage("E");
    e.SetStatus(1);
    const std::string expected =
        "m_PercOfDiskReads=12.345600\r\nm_PercOfBufferGets=0.000000\r\nm_DiskReads=2500000000.000000\r\n"
        "m_BufferGets=1000.000000\r\nm_Sorts=7.000000\r\nm_Executions=3.000000\r\nm_ParseCalls=4.000000\r\n"
        "m_RowsProcessed=10.000000\r\nm_SharableMem=1024.000000\r\nm_PersistentMem=512.000000\r\n"
        "m_RuntimeMem=256.000000\r\nm_Loads=2.000000\r\nm_CommandType=3\r\nm_OptimizerMode=CHOOSE\r\n"
        "m_ParsingSchemaId=11\r\nm_ParsingUserId=12\r\nm_UserName=SCOTT\r\nm_Address=0A1B2C3D\r\n"
        "m_SqlText=select * from emp\r\nm_FirstLoadTime=2026-12-06/13:17:02\r\nm_SqlPlan=P\r\nm_PlanCost=0\r\n"
        "m_NoOfFullTableScans=0\r\nm_Distance=0\r\nm_Status=1\r\nitsErrorMessage=E\r\nm_DebugField=\r\n";
    EXPECT_EQ(e.DumpText(), expected);
}

TEST(ObjectEntryTest, CollectionDumpGoesToTheTraceLog) {
    CObjectArray list;
    list.Add(MakeEntry());
    list.Add(CObjectEntry());
    const std::string expected = "Dumping content of m_ObjectList with 2 entries:\r\nCObjectEntry # 1:\r\n" +
                                 list[0].DumpText() + "\r\nCObjectEntry # 2:\r\n" + list[1].DumpText() + "\r\n\r\n";
    EXPECT_EQ(CollectionDumpText(list), expected);

    char dir[] = "/tmp/corvid-dumpXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string path = std::string(dir) + "/Corvid.log";
    {
        CTraceContext trace;
        ASSERT_TRUE(trace.Open(path, 15));
        DumpCollection(list, trace);
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_NE(content.str().find(expected), std::string::npos);
    std::remove(path.c_str());
    rmdir(dir);
}

TEST(ObjectEntryTest, FiguresOfTodaysServers) {
    CObjectEntry e = MakeEntry();  // 3 executions
    // From an older server: every one of these cells is empty, not zero.
    for (StatementColumn column = kColSqlId; column <= kColVersions; ++column)
        EXPECT_EQ(e.GetColumnText(column), "") << column;
    e.m_HasServerFigures = true;
    e.m_SqlId = "a5ks9fhw2v9s1";
    e.m_PlanHashValue = 3956160932.0;
    e.m_ElapsedTime = 1234567;  // microseconds
    e.m_CpuTime = 5;
    e.m_UserIoWaitTime = 2e12;
    e.m_Module = "payroll";
    e.m_LastActiveTime = "2026-12-06/13:20:00";
    e.m_VersionCount = 4;
    EXPECT_EQ(e.GetColumnText(kColSqlId), "a5ks9fhw2v9s1");
    EXPECT_EQ(e.GetColumnText(kColPlanHash), "3956160932");
    EXPECT_EQ(e.GetColumnText(kColElapsedTime), "1.23");
    EXPECT_EQ(e.GetColumnText(kColCpuTime), "0.00");
    EXPECT_EQ(e.GetColumnText(kColElapsedPerExec), "411.52");  // 1234567 / 3 / 1000
    EXPECT_EQ(e.GetColumnText(kColCpuPerExec), "0.00");
    EXPECT_EQ(e.GetColumnText(kColUserIoWait), "2000000.00");
    EXPECT_EQ(e.GetColumnText(kColModule), "payroll");
    EXPECT_EQ(e.GetColumnText(kColLastActive), "2026-12-06/13:20:00");
    EXPECT_EQ(e.GetColumnText(kColVersions), "4");
    // Never executed: per execution is 0, never a division by zero.
    e.m_Executions = 0;
    EXPECT_EQ(e.GetColumnText(kColElapsedPerExec), "0.00");

    CObjectEntry copy;
    copy = e;
    copy.m_PlanSource = kPlanFromCursorCache;
    CObjectEntry again;
    again = copy;
    for (StatementColumn column = kColSqlId; column <= kColVersions; ++column)
        EXPECT_EQ(again.GetColumnText(column), e.GetColumnText(column)) << column;
    EXPECT_EQ(again.m_PlanSource, kPlanFromCursorCache);
    EXPECT_EQ(again.m_HashValue, e.m_HashValue);
}

}  // namespace
}  // namespace corvid
