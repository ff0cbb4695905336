#include "app/qt/CorvidView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "app/LoadSummary.h"
#include "collection/CorvidDoc.h"
#include "list/ListLayout.h"
#include "list/StatementColumn.h"
#include "platform/Services.h"
#include "platform/qt/WaitCursor.h"

namespace corvid {

namespace {

// The wait cursor and the busy flag for the time of a refill; both are restored
// also when the load throws.
class CBusyScope {
public:
    explicit CBusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~CBusyScope() { m_busy = false; }
    CBusyScope(const CBusyScope&) = delete;
    CBusyScope& operator=(const CBusyScope&) = delete;

private:
    bool& m_busy;
    CWaitCursor m_wait;
};

}  // namespace

CCorvidView::CCorvidView(CCorvidDoc& document, QWidget* parent) : CListViewEx(parent), m_document(document) {
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) Dispatch(ECommand::ShowStatement);
    });
    ApplyLayout();
}

CCorvidView::~CCorvidView() {
    SaveLayout();
}

void CCorvidView::SaveLayout() {
    if (m_layoutSaved || m_document.m_SimilarMode) return;
    m_layoutSaved = true;
    CListLayout& layout = m_document.GetListLayout();
    layout.ReadFromList(GetListCtrl());
    layout.Save();
}

void CCorvidView::ApplyLayout() {
    ApplyLayout(m_document.GetListLayout());
}

void CCorvidView::ApplyLayout(const CListLayout& layout) {
    CListCtrlEx& list = GetListCtrl();
    layout.CreateColumns(list);
    layout.ApplySortKeys(list);
    // The built-in layouts give each column its least width; it grows to show the
    // whole title (and the arrow of a sorted one) and a 16-digit address. A layout
    // the user saved keeps the widths the user left.
    if (layout.IsEqual(m_document.GetDefaultLayout()) || layout.IsEqual(CListLayout::MakeFreshLayout()) ||
        layout.IsEqual(CListLayout::MakeSimilarLayout())) {
        const int digits = fontMetrics().horizontalAdvance(QStringLiteral("0000000000000000")) + 12;
        for (int column = 0; column < layout.GetCount(); ++column) {
            const CListColLayout& c = layout.GetColumns()[column];
            int least = HeaderFitWidth(column, c.GetSortPosition() > 0);
            if (c.m_Id == kColAddress) least = std::max(least, digits);
            if (list.GetColumnWidth(column) < least) list.SetColumnWidth(column, least);
        }
    }
    // A new set of columns starts at the left edge, not at the offset of the old one.
    horizontalScrollBar()->setValue(0);
}

void CCorvidView::FillFrom(const CObjectArray& array, const CListLayout& layout, bool suspendRedraw,
                           const std::vector<CObjectArray::Index>* positions) {
    CListCtrlEx& list = GetListCtrl();
    if (suspendRedraw) list.SetRedraw(false);
    list.DeleteAllItems();
    const int count = static_cast<int>(array.GetSize());
    list.SetItemCount(count);
    for (int i = 0; i < count; ++i) {
        layout.FillRow(list, i, array[i]);
        const bool mapped = positions && i < static_cast<int>(positions->size());
        list.SetItemData(i, mapped ? (*positions)[i] : i);
    }
    if (suspendRedraw) list.SetRedraw(true);
}

bool CCorvidView::Refill(bool reload, const std::vector<CObjectArray::Index>& keepSelected) {
    if (m_busy) return false;
    CBusyScope busy(m_busy);
    const bool completed = !reload || m_document.Reload();
    const CObjectArray& collection = m_document.GetCollection();
    if (reload) m_loadedOnce = true;
    CListCtrlEx& list = GetListCtrl();
    list.SetRedraw(false);
    FillFrom(collection, m_document.GetListLayout(), false);
    // Rows are filled in collection order, so a row's number is its position here.
    if (!reload) {
        for (CObjectArray::Index position : keepSelected) {
            if (position >= 0 && position < collection.GetSize()) list.SetItemSelected(static_cast<int>(position), true);
        }
    }
    list.SetRedraw(true);
    list.Sort();
    const std::vector<int> selected = list.GetSelectedItems();
    if (!selected.empty()) {
        selectionModel()->setCurrentIndex(model()->index(selected.front(), 0), QItemSelectionModel::NoUpdate);
        scrollTo(model()->index(selected.front(), 0));
        horizontalScrollBar()->setValue(0);
    }
    viewport()->update();
    return completed;
}

std::vector<CObjectArray::Index> CCorvidView::SelectedPositions() const {
    const CListCtrlEx& list = GetListCtrl();
    std::vector<CObjectArray::Index> positions;
    for (int row : list.GetSelectedItems())
        positions.push_back(static_cast<CObjectArray::Index>(list.GetItemData(row)));
    return positions;
}

QString CCorvidView::PlaceholderText() const {
    if (m_loadedOnce || GetListCtrl().GetItemCount() > 0) return QString();
    return QString::fromUtf8(kEmptyListHint);
}

void CCorvidView::paintEvent(QPaintEvent* event) {
    CListViewEx::paintEvent(event);
    const QString hint = PlaceholderText();
    if (hint.isEmpty()) return;
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    painter.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap, hint);
}

CObjectArray::Index CCorvidView::GetSelectedPosition() {
    const CListCtrlEx& list = GetListCtrl();
    const std::vector<int> selected = list.GetSelectedItems();
    const CObjectArray& collection = m_document.GetCollection();
    if (selected.size() == 1) {
        const CListCtrlEx::ItemData position = list.GetItemData(selected.front());
        if (position >= 0 && position < collection.GetSize()) return static_cast<CObjectArray::Index>(position);
    }
    GetPrompter().Message(kSelectOneStatementMessage);
    return -1;
}

bool CCorvidView::SelectPosition(CObjectArray::Index position) {
    const CListCtrlEx& list = GetListCtrl();
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemData(row) != position) continue;
        const QModelIndex index = model()->index(row, 0);
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        scrollTo(index);
        return true;
    }
    return false;
}

bool CCorvidView::GetSelectedStatement(CObjectEntry& entry) {
    const CObjectArray::Index position = GetSelectedPosition();
    if (position < 0) return false;
    entry = m_document.GetCollection()[position];
    return true;
}

void CCorvidView::Dispatch(ECommand command) {
    if (m_busy) return;
    if (m_dispatch) m_dispatch(command);
}

void CCorvidView::contextMenuEvent(QContextMenuEvent* event) {
    if (m_busy) return;
    const QModelIndex index = indexAt(event->pos());  // viewport coordinates
    if (!index.isValid()) return;
    // A right click on a row outside the selection selects that row, as the list
    // did, so the menu acts on the row that was clicked.
    if (!selectionModel()->isRowSelected(index.row(), QModelIndex())) {
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    }
    QMenu menu(window());
    QAction* show = menu.addAction(QStringLiteral("Show &SQL statement..."));
    QAction* similar = menu.addAction(QStringLiteral("&Find similar SQL..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == show) Dispatch(ECommand::ShowStatement);
    if (chosen == similar) Dispatch(ECommand::FindSimilar);
}

}  // namespace corvid
