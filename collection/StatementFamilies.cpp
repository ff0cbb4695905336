#include "collection/StatementFamilies.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "list/FamilyColumn.h"
#include "sqltext/SqlFamilyText.h"

namespace corvid {

std::string CFamilyEntry::GetColumnText(StatementColumn code) const {
    std::string text;
    AppendColumnText(code, text);
    return text;
}

std::string CFamilyEntry::GetUsersText() const {
    std::string text;
    for (const std::string& user : m_Users) {
        if (!text.empty()) text += ", ";
        text += user;
    }
    return text;
}

void CFamilyEntry::AppendColumnText(StatementColumn code, std::string& out) const {
    switch (code) {
        case kColFamilyStatements:
            AppendListCount(m_Statements, out);
            break;
        case kColFamilyExecutions:
            AppendListCount(m_Executions, out);
            break;
        case kColFamilyParseCalls:
            AppendListCount(m_ParseCalls, out);
            break;
        case kColFamilyBufferGets:
            AppendListCount(m_BufferGets, out);
            break;
        case kColFamilyDiskReads:
            AppendListCount(m_DiskReads, out);
            break;
        case kColFamilyPercOfBufferGets:
            AppendListPercent(m_PercOfBufferGets, out);
            break;
        case kColFamilyPercOfDiskReads:
            AppendListPercent(m_PercOfDiskReads, out);
            break;
        case kColFamilySharableMem:
            AppendListCount(m_SharableMem, out);
            break;
        case kColFamilyUsers:
            out += GetUsersText();
            break;
        case kColFamilyText:
            out += m_FamilyText;
            break;
        case kColFamilyRowsProcessed:
            AppendListCount(m_RowsProcessed, out);
            break;
        case kColFamilySorts:
            AppendListCount(m_Sorts, out);
            break;
        case kColFamilyFirstLoadTime:
            out += m_FirstLoadTime;
            break;
        case kColFamilyCommandName:
            out += CObjectEntry::CommandName(m_CommandType);
            break;
        default:
            break;
    }
}

void CStatementFamilies::Clear() {
    m_Families.clear();
    m_FamilyOfStatement.clear();
}

void CStatementFamilies::Build(const CObjectArray& collection) {
    Clear();
    const CObjectArray::Index count = collection.GetSize();
    m_FamilyOfStatement.reserve(static_cast<std::size_t>(count));
    // The key is the command type's four bytes followed by the family text.
    std::unordered_map<std::string, std::int32_t> index;
    index.reserve(static_cast<std::size_t>(count / 4 + 16));
    // (family, parsing user id) pairs already counted.
    std::unordered_set<std::uint64_t> familyUsers;
    std::string key;
    for (CObjectArray::Index i = 0; i < count; ++i) {
        const CObjectEntry& entry = collection[i];
        key.assign(reinterpret_cast<const char*>(&entry.m_CommandType), sizeof entry.m_CommandType);
        AppendSqlFamilyText(entry.m_SqlText, key);
        const auto [it, added] = index.try_emplace(key, static_cast<std::int32_t>(m_Families.size()));
        if (added) {
            CFamilyEntry& family = m_Families.emplace_back();
            family.m_FamilyText = key.substr(sizeof entry.m_CommandType);
            family.m_CommandType = entry.m_CommandType;
            family.m_FirstLoadTime = entry.m_FirstLoadTime;
        }
        const std::int32_t f = it->second;
        m_FamilyOfStatement.push_back(f);
        CFamilyEntry& family = m_Families[static_cast<std::size_t>(f)];
        family.m_Statements += 1;
        family.m_Executions += entry.m_Executions;
        family.m_ParseCalls += entry.m_ParseCalls;
        family.m_BufferGets += entry.m_BufferGets;
        family.m_DiskReads += entry.m_DiskReads;
        family.m_RowsProcessed += entry.m_RowsProcessed;
        family.m_Sorts += entry.m_Sorts;
        family.m_SharableMem += entry.m_SharableMem;
        family.m_PercOfBufferGets += entry.m_PercOfBufferGets;
        family.m_PercOfDiskReads += entry.m_PercOfDiskReads;
        family.m_Members.push_back(i);
        if (!entry.m_FirstLoadTime.empty() &&
            (family.m_FirstLoadTime.empty() || entry.m_FirstLoadTime < family.m_FirstLoadTime))
            family.m_FirstLoadTime = entry.m_FirstLoadTime;
        const std::uint64_t pair = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(f)) << 32) |
                                   static_cast<std::uint32_t>(entry.m_ParsingUserId);
        if (familyUsers.insert(pair).second) family.m_Users.push_back(entry.m_UserName);
    }
    for (CFamilyEntry& family : m_Families) {
        std::sort(family.m_Users.begin(), family.m_Users.end());
        // Two user ids may carry one name (a user dropped and created again).
        family.m_Users.erase(std::unique(family.m_Users.begin(), family.m_Users.end()), family.m_Users.end());
    }
}

int CStatementFamilies::FamilyOf(CObjectArray::Index position) const {
    if (position < 0 || static_cast<std::size_t>(position) >= m_FamilyOfStatement.size()) return -1;
    return m_FamilyOfStatement[static_cast<std::size_t>(position)];
}

std::vector<CFamilyEntry> CStatementFamilies::WithAtLeast(double minStatements) const {
    std::vector<CFamilyEntry> result;
    for (const CFamilyEntry& family : m_Families)
        if (family.m_Statements >= minStatements) result.push_back(family);
    return result;
}

}  // namespace corvid
