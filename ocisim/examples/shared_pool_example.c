/*
 * Shared pool example: logs on to DEMO as SCOTT/TIGER, counts the statements of
 * sys.v_$sqlarea, fetches them 100 rows at a time, explains one statement
 * through a stored procedure, and describes a query with placeholders before
 * binding them by position, with either client generation.
 *
 *   shared_pool_example 8     release 8 handles (the default)
 *   shared_pool_example 7     release 7 logon and cursor data areas
 *
 * Written against Oracle's published C interface only. Exits with 0 when every
 * step gave what it should, 1 otherwise.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ocisim_oci.h"

#define BATCH 100
#define TEXT_SIZE 1001
#define ADDRESS_SIZE 17
#define PLAN_SIZE 60000

static const char* const kCount =
    "/* $EXAMPLE$ */ SELECT COUNT(1) FROM sys.v_$sqlarea WHERE sql_text NOT LIKE '%$EXAMPLE$%'";
static const char* const kList =
    "/* $EXAMPLE$ */ SELECT address, executions, disk_reads, sql_text FROM sys.v_$sqlarea "
    "WHERE sql_text NOT LIKE '%$EXAMPLE$%'";
static const char* const kCreate =
    "/* $EXAMPLE$ */ CREATE OR REPLACE PROCEDURE ExampleExplain(theStatementID IN VARCHAR2, theSqlStatement IN "
    "VARCHAR2, theOptimizerGoal IN VARCHAR2, theExecutionPlan OUT VARCHAR2, theException OUT VARCHAR2)\n"
    "IS\n"
    "\taCursor INTEGER := NULL;\n"
    "\taReturn\tINTEGER := NULL;\n"
    "\tCURSOR cSelect(cStatementID IN VARCHAR2) IS\n"
    "\t\tSELECT\t\t\t\t'/* $EXAMPLE$ */' dummy, ROWNUM lineid,\n"
    "\t\t\t\t\t\t\tLPAD(' ', 4 * (level - 1)) || operation || ' ' || options || ' ' || object_name || ' ' || "
    "DECODE(id, 0, 'Cost = ' || position) line\n"
    "\t\tFROM\t\t\t\tplan_table\n"
    "\t\tSTART WITH\t\t\tid = 0 AND statement_id = cStatementID\n"
    "\t\tCONNECT BY PRIOR \tid = parent_id AND statement_id = cStatementID;\n"
    "BEGIN\n"
    "   theException := NULL;\n"
    "   aCursor := dbms_sql.open_cursor;\n"
    "   dbms_sql.parse(aCursor, '/* $EXAMPLE$ */ DELETE plan_table WHERE statement_id = :id', dbms_sql.native);\n"
    "   dbms_sql.bind_variable(aCursor, ':id', theStatementID);\n"
    "   aReturn := dbms_sql.execute(aCursor);\n"
    "   dbms_sql.parse(aCursor, '/* $EXAMPLE$ */ ALTER SESSION SET OPTIMIZER_GOAL = ' || theOptimizerGoal, "
    "dbms_sql.native);\n"
    "   aReturn := dbms_sql.execute(aCursor);\n"
    "   dbms_sql.parse(aCursor, '/* $EXAMPLE$ */ EXPLAIN PLAN SET statement_id = ''' || theStatementID || ''' FOR "
    "' || theSqlStatement, dbms_sql.native);\n"
    "   aReturn := dbms_sql.execute(aCursor);\n"
    "   FOR aRow IN cSelect(theStatementID) LOOP\n"
    "      IF (aRow.lineid > 1) THEN\n"
    "         theExecutionPlan := theExecutionPlan || CHR(13)||CHR(10);\n"
    "      END IF;\n"
    "      theExecutionPlan := theExecutionPlan || aRow.line;\n"
    "   END LOOP;\n"
    "   dbms_sql.parse(aCursor, '/* $EXAMPLE$ */ DELETE plan_table WHERE statement_id = :id', dbms_sql.native);\n"
    "   dbms_sql.bind_variable(aCursor, ':id', theStatementID);\n"
    "   aReturn := dbms_sql.execute(aCursor);\n"
    "   dbms_sql.close_cursor(aCursor);\n"
    "   COMMIT;\n"
    "   EXCEPTION\n"
    "      WHEN OTHERS THEN\n"
    "         theException     := SQLERRM;\n"
    "         theExecutionPlan := NULL;\n"
    "         IF (aCursor IS NOT NULL) THEN\n"
    "            dbms_sql.close_cursor(aCursor);\n"
    "         END IF;\n"
    "END;";
