#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collection/ObjectEntry.h"
#include "list/ListEntry.h"

namespace corvid {

// One statement family: the statements of the collection with equal family text
// (sqltext/SqlFamilyText) and command type, with their summed figures. A row of
// the family view.
class CFamilyEntry : public CListEntry {
public:
    std::string GetColumnText(StatementColumn code) const override;
    void AppendColumnText(StatementColumn code, std::string& out) const override;

    // The users as the list shows them: sorted, separated by ", ".
    std::string GetUsersText() const;

    std::string m_FamilyText;
    std::int32_t m_CommandType = 0;
    double m_Statements = 0;
    double m_Executions = 0;
    double m_ParseCalls = 0;
    double m_BufferGets = 0;
    double m_DiskReads = 0;
    double m_RowsProcessed = 0;
    double m_Sorts = 0;
    double m_SharableMem = 0;
    // Shares of all buffer gets and disk reads: the sums of the members' shares,
    // so of the same totals as the statement list's percentages.
    double m_PercOfBufferGets = 0;
    double m_PercOfDiskReads = 0;
    // The parsing users' names, sorted, each once.
    std::vector<std::string> m_Users;
    // The first load time of the oldest member (the smallest of the server's
    // "YYYY-MM-DD/HH24:MI:SS" texts; an empty time counts only when all are empty).
    std::string m_FirstLoadTime;
    // The members' positions in the collection, in collection order.
    std::vector<CObjectArray::Index> m_Members;
};

// The families of one collection, in the order their first member appears, and
// which family each statement belongs to. Built in one pass: each statement's
// family text is made and hashed once.
class CStatementFamilies {
public:
    CStatementFamilies() = default;
    explicit CStatementFamilies(const CObjectArray& collection) { Build(collection); }

    void Build(const CObjectArray& collection);
    void Clear();

    const std::vector<CFamilyEntry>& GetFamilies() const { return m_Families; }
    int GetCount() const { return static_cast<int>(m_Families.size()); }
    // The family of the statement at a collection position; -1 outside the collection.
    int FamilyOf(CObjectArray::Index position) const;
    // Families of at least `minStatements` statements, in the same order.
    std::vector<CFamilyEntry> WithAtLeast(double minStatements) const;

private:
    std::vector<CFamilyEntry> m_Families;
    std::vector<std::int32_t> m_FamilyOfStatement;
};

}  // namespace corvid
