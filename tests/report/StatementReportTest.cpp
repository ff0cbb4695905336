#include "report/StatementReport.h"

#include <gtest/gtest.h>

#include "collection/IntervalFigures.h"
#include "list/ListCtrlEx.h"

namespace corvid {
namespace {

CObjectEntry Statement(const std::string& address, const std::string& text, double gets, double reads,
                       double elapsedSeconds, const std::string& user = "SCOTT", const std::string& module = "") {
    CObjectEntry entry;
    entry.m_Address = address;
    entry.m_SqlId = "sql" + address;
    entry.m_SqlText = text;
    entry.m_BufferGets = gets;
    entry.m_DiskReads = reads;
    entry.m_ElapsedTime = elapsedSeconds * 1e6;
    entry.m_CpuTime = elapsedSeconds * 5e5;
    entry.m_Executions = 1;
    entry.m_SharableMem = 1000;
    entry.m_UserName = user;
    entry.m_ParsingUserId = static_cast<std::int32_t>(user.size() * 100 + static_cast<unsigned char>(user[0]));
    entry.m_Module = module;
    entry.m_CommandType = 3;
    entry.m_HasServerFigures = true;
    return entry;
}

const SReportRanking& Ranking(const SReportModel& model, const std::string& id) {
    for (const SReportRanking& ranking : model.rankings)
        if (ranking.id == id) return ranking;
    throw std::runtime_error("no ranking " + id);
}

std::vector<std::string> Addresses(const SReportModel& model, const SReportRanking& ranking) {
    std::vector<std::string> addresses;
    for (const SRankedRow& row : ranking.rows)
        addresses.push_back(model.statements.at(row.statement).address);
    return addresses;
}

class StatementReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_collection.Add(Statement("A0", "SELECT * FROM emp WHERE id = 1", 100, 0, 1, "SCOTT", "payroll"));
        m_collection.Add(Statement("A1", "SELECT * FROM emp WHERE id = 2", 600, 10, 9, "SCOTT", "payroll"));
        m_collection.Add(Statement("A2", "SELECT * FROM emp WHERE id = 3", 100, 50, 0, "HR"));
        m_collection.Add(Statement("A3", "UPDATE dept SET x = 1", 200, 40, 3, "HR"));
        m_collection.Add(Statement("A4", "DELETE FROM big", 9999, 999, 99, "SYS"));
        m_source.collection = &m_collection;
        m_source.positions = {0, 1, 2, 3};  // A4 loaded, not listed
        m_source.title = "Pool";
        m_source.topCount = 3;
    }

    CObjectArray m_collection;
    SStatementReportSource m_source;
};

// Rankings hold the listed statements with the largest figure (ties in list
// order, none with nothing), shares of the listed total, and every ranked
// statement gets one detail block, numbered in order of first listing.
TEST_F(StatementReportTest, RankingsTakeTheTopListedStatementsAndShareTheirDetailBlocks) {
    const SReportModel model = BuildStatementReport(m_source);
    ASSERT_EQ(model.rankings.size(), 8u);
    const SReportRanking& gets = Ranking(model, "gets");
    EXPECT_EQ(gets.title, "SQL ordered by Gets");
    EXPECT_EQ(Addresses(model, gets), (std::vector<std::string>{"A1", "A3", "A0"}));
    EXPECT_DOUBLE_EQ(gets.total, 1000);
    EXPECT_DOUBLE_EQ(gets.rows[0].sharePercent, 60);
    // A statement without elapsed time is left out rather than ranked at 0.
    EXPECT_EQ(Addresses(model, Ranking(model, "elapsed-time")), (std::vector<std::string>{"A1", "A3", "A0"}));
    EXPECT_EQ(Addresses(model, Ranking(model, "reads")), (std::vector<std::string>{"A2", "A3", "A1"}));
    std::vector<std::string> anchors, addresses;
    for (const SReportStatement& s : model.statements) {
        anchors.push_back(s.anchor);
        addresses.push_back(s.address);
    }
    EXPECT_EQ(addresses, (std::vector<std::string>{"A1", "A3", "A0", "A2"}));
    EXPECT_EQ(anchors, (std::vector<std::string>{"stmt-1", "stmt-2", "stmt-3", "stmt-4"}));
    // The detail block carries the text, the plan page's text and the figures under their titles.
    const SReportStatement& first = model.statements[0];
    EXPECT_EQ(first.sqlText, "SELECT * FROM emp WHERE id = 2");
    EXPECT_EQ(first.sqlId, "sqlA1");
    EXPECT_FALSE(first.figures.empty());
    for (const auto& [title, value] : first.figures)
        EXPECT_NE(value, first.sqlText) << title << ": the text has its own place";
    EXPECT_EQ(model.summary.concentration,
              (std::vector<std::string>{"The top 3 statements do 90 % of the buffer gets",
                                        "The top 3 statements do 100 % of the disk reads"}));
}

