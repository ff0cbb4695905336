#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvid {

class COracleConnection;
class COracleCursor;

// One prepared call of the explain procedure: the session statement id read, the
// call parsed once and its five buffers bound once, so that each explain costs one
// round trip to the server. Used by the analysis of a load and by a test explain.
class CExplainPlanCall {
public:
    struct SResult {
        bool called = false;   // the call itself ran (the procedure may still report an error)
        int errorCode = 0;     // the Oracle error of a call that did not run
        std::string errorText; // and its text
        std::string plan;      // the plan text; empty when the procedure returned NULL
        std::string error;     // the procedure's error text; empty on success
        bool tooLong = false;  // the text did not fit the call's buffer and was not sent
    };

    explicit CExplainPlanCall(COracleConnection& connection);
    ~CExplainPlanCall();
    CExplainPlanCall(const CExplainPlanCall&) = delete;
    CExplainPlanCall& operator=(const CExplainPlanCall&) = delete;

    // Explains the text under the optimizer goal. A text of 60,000 bytes or more
    // does not fit the call's buffer: it is not sent, and the result says so.
    SResult Explain(const std::string& sqlText, const std::string& optimizerGoal);

    const std::string& GetStatementId() const { return m_statementId; }

private:
    std::string m_statementId;
    std::unique_ptr<COracleCursor> m_cursor;
    std::vector<char> m_idBuffer;
    std::vector<char> m_sqlBuffer;
    std::vector<char> m_goalBuffer;
    std::vector<char> m_planBuffer;
    std::vector<char> m_errorBuffer;
    short m_planIndicator = 0;
    short m_errorIndicator = 0;
};

// True for the Oracle errors after which the session is gone: end-of-file on the
// channel (3113), not connected (3114), connection lost (3135), not logged on
// (1012) and session killed (28).
bool IsSessionEndingError(int oracleError);

// "$CORVID$_" followed by the server's session id.
std::string ReadSessionStatementId(COracleConnection& connection);

// The goal a statement is explained under: its own optimizer mode when that is
// exactly "ALL_ROWS" or "FIRST_ROWS", otherwise "CHOOSE".
std::string OptimizerGoalFor(const std::string& optimizerMode);
// The cost on the plan's root line: the integer after the first "COST = " (any
// case); 0 when there is none.
std::int32_t ParsePlanCost(const std::string& plan);
// The number of "TABLE ACCESS FULL" in the plan (any case).
std::int32_t CountFullTableScans(const std::string& plan);

}  // namespace corvid
