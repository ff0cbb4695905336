#include "dialogs/OptionsModel.h"
#include "platform/Utf8.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace corvid {

namespace {

using F = CStatementFilter;

const SFilterRowSpec kFilterRowSpecs[kFilterRowCount] = {
    {"Elapsed minutes since First load", "FiltLoadTimeC", "FiltLoadTimeV", EFilterValueKind::Integer,
     &F::m_FiltLoadTimeC, &F::m_FiltLoadTimeV, nullptr},
    {"Buffer Gets + Disk Reads per exec.", "FiltBufDskC", "FiltBufDskV", EFilterValueKind::Number, &F::m_FiltBufDskC,
     &F::m_FiltBufDskV, nullptr},
    {"Buffer Gets per execution", "FiltBufGetC", "FiltBufGetV", EFilterValueKind::Integer, &F::m_FiltBufGetC,
     &F::m_FiltBufGetV, nullptr},
    {"Disk Reads per execution", "FiltDskRdsC", "FiltDskRdsV", EFilterValueKind::Integer, &F::m_FiltDskRdsC,
     &F::m_FiltDskRdsV, nullptr},
    {"Executions:", "FiltExecsC", "FiltExecsV", EFilterValueKind::Integer, &F::m_FiltExecsC, &F::m_FiltExecsV, nullptr},
    {"Sorts per execution", "FiltSortsC", "FiltSortsV", EFilterValueKind::Integer, &F::m_FiltSortsC, &F::m_FiltSortsV,
     nullptr},
    {"Number of Rows per exeution", "FiltRowsC", "FiltRowsV", EFilterValueKind::Integer, &F::m_FiltRowsC,
     &F::m_FiltRowsV, nullptr},
    {"Elapsed time per execution (ms)", "FiltElapsedC", "FiltElapsedV", EFilterValueKind::Milliseconds,
     &F::m_FiltElapsedC, &F::m_FiltElapsedV, nullptr,
     "Servers of release 10g and later report the elapsed time; the load ignores this condition against an older "
     "server."},
    {"SQL statement like", "FiltTextInclC", "FiltTextInclV", EFilterValueKind::Text, &F::m_FiltTextInclC, nullptr,
     &F::m_FiltTextInclV},
    {"SQL statement not like", "FiltTextExclC", "FiltTextExclV", EFilterValueKind::Text, &F::m_FiltTextExclC, nullptr,
     &F::m_FiltTextExclV},
};

bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

std::string Trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// A whole decimal integer, blanks around it allowed, within 32 bits.
bool ParseInteger(const std::string& text, long long& value) {
    const std::string t = Trimmed(text);
    std::size_t i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = t[i++] == '-';
    if (i == t.size()) return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9') return false;
        v = v * 10 + (t[i] - '0');
        if (v > static_cast<long long>(std::numeric_limits<std::int32_t>::max()) + 1) return false;
    }
    v = negative ? -v : v;
    if (v > std::numeric_limits<std::int32_t>::max() || v < std::numeric_limits<std::int32_t>::min()) return false;
    value = v;
    return true;
}

// A decimal number in the C locale's notation, blanks around it allowed.
bool ParseNumber(const std::string& text, double& value) {
    const std::string t = Trimmed(text);
    if (t.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || errno == ERANGE || !std::isfinite(v)) return false;
    value = v;
    return true;
}

}  // namespace

const SFilterRowSpec& FilterRowSpec(int row) {
    return kFilterRowSpecs[row];
}

const std::vector<std::string>& FilterComparisonItems(int row) {
    static const std::vector<std::string> numeric = {"all", "less then", "more then", "equal"};
    static const std::vector<std::string> text = {"all", "case insens.", "case sens."};
    return kFilterRowSpecs[row].kind == EFilterValueKind::Text ? text : numeric;
}

std::int32_t& SOptionsSettings::Comparison(int row) {
    return filter.*kFilterRowSpecs[row].comparison;
}
std::int32_t SOptionsSettings::Comparison(int row) const {
    return filter.*kFilterRowSpecs[row].comparison;
}

std::string FilterValueText(const SOptionsSettings& settings, int row) {
    const SFilterRowSpec& spec = kFilterRowSpecs[row];
    if (spec.pattern) return settings.filter.*spec.pattern;
    const std::int32_t value = settings.filter.*spec.value;
    if (spec.kind == EFilterValueKind::Milliseconds) {
        // Hundredths shown as a decimal number, without trailing zeros.
        const std::int32_t magnitude = value < 0 ? -value : value;
        std::string text = value < 0 ? "-" : "";
        text += std::to_string(magnitude / 100);
        if (const int hundredths = magnitude % 100; hundredths != 0) {
            text += '.';
            text += static_cast<char>('0' + hundredths / 10);
            if (hundredths % 10 != 0) text += static_cast<char>('0' + hundredths % 10);
        }
        return text;
    }
    return std::to_string(value);
}

