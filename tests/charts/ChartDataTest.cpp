#include "charts/ChartData.h"

#include <gtest/gtest.h>

#include "list/ListCtrlEx.h"

namespace corvid {
namespace {

CObjectEntry Statement(const std::string& address, double bufferGets, double diskReads, const std::string& user,
                       std::int32_t userId, std::int32_t commandType, const std::string& text = "SELECT 1 FROM dual") {
    CObjectEntry entry;
    entry.m_Address = address;
    entry.m_BufferGets = bufferGets;
    entry.m_DiskReads = diskReads;
    entry.m_UserName = user;
    entry.m_ParsingUserId = userId;
    entry.m_CommandType = commandType;
    entry.m_SqlText = text;
    return entry;
}

class ChartDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_collection.Add(Statement("A0", 100, 5, "SCOTT", 21, 3));
        m_collection.Add(Statement("A1", 600, 0, "SCOTT", 21, 2));
        m_collection.Add(Statement("A2", 100, 50, "", 7, 6));  // a user the list does not know
        m_collection.Add(Statement("A3", 200, 45, "HR", 30, 3));
        m_collection.Add(Statement("A4", 9999, 999, "SYS", 0, 3));  // loaded, but not listed
        m_list.InsertColumn(0, "Address");
    }
    // Lists the statements at these positions, in this order.
    void List(const std::vector<std::int64_t>& positions) {
        m_list.DeleteAllItems();
        for (std::size_t row = 0; row < positions.size(); ++row) {
            m_list.InsertItem(static_cast<int>(row), std::vector<std::string_view>{"x"}, positions[row]);
        }
    }

    CObjectArray m_collection;
    CListCtrlEx m_list;
};

// The bars are the largest listed statements, largest first; equal figures keep
// the list's order; shares are of what the list shows, not of what was loaded.
TEST_F(ChartDataTest, ParetoBarsFollowTheListedStatements) {
    List({2, 0, 3, 1, 42, -1});  // two rows that name no statement are left out
    const SChartData data = ComputeChartData(m_list, m_collection, 3);
    const SParetoSeries& gets = data.bufferGets;
    EXPECT_EQ(gets.statementCount, 4);
    EXPECT_DOUBLE_EQ(gets.total, 1000);
    ASSERT_EQ(gets.bars.size(), 3u);
    EXPECT_EQ(gets.bars[0].address, "A1");
    EXPECT_EQ(gets.bars[0].itemData, 1);
    EXPECT_DOUBLE_EQ(gets.bars[0].sharePercent, 60);
    EXPECT_EQ(gets.bars[1].address, "A3");
    EXPECT_DOUBLE_EQ(gets.bars[1].cumulativePercent, 80);
    EXPECT_EQ(gets.bars[2].address, "A2");  // listed before A0, with as many buffer gets
    EXPECT_DOUBLE_EQ(gets.bars[2].cumulativePercent, 90);

    // Re-sorting the list changes which of two equal statements comes first.
    List({0, 2, 3, 1});
    EXPECT_EQ(ComputeChartData(m_list, m_collection, 3).bufferGets.bars[2].address, "A0");

    // Every statement a bar: the running share ends at 100 %.
    const SParetoSeries reads = ComputeChartData(m_list, m_collection, 20).diskReads;
    ASSERT_EQ(reads.bars.size(), 4u);
    EXPECT_DOUBLE_EQ(reads.total, 100);
    EXPECT_EQ(reads.bars[0].address, "A2");
    EXPECT_DOUBLE_EQ(reads.bars.back().cumulativePercent, 100);
    EXPECT_DOUBLE_EQ(reads.bars.back().value, 0);
}

TEST_F(ChartDataTest, GroupsSumTheListedBufferGetsLargestFirst) {
    List({0, 1, 2, 3});
    const SChartData data = ComputeChartData(m_list, m_collection);
    ASSERT_EQ(data.bufferGetsByUser.size(), 3u);
    EXPECT_EQ(data.bufferGetsByUser[0].name, "SCOTT");
    EXPECT_DOUBLE_EQ(data.bufferGetsByUser[0].value, 700);
    EXPECT_EQ(data.bufferGetsByUser[0].statementCount, 2);
    EXPECT_EQ(data.bufferGetsByUser[1].name, "HR");
    EXPECT_EQ(data.bufferGetsByUser[2].name, "user #7");

    ASSERT_EQ(data.bufferGetsByCommand.size(), 3u);
    EXPECT_EQ(data.bufferGetsByCommand[0].name, "INSERT");
    EXPECT_DOUBLE_EQ(data.bufferGetsByCommand[1].value, 300);  // the two SELECTs
    EXPECT_EQ(data.bufferGetsByCommand[1].name, "SELECT");
    EXPECT_EQ(data.bufferGetsByCommand[2].name, "UPDATE");

    List({});
    const SChartData empty = ComputeChartData(m_list, m_collection);
    EXPECT_TRUE(empty.bufferGets.bars.empty());
    EXPECT_TRUE(empty.bufferGetsByUser.empty());
    EXPECT_EQ(ParetoSummary(empty.bufferGets, "buffer gets"), "");
}

TEST(ChartText, SummaryAndLabels) {
    SParetoSeries series;
    series.total = 10;
    for (double cumulative : {40.0, 55.0, 61.6, 70.0, 75.4, 80.0})
        series.bars.push_back(SParetoBar{0, "", "", 1, 1, cumulative});
    EXPECT_EQ(ParetoSummary(series, "buffer gets"), "The top 5 statements do 75 % of the buffer gets");
    EXPECT_EQ(ParetoSummary(series, "disk reads", 3), "The top 3 statements do 62 % of the disk reads");
    series.bars.resize(1);
    EXPECT_EQ(ParetoSummary(series, "disk reads"), "The top statement does 40 % of the disk reads");

    EXPECT_EQ(StatementLabel("  SELECT a,\r\n\t b  FROM t"), "SELECT a, b FROM t");
    EXPECT_EQ(StatementLabel("SELECT abcdef", 6), "SELECT...");
    // A character outside ASCII counts once and is never cut in two.
    EXPECT_EQ(StatementLabel("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", 3), "\xC3\xA9\xC3\xA9\xC3\xA9...");
    EXPECT_EQ(StatementLabel(""), "");
}

}  // namespace
}  // namespace corvid
