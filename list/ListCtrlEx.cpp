#include "list/ListCtrlEx.h"

#include <algorithm>
#include <limits>
#include <numeric>

#include "list/SortClass.h"

namespace corvid {

CListCtrlEx::CListCtrlEx() {
    m_header.SetChangeHandler([this] { Notify(EChange::SortArrows); });
}

CListCtrlEx::~CListCtrlEx() = default;

void CListCtrlEx::Notify(EChange change) {
    if (m_redrawSuspended) {
        m_changedWhileSuspended = true;
        return;
    }
    if (m_changed) m_changed(change);
}

void CListCtrlEx::SetRedraw(bool redraw) {
    if (!redraw) {
        m_redrawSuspended = true;
        return;
    }
    bool pending = m_changedWhileSuspended;
    m_redrawSuspended = false;
    m_changedWhileSuspended = false;
    if (pending) Notify(EChange::Rows);
}

// ---- columns ----

int CListCtrlEx::InsertColumn(int index, const std::string& title, int alignment, int width) {
    if (index < 0) return -1;
    index = std::min(index, GetColumnCount());
    m_columns.insert(m_columns.begin() + index, SColumn{title, alignment, width});
    for (int& column : m_order) {
        if (column >= index) ++column;
    }
    m_order.insert(m_order.begin() + std::min<std::size_t>(index, m_order.size()), index);
    for (SRow& r : m_rows) {
        std::size_t at = CellBegin(r, index);
        r.text.insert(at, 1, '\0');
        r.ends.insert(r.ends.begin() + index, static_cast<std::uint32_t>(at));
        for (std::size_t c = index + 1; c < r.ends.size(); ++c)
            ++r.ends[c];
    }
    Notify(EChange::Columns);
    return index;
}

bool CListCtrlEx::DeleteColumn(int index) {
    if (!IsColumn(index)) return false;
    m_columns.erase(m_columns.begin() + index);
    m_order.erase(std::find(m_order.begin(), m_order.end(), index));
    for (int& column : m_order) {
        if (column > index) --column;
    }
    for (SRow& r : m_rows) {
        std::size_t begin = CellBegin(r, index);
        std::size_t removed = r.ends[index] + 1 - begin;
        r.text.erase(begin, removed);
        r.ends.erase(r.ends.begin() + index);
        for (std::size_t c = index; c < r.ends.size(); ++c)
            r.ends[c] -= static_cast<std::uint32_t>(removed);
    }
    m_header.RemoveSortArrow(index);
    Notify(EChange::Columns);
    return true;
}

void CListCtrlEx::DeleteAllColumns() {
    while (GetColumnCount() > 0)
        DeleteColumn(GetColumnCount() - 1);
}

std::string CListCtrlEx::GetColumnTitle(int index) const {
    return IsColumn(index) ? m_columns[index].title : "";
}

bool CListCtrlEx::SetColumnTitle(int index, const std::string& title) {
    if (!IsColumn(index)) return false;
    m_columns[index].title = title;
    Notify(EChange::Columns);
    return true;
}

int CListCtrlEx::GetColumnWidth(int index) const {
    return IsColumn(index) ? m_columns[index].width : 0;
}

bool CListCtrlEx::SetColumnWidth(int index, int width) {
    if (!IsColumn(index)) return false;
    m_columns[index].width = width;
    Notify(EChange::Columns);
    return true;
}

bool CListCtrlEx::EndColumnResize(int index, int width) {
    if (!SetColumnWidth(index, width)) return false;
    bool ascending = false;
    if (m_header.HasSortArrow(index, &ascending)) m_header.SetSortArrow(index, ascending, width);
    return true;
}

int CListCtrlEx::GetColumnAlignment(int index) const {
    return IsColumn(index) ? m_columns[index].alignment : kAlignLeft;
}

bool CListCtrlEx::SetColumnOrderArray(const std::vector<int>& order) {
    if (order.size() != m_columns.size()) return false;
    std::vector<bool> seen(order.size(), false);
    for (int column : order) {
        if (!IsColumn(column) || seen[column]) return false;
        seen[column] = true;
    }
    m_order = order;
    Notify(EChange::Columns);
    return true;
}

int CListCtrlEx::GetColumnDisplayPosition(int index) const {
    auto it = std::find(m_order.begin(), m_order.end(), index);
    return it == m_order.end() ? -1 : static_cast<int>(it - m_order.begin());
}

bool CListCtrlEx::MoveColumn(int from, int to) {
    const int count = GetColumnCount();
    if (from < 0 || from >= count || to < 0 || to >= count) return false;
    int column = m_order[from];
    m_order.erase(m_order.begin() + from);
    m_order.insert(m_order.begin() + to, column);
    Notify(EChange::Columns);
    return true;
}

// ---- rows ----

void CListCtrlEx::SetItemCount(int count) {
    if (count > 0) m_rows.reserve(static_cast<std::size_t>(count));
}

CListCtrlEx::SRow CListCtrlEx::MakeRow(const std::vector<std::string_view>& texts) const {
    SRow r;
    const std::size_t columns = m_columns.size();
    std::size_t size = columns;
    for (std::size_t c = 0; c < columns && c < texts.size(); ++c)
        size += texts[c].size();
    r.text.reserve(size);
    r.ends.resize(columns);
    for (std::size_t c = 0; c < columns; ++c) {
        if (c < texts.size()) r.text.append(texts[c]);
        r.ends[c] = static_cast<std::uint32_t>(r.text.size());
        r.text.push_back('\0');
    }
    return r;
}

int CListCtrlEx::InsertItem(int row, std::string_view text) {
    return InsertItem(row, std::vector<std::string_view>{text});
}

int CListCtrlEx::InsertItem(int row, const std::vector<std::string_view>& texts, ItemData data) {
    if (row < 0) return -1;
    row = std::min(row, GetItemCount());
    SRow r = MakeRow(texts);
    r.data = data;
    m_rows.insert(m_rows.begin() + row, std::move(r));
    Notify(EChange::Rows);
    return row;
}

bool CListCtrlEx::DeleteItem(int row) {
    if (!IsRow(row)) return false;
    m_rows.erase(m_rows.begin() + row);
    Notify(EChange::Rows);
    return true;
}

void CListCtrlEx::DeleteAllItems() {
    m_rows.clear();
    m_rows.shrink_to_fit();
    Notify(EChange::Rows);
}

bool CListCtrlEx::SetItemText(int row, int column, std::string_view text) {
    if (!IsRow(row) || !IsColumn(column)) return false;
    SRow& r = m_rows[row];
    const std::size_t begin = CellBegin(r, column);
    const std::size_t oldLength = r.ends[column] - begin;
    if (r.text.size() - oldLength + text.size() > std::numeric_limits<std::uint32_t>::max()) return false;
    r.text.replace(begin, oldLength, text);
    const auto delta = static_cast<std::int64_t>(text.size()) - static_cast<std::int64_t>(oldLength);
    for (std::size_t c = column; c < r.ends.size(); ++c) {
        r.ends[c] = static_cast<std::uint32_t>(static_cast<std::int64_t>(r.ends[c]) + delta);
    }
    Notify(EChange::Cell);
    return true;
}

std::string_view CListCtrlEx::GetItemTextView(int row, int column) const {
    if (!IsRow(row) || !IsColumn(column)) return {};
    const SRow& r = m_rows[row];
    const std::size_t begin = CellBegin(r, column);
    return std::string_view(r.text.data() + begin, r.ends[column] - begin);
}

std::string CListCtrlEx::GetItemText(int row, int column) const {
    return std::string(GetItemTextView(row, column));
}

bool CListCtrlEx::SetItemData(int row, ItemData data) {
    if (!IsRow(row)) return false;
    m_rows[row].data = data;
    return true;
}

CListCtrlEx::ItemData CListCtrlEx::GetItemData(int row) const {
    return IsRow(row) ? m_rows[row].data : 0;
}

bool CListCtrlEx::SetItemSelected(int row, bool selected) {
    if (!IsRow(row)) return false;
    m_rows[row].selected = selected;
    Notify(EChange::Selection);
    return true;
}

bool CListCtrlEx::IsItemSelected(int row) const {
    return IsRow(row) && m_rows[row].selected;
}

int CListCtrlEx::GetSelectedCount() const {
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const SRow& r) { return r.selected; }));
}

