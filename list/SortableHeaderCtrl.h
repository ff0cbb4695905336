#pragma once

#include <functional>
#include <vector>

namespace corvid {

// The list header's sort arrows as data: which columns show an arrow and in
// which direction. The desktop header paints from this list and is told of every
// change through the change handler.
class CSortableHeaderCtrl {
public:
    struct SSortArrow {
        int column;
        bool ascending;
        int width;   // -1: the column's current width
        int height;  // -1: the header's height
    };

    CSortableHeaderCtrl() = default;
    virtual ~CSortableHeaderCtrl() = default;

    // Records the column's arrow or updates the one it has.
    void SetSortArrow(int column, bool ascending, int width = -1, int height = -1);
    // Forgets the column's arrow; the cell shows its text again.
    void RemoveSortArrow(int column);
    void RemoveAllSortArrows();

    // True when the column shows an arrow; `ascending` then gives its direction.
    bool HasSortArrow(int column, bool* ascending = nullptr) const;
    const std::vector<SSortArrow>& GetSortArrows() const { return m_arrows; }

    // Called after every change of the arrow list.
    void SetChangeHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    void Changed() {
        if (m_changed) m_changed();
    }

    std::vector<SSortArrow> m_arrows;
    std::function<void()> m_changed;
};

}  // namespace corvid
