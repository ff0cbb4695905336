// The SQL subset: parsing errors, expressions, NULL semantics, LIKE, IN,
// subqueries, ROWNUM, ORDER BY and grouping, against the demo's SCOTT schema.

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "ocisim/engine/Database.h"

using namespace ocisim;
using namespace ocisim::test;

namespace {

class SqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = DemoServer();
        scott = Logon(*server, "SCOTT", "TIGER");
        ASSERT_TRUE(scott);
    }
    std::vector<std::string> Query(const std::string& sql, std::vector<Bind> binds = {}) {
        Result r = RunSql(*scott, sql, std::move(binds));
        EXPECT_FALSE(r.error.IsError()) << r.error.message << "\n" << sql;
        EXPECT_FALSE(r.fetchError.IsError()) << r.fetchError.message << "\n" << sql;
        return Texts(r);
    }
    std::string ErrorOf(const std::string& sql, std::vector<Bind> binds = {}) {
        Result r = RunSql(*scott, sql, std::move(binds));
        if (r.error.IsError()) return r.error.message;
        return r.fetchError.message;
    }
    std::shared_ptr<Server> server;
    std::unique_ptr<Session> scott;
};

Bind B(const std::string& name, Value v) {
    Bind b;
    b.name = name;
    b.value = std::move(v);
    return b;
}

}  // namespace

TEST_F(SqlTest, SelectsWithExpressionsAndAliases) {
    EXPECT_EQ(Query("SELECT ename, sal * 12 annual FROM emp WHERE empno = 7839"),
              std::vector<std::string>{"KING|60000"});
    EXPECT_EQ(Query("SELECT 1 + 2 * 3, (1 + 2) * 3, 7 / 2, -3 - -4 FROM dual"),
              std::vector<std::string>{"7|9|3.5|1"});
    Result r = RunSql(*scott, "SELECT COUNT(1), SUM(sal) total FROM emp");
    ASSERT_EQ(r.columns.size(), 2u);
    EXPECT_EQ(r.columns[0].name, "COUNT(1)");
    EXPECT_EQ(r.columns[1].name, "TOTAL");
    EXPECT_EQ(Texts(r), std::vector<std::string>{"14|29025"});
    EXPECT_EQ(Query("SELECT 'a' || NULL || 'b', 5 || '' FROM dual"), std::vector<std::string>{"ab|5"});
}

TEST_F(SqlTest, NullSemantics) {
    // comm is NULL for most rows: comparisons with NULL are unknown, never true.
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE comm = NULL"), std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE comm <> 0"), std::vector<std::string>{"3"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE NOT (comm > 0)"), std::vector<std::string>{"1"});
    EXPECT_EQ(Query("SELECT COUNT(*), COUNT(comm), SUM(comm) FROM emp"), std::vector<std::string>{"14|4|2200"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE comm IS NULL"), std::vector<std::string>{"10"});
    EXPECT_EQ(Query("SELECT NVL(comm, -1) FROM emp WHERE empno = 7369"), std::vector<std::string>{"-1"});
    EXPECT_EQ(Query("SELECT sal + comm FROM emp WHERE empno = 7369"), std::vector<std::string>{"<null>"});
    // NOT IN with a NULL in the list matches nothing.
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE deptno NOT IN (10, NULL)"), std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE mgr NOT IN (SELECT mgr FROM emp)"), std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT DECODE(comm, NULL, 'none', 0, 'zero', 'some') FROM emp WHERE empno IN (7369, 7844, 7499) ORDER BY empno"),
              (std::vector<std::string>{"none", "some", "zero"}));
    EXPECT_EQ(Query("SELECT SUM(comm) FROM emp WHERE deptno = 10"), std::vector<std::string>{"<null>"});
}

