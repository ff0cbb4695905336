#pragma once

#include <string>
#include <vector>

#include "list/ListColLayout.h"

namespace corvid {

class CListCtrlEx;
class CListEntry;
class ISettingsStore;

// A named, ordered list of columns: what the statement list shows and how it is
// sorted. The name is the settings section that holds the layout.
class CListLayout {
public:
    CListLayout() = default;
    CListLayout(const CListLayout&) = default;
    CListLayout& operator=(const CListLayout&) = default;
    virtual ~CListLayout() = default;

    void Assign(const CListLayout& other);

    // Appends a copy; returns the new count.
    int AddColumn(const CListColLayout& column);
    int AddColumn(StatementColumn id, const std::string& title, int width, int alignment, int format, int sortPosition,
                  bool ascending);
    // As AddColumn, with the title taken from the string table ("STR # <id>" when
    // the entry is missing or empty).
    int AddDefaultColumn(StatementColumn id, int titleStringId, int width, int alignment, int format, int sortPosition,
                         bool ascending);

    bool FindColumn(StatementColumn id, CListColLayout& column) const;
    bool GetColumn(int position, CListColLayout& column) const;
    const std::vector<CListColLayout>& GetColumns() const { return m_Columns; }
    void RemoveAll() { m_Columns.clear(); }
    int GetCount() const { return static_cast<int>(m_Columns.size()); }
    bool IsEqual(const CListLayout& other) const;

    const std::string& GetName() const { return m_Name; }
    void SetName(const std::string& name) { m_Name = name; }

    // Writes the layout under its name; false when the store refused a value.
    bool Save(ISettingsStore& store) const;
    bool Save() const;
    // Replaces the columns by the stored ones; false when the stored layout is
    // missing or unusable (the columns read so far stay).
    bool Load(ISettingsStore& store);
    bool Load();

    // Rebuilds the list's columns (and drops its sort keys) from this layout.
    void CreateColumns(CListCtrlEx& list) const;
    // Registers one sort key per column with the list, sorted or not.
    void ApplySortKeys(CListCtrlEx& list) const;
    // Sets row `row` of the list to the entry's texts; the row is inserted there.
    void FillRow(CListCtrlEx& list, int row, const CListEntry& entry) const;
    // Takes the column order, widths and sort keys back from the list.
    void ReadFromList(const CListCtrlEx& list);

    // Every column the user can choose, in the default order, sorted by buffer
    // gets per execution, descending.
    static CListLayout MakeDefaultLayout();
    // The columns a fresh profile shows: the default layout without the figures
    // of today's servers other than "SQL ID" and "Elapsed/E (ms)".
    static CListLayout MakeFreshLayout();
    // The changes since the previous load: the interval columns beside the user,
    // the text, the first load time and the address, sorted by "Buf Get Δ",
    // descending. Kept under its own name (section).
    static CListLayout MakeIntervalLayout();
    static constexpr const char* kIntervalName = "IntervalLayout";
    // The interval layout as the user last left it; the default one when none is
    // stored or the stored one is unusable.
    static CListLayout LoadIntervalLayout(ISettingsStore& store);
    // The find-similar list: distance (sorted ascending), user and SQL text.
    static CListLayout MakeSimilarLayout();
    // The family view: the families' figures and family text, sorted by the number
    // of statements, then buffer gets, both descending.
    static CListLayout MakeFamilyLayout();

    static constexpr const char* kDefaultName = "ListLayout";

private:
    std::string m_Name = kDefaultName;
    std::vector<CListColLayout> m_Columns;
};

}  // namespace corvid
