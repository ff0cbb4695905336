#include "list/qt/ListViewEx.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "list/qt/ListModel.h"
#include "list/qt/SortableHeaderView.h"

namespace corvid {

namespace {

// Paints the row under the mouse with a light tint of the selection colour.
class CHotRowDelegate : public QStyledItemDelegate {
public:
    explicit CHotRowDelegate(CListViewEx* view) : QStyledItemDelegate(view), m_view(view) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (index.row() == m_view->HotRow() && !(option.state & QStyle::State_Selected)) {
            QColor tint = option.palette.color(QPalette::Highlight);
            tint.setAlpha(40);
            painter->fillRect(option.rect, tint);
        }
        QStyledItemDelegate::paint(painter, option, index);
    }

private:
    CListViewEx* m_view;
};

// Runs a change that the header itself made without echoing it back.
class CColumnSyncGuard {
public:
    CColumnSyncGuard(bool& flag, CListModel& model) : m_flag(flag), m_model(model) {
        m_flag = true;
        m_model.SetIgnoreColumnChanges(true);
    }
    ~CColumnSyncGuard() {
        m_model.SetIgnoreColumnChanges(false);
        m_flag = false;
    }

private:
    bool& m_flag;
    CListModel& m_model;
};

}  // namespace

CListViewEx::CListViewEx(QWidget* parent) : QTableView(parent) {
    m_model = new CListModel(m_list, this);
    m_header = new CSortableHeaderView(m_list.GetHeader(), this);
    setHorizontalHeader(m_header);
    setModel(m_model);

    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setTabKeyNavigation(false);
    setItemDelegate(new CHotRowDelegate(this));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);

    connect(m_header, &CSortableHeaderView::columnClicked, this, [this](int column, bool ctrl) {
        m_list.OnHeaderClick(column, ctrl, CListCtrlEx::EMouseButton::Left);
        // The arrow takes room from the title: "Exec" must not become "Ex..".
        FitSortedHeaders();
    });
    connect(m_header, &QHeaderView::sectionMoved, this, &CListViewEx::OnSectionMoved);
    connect(m_header, &QHeaderView::sectionResized, this, &CListViewEx::OnSectionResized);
    connect(m_model, &CListModel::columnsRebuilt, this, &CListViewEx::SyncColumnsFromList);
    connect(m_model, &CListModel::sortArrowsChanged, m_header, [this] { m_header->viewport()->update(); });
    // A reset may give the header back its default order and sizes; the list holds
    // the user's, so the header takes them again.
    connect(m_model, &CListModel::rowsReloaded, this, &CListViewEx::SyncColumnsFromList);
    connect(m_model, &CListModel::rowsReloaded, this, &CListViewEx::RestoreSelectionFromList);
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_hotRow = -1; });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CListViewEx::SyncSelectionToList);
}

CListViewEx::~CListViewEx() {
    // The model reads the list, which goes before the table's own destructor runs:
    // detach and delete the model while the list is still there.
    m_list.SetChangeHandler(nullptr);
    setModel(nullptr);
    delete m_model;
    m_model = nullptr;
}

void CListViewEx::SyncColumnsFromList() {
    CColumnSyncGuard guard(m_syncingColumns, *m_model);
    const int count = m_list.GetColumnCount();
    for (int column = 0; column < count; ++column) {
        const int width = m_list.GetColumnWidth(column);
        if (width >= 0) m_header->resizeSection(column, width);
    }
    // The header's visual order follows the list's display order.
    const std::vector<int> order = m_list.GetColumnOrderArray();
    for (int visual = 0; visual < static_cast<int>(order.size()); ++visual) {
        const int from = m_header->visualIndex(order[visual]);
        if (from != visual && from >= 0) m_header->moveSection(from, visual);
    }
}

int CListViewEx::HeaderFitWidth(int column, bool withArrow) const {
    const QString title = QString::fromStdString(m_list.GetColumnTitle(column));
    const int text = m_header->fontMetrics().horizontalAdvance(title);
    // The arrow is drawn in the last 22 pixels and the title starts 4 pixels in
    // (CSortableHeaderView::PaintSortArrow); a plain title has the style's margins.
    if (withArrow) return text + 4 + 23 + 4;
    const int margin = m_header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, m_header);
    return text + 2 * margin + 4;
}

void CListViewEx::FitSortedHeaders() {
    for (int column = 0; column < m_list.GetColumnCount(); ++column) {
        bool ascending = true;
        if (!m_list.GetHeader().HasSortArrow(column, &ascending)) continue;
        const int least = HeaderFitWidth(column, true);
        if (m_list.GetColumnWidth(column) < least) m_list.SetColumnWidth(column, least);
    }
}

void CListViewEx::OnSectionMoved(int /*logical*/, int oldVisual, int newVisual) {
    if (m_syncingColumns) return;
    CColumnSyncGuard guard(m_syncingColumns, *m_model);
    m_list.MoveColumn(oldVisual, newVisual);
}

void CListViewEx::OnSectionResized(int logical, int /*oldSize*/, int newSize) {
    if (m_syncingColumns) return;
    CColumnSyncGuard guard(m_syncingColumns, *m_model);
    m_list.SetColumnWidth(logical, newSize);
    // A column that shows an arrow gets it drawn again at its new width.
    bool ascending = true;
    if (m_list.GetHeader().HasSortArrow(logical, &ascending))
        m_list.GetHeader().SetSortArrow(logical, ascending, newSize);
}

void CListViewEx::SyncSelectionToList() {
    const int rows = m_list.GetItemCount();
    std::vector<char> selected(static_cast<std::size_t>(rows), 0);
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom() && row < rows; ++row)
            selected[row] = 1;
    }
    for (int row = 0; row < rows; ++row) {
        if (m_list.IsItemSelected(row) != (selected[row] != 0)) m_list.SetItemSelected(row, selected[row] != 0);
    }
}

void CListViewEx::RestoreSelectionFromList() {
    // After a sort every row still carries its selection; the table shows it again.
    QItemSelection selection;
    const int rows = m_list.GetItemCount();
    const int lastColumn = m_list.GetColumnCount() - 1;
    if (lastColumn < 0) return;
    int start = -1;
    for (int row = 0; row <= rows; ++row) {
        const bool selected = row < rows && m_list.IsItemSelected(row);
        if (selected && start < 0) start = row;
        if (!selected && start >= 0) {
            selection.select(m_model->index(start, 0), m_model->index(row - 1, lastColumn));
            start = -1;
        }
    }
    if (!selection.isEmpty()) selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void CListViewEx::mouseMoveEvent(QMouseEvent* event) {
    const int row = indexAt(event->position().toPoint()).row();
    if (row != m_hotRow) {
        m_hotRow = row;
        viewport()->update();
    }
    QTableView::mouseMoveEvent(event);
}

void CListViewEx::leaveEvent(QEvent* event) {
    if (m_hotRow != -1) {
        m_hotRow = -1;
        viewport()->update();
    }
    QTableView::leaveEvent(event);
}

}  // namespace corvid
