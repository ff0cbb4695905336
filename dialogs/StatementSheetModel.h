#pragma once

#include <functional>
#include <string>
#include <vector>

#include "collection/ObjectEntry.h"

namespace corvid {

class COracleConnection;

// One row of the parameter page: a long column title and the statement's text
// for that column.
struct SParameterRow {
    StatementColumn column;
    std::string title;
    std::string value;
};

// The 25 rows of the parameter page, in their fixed order, whatever the list
// layout is. Titles come from the string table ("STR # <id>" when missing).
std::vector<SParameterRow> ParameterRows(const CObjectEntry& statement);

// The rows the parameter page adds for the statement's family: its family text
// and the number of statements that share it. None when the count is 0.
std::vector<SParameterRow> FamilyParameterRows(const std::string& familyText, long long statements);

// The optimizer goals of the test page in the order the (sorted) list shows them.
const std::vector<std::string>& OptimizerGoals();
// The list position the goal text selects: the first goal that begins with it,
// compared without regard to case; -1 (no selection) when none does or the
// text is empty.
int OptimizerGoalIndex(const std::string& goal);

// What one call of the explain procedure gave back.
struct SExplainOutcome {
    bool executed = false;  // false when the call itself failed
    std::string plan;
    std::string error;  // the server's message when it could not explain the text
    bool skipped = false;  // the call was not made (no connection): nothing changes
};

// Explains a text under an optimizer goal.
using ExplainCall = std::function<SExplainOutcome(const std::string& sqlText, const std::string& goal)>;

// The explain procedure called on the connection under the session's statement
// id, with error reporting off for the call itself. Oracle errors while reading
// the id, parsing or binding are fatal, as for every other statement.
ExplainCall ExplainOnConnection(COracleConnection& connection);

inline constexpr const char* kParseErrorMessage = "A parse error has occurred!\nThe statement was not analyzed.\n";
inline constexpr const char* kSqlTextTooLongMessage =
    "The SQL text is too long to be analyzed!\nAt most 59999 characters can be sent to the server.";

// The test page's four texts and its two actions.
class CSqlTestModel {
public:
    // Explains m_SqlText under m_Goal and shows the plan, or the parse error
    // message (through the prompter) and an empty plan.
    void Execute(const ExplainCall& explain);
    // Restores the statement's own text, then explains it.
    void Reload(const ExplainCall& explain);

    std::string m_SqlText;     // the text being tested
    std::string m_Plan;        // the plan shown
    std::string m_Goal;        // the optimizer goal; empty when none is chosen
    std::string m_ReloadText;  // what Reload restores
};

// What the plan page shows: the plan, or, where there is none, the statement's
// analysis status and the server's error message.
std::string PlanPageText(const CObjectEntry& statement);

// Everything the statement sheet shows of one statement, prepared before it opens.
struct SStatementSheetData {
    std::string sqlRtf;      // the SQL text, coloured
    std::string planRtf;     // the plan, without colours
    std::string planSource;  // where the plan came from; empty without a plan
    CObjectEntry statement;  // for the parameter page
    CSqlTestModel test;
    // The statement's family text and how many statements of the list share it
    // (itself included); 0 when the families are not known.
    std::string familyText;
    long long familyStatements = 0;

    static SStatementSheetData FromStatement(const CObjectEntry& statement);
};

}  // namespace corvid
