#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <set>
#include <thread>

#include "collection/ExplainPlanCall.h"
#include "collection/SimulatorFixture.h"
#include "list/StatementColumn.h"
#include "work/RecordingProgressDisplay.h"
#include "work/RunWithProgress.h"

namespace corvid {
namespace {

using testing::CSimulatorTest;

bool IsHex(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c) != 0; });
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

// The demo database with a smaller generated pool, so that the analysis stays quick.
class DemoLoad : public CSimulatorTest {
protected:
    void SetUp() override {
        CSimulatorTest::SetUp();
        UseScenario("demo:600");
    }
};

TEST_P(DemoLoad, LoadsEveryStatementWithItsTextUserAndShares) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_FALSE(doc.GetUserList().IsEmpty());
    const std::int32_t counted = doc.CountStatements();
    ASSERT_TRUE(doc.Reload());
    const CObjectArray& pool = doc.GetCollection();
    ASSERT_GT(pool.GetSize(), 100);
    EXPECT_EQ(pool.GetSize(), counted);

    double diskShare = 0, bufferShare = 0;
    std::set<std::string> addresses;
    for (const CObjectEntry& entry : pool) {
        EXPECT_EQ(entry.m_Address.size(), 16u) << entry.m_Address;  // a 64-bit server
        EXPECT_TRUE(IsHex(entry.m_Address)) << entry.m_Address;
        addresses.insert(entry.m_Address);
        EXPECT_FALSE(entry.m_SqlText.empty()) << entry.m_Address;
        EXPECT_EQ(entry.m_SqlText.find("/* $CORVID$ */"), std::string::npos);
        EXPECT_EQ(entry.m_Status, kStatusAnalyzed);
        EXPECT_TRUE(entry.SqlPlan().empty());
        EXPECT_EQ(entry.m_FirstLoadTime.size(), 19u);
        diskShare += entry.m_PercOfDiskReads;
        bufferShare += entry.m_PercOfBufferGets;
        const CUserArray& users = doc.GetUserList();
        const auto user = std::find_if(users.begin(), users.end(),
                                       [&](const CUserEntry& u) { return u.GetUserId() == entry.m_ParsingUserId; });
        EXPECT_EQ(entry.m_UserName, user != users.end() ? user->GetUserName() : std::string());
    }
    EXPECT_EQ(addresses.size(), static_cast<std::size_t>(pool.GetSize()));
    // The shares are of the whole pool; the statements the program sent itself are not in it.
    EXPECT_NEAR(diskShare, 100.0, 0.5);
    EXPECT_NEAR(bufferShare, 100.0, 0.5);
}

TEST_P(DemoLoad, ProgressTextsAndPercentages) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_TRUE(doc.Reload());
    const long n = static_cast<long>(doc.GetCollection().GetSize());
    const auto& progress = m_runner.progress;
    ASSERT_EQ(m_runner.titles, std::vector<std::string>({"Processing"}));
    EXPECT_EQ(m_runner.flags, std::vector<int>({3}));
    const std::vector<std::string> texts = progress.Texts();
    ASSERT_GE(texts.size(), 4u);
    EXPECT_EQ(texts[0], "Computing execution totals...");
    EXPECT_EQ(texts[1], "Loading sql statements from sga...");
    EXPECT_EQ(texts[2], "Loading sql statement 1 from sga...");
    EXPECT_EQ(progress.CountStartingWith("Loading sql statement "), n);
    EXPECT_EQ(progress.CountStartingWith("Loading sql text from sga..."), 1);
    EXPECT_EQ(progress.CountStartingWith("Loading sql text ") - 1, n - 1);  // one step per change of address
    EXPECT_EQ(texts.back(), "Processing sql statements from sga...");
    // Two thirds of the steps are taken without the analysis: (2n - 1) x 100 / 3n.
    EXPECT_EQ(progress.reports.back().percent, static_cast<int>((2 * n - 1) * 100 / (3 * n)));
    int last = 0;
    for (const auto& report : progress.reports) {
        EXPECT_GE(report.percent, last);
        last = report.percent;
    }
    EXPECT_TRUE(m_prompter.Messages().empty());
}