std::vector<int> CListCtrlEx::GetSelectedItems() const {
    std::vector<int> rows;
    for (int i = 0; i < GetItemCount(); ++i) {
        if (m_rows[i].selected) rows.push_back(i);
    }
    return rows;
}

void CListCtrlEx::SelectNone() {
    for (SRow& r : m_rows)
        r.selected = false;
    Notify(EChange::Selection);
}

// ---- sorting ----

int CListCtrlEx::AddSortKey(int column, int format, int position, bool ascending) {
    m_sortKeys.push_back({column, format, position, ascending});
    m_sortable = true;
    return static_cast<int>(m_sortKeys.size());
}

void CListCtrlEx::RemoveAllSortKeys() {
    m_sortKeys.clear();
    m_sortable = false;
}

bool CListCtrlEx::GetSortKey(int column, int& position, bool& ascending) const {
    for (const SSortKey& key : m_sortKeys) {
        if (key.column != column) continue;
        if (key.position >= 1) {
            position = key.position;
            ascending = key.ascending;
            return true;
        }
        break;
    }
    position = 0;
    ascending = false;
    return false;
}

void CListCtrlEx::OnHeaderClick(int column, bool ctrlHeld, EMouseButton button) {
    if (button != EMouseButton::Left || !m_sortable) return;
    auto clicked = std::find_if(m_sortKeys.begin(), m_sortKeys.end(),
                                [column](const SSortKey& key) { return key.column == column; });
    // Every column gets a key when the layout is applied; a click on one without
    // a key has nothing to sort by.
    if (clicked == m_sortKeys.end()) return;

    const bool sorted = clicked->position >= 1;
    const bool ascending = sorted ? !clicked->ascending : false;
    int highest = 0;
    for (const SSortKey& key : m_sortKeys)
        highest = std::max(highest, key.position);

    if (!ctrlHeld) {
        for (SSortKey& key : m_sortKeys) {
            key.position = 0;
            key.ascending = true;
        }
        clicked->position = 1;
        m_header.RemoveAllSortArrows();
    } else if (sorted) {
        const int old = clicked->position;
        for (SSortKey& key : m_sortKeys) {
            if (&key != &*clicked && key.position > old) --key.position;
        }
        clicked->position = highest;
    } else {
        clicked->position = highest + 1;
    }
    clicked->ascending = ascending;
    Sort();
}

void CListCtrlEx::Sort() {
    if (m_sorting) return;
    m_sorting = true;
    // Keys in position order; keys of equal position in registration order, and
    // keys of columns that do not exist are left out.
    std::vector<SSortKey> keys;
    for (const SSortKey& key : m_sortKeys) {
        if (key.position >= 1 && IsColumn(key.column)) keys.push_back(key);
    }
    std::stable_sort(keys.begin(), keys.end(),
                     [](const SSortKey& a, const SSortKey& b) { return a.position < b.position; });
    m_header.RemoveAllSortArrows();
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
        m_header.SetSortArrow(key->column, key->ascending);
        CSortClass pass(*this, key->column, key->format == kFormatNumber);
        pass.SortRows(key->ascending);
    }
    // Told once the passes are over, when every row carries its own item data again.
    if (!keys.empty()) Notify(EChange::Order);
    m_sorting = false;
}

}  // namespace corvid