TEST_F(StatementReportTest, ChartsAndFamiliesCoverTheListedStatements) {
    const SReportModel model = BuildStatementReport(m_source);
    ASSERT_EQ(model.charts.size(), 5u);
    EXPECT_EQ(model.charts[0].id, "pareto-gets");
    ASSERT_EQ(model.charts[0].bars.size(), 3u);
    EXPECT_EQ(model.charts[0].bars[0].link, "stmt-1");  // a bar leads to its statement
    EXPECT_DOUBLE_EQ(*model.charts[0].bars[2].cumulativePercent, 90);
    EXPECT_EQ(model.charts[3].id, "gets-by-module");
    ASSERT_EQ(model.charts[3].bars.size(), 2u);
    EXPECT_EQ(model.charts[3].bars[0].label, "payroll");
    EXPECT_DOUBLE_EQ(model.charts[3].bars[0].value, 700);
    EXPECT_EQ(model.charts[3].bars[1].label, "(no module)");
    // The three SELECTs on emp differ only in a literal: one family, all but one copy wasted.
    ASSERT_TRUE(model.families.has_value());
    ASSERT_EQ(model.families->size(), 1u);
    const SReportFamily& family = model.families->front();
    EXPECT_DOUBLE_EQ(family.statements, 3);
    EXPECT_DOUBLE_EQ(family.wastedMem, 2000);
    EXPECT_EQ(family.users, "HR, SCOTT");
    EXPECT_EQ(family.members.size(), 3u);

    // Listed in another order and only in part, the families still count only what is listed.
    m_source.positions = {2, 4, 0};
    const SReportModel part = BuildStatementReport(m_source);
    ASSERT_EQ(part.families->size(), 1u);
    EXPECT_DOUBLE_EQ(part.families->front().statements, 2);
    for (std::size_t member : part.families->front().members)
        EXPECT_NE(part.statements.at(member).address, "A1");
}

TEST_F(StatementReportTest, AnIntervalRanksByWhatMovedAndAnOldServerHasNoTimes) {
    for (CObjectArray::Index i = 0; i < m_collection.GetSize(); ++i) {
        SIntervalFigures figures;
        figures.valid = true;
        figures.bufferGets = static_cast<double>(i) * 10;  // A3 moved most, A0 not at all
        figures.executions = 1;
        m_collection[i].SetInterval(figures);
        m_collection[i].m_HasServerFigures = false;
    }
    SIntervalSummary interval;
    interval.valid = true;
    interval.seconds = 300;
    interval.fromTime = "2026-12-07/10:00:00";
    interval.toTime = "2026-12-07/10:05:00";
    m_source.interval = &interval;
    const SReportModel model = BuildStatementReport(m_source);
    EXPECT_EQ(Addresses(model, Ranking(model, "gets")), (std::vector<std::string>{"A3", "A2", "A1"}));
    EXPECT_NE(model.summary.period.find("Interval 5 min 0 s"), std::string::npos) << model.summary.period;
    for (const char* id : {"elapsed-time", "cpu-time", "version-count"}) {
        EXPECT_TRUE(Ranking(model, id).rows.empty()) << id;
        EXPECT_NE(Ranking(model, id).note.find("10g"), std::string::npos) << id;
    }
    bool hasIntervalFigure = false;
    for (const auto& [title, value] : model.statements.at(0).figures)
        hasIntervalFigure = hasIntervalFigure || (title == "Buffer gets in the interval" && value == "30");
    EXPECT_TRUE(hasIntervalFigure);
    EXPECT_EQ(model.charts[0].title, "Top statements by buffer gets in the interval");
}

TEST_F(StatementReportTest, TheListDecidesWhichStatementsAndAOneStatementReportHasOnlyIt) {
    CListCtrlEx list;
    list.InsertColumn(0, "Address");
    const std::vector<std::int64_t> rows = {3, 99, 1, -1};
    for (std::size_t row = 0; row < rows.size(); ++row)
        list.InsertItem(static_cast<int>(row), std::vector<std::string_view>{"x"}, rows[row]);
    EXPECT_EQ(ListedPositions(list, m_collection), (std::vector<CObjectArray::Index>{3, 1}));

    const SReportModel one = BuildOneStatementReport(m_collection[1], SStatementReportSource{});
    EXPECT_EQ(one.summary.title, "Statement sqlA1");
    ASSERT_EQ(one.statements.size(), 1u);
    EXPECT_TRUE(one.rankings.empty());
    EXPECT_TRUE(one.charts.empty());
    EXPECT_FALSE(one.families.has_value());
}

}  // namespace
}  // namespace corvid