TEST_F(SqlTest, LikeIsCaseSensitiveWithWildcards) {
    EXPECT_EQ(Query("SELECT ename FROM emp WHERE ename LIKE 'M%' ORDER BY ename"),
              (std::vector<std::string>{"MARTIN", "MILLER"}));
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE ename LIKE 'm%'"), std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT ename FROM emp WHERE ename LIKE '_ING'"), std::vector<std::string>{"KING"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE ename NOT LIKE '%A%'"), std::vector<std::string>{"7"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dual WHERE 'a%b' LIKE 'a\\%b' ESCAPE '\\'"), std::vector<std::string>{"1"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dual WHERE 'axb' LIKE 'a\\%b' ESCAPE '\\'"), std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dual WHERE 'a!b' LIKE 'a!!b' ESCAPE '!'"), std::vector<std::string>{"1"});
    // "_" stands for one character of a multi-byte text, not one byte.
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dual WHERE 'Gr\xC3\xBC\xC3\x9F" "e' LIKE 'Gr__e'"),
              std::vector<std::string>{"1"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dual WHERE 'Gr\xC3\xBC\xC3\x9F" "e' LIKE 'Gr____e'"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dual WHERE 'x\xE2\x82\xACy' LIKE '%_y'"), std::vector<std::string>{"1"});
    // The escape character quotes only "%", "_" and itself; these patterns were taken literally.
    EXPECT_EQ(ErrorOf("SELECT COUNT(*) FROM dual WHERE 'ab' LIKE 'a!b' ESCAPE '!'"),
              "ORA-01424: missing or illegal character following the escape character");
    EXPECT_EQ(ErrorOf("SELECT COUNT(*) FROM dual WHERE 'ab' LIKE 'ab!' ESCAPE '!'"),
              "ORA-01424: missing or illegal character following the escape character");
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE UPPER(ename) LIKE UPPER(:p)", {B("p", Value::Str("%ll%"))}),
              std::vector<std::string>{"2"});
}

TEST_F(SqlTest, InSubqueriesAndCorrelation) {
    EXPECT_EQ(Query("SELECT dname FROM dept WHERE deptno IN (SELECT deptno FROM emp WHERE job = 'ANALYST')"),
              std::vector<std::string>{"RESEARCH"});
    EXPECT_EQ(Query("SELECT dname FROM dept WHERE deptno NOT IN (SELECT deptno FROM emp)"),
              std::vector<std::string>{"OPERATIONS"});
    // Correlated: the inner unqualified deptno is emp's, the outer one dept's.
    EXPECT_EQ(Query("SELECT dname FROM dept d WHERE EXISTS (SELECT 1 FROM emp WHERE deptno = d.deptno AND sal > 4000)"),
              std::vector<std::string>{"ACCOUNTING"});
    EXPECT_EQ(Query("SELECT ename FROM emp e WHERE sal > (SELECT AVG(sal) FROM emp WHERE deptno = e.deptno) AND deptno = 10"),
              std::vector<std::string>{"KING"});
    EXPECT_EQ(ErrorOf("SELECT ename FROM emp WHERE sal = (SELECT sal FROM emp)"),
              "ORA-01427: single-row subquery returns more than one row");
}

TEST_F(SqlTest, RownumAndOrdering) {
    EXPECT_EQ(Query("SELECT ename FROM emp WHERE ROWNUM = 1"), std::vector<std::string>{"SMITH"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE ROWNUM > 1"), std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE ROWNUM <= 5"), std::vector<std::string>{"5"});
    EXPECT_EQ(Query("SELECT ename FROM emp WHERE deptno = 10 ORDER BY sal DESC"),
              (std::vector<std::string>{"KING", "CLARK", "MILLER"}));
    EXPECT_EQ(Query("SELECT ename, comm FROM emp WHERE deptno = 30 ORDER BY comm, 1"),
              (std::vector<std::string>{"TURNER|0", "ALLEN|300", "WARD|500", "MARTIN|1400", "BLAKE|<null>", "JAMES|<null>"}));
    EXPECT_EQ(Query("SELECT deptno, COUNT(*) n FROM emp GROUP BY deptno HAVING COUNT(*) > 3 ORDER BY n"),
              (std::vector<std::string>{"20|5", "30|6"}));
}

