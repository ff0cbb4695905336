#pragma once

#include <QAbstractTableModel>

#include "list/ListCtrlEx.h"

namespace corvid {

// A Qt table model over the core list: rows and columns are the list's own, each
// cell's text is read in place when the view paints it, so a fill of any size
// costs one reset and nothing per cell. Columns are addressed by their index in
// the list; the header's visual order is the list's display order.
class CListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit CListModel(CListCtrlEx& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    CListCtrlEx& List() { return m_list; }

    // Column alignment of the list as Qt alignment flags.
    static Qt::Alignment ToQtAlignment(int alignment);

    // The list changed its rows or their order: the views read everything again.
    void Reload();

    // While set, column changes are not passed on: the header made them itself
    // (a drag or a resize of a column) and already shows them.
    void SetIgnoreColumnChanges(bool ignore) { m_ignoreColumnChanges = ignore; }

signals:
    // The list's columns were rebuilt (count, titles, widths or order).
    void columnsRebuilt();
    // Only the header's sort arrows changed.
    void sortArrowsChanged();
    // The rows were replaced or re-ordered.
    void rowsReloaded();

private:
    void OnListChanged(CListCtrlEx::EChange change);

    CListCtrlEx& m_list;
    bool m_ignoreColumnChanges = false;
};

}  // namespace corvid
