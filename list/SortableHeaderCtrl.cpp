#include "list/SortableHeaderCtrl.h"

#include <algorithm>

namespace corvid {

void CSortableHeaderCtrl::SetSortArrow(int column, bool ascending, int width, int height) {
    auto it =
        std::find_if(m_arrows.begin(), m_arrows.end(), [column](const SSortArrow& a) { return a.column == column; });
    if (it == m_arrows.end()) {
        m_arrows.push_back({column, ascending, width, height});
    } else {
        it->ascending = ascending;
        it->width = width;
        it->height = height;
    }
    Changed();
}

void CSortableHeaderCtrl::RemoveSortArrow(int column) {
    auto it =
        std::remove_if(m_arrows.begin(), m_arrows.end(), [column](const SSortArrow& a) { return a.column == column; });
    if (it == m_arrows.end()) return;
    m_arrows.erase(it, m_arrows.end());
    Changed();
}

void CSortableHeaderCtrl::RemoveAllSortArrows() {
    if (m_arrows.empty()) return;
    m_arrows.clear();
    Changed();
}

bool CSortableHeaderCtrl::HasSortArrow(int column, bool* ascending) const {
    for (const SSortArrow& a : m_arrows) {
        if (a.column == column) {
            if (ascending) *ascending = a.ascending;
            return true;
        }
    }
    return false;
}

}  // namespace corvid