std::string ReadFilterValue(SOptionsSettings& settings, int row, const std::string& text) {
    const SFilterRowSpec& spec = kFilterRowSpecs[row];
    switch (spec.kind) {
        case EFilterValueKind::Integer: {
            long long v = 0;
            if (!ParseInteger(text, v)) return "Please enter an integer.";
            if (v < 0 || v > kFilterIntegerMax) return "Please enter an integer between 0 and 999999999.";
            settings.filter.*spec.value = static_cast<std::int32_t>(v);
            return {};
        }
        case EFilterValueKind::Number: {
            double v = 0;
            if (!ParseNumber(text, v)) return "Please enter a number.";
            if (v < 0 || v > kFilterNumberMax) return "Please enter a number between 0 and 1000000000.";
            settings.filter.*spec.value = static_cast<std::int32_t>(std::llround(v));
            return {};
        }
        case EFilterValueKind::Milliseconds: {
            double v = 0;
            if (!ParseNumber(text, v)) return "Please enter a number.";
            if (v < 0 || v > kFilterMillisecondsMax) return "Please enter a number between 0 and 9999999.99.";
            settings.filter.*spec.value = static_cast<std::int32_t>(std::llround(v * 100));
            return {};
        }
        case EFilterValueKind::Text:
            if (Utf8CharacterCount(text) > static_cast<std::size_t>(kFilterTextMaxChars)) {
                return "Please enter no more than 1000 characters.";
            }
            settings.filter.*spec.pattern = text;
            return {};
    }
    return {};
}

bool IsFilterRowActive(const SOptionsSettings& settings, int row) {
    const int comparison = settings.Comparison(row);
    return comparison > 0 && comparison < static_cast<int>(FilterComparisonItems(row).size());
}

std::string ReadFilterValues(SOptionsSettings& settings, const std::array<std::string, kFilterRowCount>& texts,
                             int& failedRow) {
    failedRow = -1;
    for (int row = 0; row < kFilterRowCount; ++row) {
        SOptionsSettings trial = settings;
        const std::string message = ReadFilterValue(trial, row, texts[row]);
        if (message.empty()) {
            settings = trial;
        } else if (IsFilterRowActive(settings, row)) {
            failedRow = row;
            return message;
        }
    }
    return {};
}

bool UsersEqual(const CUserArray& a, const CUserArray& b) {
    if (a.GetSize() != b.GetSize()) return false;
    for (CUserArray::Index i = 0; i < a.GetSize(); ++i) {
        if (a[i].m_UserId != b[i].m_UserId || a[i].m_UserName != b[i].m_UserName ||
            a[i].m_Selected != b[i].m_Selected) {
            return false;
        }
    }
    return true;
}

void SelectAllUsers(CUserArray& users, bool selected) {
    for (CUserEntry& user : users)
        user.SetSelected(selected ? 1 : 0);
}

bool HasSelectedUser(const CUserArray& users) {
    for (const CUserEntry& user : users) {
        if (user.IsSelected()) return true;
    }
    return false;
}

namespace {

SLayoutPageRow MakeLayoutRow(const CListColLayout& column, bool checked) {
    SLayoutPageRow row;
    row.id = column.m_Id;
    row.checked = checked;
    row.title = column.m_Title;
    row.width = std::to_string(column.m_Width);
    row.alignment = column.GetAlignmentName();
    row.format = column.GetFormatName();
    if (checked && column.GetSortPosition() != 0) {
        row.sortPosition = std::to_string(column.GetSortPosition());
        row.sortOrder = column.GetSortOrderName();
    }
    return row;
}

}  // namespace

std::vector<SLayoutPageRow> BuildLayoutPageRows(const CListLayout& working, const CListLayout& defaults) {
    std::vector<SLayoutPageRow> rows;
    rows.reserve(working.GetCount() + defaults.GetCount());
    for (const CListColLayout& column : working.GetColumns())
        rows.push_back(MakeLayoutRow(column, true));
    for (const CListColLayout& column : defaults.GetColumns()) {
        CListColLayout found;
        if (!working.FindColumn(column.m_Id, found)) rows.push_back(MakeLayoutRow(column, false));
    }
    return rows;
}

CListLayout RebuildWorkingLayout(const std::vector<std::pair<StatementColumn, bool>>& rows, const CListLayout& working,
                                 const CListLayout& defaults) {
    CListLayout rebuilt;
    rebuilt.SetName(working.GetName());
    for (const auto& [id, checked] : rows) {
        if (!checked) continue;
        CListColLayout column;
        if (working.FindColumn(id, column) || defaults.FindColumn(id, column)) rebuilt.AddColumn(column);
    }
    return rebuilt;
}

}  // namespace corvid
