#include "app/qt/CorvidView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <unordered_set>

#include "app/LoadSummary.h"
#include "app/qt/SimilarSearchJob.h"
#include "app/qt/FamilyTextDelegate.h"
#include "collection/CorvidDoc.h"
#include "collection/IntervalFigures.h"
#include "list/FamilyColumn.h"
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

// The busy flag alone, for a load in the background.
class CBusyFlag {
public:
    explicit CBusyFlag(bool& busy) : m_busy(busy) { m_busy = true; }
    ~CBusyFlag() { m_busy = false; }
    CBusyFlag(const CBusyFlag&) = delete;
    CBusyFlag& operator=(const CBusyFlag&) = delete;

private:
    bool& m_busy;
};

}  // namespace

QString FamilyNoteText(int statements) {
    return QStringLiteral("Family: %1 statements (press Esc or the family button to show all)").arg(statements);
}

CCorvidView::CCorvidView(CCorvidDoc& document, QWidget* parent)
    : CListViewEx(parent), m_document(document), m_intervalLayout(CListLayout::LoadIntervalLayout(GetSettingsStore())) {
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("FamilyNote"));
    m_note->setAutoFillBackground(true);
    m_note->setBackgroundRole(QPalette::ToolTipBase);
    m_note->setForegroundRole(QPalette::ToolTipText);
    m_note->setMargin(3);
    m_note->hide();
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) Dispatch(ECommand::ShowStatement);
    });
    ApplyLayout();
}

CCorvidView::~CCorvidView() {
    // A search still filling in the similar view stops before the document it reads goes.
    m_similarSearch.reset();
    SaveLayout();
}

void CCorvidView::SetSimilarSearch(std::unique_ptr<CSimilarSearchJob> search) {
    m_similarSearch = std::move(search);
}

void CCorvidView::EndSimilarSearch() {
    m_similarSearch.reset();
}

void CCorvidView::SaveLayout() {
    if (m_layoutSaved || m_document.m_SimilarMode) return;
    m_layoutSaved = true;
    CListLayout& layout = m_document.GetListLayout();
    if (m_document.m_ChangesMode) {
        // The user's own layout was read back when the changes view was entered.
        SaveIntervalLayout();
        layout.Save();
        return;
    }
    // The family view shows a layout of its own; the user's was read back from
    // the list when the view was entered.
    if (!m_document.m_FamilyMode) layout.ReadFromList(GetListCtrl());
    layout.Save();
}

void CCorvidView::ApplyLayout() {
    ApplyLayout(m_document.GetListLayout());
}

