#include "collection/ExplainProcedure.h"

namespace corvid {

namespace {

// The lines of the procedure's creation text, in order.
// clang-format off
const char* const kCreationLines[] = {
    "/* $CORVID$ */ CREATE OR REPLACE PROCEDURE CorvidExplainPlan(theStatementID IN VARCHAR2, theSqlStatement IN VARCHAR2, theOptimizerGoal IN VARCHAR2, theExecutionPlan OUT VARCHAR2, theException OUT VARCHAR2)",
    "IS",
    "\taCursor INTEGER := NULL;",
    "\taReturn\tINTEGER := NULL;",
    "\tCURSOR cSelect(cStatementID IN VARCHAR2) IS",
    "\t\tSELECT\t\t\t\t'/* $CORVID$ */' dummy, ROWNUM lineid,",
    "\t\t\t\t\t\t\tLPAD(' ', 4 * (level - 1)) || operation || ' ' || options || ' ' || object_name || ' ' || DECODE(id, 0, 'Cost = ' || position) line",
    "\t\tFROM\t\t\t\tplan_table",
    "\t\tSTART WITH\t\t\tid = 0 AND statement_id = cStatementID",
    "\t\tCONNECT BY PRIOR \tid = parent_id AND statement_id = cStatementID;",
    "BEGIN",
    "   theException := NULL;",
    "   -- Open cursor",
    "   aCursor := dbms_sql.open_cursor;",
    "",
    "   -- Delete entries in the plan table",
    "   dbms_sql.parse(aCursor, '/* $CORVID$ */ DELETE plan_table WHERE statement_id = :id', dbms_sql.native);",
    "   dbms_sql.bind_variable(aCursor, ':id', theStatementID);",
    "   aReturn := dbms_sql.execute(aCursor);",
    "",
    "   -- Set the optimizer goal",
    "   dbms_sql.parse(aCursor, '/* $CORVID$ */ ALTER SESSION SET OPTIMIZER_GOAL = ' || theOptimizerGoal, dbms_sql.native);",
    "   aReturn := dbms_sql.execute(aCursor);",
    "",
    "   -- Explain the plan",
    "   dbms_sql.parse(aCursor, '/* $CORVID$ */ EXPLAIN PLAN SET statement_id = ''' || theStatementID || ''' FOR ' || theSqlStatement, dbms_sql.native);",
    "   aReturn := dbms_sql.execute(aCursor);",
    "",
    "   -- Decode the explain plan and store in temporary table",
    "   FOR aRow IN cSelect(theStatementID) LOOP",
    "      IF (aRow.lineid > 1) THEN",
    "         theExecutionPlan := theExecutionPlan || CHR(13)||CHR(10);",
    "      END IF;",
    "      theExecutionPlan := theExecutionPlan || aRow.line;",
    "   END LOOP;",
    "",
    "   -- Delete entries in the plan table",
    "   dbms_sql.parse(aCursor, '/* $CORVID$ */ DELETE plan_table WHERE statement_id = :id', dbms_sql.native);",
    "   dbms_sql.bind_variable(aCursor, ':id', theStatementID);",
    "   aReturn := dbms_sql.execute(aCursor);",
    "",
    "   -- Close cursor",
    "   dbms_sql.close_cursor(aCursor);",
    "",
    "   -- Commit",
    "",
    "   COMMIT;",
    "   -- Exceptions",
    "   EXCEPTION",
    "      WHEN OTHERS THEN",
    "         theException     := SQLERRM;",
    "         theExecutionPlan := NULL;",
    "         IF (aCursor IS NOT NULL) THEN",
    "            dbms_sql.close_cursor(aCursor);",
    "         END IF;",
    "END;",
};
// clang-format on

}  // namespace

const std::string& ExplainProcedureCreationText() {
    static const std::string text = [] {
        std::string joined;
        for (const char* line : kCreationLines) {
            if (line != kCreationLines[0]) joined += '\n';
            joined += line;
        }
        return joined;
    }();
    return text;
}

std::string SessionStatementId(const std::string& sessionId) {
    return kSessionStatementIdPrefix + sessionId;
}

}  // namespace corvid
