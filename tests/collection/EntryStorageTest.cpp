// The statement entry kept small: every column text as before the entry was
// packed, copies that share nothing that can change, and entries that outlive
// the document they were loaded in.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/SimulatorFixture.h"
#include "list/StatementColumn.h"

namespace corvid {
namespace {

using testing::CSimulatorTest;

#define SET_TEXTS(e, plan, error, debug) \
    do {                                 \
        (e).SetSqlPlan(plan);            \
        (e).SetErrorMessage(error);      \
        (e).SetDebugField(debug);        \
    } while (0)
#define SET_INTERVAL(e, f) ((e).SetInterval(f))

// Entries covering every figure: a 10g statement with interval figures and
// boundary values, the same figures from an old server, an empty entry, and
// texts that have no packed form.
std::vector<CObjectEntry> ColumnTextEntries() {
    std::vector<CObjectEntry> entries;
    CObjectEntry full(12.345, 99.995, 1e13, 4294967296.0 * 3, 17, 3, 5, 1234567.0, 4096, 1024, 2048, 2, 3, "ALL_ROWS",
                      44, 45, "SCOTT", "00000000DEADBEEF", "select * from emp where empno = :1",
                      "2026-12-06/13:17:02");
    full.SetPlanCost(2147483647);
    full.SetNoOfFullTableScans(7);
    full.SetStatus(kStatusAnalyzed);
    full.SetDistance(-3);
    SET_TEXTS(full, "SELECT STATEMENT\r\n  TABLE ACCESS FULL EMP", "", "dbg");
    full.m_PlanSource = kPlanFromCursorCache;
    full.m_HasServerFigures = true;
    full.m_SqlId = "a5ks9fhw2v9s1";
    full.m_HashValue = 4294967295.0;
    full.m_PlanHashValue = 4294967295.0;
    full.m_ElapsedTime = 123456789012.0;
    full.m_CpuTime = 0.5;
    full.m_UserIoWaitTime = 1e15;
    full.m_VersionCount = 4294967295.0;
    full.m_Module = "SQL*Plus";
    full.m_LastActiveTime = "2026-12-07/09:00:59";
    SIntervalFigures figures;
    figures.valid = true;
    figures.executions = 3;
    figures.bufferGets = 4294967296.0 * 2;
    figures.diskReads = 0.9;
    figures.rowsProcessed = 12;
    figures.executionsPerSecond = 0.005;
    figures.bufferGetsPerSecond = 1234.5678;
    figures.percOfBufferGets = 100;
    figures.percOfDiskReads = 0.004;
    SET_INTERVAL(full, figures);
    entries.push_back(full);

    CObjectEntry old = full;
    old.m_HasServerFigures = false;
    old.SetStatus(kStatusError);
    SET_TEXTS(old, "", "ORA-00942: table or view does not exist", "");
    SET_INTERVAL(old, SIntervalFigures());
    entries.push_back(old);

    entries.emplace_back();

    CObjectEntry odd(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 47, "MULTIPLE CHILDREN PRESENT", -1, 2147483647,
                     "A_USER_NAME_OF_THIRTY_CHARS_XX", "0a1b2c3d4e5f60718293a4b5c6d7e8f9", "begin null; end;",
                     "2024-3-11/1:00:00");
    odd.SetStatus(kStatusNotAnalyzed);
    odd.m_HasServerFigures = true;
    odd.m_SqlId = "A5KS9FHW2V9S1";
    odd.m_HashValue = 0.0;
    odd.m_PlanHashValue = 12.7;
    odd.m_Executions = 0;
    odd.m_ElapsedTime = 5e5;
    odd.m_Module = std::string(60, 'm');
    odd.m_LastActiveTime = "2026-12-07 09:00:59";
    entries.push_back(odd);
    return entries;
}

std::string AllColumnTexts(const CObjectEntry& entry) {
    std::string texts;
    for (int code = 0; code <= 49; ++code) {
        texts += entry.GetColumnText(code);
        texts += '|';
    }
    texts += entry.GetColumnText(kColDebugField);
    return texts;
}

TEST(EntryStorage, EveryColumnTextAsWrittenDown) {
    // Written down from the entry that held every text as a string and every figure as a double.
    const char* expected[] = {
        "|12.35|10000000000000|3333333333333|100.00|12884901888|4294967296|17|5|3|5|1234567|411522|4096|1024|2048|2|3|SELECT|ALL_ROWS|44|45|SCOTT|00000000DEADBEEF|select * from emp where empno = :1|2026-12-06/13:17:02|2147483647|7|analyzed|-3||a5ks9fhw2v9s1|4294967295|123456.79|0.00|41152263.00|0.00|1000000000.00|SQL*Plus|2026-12-07/09:00:59|4294967295|3|8589934592|0|12|0.01|1234.57|100.00|0.00||dbg",
        "|12.35|10000000000000|3333333333333|100.00|12884901888|4294967296|17|5|3|5|1234567|411522|4096|1024|2048|2|3|SELECT|ALL_ROWS|44|45|SCOTT|00000000DEADBEEF|select * from emp where empno = :1|2026-12-06/13:17:02|2147483647|7|error|-3|ORA-00942: table or view does not exist||||||||||||||||||||",
        "|0.00|0|0|0.00|0|0|0|0|0|0|0|0|0|0|0|0|0|OTHERS||0|0|||||0|0|analyzed|0|||||||||||||||||||||",
        "|0.00|0|0|0.00|0|0|0|0|0|0|0|0|0|0|0|0|47|PL/SQL|MULTIPLE CHILDREN PRESENT|-1|2147483647|A_USER_NAME_OF_THIRTY_CHARS_XX|0a1b2c3d4e5f60718293a4b5c6d7e8f9|begin null; end;|2024-3-11/1:00:00|0|0|not analyzed|0||A5KS9FHW2V9S1|12|0.50|0.00|0.00|0.00|0.00|mmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmmm|2026-12-07 09:00:59|0||||||||||",
    };
    const std::vector<CObjectEntry> entries = ColumnTextEntries();
    ASSERT_EQ(entries.size(), std::size(expected));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(AllColumnTexts(entries[i]), expected[i]) << "entry " << i;
        // Copies and moves show the same.
        CObjectEntry copy(entries[i]);
        EXPECT_EQ(AllColumnTexts(copy), expected[i]) << "copy of entry " << i;
        CObjectEntry moved(std::move(copy));
        EXPECT_EQ(AllColumnTexts(moved), expected[i]) << "moved entry " << i;
        CObjectEntry assigned;
        assigned = entries[i];
        EXPECT_EQ(AllColumnTexts(assigned), expected[i]) << "assigned entry " << i;
        EXPECT_EQ(assigned.DumpText(), entries[i].DumpText());
    }
}

TEST(EntryStorage, CopiesShareNothingThatChanges) {
    std::vector<CObjectEntry> entries = ColumnTextEntries();
    CObjectEntry& full = entries[0];
    CObjectEntry& empty = entries[2];

    CObjectEntry copy(full);
    copy.SetSqlPlan("OTHER PLAN");
    copy.SetErrorMessage("ORA-01555");
    copy.SetDebugField("");
    copy.MutableInterval().executions = 99;
    copy.m_UserName = "ADAMS";
    copy.m_Address = "6000F3A8";
    copy.m_SqlId = "zzzzzzzzzzzzz";
    copy.m_FirstLoadTime = "2020-01-01/00:00:00";
    copy.m_Module = "other";
    EXPECT_EQ(full.SqlPlan(), "SELECT STATEMENT\r\n  TABLE ACCESS FULL EMP");
    EXPECT_EQ(full.ErrorMessage(), "");
    EXPECT_EQ(full.DebugField(), "dbg");
    EXPECT_EQ(full.Interval().executions, 3);
    EXPECT_EQ(full.m_UserName, "SCOTT");
    EXPECT_EQ(full.m_Address, "00000000DEADBEEF");
    EXPECT_EQ(full.m_SqlId, "a5ks9fhw2v9s1");
    EXPECT_EQ(full.m_FirstLoadTime, "2026-12-06/13:17:02");
    EXPECT_EQ(full.m_Module, "SQL*Plus");

    // An entry without a plan, error, debug text or interval has none after any copy.
    CObjectEntry plain(empty);
    EXPECT_TRUE(plain.SqlPlan().empty());
    EXPECT_FALSE(plain.Interval().valid);
    plain = copy;
    EXPECT_EQ(plain.SqlPlan(), "OTHER PLAN");
    plain = empty;
    EXPECT_TRUE(plain.SqlPlan().empty());
    EXPECT_TRUE(plain.ErrorMessage().empty());
    EXPECT_FALSE(plain.Interval().valid);
    EXPECT_EQ(copy.SqlPlan(), "OTHER PLAN");

    // Assigning an entry to itself keeps it whole.
    const std::string before = AllColumnTexts(full);
    CObjectEntry& same = full;
    full = same;
    EXPECT_EQ(AllColumnTexts(full), before);

    // Clearing the plan and the interval of an entry that has them.
    copy.SetSqlPlan("");
    copy.SetInterval(SIntervalFigures());
    EXPECT_TRUE(copy.SqlPlan().empty());
    EXPECT_EQ(copy.GetColumnText(kColExecutionsDelta), "");
    EXPECT_EQ(copy.ErrorMessage(), "ORA-01555");
}

TEST(EntryStorage, StatusKeepsTheKnownStatesAndShowsNoOtherValue) {
    CObjectEntry e;
    for (int status : {kStatusAnalyzed, kStatusNotAnalyzed, kStatusError}) {
        e.SetStatus(status);
        EXPECT_EQ(e.m_Status, status);
    }
    for (int status : {2, 127, 128, 256 + kStatusError, -1, -129}) {
        e.SetStatus(status);
        EXPECT_EQ(e.GetColumnText(kColStatus), "") << status;
    }
}

// The demo database with a small generated pool.
class EntryLifetime : public CSimulatorTest {
protected:
    void SetUp() override {
        CSimulatorTest::SetUp();
        UseScenario("demo:300");
    }
};

TEST_P(EntryLifetime, EntriesCopiedOutOutliveTheirDocumentAndShareTheirLabels) {
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    ASSERT_TRUE(doc.Reload());
    CObjectArray first;
    first.Copy(doc.GetCollection());
    ASSERT_TRUE(doc.Reload());  // a second load: plans kept, interval figures set
    CObjectArray copies;
    copies.Copy(doc.GetCollection());
    // A plan kept from the first load is the first load's text, not a copy of it.
    std::size_t sharedPlans = 0;
    for (const CObjectEntry& before : first) {
        for (const CObjectEntry& now : copies) {
            if (now.m_Address == before.m_Address.str() && !now.SqlPlan().empty() &&
                now.SqlPlan().data() == before.SqlPlan().data())
                ++sharedPlans;
        }
    }
    EXPECT_GT(sharedPlans, 0u);
    ASSERT_GT(copies.GetSize(), 100);
    std::vector<std::string> texts;
    bool plans = false, intervals = false;
    for (const CObjectEntry& entry : copies) {
        texts.push_back(AllColumnTexts(entry) + entry.DumpText());
        plans = plans || !entry.SqlPlan().empty();
        intervals = intervals || entry.Interval().valid;
    }
    EXPECT_TRUE(plans);
    EXPECT_TRUE(intervals);

    // One load keeps one copy of each user name among its statements.
    const CObjectArray& pool = doc.GetCollection();
    for (const CObjectEntry& entry : pool) {
        for (const CObjectEntry& other : pool) {
            if (entry.m_UserName == other.m_UserName) {
                EXPECT_EQ(entry.m_UserName.data(), other.m_UserName.data()) << entry.m_UserName;
                break;
            }
        }
    }

    Disconnect();  // the document, its previous load and the connection go
    for (CObjectArray::Index i = 0; i < copies.GetSize(); ++i)
        EXPECT_EQ(AllColumnTexts(copies[i]) + copies[i].DumpText(), texts[static_cast<std::size_t>(i)]) << i;
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, EntryLifetime, ::testing::Values(8, 7),
                         [](const ::testing::TestParamInfo<int>& info) { return "OCI" + std::to_string(info.param); });

}  // namespace
}  // namespace corvid
