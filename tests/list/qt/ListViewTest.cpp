#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTest>

#include "list/qt/ListModel.h"
#include "list/qt/ListViewEx.h"
#include "list/qt/SortableHeaderView.h"

namespace corvid {
namespace {

// A list of two columns: a text column "Name" and a number column "Count".
class ListViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        view.resize(600, 400);
        CListCtrlEx& list = view.GetListCtrl();
        list.InsertColumn(0, "Name", kAlignLeft, 150);
        list.InsertColumn(1, "Count", kAlignRight, 100);
        list.InsertColumn(2, "Other", kAlignCenter, 100);
        list.AddSortKey(0, kFormatText, 0, true);
        list.AddSortKey(1, kFormatNumber, 0, true);
        list.AddSortKey(2, kFormatText, 0, true);
        const char* rows[][3] = {{"b", "10", "x"}, {"a", "9", "y"}, {"c", "", "x"}, {"B", "9", "x"}};
        list.SetRedraw(false);
        for (int i = 0; i < 4; ++i) {
            list.InsertItem(i, {rows[i][0], rows[i][1], rows[i][2]}, 100 + i);
        }
        list.SetRedraw(true);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        QAbstractItemModel* model = view.model();
        for (int row = 0; row < model->rowCount(); ++row) {
            texts.push_back(model->data(model->index(row, column)).toString().toStdString());
        }
        return texts;
    }

    void ClickHeader(int column, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
                     Qt::MouseButton button = Qt::LeftButton) {
        QHeaderView* header = view.horizontalHeader();
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), button, modifiers, QPoint(x, header->height() / 2));
    }

    CListViewEx view;
};

TEST_F(ListViewTest, ModelShowsTheListsCellsAlignmentsAndTitles) {
    QAbstractItemModel* model = view.model();
    ASSERT_EQ(model->rowCount(), 4);
    ASSERT_EQ(model->columnCount(), 3);
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Count");
    EXPECT_EQ(model->data(model->index(0, 1)).toString(), "10");
    EXPECT_EQ(model->data(model->index(2, 1)).toString(), "");
    EXPECT_EQ(model->data(model->index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignRight);
    EXPECT_EQ(model->data(model->index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask,
              Qt::AlignHCenter);
    EXPECT_EQ(view.horizontalHeader()->sectionSize(0), 150);
    EXPECT_TRUE(view.showGrid());
    EXPECT_EQ(view.selectionBehavior(), QAbstractItemView::SelectRows);
}

TEST_F(ListViewTest, PlainClicksSortOneColumnDescendingThenAscending) {
    ClickHeader(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"10", "9", "9", ""}));
    bool ascending = true;
    EXPECT_TRUE(view.GetListCtrl().GetHeader().HasSortArrow(1, &ascending));
    EXPECT_FALSE(ascending);
    // Item data travels with its row.
    EXPECT_EQ(view.GetListCtrl().GetItemData(0), 100);

    ClickHeader(1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"", "9", "9", "10"}));
    EXPECT_TRUE(view.GetListCtrl().GetHeader().HasSortArrow(1, &ascending));
    EXPECT_TRUE(ascending);

    // A plain click elsewhere drops the first key and its arrow.
    ClickHeader(0);
    EXPECT_FALSE(view.GetListCtrl().GetHeader().HasSortArrow(1));
    EXPECT_TRUE(view.GetListCtrl().GetHeader().HasSortArrow(0));
    // "b" and "B" are equal as text and keep the order the count sort left.
    EXPECT_EQ(Column(0), (std::vector<std::string>{"c", "B", "b", "a"}));
}

TEST_F(ListViewTest, CtrlClickAddsTheLeastSignificantKey) {
    ClickHeader(2);                       // Other, descending: y first
    ClickHeader(1, Qt::ControlModifier);  // then Count descending
    EXPECT_EQ(Column(2), (std::vector<std::string>{"y", "x", "x", "x"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"9", "10", "9", ""}));
    EXPECT_TRUE(view.GetListCtrl().GetHeader().HasSortArrow(2));
    EXPECT_TRUE(view.GetListCtrl().GetHeader().HasSortArrow(1));
    int position = 0;
    bool ascending = true;
    ASSERT_TRUE(view.GetListCtrl().GetSortKey(1, position, ascending));
    EXPECT_EQ(position, 2);

    // Ctrl-click on the primary key moves it last and reverses it.
    ClickHeader(2, Qt::ControlModifier);
    ASSERT_TRUE(view.GetListCtrl().GetSortKey(2, position, ascending));
    EXPECT_EQ(position, 2);
    EXPECT_TRUE(ascending);
    ASSERT_TRUE(view.GetListCtrl().GetSortKey(1, position, ascending));
    EXPECT_EQ(position, 1);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"10", "9", "9", ""}));
    EXPECT_EQ(Column(2), (std::vector<std::string>{"x", "x", "y", "x"}));
}

TEST_F(ListViewTest, OtherButtonsDoNotSort) {
    ClickHeader(1, Qt::NoModifier, Qt::RightButton);
    ClickHeader(1, Qt::NoModifier, Qt::MiddleButton);
    EXPECT_EQ(Column(1), (std::vector<std::string>{"10", "9", "", "9"}));
    EXPECT_TRUE(view.GetListCtrl().GetHeader().GetSortArrows().empty());
}