TEST_P(DemoLoad, CancelInEachPhase) {
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);

    // In the statement phase: the statements so far, no text, no analysis.
    m_runner.progress = {};
    m_runner.progress.cancelAfter = "Loading sql statement 10 from sga...";
    EXPECT_FALSE(doc.Reload());
    EXPECT_EQ(m_prompter.Messages(),
              std::vector<std::string>({"You cancelled the operation and will only see a partial view of the data!"}));
    ASSERT_EQ(doc.GetCollection().GetSize(), 10);
    for (const CObjectEntry& entry : doc.GetCollection()) {
        EXPECT_TRUE(entry.m_SqlText.empty());
        EXPECT_EQ(entry.m_Status, kStatusAnalyzed);
        EXPECT_TRUE(entry.SqlPlan().empty());
    }

    // In the text phase: every statement, but no text at all.
    m_runner.progress = {};
    m_runner.progress.cancelAfter = "Loading sql text 5 from sga...";
    EXPECT_FALSE(doc.Reload());
    const std::int32_t all = doc.CountStatements();
    ASSERT_EQ(doc.GetCollection().GetSize(), all);
    for (const CObjectEntry& entry : doc.GetCollection()) {
        EXPECT_TRUE(entry.m_SqlText.empty());
        EXPECT_EQ(entry.m_Status, kStatusAnalyzed);
    }
    EXPECT_EQ(m_runner.progress.CountStartingWith("Analyzing sql statement "), 0);

    // In the analysis: the first three are done, the others keep status 0 and no plan.
    // (The plans of the cursor cache would come before the first step.)
    doc.m_CursorCachePlans = 0;
    m_runner.progress = {};
    m_runner.progress.cancelAfter = "Analyzing sql statement 3...";
    EXPECT_FALSE(doc.Reload());
    const CObjectArray& pool = doc.GetCollection();
    ASSERT_EQ(pool.GetSize(), all);
    for (CObjectArray::Index i = 3; i < pool.GetSize(); ++i) {
        EXPECT_EQ(pool[i].m_Status, kStatusAnalyzed);
        EXPECT_TRUE(pool[i].SqlPlan().empty());
        EXPECT_FALSE(pool[i].m_SqlText.empty());
    }
    bool visited = false;
    for (CObjectArray::Index i = 0; i < 3; ++i)
        visited = visited || !pool[i].SqlPlan().empty() || pool[i].m_Status != 0;
    EXPECT_TRUE(visited);
}

TEST_P(DemoLoad, CancelConfirmedOnTheDialogThreadStopsTheWorker) {
    Connect();
    ::corvid::testing::CRecordingProgressDisplay display;
    ::corvid::testing::CDialogFirstRunner runner(display);
    CCorvidDoc doc(m_connection.get(), m_store, m_prompter, &runner);
    doc.SetSaveOnDestroy(false);
    doc.m_Analyze = 0;
    display.QueueAnswer(true);
    // The user presses Cancel while statement 50 is shown and confirms; the worker
    // goes on only once the answer is in.
    display.onText = [&display](const std::string& text) {
        if (text != "Loading sql statement 50 from sga...") return;
        display.PostCancel();
        std::atomic<bool> handled{false};
        display.Post([&handled] { handled = true; });
        while (!handled)
            std::this_thread::yield();
    };
    EXPECT_FALSE(doc.Reload());
    EXPECT_EQ(doc.GetCollection().GetSize(), 50);
    EXPECT_EQ(display.Questions(), std::vector<std::string>({"Press Ok to cancel the operation"}));
    EXPECT_EQ(display.Title(), "Processing");
    EXPECT_EQ(m_prompter.Messages(),
              std::vector<std::string>({"You cancelled the operation and will only see a partial view of the data!"}));

    // Answered No, the load runs to its end.
    display.QueueAnswer(false);
    EXPECT_TRUE(doc.Reload());
    EXPECT_EQ(doc.GetCollection().GetSize(), doc.CountStatements());
}

