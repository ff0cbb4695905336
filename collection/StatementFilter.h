#pragma once

#include <cstdint>
#include <string>

#include "collection/QArray.h"
#include "collection/UserEntry.h"

namespace corvid {

class COracleCursor;

using CUserArray = CQArray<CUserEntry>;

// Comparison of a value condition (the "...C" settings): any other value is off.
inline constexpr int kCompareLess = 1;
inline constexpr int kCompareGreater = 2;
inline constexpr int kCompareEqual = 3;
// Match kind of a text condition: any other value is off.
inline constexpr int kMatchIgnoreCase = 1;
inline constexpr int kMatchCase = 2;

// Which shared-pool statements a load takes: the statement types and the value
// and text conditions. It turns them into the fragments of the WHERE clause that
// every shared-pool query appends to its base text, and binds the condition values
// on the cursor. The bound values are these members themselves, so a filter must
// stay unchanged while a statement bound with it runs.
class CStatementFilter {
public:
    // Statement types: SELECT 3, INSERT 2, UPDATE 6, DELETE 7, and every other type.
    std::int32_t m_Select = 1;
    std::int32_t m_Insert = 1;
    std::int32_t m_Update = 1;
    std::int32_t m_Delete = 1;
    std::int32_t m_Others = 1;

    // Value conditions: comparison (kCompare...) and the value compared with.
    std::int32_t m_FiltLoadTimeC = 0, m_FiltLoadTimeV = 0;
    std::int32_t m_FiltBufDskC = 0, m_FiltBufDskV = 0;
    std::int32_t m_FiltBufGetC = 0, m_FiltBufGetV = 0;
    std::int32_t m_FiltDskRdsC = 0, m_FiltDskRdsV = 0;
    std::int32_t m_FiltSortsC = 0, m_FiltSortsV = 0;
    std::int32_t m_FiltRowsC = 0, m_FiltRowsV = 0;
    std::int32_t m_FiltExecsC = 0, m_FiltExecsV = 0;
    // Elapsed time per execution, in hundredths of a millisecond (the precision
    // the list shows). The server reports it from release 10g on.
    std::int32_t m_FiltElapsedC = 0, m_FiltElapsedV = 0;

    // Text conditions: match kind (kMatch...) and LIKE pattern.
    std::int32_t m_FiltTextInclC = 0;
    std::string m_FiltTextInclV = "%";
    std::int32_t m_FiltTextExclC = 0;
    std::string m_FiltTextExclV = "%";

    bool operator==(const CStatementFilter&) const = default;

    // "s.command_type IN (...)", "s.command_type NOT IN (...)", "s.command_type = -1"
    // or empty when every type is wanted.
    std::string CommandTypeFragment() const;
    // The active conditions joined with " AND " (possibly empty). Without
    // `serverFigures` (a server before 10g, whose v$sqlarea lacks the times) the
    // conditions on those figures are left out, since the server would refuse them.
    std::string ConditionFragment(bool serverFigures) const;
    // The second pass over the conditions: binds each placeholder that
    // ConditionFragment emits, by name, on a cursor that has parsed the statement.
    void BindConditions(COracleCursor& cursor, bool serverFigures);
    // Whether an active condition is left out without `serverFigures`.
    bool HasServerFigureCondition() const;
};

// The user restriction: " parsing_user_id IN (5,21)" (with its leading blank) when
// some but not all users are selected, empty when all or none are. More than 1,000
// selected ids are split into IN lists of at most 1,000 joined by OR inside one pair
// of parentheses, since the server takes no longer list.
std::string UserFragment(const CUserArray& users);

// Appends " AND " (only when the query is not empty) and the fragment, when the
// fragment is not empty.
void AppendFragment(std::string& query, const std::string& fragment);

// The base query followed by the user, command-type and condition fragments.
std::string AppendFilterFragments(std::string query, const CUserArray& users, const CStatementFilter& filter,
                                  bool serverFigures);

}  // namespace corvid