TEST_F(ListViewTest, ColumnDragAndResizeReachTheList) {
    view.GetListCtrl().OnHeaderClick(1, false);
    QHeaderView* header = view.horizontalHeader();
    header->moveSection(header->visualIndex(2), 0);  // as a drag of "Other" to the front
    EXPECT_EQ(view.GetListCtrl().GetColumnOrderArray(), (std::vector<int>{2, 0, 1}));
    // The model was not reset by the header's own change: rows and arrows stay.
    EXPECT_EQ(view.model()->rowCount(), 4);
    EXPECT_TRUE(view.GetListCtrl().GetHeader().HasSortArrow(1));

    header->resizeSection(1, 140);
    EXPECT_EQ(view.GetListCtrl().GetColumnWidth(1), 140);
    const auto& arrows = view.GetListCtrl().GetHeader().GetSortArrows();
    ASSERT_EQ(arrows.size(), 1u);
    EXPECT_EQ(arrows[0].width, 140);

    // A refill and a sort keep the user's order and widths in the header.
    CListCtrlEx& list = view.GetListCtrl();
    list.SetRedraw(false);
    list.DeleteAllItems();
    list.InsertItem(0, {"z", "1", "q"}, 7);
    list.SetRedraw(true);
    list.Sort();
    EXPECT_EQ(header->logicalIndex(0), 2);
    EXPECT_EQ(header->sectionSize(1), 140);

    // A new order set on the list moves the header's sections.
    view.GetListCtrl().SetColumnOrderArray({1, 2, 0});
    EXPECT_EQ(header->logicalIndex(0), 1);
    EXPECT_EQ(header->logicalIndex(1), 2);
    EXPECT_EQ(header->logicalIndex(2), 0);
}

TEST_F(ListViewTest, SelectionReachesTheListAndFollowsItsRowsThroughASort) {
    view.selectRow(0);  // "b", 10
    EXPECT_EQ(view.GetListCtrl().GetSelectedItems(), (std::vector<int>{0}));
    ClickHeader(0);  // descending by name: c, b, B, a
    EXPECT_EQ(view.GetListCtrl().GetSelectedItems(), (std::vector<int>{1}));
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].row(), 1);
    view.clearSelection();
    EXPECT_EQ(view.GetListCtrl().GetSelectedCount(), 0);
}

TEST(SortArrowPainting, ArrowGeometryAndColours) {
    const int w = 80;
    const int h = 20;
    QImage image(w, h, QImage::Format_RGB32);
    const QColor face(192, 192, 192);
    auto paint = [&](bool ascending, int width) {
        image.fill(face);
        QPainter painter(&image);
        CSortableHeaderView::PaintSortArrow(painter, QRect(0, 0, width, h), QStringLiteral("Title"), ascending,
                                            QApplication::font(), QApplication::palette(), face);
    };
    paint(true, w);
    EXPECT_EQ(image.pixelColor(w - 18, 12), QColor(Qt::black));  // base
    EXPECT_EQ(image.pixelColor(w - 16, 8), QColor(Qt::black));   // right side
    EXPECT_EQ(image.pixelColor(w - 20, 8), QColor(Qt::white));   // lit left side
    EXPECT_EQ(image.pixelColor(w - 18, 8), face);                // inside

    paint(false, w);
    EXPECT_EQ(image.pixelColor(w - 18, 4), QColor(Qt::white));  // top
    EXPECT_EQ(image.pixelColor(w - 20, 8), QColor(Qt::white));  // left side
    EXPECT_EQ(image.pixelColor(w - 16, 8), QColor(Qt::black));  // shaded right side

    // The title stays left of the arrow; a narrow cell shows the arrow alone.
    auto inkLeftOf = [&](int limit) {
        for (int x = 0; x < limit; ++x) {
            for (int y = 0; y < h; ++y) {
                if (image.pixelColor(x, y) != face) return true;
            }
        }
        return false;
    };
    paint(false, w);
    EXPECT_TRUE(inkLeftOf(w - 22));
    paint(false, 22);
    for (int x = 0; x < 22; ++x) {
        for (int y = 0; y < h; ++y) {
            const QColor c = image.pixelColor(x, y);
            EXPECT_TRUE(c == face || c == QColor(Qt::white) || c == QColor(Qt::black)) << x << "," << y;
        }
    }
}

TEST(SortArrowPainting, TheLitSideShowsOnAWhiteFace) {
    const int w = 80;
    const int h = 20;
    QImage image(w, h, QImage::Format_RGB32);
    const QColor face(Qt::white);
    for (const bool ascending : {true, false}) {
        image.fill(face);
        QPainter painter(&image);
        CSortableHeaderView::PaintSortArrow(painter, QRect(0, 0, w, h), QString(), ascending, QApplication::font(),
                                            QApplication::palette(), face);
        painter.end();
        EXPECT_NE(image.pixelColor(w - 20, 8), face) << ascending;  // left side
    }
}

TEST(ListModelFill, OneHundredThousandRowsInOnePass) {
    CListViewEx view;
    CListCtrlEx& list = view.GetListCtrl();
    list.InsertColumn(0, "N", kAlignRight, 60);
    list.InsertColumn(1, "Text", kAlignLeft, 200);
    list.AddSortKey(0, kFormatNumber, 1, true);
    int resets = 0;
    QObject::connect(view.model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    list.SetRedraw(false);
    list.SetItemCount(100000);
    for (int i = 0; i < 100000; ++i) {
        const std::string n = std::to_string((i * 7919) % 100000);
        list.InsertItem(i, {n, "statement " + n}, i);
    }
    list.SetRedraw(true);
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(view.model()->rowCount(), 100000);
    list.Sort();
    EXPECT_EQ(view.model()->data(view.model()->index(0, 0)).toString(), "0");
    EXPECT_EQ(view.model()->data(view.model()->index(99999, 1)).toString(), "statement 99999");
}

}  // namespace
}  // namespace corvid
