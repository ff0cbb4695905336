#include "charts/qt/ChartPanel.h"

#include <gtest/gtest.h>

#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>

#include "list/ListLayout.h"
#include "list/qt/ListViewEx.h"

namespace corvid {
namespace {

// The panel over a list filled as the main view fills it: the default layout's
// columns, one row per statement with its position as the item data, sorted.
class ChartPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* users[] = {"SCOTT", "HR", "APP", ""};
        const std::int32_t commands[] = {3, 2, 6, 7, 47};
        for (int i = 0; i < 40; ++i) {
            CObjectEntry entry;
            entry.m_Address = "ADDR" + std::to_string(i);
            entry.m_BufferGets = (i * 7919) % 1000 + 1;
            entry.m_DiskReads = (i * 104729) % 500;
            entry.m_Executions = i + 1;
            entry.m_UserName = users[i % 4];
            entry.m_ParsingUserId = 50 + i % 4;
            entry.m_CommandType = commands[i % 5];
            entry.m_SqlText = "SELECT " + std::to_string(i) + " FROM dual";
            m_collection.Add(entry);
        }
        m_layout = CListLayout::MakeDefaultLayout();
        CListCtrlEx& list = m_view.GetListCtrl();
        m_layout.CreateColumns(list);
        m_layout.ApplySortKeys(list);
        list.SetRedraw(false);
        for (CObjectArray::Index i = 0; i < m_collection.GetSize(); ++i) {
            m_layout.FillRow(list, static_cast<int>(i), m_collection[i]);
            list.SetItemData(static_cast<int>(i), i);
        }
        list.SetRedraw(true);
        list.Sort();
        m_view.resize(800, 400);
        m_view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_view));
    }
    int Column(const std::string& title) const {
        const CListCtrlEx& list = m_view.GetListCtrl();
        for (int i = 0; i < list.GetColumnCount(); ++i)
            if (list.GetColumnTitle(i) == title) return i;
        return -1;
    }
    // The list's own text of a figure for the row that shows a statement.
    double ListFigure(std::int64_t itemData, const std::string& title) const {
        const CListCtrlEx& list = m_view.GetListCtrl();
        for (int row = 0; row < list.GetItemCount(); ++row)
            if (list.GetItemData(row) == itemData) return std::stod(list.GetItemText(row, Column(title)));
        ADD_FAILURE() << "no row for item data " << itemData;
        return -1;
    }
    int RowOf(std::int64_t itemData) const {
        const CListCtrlEx& list = m_view.GetListCtrl();
        for (int row = 0; row < list.GetItemCount(); ++row)
            if (list.GetItemData(row) == itemData) return row;
        return -1;
    }

    CObjectArray m_collection;
    CListLayout m_layout;
    CListViewEx m_view;
};

// What is drawn is what the list shows: each bar is the list's "Buf Get" (or
// "Disk Rds") of its statement, largest first, with the running share as a line.
TEST_F(ChartPanelTest, SeriesAreTheListsFigures) {
    CChartPanel panel(m_view, m_collection);
    panel.resize(500, 900);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));

    struct SCase {
        CChartPanel::EChart chart;
        const SParetoSeries* series;
        const char* title;
    };
    for (const SCase& c : {SCase{CChartPanel::EChart::BufferGets, &panel.Data().bufferGets, "Buf Get"},
                           SCase{CChartPanel::EChart::DiskReads, &panel.Data().diskReads, "Disk Rds"}}) {
        ASSERT_EQ(c.series->bars.size(), 20u) << c.title;
        QChart* chart = panel.Chart(c.chart);
        const auto series = chart->series();
        ASSERT_EQ(series.size(), 2) << c.title;
        auto* bars = qobject_cast<QBarSeries*>(series[0]);
        auto* line = qobject_cast<QLineSeries*>(series[1]);
        ASSERT_TRUE(bars && line) << c.title;
        ASSERT_EQ(bars->barSets().size(), 1);
        const QBarSet* set = bars->barSets()[0];
        ASSERT_EQ(set->count(), 20);
        double total = 0;
        for (int row = 0; row < m_view.GetListCtrl().GetItemCount(); ++row)
            total += std::stod(m_view.GetListCtrl().GetItemText(row, Column(c.title)));
        double running = 0;
        for (int i = 0; i < 20; ++i) {
            const SParetoBar& bar = c.series->bars[static_cast<std::size_t>(i)];
            EXPECT_DOUBLE_EQ(set->at(i), ListFigure(bar.itemData, c.title)) << c.title << " bar " << i;
            if (i > 0) {
                EXPECT_LE(set->at(i), set->at(i - 1)) << c.title;
            }
            running += set->at(i);
            EXPECT_NEAR(line->at(i).y(), running * 100 / total, 1e-9) << c.title << " bar " << i;
        }
        EXPECT_NE(chart->title().indexOf("The top 5 statements do"), -1) << chart->title().toStdString();
    }
}

