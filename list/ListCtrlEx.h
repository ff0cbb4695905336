#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "list/SortableHeaderCtrl.h"

namespace corvid {

class CSortClass;

// Column alignment, as the layout stores it.
inline constexpr int kAlignLeft = 0;
inline constexpr int kAlignRight = 1;
inline constexpr int kAlignCenter = 2;

// Value format of a column: how the list sorts it.
inline constexpr int kFormatText = 1;
inline constexpr int kFormatNumber = 2;

// The report-style statement list without its window: columns (title, width,
// alignment, display order), rows of cell texts each with its item data and
// selection, and the sort keys with the header-click rules and the stable
// multi-pass sort. The desktop list view shows it and forwards user actions.
//
// Each row keeps all its cell texts in one buffer, every text followed by a NUL
// byte, so a large list costs one allocation per row and a cell can be read in
// place (also by the C library's number conversion).
class CListCtrlEx {
public:
    using ItemData = std::int64_t;

    struct SSortKey {
        int column;
        int format;    // kFormatText or kFormatNumber
        int position;  // 0: not sorted; 1: primary key; ...
        bool ascending;
    };

    enum class EMouseButton { Left, Right, Middle };

    // What changed, for the view that shows the list.
    enum class EChange { Columns, Rows, Cell, Order, Selection, SortArrows };

    CListCtrlEx();
    virtual ~CListCtrlEx();
    CListCtrlEx(const CListCtrlEx&) = delete;
    CListCtrlEx& operator=(const CListCtrlEx&) = delete;

    // Columns, addressed by index (creation order).
    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    // Inserts a column before `index` (clamped to the count), shown at that display
    // position; returns its index, or -1 for a negative index.
    int InsertColumn(int index, const std::string& title, int alignment = kAlignLeft, int width = -1);
    bool DeleteColumn(int index);
    void DeleteAllColumns();
    std::string GetColumnTitle(int index) const;
    bool SetColumnTitle(int index, const std::string& title);
    int GetColumnWidth(int index) const;
    bool SetColumnWidth(int index, int width);
    // The end of a drag of a column border: the new width, and the column's
    // sort arrow (if it shows one) redrawn at that width.
    bool EndColumnResize(int index, int width);
    int GetColumnAlignment(int index) const;
    // Display order: element p is the index of the column shown at position p.
    std::vector<int> GetColumnOrderArray() const { return m_order; }
    // Takes a permutation of the column indexes; anything else is refused.
    bool SetColumnOrderArray(const std::vector<int>& order);
    // The display position of a column; -1 when there is no such column.
    int GetColumnDisplayPosition(int index) const;
    // A header drag: the column shown at `from` moves to display position `to`.
    bool MoveColumn(int from, int to);

    // Rows.
    int GetItemCount() const { return static_cast<int>(m_rows.size()); }
    // Announces how many rows are coming, so that a fill allocates once.
    void SetItemCount(int count);
    // Inserts a row before `row` (clamped to the count) with the first cell's
    // text; returns the row's index, or -1 for a negative index.
    int InsertItem(int row, std::string_view text);
    // Inserts a row with the texts of its first cells at once (the others empty).
    int InsertItem(int row, const std::vector<std::string_view>& texts, ItemData data = 0);
    bool DeleteItem(int row);
    void DeleteAllItems();
    bool SetItemText(int row, int column, std::string_view text);
    std::string GetItemText(int row, int column) const;
    // The text in place; valid until the list changes. Followed by a NUL byte.
    // Empty for a cell that does not exist.
    std::string_view GetItemTextView(int row, int column) const;
    bool SetItemData(int row, ItemData data);
    ItemData GetItemData(int row) const;  // 0 for a row that does not exist

    bool SetItemSelected(int row, bool selected);
    bool IsItemSelected(int row) const;
    int GetSelectedCount() const;
    std::vector<int> GetSelectedItems() const;
    void SelectNone();

    // Drawing is suspended between SetRedraw(false) and SetRedraw(true); the view
    // hears of the fill once, when drawing resumes.
    void SetRedraw(bool redraw);
    bool IsRedrawSuspended() const { return m_redrawSuspended; }

    // Sort keys, one per registered column, in registration order.
    int AddSortKey(int column, int format, int position, bool ascending);
    void RemoveAllSortKeys();
    // For the first key of the column: true with its position and direction when
    // it is sorted; false, position 0 and descending otherwise.
    bool GetSortKey(int column, int& position, bool& ascending) const;
    const std::vector<SSortKey>& GetSortKeys() const { return m_sortKeys; }
    bool IsSortable() const { return m_sortable; }
    bool IsSorting() const { return m_sorting; }

    // A click on a header cell: a plain left click sorts by that column alone,
    // Ctrl-click makes it the least significant key; other buttons do nothing.
    void OnHeaderClick(int column, bool ctrlHeld, EMouseButton button = EMouseButton::Left);
    // Re-sorts the rows by every key with a position: stable passes from the last
    // key to the first. Returns at once when a sort is already running.
    void Sort();

    CSortableHeaderCtrl& GetHeader() { return m_header; }
    const CSortableHeaderCtrl& GetHeader() const { return m_header; }

    void SetChangeHandler(std::function<void(EChange)> handler) { m_changed = std::move(handler); }

private:
    friend class CSortClass;

    struct SColumn {
        std::string title;
        int alignment;
        int width;
    };

    struct SRow {
        std::string text;                 // every cell's text followed by NUL
        std::vector<std::uint32_t> ends;  // end of each cell's text (its NUL) in `text`
        ItemData data = 0;
        bool selected = false;
    };

    bool IsRow(int row) const { return row >= 0 && row < GetItemCount(); }
    bool IsColumn(int column) const { return column >= 0 && column < GetColumnCount(); }
    static std::size_t CellBegin(const SRow& r, int column) { return column == 0 ? 0 : r.ends[column - 1] + 1; }
    SRow MakeRow(const std::vector<std::string_view>& texts) const;
    void Notify(EChange change);

    std::vector<SColumn> m_columns;
    std::vector<int> m_order;
    std::vector<SRow> m_rows;
    std::vector<SSortKey> m_sortKeys;
    bool m_sortable = false;
    bool m_sorting = false;
    bool m_redrawSuspended = false;
    bool m_changedWhileSuspended = false;
    CSortableHeaderCtrl m_header;
    std::function<void(EChange)> m_changed;
};

}  // namespace corvid