TEST_F(SqlTest, FunctionsAndDates) {
    EXPECT_EQ(Query("SELECT ROUND(2.5), ROUND(-2.5), ROUND(1234.5678, 2), TRUNC(9.99) FROM dual"),
              std::vector<std::string>{"3|-3|1234.57|9"});
    // Half away from zero on the decimal value; just below the half stays below.
    EXPECT_EQ(Query("SELECT ROUND(2.675, 2), ROUND(-0.125, 2), ROUND(2.4999999995), ROUND(-15, -1) FROM dual"),
              std::vector<std::string>{"2.68|-.13|2|-20"});
    EXPECT_EQ(Query("SELECT UPPER('abc'), LPAD('x', 4, '.'), LPAD(' ', 0), SUBSTR('oracle', 2, 3), CHR(65) FROM dual"),
              std::vector<std::string>{"ABC|...x|<null>|rac|A"});
    EXPECT_EQ(Query("SELECT TO_CHAR(TO_DATE('2024-03-11/09:30:05', 'YYYY-MM-DD/HH24:MI:SS') + 1, 'YYYY-MM-DD/HH24:MI:SS') FROM dual"),
              std::vector<std::string>{"2024-03-12/09:30:05"});
    EXPECT_EQ(Query("SELECT ROUND((TO_DATE('2024-03-11/10:00:00', 'YYYY-MM-DD/HH24:MI:SS') - "
                    "TO_DATE('2024-03-11/09:00:00', 'YYYY-MM-DD/HH24:MI:SS')) * 24 * 60, 0) FROM dual"),
              std::vector<std::string>{"60"});
    EXPECT_EQ(ErrorOf("SELECT TO_DATE('2024-13-01', 'YYYY-MM-DD') FROM dual"), "ORA-01843: not a valid month");
    std::vector<std::string> id = Query("SELECT USERENV('SESSIONID') FROM dual");
    ASSERT_EQ(id.size(), 1u);
    EXPECT_EQ(id[0], std::to_string(scott->SessionId()));
}

TEST_F(SqlTest, NumbersAsTextHaveNoExponentAndNoBinaryNoise) {
    // Small fractions once came out with the double's binary tail
    // (".0000100000000000000008180305391403130955").
    EXPECT_EQ(Query("SELECT 0.00001, -0.00001, 1e-7, 0.5 || '', 123.456, 2/3 FROM dual"),
              std::vector<std::string>{".00001|-.00001|.0000001|.5|123.456|.666666666666667"});
    EXPECT_EQ(Query("SELECT 1e20, 1.5e25, 4503599627370497, -1e15 FROM dual"),
              std::vector<std::string>{
                  "100000000000000000000|15000000000000000000000000|4503599627370497|-1000000000000000"});
}

TEST_F(SqlTest, ToCharFollowsTheNumberFormatModel) {
    // The model was ignored: TO_CHAR(5, '000') gave "5".
    EXPECT_EQ(Query("SELECT '[' || TO_CHAR(1234.5, '9999.99') || '|' || TO_CHAR(5, '000') || '|' || "
                    "TO_CHAR(0.5, '9.9') || '|' || TO_CHAR(0, '999') || '|' || TO_CHAR(-5, '999') || ']' FROM dual"),
              std::vector<std::string>{"[ 1234.50| 005|  .5|   0|  -5]"});
    EXPECT_EQ(Query("SELECT TO_CHAR(12345, '999'), TO_CHAR(1234567, '9,999,999'), TO_CHAR(2.675, 'FM9.99'), "
                    "TO_CHAR(1.5, 'FM9.99'), TO_CHAR(-0.5, 'FM990.0') FROM dual"),
              std::vector<std::string>{"####| 1,234,567|2.68|1.5|-0.5"});
    EXPECT_EQ(ErrorOf("SELECT TO_CHAR(1, 'X9') FROM dual"), "ORA-01481: invalid number format model");
    // Results beyond NUMBER's range came back as digits of a double.
    EXPECT_EQ(ErrorOf("SELECT 1e125 * 10 FROM dual"), "ORA-01426: numeric overflow");
    EXPECT_EQ(ErrorOf("SELECT POWER(10, 130) FROM dual"), "ORA-01426: numeric overflow");
    EXPECT_EQ(Query("SELECT 1e-100 * 1e-100 FROM dual"), std::vector<std::string>{"0"});
}

