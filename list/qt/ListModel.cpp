#include "list/qt/ListModel.h"

namespace corvid {

CListModel::CListModel(CListCtrlEx& list, QObject* parent) : QAbstractTableModel(parent), m_list(list) {
    m_list.SetChangeHandler([this](CListCtrlEx::EChange change) { OnListChanged(change); });
}

int CListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.GetItemCount();
}

int CListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_list.GetColumnCount();
}

Qt::Alignment CListModel::ToQtAlignment(int alignment) {
    switch (alignment) {
        case kAlignRight:
            return Qt::AlignRight | Qt::AlignVCenter;
        case kAlignCenter:
            return Qt::AlignHCenter | Qt::AlignVCenter;
        default:
            return Qt::AlignLeft | Qt::AlignVCenter;
    }
}

QVariant CListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return QVariant();
    switch (role) {
        case Qt::DisplayRole: {
            const std::string_view text = m_list.GetItemTextView(index.row(), index.column());
            return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(ToQtAlignment(m_list.GetColumnAlignment(index.column())));
        default:
            return QVariant();
    }
}

QVariant CListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) return QVariant();
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(m_list.GetColumnTitle(section));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(ToQtAlignment(m_list.GetColumnAlignment(section)));
        default:
            return QVariant();
    }
}

void CListModel::Reload() {
    beginResetModel();
    endResetModel();
}

void CListModel::OnListChanged(CListCtrlEx::EChange change) {
    switch (change) {
        case CListCtrlEx::EChange::Columns:
            if (m_ignoreColumnChanges) break;
            Reload();
            emit columnsRebuilt();
            break;
        case CListCtrlEx::EChange::Rows:
        case CListCtrlEx::EChange::Order:
            Reload();
            emit rowsReloaded();
            break;
        case CListCtrlEx::EChange::Cell:
            if (rowCount() > 0 && columnCount() > 0) {
                emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
            }
            break;
        case CListCtrlEx::EChange::SortArrows:
            emit sortArrowsChanged();
            break;
        case CListCtrlEx::EChange::Selection:
            // The view's selection model is the source of the list's selection.
            break;
    }
}

}  // namespace corvid