TEST_P(DemoLoad, AnalysisStatusesCostsAndScans) {
    Connect();
    InstallExplainProcedure();
    CCorvidDoc& doc = MakeDoc(true);
    ASSERT_TRUE(doc.Reload());
    int analyzed = 0, notAnalyzed = 0, withCost = 0, withScans = 0;
    for (const CObjectEntry& entry : doc.GetCollection()) {
        const bool explainable = entry.m_CommandType == 2 || entry.m_CommandType == 3 || entry.m_CommandType == 6 ||
                                 entry.m_CommandType == 7;
        if (!explainable) {
            EXPECT_EQ(entry.m_Status, kStatusNotAnalyzed) << entry.m_SqlText;
            EXPECT_TRUE(entry.SqlPlan().empty());
            ++notAnalyzed;
            continue;
        }
        if (entry.m_Status == kStatusError) {
            EXPECT_TRUE(entry.SqlPlan().empty());
            continue;
        }
        ASSERT_EQ(entry.m_Status, kStatusAnalyzed);
        EXPECT_FALSE(entry.SqlPlan().empty()) << entry.m_SqlText;
        EXPECT_EQ(entry.m_PlanCost, ParsePlanCost(entry.SqlPlan()));
        EXPECT_EQ(entry.m_NoOfFullTableScans, CountFullTableScans(entry.SqlPlan()));
        ++analyzed;
        withCost += entry.m_PlanCost > 0 ? 1 : 0;
        withScans += entry.m_NoOfFullTableScans > 0 ? 1 : 0;
    }
    EXPECT_GT(analyzed, 0);
    EXPECT_GT(notAnalyzed, 0);
    EXPECT_GT(withCost, 0);
    EXPECT_GT(withScans, 0);
}

TEST_P(DemoLoad, FilterFragmentsDecideWhatIsLoaded) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    CStatementFilter& filter = doc.GetFilter();
    const std::int32_t all = doc.CountStatements();

    filter.m_Others = 0;
    filter.m_Insert = filter.m_Update = filter.m_Delete = 0;
    doc.Reload();
    ASSERT_GT(doc.GetCollection().GetSize(), 0);
    for (const CObjectEntry& entry : doc.GetCollection())
        EXPECT_EQ(entry.m_CommandType, 3);
    const auto selects = doc.GetCollection().GetSize();

    filter = CStatementFilter();
    filter.m_Select = 0;
    doc.Reload();
    EXPECT_EQ(doc.GetCollection().GetSize(), all - selects);
    for (const CObjectEntry& entry : doc.GetCollection())
        EXPECT_NE(entry.m_CommandType, 3);

    filter.m_Others = filter.m_Insert = filter.m_Update = filter.m_Delete = 0;
    EXPECT_EQ(doc.CountStatements(), 0);
    doc.Reload();
    EXPECT_TRUE(doc.GetCollection().IsEmpty());

    filter = CStatementFilter();
    filter.m_FiltExecsC = kCompareGreater;
    filter.m_FiltExecsV = 10;
    filter.m_FiltTextInclC = kMatchIgnoreCase;
    filter.m_FiltTextInclV = "%emp%";
    doc.Reload();
    ASSERT_GT(doc.GetCollection().GetSize(), 0);
    for (const CObjectEntry& entry : doc.GetCollection()) {
        EXPECT_GT(entry.m_Executions, 10);
        EXPECT_NE(Upper(entry.m_SqlText).find("EMP"), std::string::npos);
    }
    filter.m_FiltTextInclC = kMatchCase;  // the pattern is lower case, the texts are not
    const std::int32_t caseSensitive = doc.CountStatements();
    filter.m_FiltTextInclC = 0;
    filter.m_FiltTextExclC = kMatchIgnoreCase;
    filter.m_FiltTextExclV = "%emp%";
    doc.Reload();
    for (const CObjectEntry& entry : doc.GetCollection())
        EXPECT_EQ(Upper(entry.m_SqlText).find("EMP"), std::string::npos);
    EXPECT_LE(caseSensitive, all);

    // Buffer gets per execution less than 0: nothing, even statements never executed.
    filter = CStatementFilter();
    filter.m_FiltBufGetC = kCompareLess;
    filter.m_FiltBufGetV = 0;
    EXPECT_EQ(doc.CountStatements(), 0);
    // (Buffer gets + disk reads) per execution against the same figure computed here.
    filter = CStatementFilter();
    filter.m_FiltBufDskC = kCompareGreater;
    filter.m_FiltBufDskV = 50;
    doc.Reload();
    for (const CObjectEntry& entry : doc.GetCollection()) {
        ASSERT_GT(entry.m_Executions, 0);
        EXPECT_GT((entry.m_BufferGets + entry.m_DiskReads) / entry.m_Executions, 50.0 - 0.5);
    }
}