TEST_F(SqlTest, OracleErrorsForBadStatements) {
    EXPECT_EQ(ErrorOf("SELEKT * FROM emp"), "ORA-00900: invalid SQL statement");
    EXPECT_EQ(ErrorOf("SELECT * FROM emp WHERE"), "ORA-00936: missing expression");
    EXPECT_EQ(ErrorOf("SELECT * FROM emp emp2 extra"), "ORA-00933: SQL command not properly ended");
    EXPECT_EQ(ErrorOf("SELECT * FROM emp;"), "ORA-00911: invalid character");
    EXPECT_EQ(ErrorOf("SELECT ename sal FROM"), "ORA-00903: invalid table name");
    EXPECT_EQ(ErrorOf("SELECT nosuch FROM emp"), "ORA-00904: \"NOSUCH\": invalid identifier");
    EXPECT_EQ(ErrorOf("SELECT e.nosuch FROM emp e"), "ORA-00904: \"E\".\"NOSUCH\": invalid identifier");
    EXPECT_EQ(ErrorOf("SELECT * FROM nosuch"), "ORA-00942: table or view does not exist");
    EXPECT_EQ(ErrorOf("SELECT * FROM hr.employees"), "ORA-00942: table or view does not exist");
    EXPECT_EQ(ErrorOf("SELECT deptno FROM emp, dept"), "ORA-00918: column ambiguously defined");
    EXPECT_EQ(ErrorOf("SELECT ename FROM emp WHERE empno = :x"), "ORA-01008: not all variables bound");
    EXPECT_EQ(ErrorOf("SELECT ename, COUNT(*) FROM emp"), "ORA-00937: not a single-group group function");
    EXPECT_EQ(ErrorOf("SELECT 'x' FROM emp WHERE SUM(sal) > 1"), "ORA-00934: group function is not allowed here");
    EXPECT_EQ(ErrorOf("SELECT 1 / 0 FROM dual"), "ORA-01476: divisor is equal to zero");
    EXPECT_EQ(ErrorOf("SELECT 'abc' + 1 FROM dual"), "ORA-01722: invalid number");
    EXPECT_EQ(ErrorOf("SELECT 'abc FROM dual"), "ORA-01756: quoted string not properly terminated");
    EXPECT_EQ(ErrorOf("SELECT FROM dual"), "ORA-00936: missing expression");
    EXPECT_EQ(ErrorOf("SELECT NOSUCHFN(1) FROM dual"), "ORA-00904: \"NOSUCHFN\": invalid identifier");
    EXPECT_EQ(ErrorOf("SELECT ROUND() FROM dual"), "ORA-00909: invalid number of arguments");
}

TEST_F(SqlTest, BindsByNameIgnoringCase) {
    EXPECT_EQ(Query("SELECT ename FROM emp WHERE empno = :B1", {B("b1", Value::Num(7788))}),
              std::vector<std::string>{"SCOTT"});
    EXPECT_EQ(Query("SELECT ename FROM emp WHERE empno = :1", {B("1", Value::Str("7902"))}),
              std::vector<std::string>{"FORD"});
}