static const char* const kCall = "/* $EXAMPLE$ */ BEGIN ExampleExplain(:i, :s, :g, :p, :e); END;";
static const char* const kDrop = "/* $EXAMPLE$ */ DROP PROCEDURE ExampleExplain";
static const char* const kExplained = "SELECT ename, sal FROM emp WHERE deptno = 10 ORDER BY ename";
static const char* const kByPosition =
    "/* $EXAMPLE$ */ SELECT ename, sal FROM emp WHERE deptno = :1 AND sal >= :2 ORDER BY ename";

/* The fetch arrays of the statement list. */
static char addresses[BATCH][ADDRESS_SIZE];
static int executions[BATCH];
static double diskReads[BATCH];
static char texts[BATCH][TEXT_SIZE];
static sb2 textIndicators[BATCH];
static sb2 readIndicators[BATCH];

/* The explain call's buffers. */
static char statementId[32] = "EXAMPLE_1";
static char sqlText[PLAN_SIZE];
static char goal[30] = "CHOOSE";
static char plan[PLAN_SIZE];
static char exceptionText[512];
static sb2 planIndicator;
static sb2 exceptionIndicator;

static int Summarise(int counted, int fetched, int batches) {
    printf("statements counted: %d\n", counted);
    printf("statements fetched: %d in %d calls\n", fetched, batches);
    if (counted <= 0 || fetched != counted) {
        fprintf(stderr, "the fetch did not deliver the counted statements\n");
        return 1;
    }
    return 0;
}

/* The query bound by position: its select list and the rows it gave. */
static int boundDeptno = 10;
static int boundSalary = 2000;
static char boundNames[4][11];
static int boundSalaries[4];

static int ShowBound(int described, const char* first, int rows) {
    printf("described before binding: %d columns, the first %s\n", described, first);
    printf("bound by position: %d rows, the first %s\n", rows, rows > 0 ? boundNames[0] : "none");
    if (described != 2 || strcmp(first, "ENAME") != 0) {
        fprintf(stderr, "the query with placeholders was not described\n");
        return 1;
    }
    if (rows != 2 || strcmp(boundNames[0], "CLARK") != 0 || boundSalaries[1] != 5000) {
        fprintf(stderr, "the query bound by position gave the wrong rows\n");
        return 1;
    }
    return 0;
}

static int ShowPlan(void) {
    if (exceptionIndicator != -1) {
        fprintf(stderr, "explain failed: %s\n", exceptionText);
        return 1;
    }
    if (planIndicator == -1 || plan[0] == '\0') {
        fprintf(stderr, "explain returned no plan\n");
        return 1;
    }
    printf("plan of \"%s\":\n%s\n", kExplained, plan);
    return 0;
}

#ifndef EXAMPLE_RELEASE7_ONLY

static OCIEnv* env;
static OCIError* err;
static OCISvcCtx* svc;
static OCIServer* server;
static OCISession* session;

static int Check8(sword status, const char* what) {
    if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO) return 0;
    if (status == OCI_NO_DATA) return 0;
    {
        text message[512] = "";
        sb4 code = 0;
        OCIErrorGet(err, 1, NULL, &code, message, sizeof message, OCI_HTYPE_ERROR);
        fprintf(stderr, "%s failed (%d): %s", what, (int)status, (char*)message);
    }
    return 1;
}

