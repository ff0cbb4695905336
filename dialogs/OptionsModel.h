#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "list/StatementColumn.h"
#include "collection/StatementFilter.h"
#include "history/HistorySettings.h"
#include "list/ListLayout.h"

namespace corvid {

// The rows of the value filter page, in the order the page shows them.
enum EFilterRow : int {
    kFilterLoadTime = 0,
    kFilterBufDsk,
    kFilterBufGet,
    kFilterDskRds,
    kFilterExecs,
    kFilterSorts,
    kFilterRows,
    kFilterElapsed,
    kFilterTextIncl,
    kFilterTextExcl,
    kFilterRowCount
};

// What a row's value box holds: Number is a decimal number rounded to an
// integer; Milliseconds is a time with up to two decimals, stored in hundredths.
enum class EFilterValueKind { Integer, Number, Milliseconds, Text };

// One row of the value filter page: its label, the settings keys of its
// comparison and value, and what the value box accepts. A row on a figure that
// only servers of 10g on report has a tool tip saying so.
struct SFilterRowSpec {
    const char* label;
    const char* comparisonKey;
    const char* valueKey;
    EFilterValueKind kind;
    std::int32_t CStatementFilter::*comparison;
    std::int32_t CStatementFilter::*value;   // null for a text row
    std::string CStatementFilter::*pattern;  // null for a numeric row
    const char* toolTip = nullptr;
};

const SFilterRowSpec& FilterRowSpec(int row);

// The items of a row's comparison list, in list order (the index is stored).
const std::vector<std::string>& FilterComparisonItems(int row);

// The bounds and the limit the value boxes are checked against.
inline constexpr int kFilterIntegerMax = 999999999;
inline constexpr double kFilterNumberMax = 1e9;
inline constexpr double kFilterMillisecondsMax = 9999999.99;
inline constexpr int kFilterTextMaxChars = 1000;

// The document settings the options sheet edits: the two general flags and the
// statement filter (statement types, value and text conditions).
struct SOptionsSettings {
    std::int32_t warnIfNotAllUser = 1;
    std::int32_t analyze = 1;
    std::int32_t cursorCachePlans = 1;
    std::int32_t explainAll = 0;  // explain every statement again at each load
    CStatementFilter filter;
    SHistorySettings history;  // record each load in the history store

    bool operator==(const SOptionsSettings&) const = default;

    std::int32_t& Comparison(int row);
    std::int32_t Comparison(int row) const;
};

// The value box text the page shows for a row's stored value.
std::string FilterValueText(const SOptionsSettings& settings, int row);

// Reads a value box: on success stores the value into the settings and returns
// an empty text; on failure returns the validation message and leaves the
// settings as they were. Row 2 accepts a decimal number, which is rounded to the
// nearest integer it is stored as; the elapsed time row one rounded to hundredths.
std::string ReadFilterValue(SOptionsSettings& settings, int row, const std::string& text);

// Whether the row's filter is on: its comparison is one of the list's items other
// than "all". A stored choice beyond the list is off, as the load takes it.
bool IsFilterRowActive(const SOptionsSettings& settings, int row);

// Reads all value boxes in order, as leaving the page does. A row that is
// not active cannot be edited (its box is disabled): a text it cannot take keeps
// the stored value without a message. The first failing row of the
// others stops the read; its index goes to `failedRow` and its message is
// returned (empty when everything was read).
std::string ReadFilterValues(SOptionsSettings& settings, const std::array<std::string, kFilterRowCount>& texts,
                             int& failedRow);

// The user page's list: a copy of the document's users.
bool UsersEqual(const CUserArray& a, const CUserArray& b);
void SelectAllUsers(CUserArray& users, bool selected);
// True when at least one user is selected, the condition for leaving the page.
bool HasSelectedUser(const CUserArray& users);

inline constexpr const char* kNoUserSelectedMessage = "No users have been selected!\nPlease select at least une user";

// One row of the layout page: a column with its check state and the texts of the
// six list columns.
struct SLayoutPageRow {
    StatementColumn id = -1;
    bool checked = false;
    std::string title;
    std::string width;
    std::string alignment;
    std::string format;
    std::string sortPosition;
    std::string sortOrder;
};

// The rows of the layout page: the working layout's columns in order, checked,
// then the default layout's columns the working one lacks, unchecked.
std::vector<SLayoutPageRow> BuildLayoutPageRows(const CListLayout& working, const CListLayout& defaults);

// The working layout rebuilt from the page's rows in list order: each checked
// row's column from the working layout when it has it, else from the default
// layout; unchecked rows are dropped. The working layout's name is kept.
CListLayout RebuildWorkingLayout(const std::vector<std::pair<StatementColumn, bool>>& rows, const CListLayout& working,
                                 const CListLayout& defaults);

// The copies the options sheet works on, and the decisions its OK takes.
class COptionsModel {
public:
    COptionsModel(SOptionsSettings settings, CUserArray users, CListLayout defaultLayout, CListLayout workingLayout)
        : m_Settings(std::move(settings)),
          m_Users(std::move(users)),
          m_DefaultLayout(std::move(defaultLayout)),
          m_WorkingLayout(std::move(workingLayout)) {}

    // After OK: whether the settings or the user list differ from the document's,
    // so that they are copied back and saved.
    bool SettingsChanged(const SOptionsSettings& original, const CUserArray& originalUsers) const {
        return !(m_Settings == original) || !UsersEqual(m_Users, originalUsers);
    }
    // After OK: whether the working layout differs from the document's current one,
    // so that it replaces it, is saved and the list is rebuilt.
    bool LayoutChanged(const CListLayout& original) const { return !m_WorkingLayout.IsEqual(original); }

    // "Default" on the layout page.
    void ResetLayoutToDefault() { m_WorkingLayout = m_ResetLayout; }

    SOptionsSettings m_Settings;
    CUserArray m_Users;
    CListLayout m_DefaultLayout;
    CListLayout m_WorkingLayout;
    // What "Default" puts back: the fresh profile's columns, or the interval
    // layout's when the sheet edits that one.
    CListLayout m_ResetLayout = CListLayout::MakeFreshLayout();
};

}  // namespace corvid
