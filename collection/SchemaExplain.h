#pragma once

#include <memory>
#include <string>
#include <vector>

#include "collection/ExplainPlanCall.h"

namespace corvid {

class COracleConnection;
class COracleCursor;

// Explains statements that another schema parsed, with that schema as the
// session's current schema so their names resolve as they did for it; the rows
// go to the connected user's plan table, named with its owner. The explain
// procedure cannot do this: a stored procedure runs in its owner's schema.
// The destructor makes the connected user's schema current again. The plan
// table's delete and the plan query are parsed once and executed again for
// every statement; the optimizer goal is set only when it changes, and the rows
// of the session's statement id are deleted before an explain only when this
// object's own delete after the last one did not run or something else used the
// session since.
class CSchemaExplain {
public:
    // `user` is the connected user's name as the server spells it; the statement
    // id marks this session's plan rows.
    CSchemaExplain(COracleConnection& connection, std::string user, std::string statementId);
    ~CSchemaExplain();
    CSchemaExplain(const CSchemaExplain&) = delete;
    CSchemaExplain& operator=(const CSchemaExplain&) = delete;

    // Whether a schema name can be set as it is (a plain upper-case identifier).
    static bool IsPlainName(const std::string& name);

    // The plan of the text under the goal as `schema` sees it. A refusal by the
    // server (ORA-00942 for a table the connected user may not read) comes back
    // as the result's error text, as from the explain procedure.
    CExplainPlanCall::SResult Explain(const std::string& schema, const std::string& sqlText,
                                      const std::string& optimizerGoal);

    // Something else on the session (the explain procedure) may have set the
    // optimizer goal and left plan rows: the next explain sets its own goal again
    // and deletes the session's plan rows first.
    void ForgetSessionState() {
        m_goal.clear();
        m_rowsDeleted = false;
    }

private:
    bool SetCurrentSchema(const std::string& schema);
    bool Run(const std::string& statement, std::string* error);
    bool Run(COracleCursor& cursor, std::string* error);
    COracleCursor& DeleteCursor();
    COracleCursor& PlanCursor();

    COracleConnection& m_connection;
    std::string m_user;
    std::string m_statementId;
    std::string m_current;
    std::string m_goal;  // the goal this object last set; empty: not known
    std::string m_explainText;  // the EXPLAIN PLAN statement, its prefix kept between calls
    std::size_t m_explainPrefix = 0;
    int m_lastErrorCode = 0;
    bool m_rowsDeleted = false;  // this object's last delete of the session's plan rows succeeded
    std::unique_ptr<COracleCursor> m_delete;
    std::unique_ptr<COracleCursor> m_plan;
    std::vector<char> m_lines;
    std::vector<short> m_indicators;
};

}  // namespace corvid
