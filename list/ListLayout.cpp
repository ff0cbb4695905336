#include "list/ListLayout.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string_view>

#include "list/FamilyColumn.h"
#include "list/ListCtrlEx.h"
#include "list/ListEntry.h"
#include "platform/Services.h"
#include "platform/SettingsStore.h"
#include "platform/StringTable.h"

namespace corvid {

namespace {

std::string Key(int position, char field) {
    char key[32];
    std::snprintf(key, sizeof key, "C%03d_%c", position, field);
    return key;
}

// A leading signed decimal integer as the C library reads one: blanks, a sign,
// digits; 0 when the text does not start with one. Clamped to 32 bits.
long long LeadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) {
            value = static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1;
            break;
        }
    }
    return negative ? -value : value;
}

}  // namespace

void CListLayout::Assign(const CListLayout& other) {
    if (this != &other) *this = other;
}

int CListLayout::AddColumn(const CListColLayout& column) {
    m_Columns.push_back(column);
    return GetCount();
}

int CListLayout::AddColumn(StatementColumn id, const std::string& title, int width, int alignment, int format,
                           int sortPosition, bool ascending) {
    return AddColumn(CListColLayout(id, title, width, alignment, format, sortPosition, ascending));
}

int CListLayout::AddDefaultColumn(StatementColumn id, int titleStringId, int width, int alignment, int format,
                                  int sortPosition, bool ascending) {
    return AddColumn(id, GetStringTable().Load(titleStringId), width, alignment, format, sortPosition, ascending);
}

bool CListLayout::FindColumn(StatementColumn id, CListColLayout& column) const {
    for (const CListColLayout& c : m_Columns) {
        if (c.m_Id == id) {
            column = c;
            return true;
        }
    }
    return false;
}

bool CListLayout::GetColumn(int position, CListColLayout& column) const {
    if (position < 0 || position >= GetCount()) return false;
    column = m_Columns[position];
    return true;
}

bool CListLayout::IsEqual(const CListLayout& other) const {
    if (m_Name != other.m_Name || m_Columns.size() != other.m_Columns.size()) return false;
    for (std::size_t i = 0; i < m_Columns.size(); ++i) {
        if (!m_Columns[i].IsEqual(other.m_Columns[i])) return false;
    }
    return true;
}

bool CListLayout::Save() const {
    return Save(GetSettingsStore());
}

bool CListLayout::Save(ISettingsStore& store) const {
    bool ok = store.WriteProfileInt(m_Name, "Column#", GetCount());
    for (int i = 0; i < GetCount(); ++i) {
        const CListColLayout& c = m_Columns[i];
        ok &= store.WriteProfileInt(m_Name, Key(i, 'I'), c.m_Id);
        ok &= store.WriteProfileString(m_Name, Key(i, 'N'), c.m_Title);
        ok &= store.WriteProfileInt(m_Name, Key(i, 'W'), c.m_Width);
        ok &= store.WriteProfileInt(m_Name, Key(i, 'J'), c.m_Alignment);
        ok &= store.WriteProfileInt(m_Name, Key(i, 'T'), c.m_Format);
        ok &= store.WriteProfileString(m_Name, Key(i, 'S'), std::to_string(c.m_Sort));
    }
    return ok;
}

bool CListLayout::Load() {
    return Load(GetSettingsStore());
}

bool CListLayout::Load(ISettingsStore& store) {
    RemoveAll();
    const int count = store.GetProfileInt(m_Name, "Column#", -1);
    if (count == -1) return false;
    if (count <= 0) return true;
    for (int i = 0; i < count; ++i) {
        const int id = store.GetProfileInt(m_Name, Key(i, 'I'), -1);
        if (id == -1) return false;
        const std::string title = store.GetProfileString(m_Name, Key(i, 'N'), "");
        const int width = store.GetProfileInt(m_Name, Key(i, 'W'), -1);
        if (width == -1) return false;
        const int alignment = store.GetProfileInt(m_Name, Key(i, 'J'), -1);
        if (alignment != kAlignLeft && alignment != kAlignRight && alignment != kAlignCenter) return false;
        const int format = store.GetProfileInt(m_Name, Key(i, 'T'), -1);
        if (format != kFormatText && format != kFormatNumber) return false;
        const long long sort = LeadingInteger(store.GetProfileString(m_Name, Key(i, 'S'), "0"));
        const long long position = sort < 0 ? -sort : sort;
        if (position > count) return false;
        AddColumn(id, title, width, alignment, format, static_cast<int>(position), sort > 0);
    }
    return true;
}

void CListLayout::CreateColumns(CListCtrlEx& list) const {
    list.DeleteAllColumns();
    list.RemoveAllSortKeys();
    for (const CListColLayout& c : m_Columns)
        list.InsertColumn(list.GetColumnCount(), c.m_Title, c.m_Alignment, c.m_Width);
}

void CListLayout::ApplySortKeys(CListCtrlEx& list) const {
    for (int i = 0; i < GetCount(); ++i) {
        const CListColLayout& c = m_Columns[i];
        list.AddSortKey(i, c.m_Format, c.GetSortPosition(), c.IsAscending());
    }
}

