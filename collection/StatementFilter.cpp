#include "collection/StatementFilter.h"

#include <cstdio>

#include "oracle/OracleCursor.h"
#include "oracle/OciTypes.h"

namespace corvid {

namespace {

// Most ids one IN list may hold on the server.
constexpr int kMaxInListIds = 1000;

const char* ComparisonOf(std::int32_t choice) {
    switch (choice) {
        case kCompareLess:
            return "<";
        case kCompareGreater:
            return ">";
        case kCompareEqual:
            return "=";
        default:
            return nullptr;
    }
}

struct SValueCondition {
    std::int32_t CStatementFilter::*choice;
    std::int32_t CStatementFilter::*value;
    const char* expression;  // "%s" stands for the comparison
    const char* placeholder;
    bool serverFigure;  // compares a figure only servers of 10g on report
};

// In the order the fragment lists them.
const SValueCondition kValueConditions[] = {
    {&CStatementFilter::m_FiltLoadTimeC, &CStatementFilter::m_FiltLoadTimeV,
     "ROUND((SYSDATE - TO_DATE(first_load_time, 'YYYY-MM-DD/HH24:MI:SS')) * 24 * 60, 0) %s :flt", ":flt", false},
    {&CStatementFilter::m_FiltBufDskC, &CStatementFilter::m_FiltBufDskV,
     "DECODE(executions, 0, 0, NULL, 0, ROUND((buffer_gets+disk_reads)/executions)) %s :bds", ":bds", false},
    {&CStatementFilter::m_FiltBufGetC, &CStatementFilter::m_FiltBufGetV,
     "DECODE(executions, 0, 0, NULL, 0, ROUND(buffer_gets/executions)) %s :bfg", ":bfg", false},
    {&CStatementFilter::m_FiltDskRdsC, &CStatementFilter::m_FiltDskRdsV,
     "DECODE(executions, 0, 0, NULL, 0, ROUND(disk_reads/executions)) %s :dkr", ":dkr", false},
    {&CStatementFilter::m_FiltSortsC, &CStatementFilter::m_FiltSortsV,
     "DECODE(executions, 0, 0, NULL, 0, ROUND(sorts/executions)) %s :srt", ":srt", false},
    {&CStatementFilter::m_FiltRowsC, &CStatementFilter::m_FiltRowsV,
     "DECODE(executions, 0, 0, NULL, 0, ROUND(rows_processed/executions)) %s :rws", ":rws", false},
    {&CStatementFilter::m_FiltExecsC, &CStatementFilter::m_FiltExecsV, "NVL(executions, 0) %s :exs", ":exs", false},
    // elapsed_time is in microseconds: the value is in hundredths of a millisecond,
    // hence the division by 10. A statement without executions (parsed only, or
    // its first execution still running) counts as 0, as the list's column shows
    // it and as the other per-execution conditions take it; the DECODE also keeps
    // the division away from 0.
    {&CStatementFilter::m_FiltElapsedC, &CStatementFilter::m_FiltElapsedV,
     "DECODE(executions, 0, 0, NULL, 0, ROUND(NVL(elapsed_time, 0)/executions/10)) %s :ela", ":ela", true},
};

std::string FormatExpression(const char* expression, const char* comparison) {
    char text[160];
    std::snprintf(text, sizeof text, expression, comparison);
    return text;
}

const char* IncludeExpression(std::int32_t kind) {
    if (kind == kMatchIgnoreCase) return "UPPER(sql_text) LIKE UPPER(:tin)";
    if (kind == kMatchCase) return "sql_text LIKE :tin";
    return nullptr;
}

const char* ExcludeExpression(std::int32_t kind) {
    if (kind == kMatchIgnoreCase) return "UPPER(sql_text) NOT LIKE UPPER(:tex)";
    if (kind == kMatchCase) return "sql_text NOT LIKE :tex";
    return nullptr;
}

void AppendJoined(std::string& list, const std::string& item) {
    if (!list.empty()) list += " AND ";
    list += item;
}

}  // namespace

std::string CStatementFilter::CommandTypeFragment() const {
    std::string list;
    if (m_Others) {
        if (!m_Insert) list += "2,";
        if (!m_Select) list += "3,";
        if (!m_Update) list += "6,";
        if (!m_Delete) list += "7,";
        if (list.empty()) return std::string();
        list.pop_back();
        return "s.command_type NOT IN (" + list + ")";
    }
    if (m_Insert) list += "2,";
    if (m_Select) list += "3,";
    if (m_Update) list += "6,";
    if (m_Delete) list += "7,";
    if (list.empty()) return "s.command_type = -1";
    list.pop_back();
    return "s.command_type IN (" + list + ")";
}

std::string CStatementFilter::ConditionFragment(bool serverFigures) const {
    std::string fragment;
    for (const SValueCondition& condition : kValueConditions) {
        if (condition.serverFigure && !serverFigures) continue;
        if (const char* comparison = ComparisonOf(this->*condition.choice)) {
            AppendJoined(fragment, FormatExpression(condition.expression, comparison));
        }
    }
    if (const char* include = IncludeExpression(m_FiltTextInclC)) AppendJoined(fragment, include);
    if (const char* exclude = ExcludeExpression(m_FiltTextExclC)) AppendJoined(fragment, exclude);
    return fragment;
}

void CStatementFilter::BindConditions(COracleCursor& cursor, bool serverFigures) {
    for (const SValueCondition& condition : kValueConditions) {
        if (condition.serverFigure && !serverFigures) continue;
        if (ComparisonOf(this->*condition.choice) != nullptr) {
            cursor.Bind(condition.placeholder, &(this->*condition.value), sizeof(std::int32_t), oci::SQLT_INT);
        }
    }
    if (IncludeExpression(m_FiltTextInclC) != nullptr) {
        cursor.Bind(":tin", m_FiltTextInclV.data(), static_cast<int>(m_FiltTextInclV.size()) + 1, oci::SQLT_STR);
    }
    if (ExcludeExpression(m_FiltTextExclC) != nullptr) {
        cursor.Bind(":tex", m_FiltTextExclV.data(), static_cast<int>(m_FiltTextExclV.size()) + 1, oci::SQLT_STR);
    }
}

bool CStatementFilter::HasServerFigureCondition() const {
    for (const SValueCondition& condition : kValueConditions) {
        if (condition.serverFigure && ComparisonOf(this->*condition.choice) != nullptr) return true;
    }
    return false;
}

std::string UserFragment(const CUserArray& users) {
    std::string lists;
    std::string ids;
    int selected = 0;
    int inList = 0;
    for (const CUserEntry& user : users) {
        if (!user.IsSelected()) continue;
        if (inList == kMaxInListIds) {
            ids.pop_back();
            if (!lists.empty()) lists += " OR ";
            lists += "parsing_user_id IN (" + ids + ")";
            ids.clear();
            inList = 0;
        }
        ids += std::to_string(user.GetUserId());
        ids += ',';
        ++inList;
        ++selected;
    }
    if (selected == 0 || selected == users.GetSize()) return std::string();
    ids.pop_back();
    if (lists.empty()) return " parsing_user_id IN (" + ids + ")";
    return " (" + lists + " OR parsing_user_id IN (" + ids + "))";
}

void AppendFragment(std::string& query, const std::string& fragment) {
    if (fragment.empty()) return;
    if (!query.empty()) query += " AND ";
    query += fragment;
}

std::string AppendFilterFragments(std::string query, const CUserArray& users, const CStatementFilter& filter,
                                  bool serverFigures) {
    AppendFragment(query, UserFragment(users));
    AppendFragment(query, filter.CommandTypeFragment());
    AppendFragment(query, filter.ConditionFragment(serverFigures));
    return query;
}

}  // namespace corvid
