#pragma once

// The PL/SQL the server runs: stored procedures (CREATE OR REPLACE PROCEDURE)
// and anonymous blocks, with variables, cursors with parameters, cursor FOR
// loops, IF, assignments, procedure calls, COMMIT, an exception handler with
// SQLERRM, and the DBMS_SQL package. Compilation checks the declarations, the
// names, the calls and the static SQL; a unit that fails is stored INVALID.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ocisim/engine/Ast.h"
#include "ocisim/engine/Engine.h"

namespace ocisim {

class VariableScope;
struct ProcedureInfo;

struct PlParam {
    std::string name;
    bool in = true, out = false;
    std::string type;
};

struct PlVar {
    std::string name;
    std::string type;
    std::string initText;  // the initial value's expression, parsed again per run
    size_t pos = 0;
};

struct PlCursor {
    std::string name;
    std::vector<PlParam> params;
    std::string sql;                  // the cursor's query
    std::vector<std::string> fields;  // its select list's names
};

struct PlStmt {
    enum class Kind { Assign, Call, If, ForCursor, Commit, Rollback, Null };
    Kind kind = Kind::Null;
    size_t pos = 0;
    std::vector<std::string> target;  // Assign: variable or record field; Call: procedure name parts
    bool targetIsBind = false;
    std::string exprText;             // Assign: the value
    std::vector<std::string> argTexts;  // Call, ForCursor: the argument expressions
    std::vector<std::string> conditionTexts;  // If: conditions of IF and ELSIF
    std::vector<std::vector<PlStmt>> branches;  // If: one per condition, then ELSE
    std::string loopVar, cursor;      // ForCursor
    std::vector<PlStmt> body;         // ForCursor
};

struct PlSqlUnit {
    std::string owner, name;  // empty name: an anonymous block
    std::string source;       // the text the offsets refer to
    std::vector<PlParam> params;
    std::vector<PlVar> vars;
    std::vector<PlCursor> cursors;
    std::vector<PlStmt> body;
    bool hasHandler = false;  // WHEN OTHERS
    std::vector<PlStmt> handler;
};

// What PL/SQL needs from the session that runs it.
class PlSqlHost {
public:
    virtual ~PlSqlHost() = default;
    // Runs one SQL statement as recursive SQL; raises OraException on failure.
    virtual ExecResult RunSql(const std::string& sql, std::vector<Bind>& binds, VariableScope* variables) = 0;
    // Binds a query without running it (compile-time check); raises on failure.
    virtual void CheckQuery(const std::string& sql, VariableScope* variables, const std::string& owner) = 0;
    virtual void CommitWork() = 0;
    virtual void RollbackWork() = 0;
    // A stored procedure by name as `user` sees it; null when there is none.
    virtual const ProcedureInfo* FindProcedure(const std::vector<std::string>& names, const std::string& user) = 0;
    virtual std::string CurrentUser() const = 0;
    // A PL/SQL expression's tree, the caller's own; with `wholeText` ORA-00933
    // when the text goes on after it. A host may keep parsed trees.
    virtual ExprPtr ParseExpression(const std::string& text, bool wholeText);
    // A SQL statement's tree, the caller's own.
    virtual std::unique_ptr<Statement> ParseSql(const std::string& sql);
    // Makes `schema` the current schema (a definer's-rights unit runs in its
    // owner's); returns the one before.
    virtual std::string SwitchCurrentSchema(const std::string& schema) = 0;
    // DBMS_LOCK.SLEEP and DBMS_SESSION.SLEEP: the session waits that many seconds.
    virtual void Sleep(double seconds) = 0;
};

// Parses a CREATE [OR REPLACE] PROCEDURE statement or an anonymous block.
// Raises OraException with the PL/SQL compiler's message on a syntax error.
std::shared_ptr<PlSqlUnit> ParsePlSql(const std::string& text, bool isProcedure);

// Checks the names, calls and static SQL of a unit; returns the first
// compilation error ("PLS-00201: ..." or "PL/SQL: ORA-00942: ...") with its
// position, or an empty text.
std::string CheckPlSql(PlSqlUnit& unit, PlSqlHost& host, size_t& errorPos);

// Runs an anonymous block with the client's binds (IN and OUT).
void RunBlock(const PlSqlUnit& block, std::vector<Bind>& binds, PlSqlHost& host);

}  // namespace ocisim