void CListLayout::FillRow(CListCtrlEx& list, int row, const CListEntry& entry) const {
    if (m_Columns.empty()) return;
    // All texts of the row go into one scratch buffer and reach the list at once.
    thread_local std::string buffer;
    thread_local std::vector<std::size_t> ends;
    thread_local std::vector<std::string_view> texts;
    buffer.clear();
    ends.clear();
    for (const CListColLayout& c : m_Columns) {
        entry.AppendColumnText(c.m_Id, buffer);
        ends.push_back(buffer.size());
    }
    texts.clear();
    std::size_t begin = 0;
    for (std::size_t end : ends) {
        texts.emplace_back(buffer.data() + begin, end - begin);
        begin = end;
    }
    // A list with fewer columns than the layout keeps the texts it has room for.
    list.InsertItem(row, texts);
}

void CListLayout::ReadFromList(const CListCtrlEx& list) {
    const int count = list.GetColumnCount();
    std::vector<std::pair<int, CListColLayout>> placed;
    placed.reserve(count);
    for (int i = 0; i < count; ++i) {
        const std::string title = list.GetColumnTitle(i);
        const CListColLayout* found = nullptr;
        for (const CListColLayout& c : m_Columns) {
            if (c.m_Title == title) {
                found = &c;
                break;
            }
        }
        // A list column that no layout column names has no statistic to show;
        // it is left out rather than saved as a column the next start rejects.
        if (!found) continue;
        int position = 0;
        bool ascending = false;
        list.GetSortKey(i, position, ascending);
        placed.emplace_back(list.GetColumnDisplayPosition(i),
                            CListColLayout(found->m_Id, title, list.GetColumnWidth(i), found->m_Alignment,
                                           found->m_Format, position, ascending));
    }
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    m_Columns.clear();
    for (auto& [position, column] : placed)
        m_Columns.push_back(std::move(column));
}

namespace {

// One column of the default layout.
struct SDefaultColumn {
    StatementColumn id;
    int titleStringId;
    int width;
    int alignment;
    int format;
    int sortPosition;  // 0: not a sort key
    bool ascending;
    bool fresh;  // shown by a fresh profile
};

// Every column the user can choose, in the default order.
constexpr SDefaultColumn kDefaultColumns[] = {
    {kColUserName, 200, 80, kAlignLeft, kFormatText, 0, true, true},
    {kColExecutions, 202, 50, kAlignRight, kFormatNumber, 0, true, true},
    {kColPercOfDiskReads, 217, 60, kAlignRight, kFormatNumber, 0, true, true},
    {kColPercOfBufferGets, 218, 60, kAlignRight, kFormatNumber, 0, true, true},
    {kColPlanCost, 225, 60, kAlignRight, kFormatNumber, 0, true, true},
    {kColFullTableScans, 226, 60, kAlignRight, kFormatNumber, 0, true, true},
    {kColDiskReadsPerExec, 203, 70, kAlignRight, kFormatNumber, 0, true, true},
    {kColBufferGetsPerExec, 204, 70, kAlignRight, kFormatNumber, 1, false, true},
    {kColSortsPerExec, 205, 60, kAlignRight, kFormatNumber, 0, true, true},
    {kColRowsPerExec, 206, 65, kAlignRight, kFormatNumber, 0, true, true},
    {kColSqlText, 207, 400, kAlignLeft, kFormatText, 0, true, true},
    {kColFirstLoadTime, 208, 120, kAlignLeft, kFormatText, 0, true, true},
    {kColCommandName, 201, 80, kAlignLeft, kFormatText, 0, true, true},
    {kColParseCalls, 219, 70, kAlignRight, kFormatNumber, 0, true, true},
    {kColDiskReads, 209, 70, kAlignRight, kFormatNumber, 0, true, true},
    {kColBufferGets, 210, 70, kAlignRight, kFormatNumber, 0, true, true},
    {kColSorts, 211, 50, kAlignRight, kFormatNumber, 0, true, true},
    {kColRowsProcessed, 212, 50, kAlignRight, kFormatNumber, 0, true, true},
    {kColSharableMem, 213, 100, kAlignRight, kFormatNumber, 0, true, true},
    {kColPersistentMem, 214, 100, kAlignRight, kFormatNumber, 0, true, true},
    {kColRuntimeMem, 215, 100, kAlignRight, kFormatNumber, 0, true, true},
    {kColOptimizerMode, 216, 80, kAlignLeft, kFormatText, 0, true, true},
    {kColAddress, 224, 70, kAlignLeft, kFormatText, 0, true, true},
    {kColStatus, 227, 100, kAlignCenter, kFormatText, 0, true, true},
    {kColErrorMessage, 258, 200, kAlignLeft, kFormatText, 0, true, true},
    {kColSqlId, 360, 110, kAlignLeft, kFormatText, 0, true, true},
    {kColElapsedPerExec, 364, 90, kAlignRight, kFormatNumber, 0, true, true},
    {kColElapsedTime, 362, 80, kAlignRight, kFormatNumber, 0, true, false},
    {kColCpuTime, 363, 80, kAlignRight, kFormatNumber, 0, true, false},
    {kColCpuPerExec, 365, 80, kAlignRight, kFormatNumber, 0, true, false},
    {kColUserIoWait, 366, 80, kAlignRight, kFormatNumber, 0, true, false},
    {kColPlanHash, 361, 90, kAlignRight, kFormatNumber, 0, true, false},
    {kColModule, 367, 120, kAlignLeft, kFormatText, 0, true, false},
    {kColLastActive, 368, 120, kAlignLeft, kFormatText, 0, true, false},
    {kColVersions, 369, 60, kAlignRight, kFormatNumber, 0, true, false},
};

}  // namespace