TEST_F(SqlTest, DmlChangesAndRollsBack) {
    Result ins = RunSql(*scott, "INSERT INTO dept VALUES (50, 'TESTING', NULL)");
    ASSERT_FALSE(ins.error.IsError()) << ins.error.message;
    EXPECT_EQ(ins.rowsProcessed, 1u);
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dept"), std::vector<std::string>{"5"});
    Result upd = RunSql(*scott, "UPDATE dept SET loc = 'PARIS' WHERE deptno >= 40");
    EXPECT_EQ(upd.rowsProcessed, 2u);
    ASSERT_FALSE(scott->Rollback().IsError());
    EXPECT_EQ(Query("SELECT COUNT(*) FROM dept"), std::vector<std::string>{"4"});
    EXPECT_EQ(Query("SELECT loc FROM dept WHERE deptno = 40"), std::vector<std::string>{"BOSTON"});
    EXPECT_EQ(ErrorOf("INSERT INTO dept VALUES (1, 'X')"), "ORA-00947: not enough values");
    EXPECT_EQ(ErrorOf("INSERT INTO dept (deptno, dname) VALUES (1, 'A REALLY LONG DEPARTMENT NAME')"),
              "ORA-12899: value too large for column \"SCOTT\".\"DEPT\".\"DNAME\" (actual: 29, maximum: 14)");
    EXPECT_EQ(ErrorOf("INSERT INTO dept (dname) VALUES ('X')"),
              "ORA-01400: cannot insert NULL into (\"SCOTT\".\"DEPT\".\"DEPTNO\")");
}

TEST(ClassifyStatementTest, FirstKeywordAfterComments) {
    EXPECT_EQ(ClassifyStatement("/* $CORVID$ */ SELECT 1 FROM dual"), StatementType::Select);
    EXPECT_EQ(ClassifyStatement("  -- x\n begin null; end;"), StatementType::Begin);
    EXPECT_EQ(ClassifyStatement("ALTER SYSTEM FLUSH SHARED_POOL"), StatementType::Alter);
    EXPECT_EQ(ClassifyStatement("EXPLAIN PLAN FOR SELECT 1 FROM dual"), StatementType::Unknown);
    EXPECT_EQ(ClassifyStatement("DECLARE x NUMBER; BEGIN NULL; END;"), StatementType::Declare);
}

TEST_F(SqlTest, LongInListsOfLiteralsAnswerAsTheShortOnes) {
    // Twenty items: the long lists are looked up in a set, the short ones scanned.
    std::string numbers = "7369, 7499, 7521", numberTexts = "'7369', '7499', '7521'", names = "'KING', 'SCOTT'";
    for (int i = 1; i <= 17; ++i) {
        numbers += ", " + std::to_string(i);
        numberTexts += ", '" + std::to_string(i) + "'";
    }
    for (int i = 1; i <= 18; ++i)
        names += ", 'NOBODY" + std::to_string(i) + "'";
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE empno IN (" + numbers + ")"), std::vector<std::string>{"3"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE empno NOT IN (" + numbers + ")"), std::vector<std::string>{"11"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE empno + 0.5 IN (" + numbers + ", 7369.5)"),
              std::vector<std::string>{"1"});
    // A NULL in the list: NOT IN is never true, IN still finds the listed values.
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE empno NOT IN (" + numbers + ", NULL)"),
              std::vector<std::string>{"0"});
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE empno IN (NULL, " + numbers + ")"), std::vector<std::string>{"3"});
    EXPECT_EQ(Query("SELECT ename FROM emp WHERE ename IN (" + names + ") ORDER BY ename"),
              (std::vector<std::string>{"KING", "SCOTT"}));
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE ename NOT IN (" + names + ")"), std::vector<std::string>{"12"});
    // Texts against a number are converted, as in a short list.
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE empno IN (" + numberTexts + ")"), std::vector<std::string>{"3"});
    EXPECT_EQ(ErrorOf("SELECT COUNT(*) FROM emp WHERE empno IN (" + numberTexts + ", 'x')"),
              ErrorOf("SELECT COUNT(*) FROM emp WHERE empno IN (7369, 'x')"));
    EXPECT_EQ(Query("SELECT COUNT(*) FROM emp WHERE TO_CHAR(empno) IN (" + numbers + ")"),
              std::vector<std::string>{"3"});
}