TEST_P(DemoLoad, UserSelectionRestrictsTheParsingUser) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    CUserArray& users = doc.GetUserList();
    ASSERT_GT(users.GetSize(), 1);
    const auto scott =
        std::find_if(users.begin(), users.end(), [](const CUserEntry& u) { return u.GetUserName() == "SCOTT"; });
    ASSERT_NE(scott, users.end());
    for (CUserEntry& user : users)
        user.SetSelected(&user == &*scott ? 1 : 0);
    doc.Reload();
    ASSERT_GT(doc.GetCollection().GetSize(), 0);
    for (const CObjectEntry& entry : doc.GetCollection())
        EXPECT_EQ(entry.m_UserName, "SCOTT");
    const auto scottOnly = doc.GetCollection().GetSize();

    for (CUserEntry& user : users)
        user.SetSelected(0);  // none selected: no restriction
    EXPECT_GT(doc.CountStatements(), scottOnly);
}

TEST_P(DemoLoad, SavedSelectionWarnsWhileConnected) {
    m_store.WriteProfileString("Filter", "UserList", "7;x;12;;-1");
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    ASSERT_NE(doc.GetUserList().GetSize(), 2);
    EXPECT_EQ(m_prompter.LastMessage(),
              "The saved selection does not include all database users!\nPlease review the user selection in the "
              "preferences dialog.");
    for (const CUserEntry& user : doc.GetUserList()) {
        EXPECT_EQ(user.IsSelected(), user.GetUserId() == 7 || user.GetUserId() == 12);
    }
    m_prompter.Clear();
    m_store.WriteProfileInt("Filter", "WarnIfNotAllUser", 0);
    doc.RefreshSettings();
    for (const std::string& message : m_prompter.Messages())
        EXPECT_EQ(message.find("saved selection"), std::string::npos);
}

TEST_P(DemoLoad, NegativeConditionValuesCompareAsSigned) {
    Connect();
    CCorvidDoc& doc = MakeDoc(false);
    CStatementFilter& filter = doc.GetFilter();
    const std::int32_t all = doc.CountStatements();
    ASSERT_GT(all, 0);
    // Every figure is at least 0, so "greater than -1" keeps every statement and
    // "less than -1" none, whichever condition carries it.
    std::int32_t CStatementFilter::*const conditions[][2] = {
        {&CStatementFilter::m_FiltBufDskC, &CStatementFilter::m_FiltBufDskV},
        {&CStatementFilter::m_FiltBufGetC, &CStatementFilter::m_FiltBufGetV},
        {&CStatementFilter::m_FiltDskRdsC, &CStatementFilter::m_FiltDskRdsV},
        {&CStatementFilter::m_FiltSortsC, &CStatementFilter::m_FiltSortsV},
        {&CStatementFilter::m_FiltRowsC, &CStatementFilter::m_FiltRowsV},
        {&CStatementFilter::m_FiltExecsC, &CStatementFilter::m_FiltExecsV},
    };
    for (const auto& condition : conditions) {
        filter = CStatementFilter();
        filter.*condition[0] = kCompareGreater;
        filter.*condition[1] = -1;
        EXPECT_EQ(doc.CountStatements(), all) << doc.BuildCountStatement();
        filter.*condition[0] = kCompareLess;
        EXPECT_EQ(doc.CountStatements(), 0) << doc.BuildCountStatement();
    }
}

INSTANTIATE_TEST_SUITE_P(BothGenerations, DemoLoad, ::testing::Values(8, 7),
                         [](const ::testing::TestParamInfo<int>& info) { return "OCI" + std::to_string(info.param); });

}  // namespace
}  // namespace corvid