CListLayout CListLayout::MakeDefaultLayout() {
    CListLayout layout;
    for (const SDefaultColumn& c : kDefaultColumns)
        layout.AddDefaultColumn(c.id, c.titleStringId, c.width, c.alignment, c.format, c.sortPosition, c.ascending);
    return layout;
}

CListLayout CListLayout::MakeFreshLayout() {
    CListLayout layout;
    for (const SDefaultColumn& c : kDefaultColumns) {
        if (c.fresh)
            layout.AddDefaultColumn(c.id, c.titleStringId, c.width, c.alignment, c.format, c.sortPosition,
                                    c.ascending);
    }
    return layout;
}

CListLayout CListLayout::MakeIntervalLayout() {
    CListLayout layout;
    layout.SetName(kIntervalName);
    const int L = kAlignLeft, R = kAlignRight;
    const int T = kFormatText, N = kFormatNumber;
    layout.AddDefaultColumn(kColUserName, 200, 80, L, T, 0, true);
    layout.AddDefaultColumn(kColBufferGetsDelta, 411, 80, R, N, 1, false);
    layout.AddDefaultColumn(kColExecutionsDelta, 410, 60, R, N, 0, true);
    layout.AddDefaultColumn(kColDiskReadsDelta, 412, 80, R, N, 0, true);
    layout.AddDefaultColumn(kColRowsDelta, 413, 70, R, N, 0, true);
    layout.AddDefaultColumn(kColExecutionsPerSecond, 414, 60, R, N, 0, true);
    layout.AddDefaultColumn(kColBufferGetsPerSecond, 415, 80, R, N, 0, true);
    layout.AddDefaultColumn(kColPercOfBufferGetsDelta, 416, 70, R, N, 0, true);
    layout.AddDefaultColumn(kColPercOfDiskReadsDelta, 417, 70, R, N, 0, true);
    layout.AddDefaultColumn(kColSqlText, 207, 400, L, T, 0, true);
    layout.AddDefaultColumn(kColFirstLoadTime, 208, 120, L, T, 0, true);
    layout.AddDefaultColumn(kColAddress, 224, 70, L, T, 0, true);
    return layout;
}

CListLayout CListLayout::LoadIntervalLayout(ISettingsStore& store) {
    CListLayout stored;
    stored.SetName(kIntervalName);
    const CListLayout fallback = MakeIntervalLayout();
    if (!stored.Load(store) || stored.GetCount() == 0 || stored.GetCount() > fallback.GetCount()) return fallback;
    for (const CListColLayout& column : stored.GetColumns()) {
        CListColLayout known;
        if (!fallback.FindColumn(column.m_Id, known)) return fallback;
    }
    return stored;
}

CListLayout CListLayout::MakeSimilarLayout() {
    CListLayout layout;
    layout.AddDefaultColumn(kColDistance, 229, 80, kAlignRight, kFormatNumber, 1, true);
    layout.AddDefaultColumn(kColUserName, 200, 80, kAlignLeft, kFormatText, 0, true);
    layout.AddDefaultColumn(kColSqlText, 207, 1500, kAlignLeft, kFormatText, 0, true);
    return layout;
}

CListLayout CListLayout::MakeFamilyLayout() {
    CListLayout layout;
    const int L = kAlignLeft, R = kAlignRight;
    const int T = kFormatText, N = kFormatNumber;
    layout.AddColumn(kColFamilyStatements, "Statements", 75, R, N, 1, false);
    layout.AddColumn(kColFamilyExecutions, "Executions", 75, R, N, 0, true);
    layout.AddColumn(kColFamilyParseCalls, "Parses", 70, R, N, 0, true);
    layout.AddColumn(kColFamilyBufferGets, "Buf Get", 80, R, N, 2, false);
    layout.AddColumn(kColFamilyDiskReads, "Disk Rds", 70, R, N, 0, true);
    layout.AddColumn(kColFamilyPercOfBufferGets, "% Buff.", 60, R, N, 0, true);
    layout.AddColumn(kColFamilyPercOfDiskReads, "%  Disk", 60, R, N, 0, true);
    layout.AddColumn(kColFamilySharableMem, "Sharable Mem", 100, R, N, 0, true);
    layout.AddColumn(kColFamilyUsers, "Users", 100, L, T, 0, true);
    layout.AddColumn(kColFamilyText, "Family", 1200, L, T, 0, true);
    layout.SetName("FamilyLayout");
    return layout;
}

}  // namespace corvid
