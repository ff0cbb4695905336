#pragma once

#include <QTableView>

#include "list/ListCtrlEx.h"

namespace corvid {

class CListModel;
class CSortableHeaderView;

// The sortable list view: a report-style table over its own CListCtrlEx, with grid
// lines, full-row selection, a hover highlight of the row under the mouse, columns
// that are dragged to a new place or resized from the header, and sorting by
// header clicks (Ctrl adds a column as the least significant key).
class CListViewEx : public QTableView {
    Q_OBJECT
public:
    explicit CListViewEx(QWidget* parent = nullptr);
    ~CListViewEx() override;

    CListCtrlEx& GetListCtrl() { return m_list; }
    const CListCtrlEx& GetListCtrl() const { return m_list; }
    CSortableHeaderView* SortableHeader() const { return m_header; }
    CListModel* ListModel() const { return m_model; }

    // The row under the mouse (-1 when none); painted highlighted.
    int HotRow() const { return m_hotRow; }

    // The least width at which the column's header shows its whole title, with
    // room for the sort arrow when `withArrow`.
    int HeaderFitWidth(int column, bool withArrow) const;
    // Widens every column that shows a sort arrow to HeaderFitWidth; narrower
    // columns only grow, wider ones stay as they are.
    void FitSortedHeaders();

protected:
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void SyncColumnsFromList();
    void SyncSelectionToList();
    void RestoreSelectionFromList();
    void OnSectionMoved(int logical, int oldVisual, int newVisual);
    void OnSectionResized(int logical, int oldSize, int newSize);

    CListCtrlEx m_list;
    CListModel* m_model;
    CSortableHeaderView* m_header;
    int m_hotRow = -1;
    bool m_syncingColumns = false;
};

}  // namespace corvid