TEST_F(ChartPanelTest, FollowsTheListAndSelectsTheClickedStatement) {
    CChartPanel panel(m_view, m_collection);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    ASSERT_EQ(panel.Data().bufferGets.statementCount, 40);

    // The third bar's statement becomes the list's one selected row.
    const std::int64_t third = panel.Data().bufferGets.bars[2].itemData;
    ASSERT_TRUE(panel.SelectBar(CChartPanel::EChart::BufferGets, 2));
    EXPECT_EQ(m_view.GetListCtrl().GetSelectedItems(), std::vector<int>{RowOf(third)});
    EXPECT_FALSE(panel.SelectBar(CChartPanel::EChart::BufferGets, 20));
    EXPECT_FALSE(panel.SelectBar(CChartPanel::EChart::ByUser, 0));

    // Rows leave the list (a filter, a new load): the charts follow.
    CListCtrlEx& list = m_view.GetListCtrl();
    const std::int64_t top = panel.Data().bufferGets.bars[0].itemData;
    list.DeleteItem(RowOf(top));
    list.Sort();
    QTRY_COMPARE(panel.Data().bufferGets.statementCount, 39);
    for (const SParetoBar& bar : panel.Data().bufferGets.bars)
        EXPECT_NE(bar.itemData, top);
    double users = 0;
    for (const SGroupSum& sum : panel.Data().bufferGetsByUser)
        users += sum.value;
    EXPECT_DOUBLE_EQ(users, panel.Data().bufferGets.total);

    list.DeleteAllItems();
    QTRY_COMPARE(panel.Data().bufferGets.statementCount, 0);
    EXPECT_TRUE(panel.Data().bufferGets.bars.empty());
}

TEST_F(ChartPanelTest, ARedrawFreesTheAxesItReplaces) {
    CChartPanel panel(m_view, m_collection);
    std::vector<QPointer<QAbstractAxis>> before;
    for (auto chart : {CChartPanel::EChart::BufferGets, CChartPanel::EChart::ByUser})
        for (QAbstractAxis* axis : panel.Chart(chart)->axes())
            before.emplace_back(axis);
    ASSERT_FALSE(before.empty());
    panel.Refresh();
    for (const QPointer<QAbstractAxis>& axis : before)
        EXPECT_TRUE(axis.isNull());
    EXPECT_EQ(panel.Chart(CChartPanel::EChart::BufferGets)->axes().size(), 3);
}

TEST_F(ChartPanelTest, SavesAsPngAndSvg) {
    CChartPanel panel(m_view, m_collection);
    panel.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString png = dir.filePath("charts.png");
    const QString svg = dir.filePath("charts.SVG");
    ASSERT_TRUE(panel.SaveImage(png));
    ASSERT_TRUE(panel.SaveImage(svg));
    const QImage image(png);
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.height(), 4 * 280);
    QFile file(svg);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("<svg")) << text.left(200).toStdString();
    EXPECT_TRUE(text.contains("Buffer gets by user"));
    EXPECT_FALSE(panel.SaveImage(dir.filePath("missing/charts.png")));
}

}  // namespace
}  // namespace corvid