static int Run8(void) {
    OCIStmt* stmt = NULL;
    OCIDefine* define = NULL;
    OCIBind* bind = NULL;
    int count = 0;
    int fetched = 0;
    int batches = 0;
    ub4 before = 0;
    ub4 after = 0;
    sword status;
    int failed = 0;

    OCIInitialize(OCI_DEFAULT, NULL, NULL, NULL, NULL);
    OCIEnvInit(&env, OCI_DEFAULT, 0, NULL);
    OCIHandleAlloc(env, (void**)&err, OCI_HTYPE_ERROR, 0, NULL);
    OCIHandleAlloc(env, (void**)&server, OCI_HTYPE_SERVER, 0, NULL);
    OCIHandleAlloc(env, (void**)&svc, OCI_HTYPE_SVCCTX, 0, NULL);
    if (Check8(OCIServerAttach(server, err, (const OraText*)"DEMO", 4, OCI_DEFAULT), "attach")) return 1;
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, server, 0, OCI_ATTR_SERVER, err);
    OCIHandleAlloc(env, (void**)&session, OCI_HTYPE_SESSION, 0, NULL);
    OCIAttrSet(session, OCI_HTYPE_SESSION, "SCOTT", 5, OCI_ATTR_USERNAME, err);
    OCIAttrSet(session, OCI_HTYPE_SESSION, "TIGER", 5, OCI_ATTR_PASSWORD, err);
    if (Check8(OCISessionBegin(svc, err, session, OCI_CRED_RDBMS, OCI_DEFAULT), "logon")) return 1;
    OCIAttrSet(svc, OCI_HTYPE_SVCCTX, session, 0, OCI_ATTR_SESSION, err);
    OCIHandleAlloc(env, (void**)&stmt, OCI_HTYPE_STMT, 0, NULL);

    /* Count. */
    failed |= Check8(OCIStmtPrepare(stmt, err, (const OraText*)kCount, (ub4)strlen(kCount), OCI_NTV_SYNTAX,
                                    OCI_DEFAULT), "prepare count");
    failed |= Check8(OCIDefineByPos(stmt, &define, err, 1, &count, sizeof count, SQLT_INT, NULL, NULL, NULL,
                                    OCI_DEFAULT), "define count");
    failed |= Check8(OCIStmtExecute(svc, stmt, err, 1, 0, NULL, NULL, OCI_DEFAULT), "count");

    /* List, 100 rows a call. */
    failed |= Check8(OCIStmtPrepare(stmt, err, (const OraText*)kList, (ub4)strlen(kList), OCI_NTV_SYNTAX,
                                    OCI_DEFAULT), "prepare list");
    OCIDefineByPos(stmt, &define, err, 1, addresses, ADDRESS_SIZE, SQLT_STR, NULL, NULL, NULL, OCI_DEFAULT);
    OCIDefineByPos(stmt, &define, err, 2, executions, sizeof(int), SQLT_INT, NULL, NULL, NULL, OCI_DEFAULT);
    OCIDefineByPos(stmt, &define, err, 3, diskReads, sizeof(double), SQLT_FLT, readIndicators, NULL, NULL,
                   OCI_DEFAULT);
    OCIDefineByPos(stmt, &define, err, 4, texts, TEXT_SIZE, SQLT_STR, textIndicators, NULL, NULL, OCI_DEFAULT);
    failed |= Check8(OCIStmtExecute(svc, stmt, err, 0, 0, NULL, NULL, OCI_DEFAULT), "list");
    do {
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &before, NULL, OCI_ATTR_ROW_COUNT, err);
        status = OCIStmtFetch(stmt, err, BATCH, OCI_FETCH_NEXT, OCI_DEFAULT);
        if (Check8(status, "fetch")) return 1;
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &after, NULL, OCI_ATTR_ROW_COUNT, err);
        if (after > before) {
            if (batches == 0) printf("first statement: %s %d executions: %.60s\n", addresses[0], executions[0],
                                     texts[0]);
            ++batches;
        }
        fetched += (int)(after - before);
    } while (status != OCI_NO_DATA && after - before == BATCH);
    failed |= Summarise(count, fetched, batches);

    /* Explain. */
    failed |= Check8(OCIStmtPrepare(stmt, err, (const OraText*)kCreate, (ub4)strlen(kCreate), OCI_NTV_SYNTAX,
                                    OCI_DEFAULT), "prepare create");
    failed |= Check8(OCIStmtExecute(svc, stmt, err, 1, 0, NULL, NULL, OCI_DEFAULT), "create procedure");
    failed |= Check8(OCIStmtPrepare(stmt, err, (const OraText*)kCall, (ub4)strlen(kCall), OCI_NTV_SYNTAX,
                                    OCI_DEFAULT), "prepare call");
    strcpy(sqlText, kExplained);
    plan[0] = '\0';
    exceptionText[0] = '\0';
    planIndicator = -1;
    exceptionIndicator = -1;
    OCIBindByName(stmt, &bind, err, (const OraText*)":i", 2, statementId, (sb4)strlen(statementId) + 1, SQLT_STR,
                  NULL, NULL, NULL, 0, NULL, OCI_DEFAULT);
    OCIBindByName(stmt, &bind, err, (const OraText*)":s", 2, sqlText, PLAN_SIZE, SQLT_STR, NULL, NULL, NULL, 0,
                  NULL, OCI_DEFAULT);
    OCIBindByName(stmt, &bind, err, (const OraText*)":g", 2, goal, sizeof goal, SQLT_STR, NULL, NULL, NULL, 0, NULL,
                  OCI_DEFAULT);
    OCIBindByName(stmt, &bind, err, (const OraText*)":p", 2, plan, PLAN_SIZE, SQLT_STR, &planIndicator, NULL, NULL,
                  0, NULL, OCI_DEFAULT);
    OCIBindByName(stmt, &bind, err, (const OraText*)":e", 2, exceptionText, sizeof exceptionText, SQLT_STR,
                  &exceptionIndicator, NULL, NULL, 0, NULL, OCI_DEFAULT);
    if (Check8(OCIStmtExecute(svc, stmt, err, 1, 0, NULL, NULL, OCI_DEFAULT), "explain")) return 1;
    failed |= ShowPlan();
    OCIStmtPrepare(stmt, err, (const OraText*)kDrop, (ub4)strlen(kDrop), OCI_NTV_SYNTAX, OCI_DEFAULT);
    failed |= Check8(OCIStmtExecute(svc, stmt, err, 1, 0, NULL, NULL, OCI_DEFAULT), "drop procedure");

    /* Describe before binding, then bind by position. */
    failed |= Check8(OCIStmtPrepare(stmt, err, (const OraText*)kByPosition, (ub4)strlen(kByPosition),
                                    OCI_NTV_SYNTAX, OCI_DEFAULT), "prepare by position");
    if (Check8(OCIStmtExecute(svc, stmt, err, 0, 0, NULL, NULL, OCI_DESCRIBE_ONLY), "describe")) return 1;
    {
        ub4 columns = 0;
        void* param = NULL;
        OraText* name = NULL;
        ub4 nameLength = 0;
        char first[31] = "";
        ub4 rows = 0;
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &columns, NULL, OCI_ATTR_PARAM_COUNT, err);
        if (Check8(OCIParamGet(stmt, OCI_HTYPE_STMT, err, &param, 1), "describe column 1")) return 1;
        OCIAttrGet(param, OCI_DTYPE_PARAM, &name, &nameLength, OCI_ATTR_NAME, err);
        if (nameLength < sizeof first) memcpy(first, name, nameLength);
        failed |= Check8(OCIBindByPos(stmt, &bind, err, 1, &boundDeptno, sizeof boundDeptno, SQLT_INT, NULL, NULL,
                                      NULL, 0, NULL, OCI_DEFAULT), "bind position 1");
        failed |= Check8(OCIBindByPos(stmt, &bind, err, 2, &boundSalary, sizeof boundSalary, SQLT_INT, NULL, NULL,
                                      NULL, 0, NULL, OCI_DEFAULT), "bind position 2");
        OCIDefineByPos(stmt, &define, err, 1, boundNames, sizeof boundNames[0], SQLT_STR, NULL, NULL, NULL,
                       OCI_DEFAULT);
        OCIDefineByPos(stmt, &define, err, 2, boundSalaries, sizeof boundSalaries[0], SQLT_INT, NULL, NULL, NULL,
                       OCI_DEFAULT);
        failed |= Check8(OCIStmtExecute(svc, stmt, err, 0, 0, NULL, NULL, OCI_DEFAULT), "execute by position");
        failed |= Check8(OCIStmtFetch2(stmt, err, 4, OCI_FETCH_NEXT, 0, OCI_DEFAULT), "fetch by position");
        OCIAttrGet(stmt, OCI_HTYPE_STMT, &rows, NULL, OCI_ATTR_ROWS_FETCHED, err);
        failed |= ShowBound((int)columns, first, (int)rows);
    }

    OCIHandleFree(stmt, OCI_HTYPE_STMT);
    OCISessionEnd(svc, err, session, OCI_DEFAULT);
    OCIServerDetach(server, err, OCI_DEFAULT);
    OCIHandleFree(session, OCI_HTYPE_SESSION);
    OCIHandleFree(svc, OCI_HTYPE_SVCCTX);
    OCIHandleFree(server, OCI_HTYPE_SERVER);
    OCIHandleFree(err, OCI_HTYPE_ERROR);
    OCIHandleFree(env, OCI_HTYPE_ENV);
    return failed;
}