// Concatenation chains, nested either way, with NULLs, numbers and dates among
// the pieces; all NULL gives NULL.
TEST_F(SqlTest, ConcatenationChainsJoinEveryPieceInOrder) {
    EXPECT_EQ(Query("SELECT 'a' || NULL || 'b' || 1.5 || ('c' || (NULL || 'd')) || NULL FROM dual"),
              std::vector<std::string>{"ab1.5cd"});
    EXPECT_EQ(Query("SELECT NVL(NULL || NULL || '', 'none') FROM dual"), std::vector<std::string>{"none"});
    EXPECT_EQ(Query("SELECT ename || '/' || empno || '/' || comm FROM emp WHERE empno = 7369"),
              std::vector<std::string>{"SMITH/7369/"});
    EXPECT_EQ(ErrorOf("SELECT 'a' || TO_NUMBER('x') || 'b' FROM dual").substr(0, 9), "ORA-01722");
}

// Tables are looked up by owner and name without joining them: the order of the
// two parts must be the order of the joined key, '.' and its neighbours included.
TEST(ObjectKeyTest, PartsCompareAsTheJoinedKey) {
    const std::vector<std::string> parts = {"", "A", "AB", "A.B", "A-B", "A/B", "B", "SCOTT", "SCOTT.X", "\xC3\x84"};
    auto sign = [](int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; };
    for (const std::string& owner : parts) {
        for (const std::string& name : parts) {
            const std::string joined = owner + "." + name;
            for (const std::string& a : parts) {
                for (const std::string& b : parts) {
                    for (const std::string& key : {a, a + "." + b, a + "-" + b, a + "/" + b}) {
                        EXPECT_EQ(sign(ObjectKeyLess::Compare(key, ObjectName{owner, name})), sign(key.compare(joined)))
                            << key << " against " << joined;
                    }
                }
            }
        }
    }
}

// A DELETE leaves the rows it had to a query still reading them and to the undo:
// a rollback gives back the rows as the last commit left them.
TEST(DeleteTest, KeepsTheOldRowsForOpenQueriesAndRollback) {
    auto server = ServerFor("user SCOTT id=54 password=TIGER privileges=create-procedure\n");
    auto scott = Logon(*server, "SCOTT", "TIGER");
    ASSERT_FALSE(RunSql(*scott, "CREATE TABLE t (id NUMBER, grp NUMBER)").error.IsError());
    for (int id = 1; id <= 9; ++id)
        RunSql(*scott, "INSERT INTO t VALUES (" + std::to_string(id) + ", " + std::to_string(id % 3) + ")");
    ASSERT_FALSE(scott->Commit().IsError());
    auto count = [&](const std::string& where) { return Texts(RunSql(*scott, "SELECT COUNT(*) FROM t" + where)); };
    std::vector<Bind> none;
    ExecResult open = scott->Execute("SELECT id FROM t", none, false);
    ASSERT_FALSE(open.error.IsError()) << open.error.message;
    EXPECT_EQ(RunSql(*scott, "DELETE t WHERE grp = 1").rowsProcessed, 3u);
    std::vector<Value> row;
    OraError error;
    std::vector<std::string> read;
    while (open.rows->Next(row, error)) read.push_back(row[0].ToText());
    EXPECT_EQ(read, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7", "8", "9"}));
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT id FROM t")), (std::vector<std::string>{"2", "3", "5", "6", "8", "9"}));
    ASSERT_FALSE(scott->Rollback().IsError());
    EXPECT_EQ(count(""), std::vector<std::string>{"9"});
    RunSql(*scott, "DELETE t WHERE grp = 2");
    ASSERT_FALSE(scott->Commit().IsError());
    RunSql(*scott, "DELETE t WHERE grp = 1");
    RunSql(*scott, "INSERT INTO t VALUES (10, 1)");
    RunSql(*scott, "DELETE t");
    EXPECT_EQ(count(""), std::vector<std::string>{"0"});
    ASSERT_FALSE(scott->Rollback().IsError());
    EXPECT_EQ(Texts(RunSql(*scott, "SELECT id FROM t")), (std::vector<std::string>{"1", "3", "4", "6", "7", "9"}));
}