void CCorvidView::ApplyLayout(const CListLayout& layout) {
    CListCtrlEx& list = GetListCtrl();
    for (int i = 0; i < list.GetColumnCount(); ++i)
        setItemDelegateForColumn(i, nullptr);
    layout.CreateColumns(list);
    layout.ApplySortKeys(list);
    // The built-in layouts give each column its least width; it grows to show the
    // whole title (and the arrow of a sorted one) and a 16-digit address. A layout
    // the user saved keeps the widths the user left.
    if (layout.IsEqual(m_document.GetDefaultLayout()) || layout.IsEqual(CListLayout::MakeFreshLayout()) ||
        layout.IsEqual(CListLayout::MakeSimilarLayout()) || layout.IsEqual(CListLayout::MakeIntervalLayout())) {
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
    // Family texts are coloured like the statement page.
    for (int i = 0; i < layout.GetCount(); ++i) {
        if (layout.GetColumns()[static_cast<std::size_t>(i)].m_Id != kColFamilyText) continue;
        if (!m_familyDelegate) m_familyDelegate = new CFamilyTextDelegate(this);
        setItemDelegateForColumn(i, m_familyDelegate);
    }
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
    if (reload) m_loadedOnce = true;
    FillFromDocument(reload ? std::vector<CObjectArray::Index>() : keepSelected);
    const std::vector<int> selected = GetListCtrl().GetSelectedItems();
    if (!selected.empty()) {
        selectionModel()->setCurrentIndex(model()->index(selected.front(), 0), QItemSelectionModel::NoUpdate);
        scrollTo(model()->index(selected.front(), 0));
        horizontalScrollBar()->setValue(0);
    }
    viewport()->update();
    return completed;
}

void CCorvidView::FillFromDocument(const std::vector<CObjectArray::Index>& select) {
    // A load with nothing to compare with (the first after a connect, another
    // filter, a cancelled one) ends the changes view.
    if (m_document.m_ChangesMode && !m_document.HasInterval()) {
        SetChangesMode(false);
        ApplyLayout();
    }
    const CObjectArray& collection = m_document.GetCollection();
    CListCtrlEx& list = GetListCtrl();
    list.SetRedraw(false);
    const CListLayout& layout = m_document.GetListLayout();
    if (m_document.m_ChangesMode) {
        std::vector<CObjectArray::Index> positions;
        const CObjectArray changed = ChangedStatements(collection, positions);
        FillFrom(changed, m_intervalLayout, false, &positions);
        SetNote(QString());
    } else if (const std::vector<CObjectArray::Index>* members = m_document.GetFilteredPositions()) {
        list.DeleteAllItems();
        const int count = static_cast<int>(members->size());
        list.SetItemCount(count);
        for (int i = 0; i < count; ++i) {
            const CObjectArray::Index position = (*members)[static_cast<std::size_t>(i)];
            layout.FillRow(list, i, collection[position]);
            list.SetItemData(i, position);
        }
        SetNote(FamilyNoteText(count));
    } else {
        FillFrom(collection, layout, false);
        SetNote(QString());
    }
    if (!select.empty()) {
        const std::unordered_set<CObjectArray::Index> wanted(select.begin(), select.end());
        for (int row = 0; row < list.GetItemCount(); ++row) {
            if (wanted.count(static_cast<CObjectArray::Index>(list.GetItemData(row))))
                list.SetItemSelected(row, true);
        }
    }
    list.SetRedraw(true);
    list.Sort();
}

void CCorvidView::SetChangesMode(bool on) {
    if (on == m_document.m_ChangesMode) return;
    CListCtrlEx& list = GetListCtrl();
    if (on) {
        m_document.GetListLayout().ReadFromList(list);
        m_document.m_ChangesMode = true;
        list.DeleteAllItems();
        ApplyLayout(m_intervalLayout);
    } else {
        SaveIntervalLayout();
        m_document.m_ChangesMode = false;
        list.DeleteAllItems();
        ApplyLayout(m_document.GetListLayout());
    }
}

void CCorvidView::SetIntervalLayout(const CListLayout& layout) {
    m_intervalLayout = layout;
    m_intervalLayout.SetName(CListLayout::kIntervalName);
    m_intervalLayout.Save(GetSettingsStore());
}

void CCorvidView::SaveIntervalLayout() {
    m_intervalLayout.ReadFromList(GetListCtrl());
    m_intervalLayout.Save(GetSettingsStore());
}

bool CCorvidView::RefreshInBackground(IProgressRunner& runner, std::string& error) {
    if (m_busy) return false;
    CBusyFlag busy(m_busy);
    CListCtrlEx& list = GetListCtrl();
    // The selected statements by their key: their positions change with the load.
    std::unordered_set<std::string> keys;
    const CObjectArray& before = m_document.GetCollection();
    for (int row : list.GetSelectedItems()) {
        const CListCtrlEx::ItemData position = list.GetItemData(row);
        if (position >= 0 && position < before.GetSize()) keys.insert(StatementKey(before[position]));
    }
    const QModelIndex current = currentIndex();
    const std::string currentKey =
        current.isValid() && list.GetItemData(current.row()) >= 0 && list.GetItemData(current.row()) < before.GetSize()
            ? StatementKey(before[list.GetItemData(current.row())])
            : std::string();
    const int vertical = verticalScrollBar()->value();
    const int horizontal = horizontalScrollBar()->value();

    const bool completed = m_document.Refresh(runner, error);
    m_loadedOnce = true;

    const CObjectArray& after = m_document.GetCollection();
    std::vector<CObjectArray::Index> select;
    CObjectArray::Index currentPosition = -1;
    if (!keys.empty() || !currentKey.empty()) {
        for (CObjectArray::Index i = 0; i < after.GetSize(); ++i) {
            const std::string key = StatementKey(after[i]);
            if (keys.count(key)) select.push_back(i);
            if (key == currentKey) currentPosition = i;
        }
    }
    FillFromDocument(select);
    if (currentPosition >= 0) {
        for (int row = 0; row < list.GetItemCount(); ++row) {
            if (list.GetItemData(row) != currentPosition) continue;
            selectionModel()->setCurrentIndex(model()->index(row, current.column()), QItemSelectionModel::NoUpdate);
            break;
        }
    }
    // The scroll ranges follow the new rows first, so that the old offsets fit.
    executeDelayedItemsLayout();
    verticalScrollBar()->setValue(vertical);
    horizontalScrollBar()->setValue(horizontal);
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

void CCorvidView::ShowFamilies() {
    if (m_busy) return;
    CBusyScope busy(m_busy);
    const CListLayout layout = CListLayout::MakeFamilyLayout();
    ApplyLayout(layout);
    const std::vector<CFamilyEntry>& families = m_document.GetFamilies().GetFamilies();
    CListCtrlEx& list = GetListCtrl();
    list.SetRedraw(false);
    list.DeleteAllItems();
    const int count = static_cast<int>(families.size());
    list.SetItemCount(count);
    for (int i = 0; i < count; ++i) {
        layout.FillRow(list, i, families[static_cast<std::size_t>(i)]);
        list.SetItemData(i, i);
    }
    list.SetRedraw(true);
    list.Sort();
    SetNote(QString());
}

int CCorvidView::GetSelectedFamily() {
    const CListCtrlEx& list = GetListCtrl();
    const std::vector<int> selected = list.GetSelectedItems();
    if (m_document.m_FamilyMode && selected.size() == 1) {
        const CListCtrlEx::ItemData family = list.GetItemData(selected.front());
        if (family >= 0 && family < m_document.GetFamilies().GetCount()) return static_cast<int>(family);
    }
    GetPrompter().Message(kSelectOneFamilyMessage);
    return -1;
}

void CCorvidView::SetNote(const QString& text) {
    m_note->setText(text);
    m_note->setVisible(!text.isEmpty());
    PlaceNote();
}

void CCorvidView::PlaceNote() {
    if (!m_note->isVisible()) return;
    const QRect area = viewport()->geometry();
    const int height = m_note->sizeHint().height();
    m_note->setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
    m_note->raise();
}

void CCorvidView::resizeEvent(QResizeEvent* event) {
    CListViewEx::resizeEvent(event);
    PlaceNote();
}

void CCorvidView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    // While a refresh loads in the background the document is the worker's.
    if (m_busy) {
        CListViewEx::keyPressEvent(event);
        return;
    }
    if (key == Qt::Key_Escape && m_similarSearch) {
        m_similarSearch->Cancel();
        return;
    }
    if (key == Qt::Key_Escape && m_document.m_FamilyFilter >= 0 && !m_document.m_SimilarMode) {
        Dispatch(ECommand::StatementFamilies);
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_document.m_FamilyMode) {
        Dispatch(ECommand::ShowStatement);
        return;
    }
    CListViewEx::keyPressEvent(event);
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
    // The rows of the family view are families, not statements.
    if (m_document.m_FamilyMode) return;
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
