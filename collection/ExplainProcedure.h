#pragma once

#include <string>

namespace corvid {

// The stored procedure CorvidExplainPlan that explains statements for the program:
// created in the user's schema at every connect, dropped at disconnect.

inline constexpr const char* kExplainProcedureName = "CorvidExplainPlan";

// The statement that runs the procedure; its five placeholders are bound by name.
inline constexpr const char* kExplainCallStatement = "/* $CORVID$ */ BEGIN CorvidExplainPlan(:i, :s, :g, :p, :e); END;";

// Sizes of the call's buffers, terminators included.
inline constexpr int kExplainSqlSize = 60000;
inline constexpr int kExplainGoalSize = 30;
inline constexpr int kExplainPlanSize = 60000;
inline constexpr int kExplainErrorSize = 512;

// The statement that reads the server's session id, and the prefix of the
// statement id under which the procedure writes its plan rows.
inline constexpr const char* kSessionIdStatement = "/* $CORVID$ */ SELECT USERENV('SESSIONID') FROM dual";
inline constexpr const char* kSessionStatementIdPrefix = "$CORVID$_";

// The drop statement of the disconnect.
inline constexpr const char* kDropExplainProcedureStatement = "/* $CORVID$ */ DROP PROCEDURE CorvidExplainPlan";

// The creation statement: 56 lines joined by line feeds, no line end after the last.
const std::string& ExplainProcedureCreationText();

// "$CORVID$_" followed by the session id ("$CORVID$_" alone for an empty id).
std::string SessionStatementId(const std::string& sessionId);

}  // namespace corvid
