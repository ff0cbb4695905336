#pragma once

// The creation text of the explain procedure exactly as the program sends it,
// and the call statement.

#include <string>

namespace ocisim::test {

inline std::string ExplainProcedureText() {
    const char* lines[] = {
        "/* $CORVID$ */ CREATE OR REPLACE PROCEDURE CorvidExplainPlan(theStatementID IN VARCHAR2, theSqlStatement IN "
        "VARCHAR2, theOptimizerGoal IN VARCHAR2, theExecutionPlan OUT VARCHAR2, theException OUT VARCHAR2)",
        "IS",
        "\taCursor INTEGER := NULL;",
        "\taReturn\tINTEGER := NULL;",
        "\tCURSOR cSelect(cStatementID IN VARCHAR2) IS",
        "\t\tSELECT\t\t\t\t'/* $CORVID$ */' dummy, ROWNUM lineid,",
        "\t\t\t\t\t\t\tLPAD(' ', 4 * (level - 1)) || operation || ' ' || options || ' ' || object_name || ' ' || "
        "DECODE(id, 0, 'Cost = ' || position) line",
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
        "   dbms_sql.parse(aCursor, '/* $CORVID$ */ ALTER SESSION SET OPTIMIZER_GOAL = ' || theOptimizerGoal, "
        "dbms_sql.native);",
        "   aReturn := dbms_sql.execute(aCursor);",
        "",
        "   -- Explain the plan",
        "   dbms_sql.parse(aCursor, '/* $CORVID$ */ EXPLAIN PLAN SET statement_id = ''' || theStatementID || ''' FOR "
        "' || theSqlStatement, dbms_sql.native);",
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
        "END;"};
    std::string text;
    for (size_t i = 0; i < sizeof lines / sizeof lines[0]; ++i) {
        if (i) text += '\n';
        text += lines[i];
    }
    return text;
}

inline const char* ExplainCall() { return "/* $CORVID$ */ BEGIN CorvidExplainPlan(:i, :s, :g, :p, :e); END;"; }

}  // namespace ocisim::test