#endif /* EXAMPLE_RELEASE7_ONLY */

static Lda_Def lda;
static Cda_Def cda;
static ub8 hda[HDA_SIZE / sizeof(ub8)];

static int Check7(sword status, Cda_Def* area, const char* what) {
    if (status == 0) return 0;
    {
        text message[512] = "";
        oerhms(&lda, (sb2)area->rc, message, (sword)sizeof message);
        fprintf(stderr, "%s failed (%d): %s", what, (int)area->rc, (char*)message);
    }
    return 1;
}

static int Run7(void) {
    int count = 0;
    int fetched = 0;
    int batches = 0;
    ub4 before = 0;
    sword status;
    int failed = 0;

    opinit(OCI_EV_TSF);
    if (olog(&lda, (ub1*)hda, (OraText*)"SCOTT", -1, (OraText*)"TIGER", -1, (OraText*)"DEMO", -1, OCI_LM_DEF)) {
        return Check7(1, &lda, "logon");
    }
    if (Check7(oopen(&cda, &lda, NULL, -1, -1, NULL, -1), &cda, "open")) return 1;

    /* Count. */
    failed |= Check7(oparse(&cda, (OraText*)kCount, -1, 1, 1), &cda, "parse count");
    failed |= Check7(odefin(&cda, 1, (ub1*)&count, sizeof count, SQLT_INT, -1, NULL, NULL, -1, -1, NULL, NULL), &cda,
                     "define count");
    failed |= Check7(oexfet(&cda, 1, 0, 1), &cda, "count");

    /* List, 100 rows a call. */
    failed |= Check7(oparse(&cda, (OraText*)kList, -1, 1, 1), &cda, "parse list");
    odefin(&cda, 1, (ub1*)addresses, ADDRESS_SIZE, SQLT_STR, -1, NULL, NULL, -1, -1, NULL, NULL);
    odefin(&cda, 2, (ub1*)executions, sizeof(int), SQLT_INT, -1, NULL, NULL, -1, -1, NULL, NULL);
    odefin(&cda, 3, (ub1*)diskReads, sizeof(double), SQLT_FLT, -1, readIndicators, NULL, -1, -1, NULL, NULL);
    odefin(&cda, 4, (ub1*)texts, TEXT_SIZE, SQLT_STR, -1, textIndicators, NULL, -1, -1, NULL, NULL);
    failed |= Check7(oexec(&cda), &cda, "list");
    do {
        before = cda.rpc;
        status = ofen(&cda, BATCH);
        if (status != 0 && cda.rc != 1403) return Check7(status, &cda, "fetch");
        if (cda.rpc > before) {
            if (batches == 0) printf("first statement: %s %d executions: %.60s\n", addresses[0], executions[0],
                                     texts[0]);
            ++batches;
        }
        fetched += (int)(cda.rpc - before);
    } while (status == 0);
    failed |= Summarise(count, fetched, batches);

    /* Explain. */
    failed |= Check7(oparse(&cda, (OraText*)kCreate, -1, 1, 1), &cda, "parse create");
    failed |= Check7(oexec(&cda), &cda, "create procedure");
    failed |= Check7(oparse(&cda, (OraText*)kCall, -1, 1, 1), &cda, "parse call");
    strcpy(sqlText, kExplained);
    plan[0] = '\0';
    exceptionText[0] = '\0';
    planIndicator = -1;
    exceptionIndicator = -1;
    obndrv(&cda, (OraText*)":i", -1, (ub1*)statementId, (sword)strlen(statementId) + 1, SQLT_STR, -1, NULL, NULL, -1,
           -1);
    obndrv(&cda, (OraText*)":s", -1, (ub1*)sqlText, PLAN_SIZE, SQLT_STR, -1, NULL, NULL, -1, -1);
    obndrv(&cda, (OraText*)":g", -1, (ub1*)goal, sizeof goal, SQLT_STR, -1, NULL, NULL, -1, -1);
    obndrv(&cda, (OraText*)":p", -1, (ub1*)plan, PLAN_SIZE, SQLT_STR, -1, &planIndicator, NULL, -1, -1);
    obndrv(&cda, (OraText*)":e", -1, (ub1*)exceptionText, sizeof exceptionText, SQLT_STR, -1, &exceptionIndicator,
           NULL, -1, -1);
    if (Check7(oexec(&cda), &cda, "explain")) return 1;
    failed |= ShowPlan();
    oparse(&cda, (OraText*)kDrop, -1, 1, 1);
    failed |= Check7(oexec(&cda), &cda, "drop procedure");

    /* Describe before binding (the parse is not deferred), then bind by number. */
    if (Check7(oparse(&cda, (OraText*)kByPosition, -1, 0, 2), &cda, "parse by position")) return 1;
    {
        int described = 0;
        char first[31] = "";
        int rows = 0;
        for (;;) {
            sb4 size = 0;
            sb2 type = 0;
            sb1 name[30];
            sb4 nameLength = sizeof name;
            if (odescr(&cda, described + 1, &size, &type, name, &nameLength, NULL, NULL, NULL, NULL) != 0) {
                if (cda.rc != 1007) return Check7(1, &cda, "describe");
                break;
            }
            if (described == 0 && nameLength < (sb4)sizeof first) memcpy(first, name, (size_t)nameLength);
            ++described;
        }
        failed |= Check7(obndrn(&cda, 1, (ub1*)&boundDeptno, sizeof boundDeptno, SQLT_INT, -1, NULL, NULL, -1, -1),
                         &cda, "bind :1");
        failed |= Check7(obndrn(&cda, 2, (ub1*)&boundSalary, sizeof boundSalary, SQLT_INT, -1, NULL, NULL, -1, -1),
                         &cda, "bind :2");
        {
            /* One row a call into one buffer; each row is kept as it comes. */
            char name[11] = "";
            int salary = 0;
            odefin(&cda, 1, (ub1*)name, sizeof name, SQLT_STR, -1, NULL, NULL, -1, -1, NULL, NULL);
            odefin(&cda, 2, (ub1*)&salary, sizeof salary, SQLT_INT, -1, NULL, NULL, -1, -1, NULL, NULL);
            failed |= Check7(oexec(&cda), &cda, "execute by position");
            while (rows < 4 && ofetch(&cda) == 0) {
                memcpy(boundNames[rows], name, sizeof name);
                boundSalaries[rows] = salary;
                ++rows;
            }
            if (cda.rc != 1403) failed |= Check7(1, &cda, "fetch by position");
        }
        failed |= ShowBound(described, first, rows);
    }

    oclose(&cda);
    ologof(&lda);
    return failed;
}

int main(int argc, char** argv) {
#ifdef EXAMPLE_RELEASE7_ONLY
    (void)argc;
    (void)argv;
    printf("client: release 7 (libociw32)\n");
    return Run7() ? EXIT_FAILURE : EXIT_SUCCESS;
#else
    const int generation = argc > 1 ? atoi(argv[1]) : 8;
    printf("client: release %d\n", generation == 7 ? 7 : 8);
    return (generation == 7 ? Run7() : Run8()) ? EXIT_FAILURE : EXIT_SUCCESS;
#endif
}
