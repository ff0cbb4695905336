#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "sqltext/SqlFamilyText.h"

namespace corvid {
namespace {

using Cases = std::vector<std::pair<std::string, std::string>>;

void ExpectFamilyTexts(const Cases& cases) {
    for (const auto& [sql, family] : cases)
        EXPECT_EQ(SqlFamilyText(sql), family) << "for: " << sql;
}

TEST(SqlFamilyText, StringLiteralsOfEveryQuotingBecomeOnePlaceholder) {
    ExpectFamilyTexts({
        {"select * from emp where name = 'Smith'", "SELECT * FROM EMP WHERE NAME = ?"},
        {"select * from emp where name = 'O''Brien' and x = ''", "SELECT * FROM EMP WHERE NAME = ? AND X = ?"},
        {"where a = N'abc' and b = n'd''e'", "WHERE A = ? AND B = ?"},
        {"where a = q'[it's]' and b = Q'{x'}y}'", "WHERE A = ? AND B = ?"},
        {"where a = q'(a)b)' and b = q'<x>' and c = nq'!it's!' and d = NQ'#a#'",
         "WHERE A = ? AND B = ? AND C = ? AND D = ?"},
        {"select 'a'||'b' from dual", "SELECT ? || ? FROM DUAL"},
        // A name that only ends in n or q is a name before a literal.
        {"select colq'x' from dual", "SELECT COLQ ? FROM DUAL"},
        {"select date '2024-01-31', interval '5' day from dual", "SELECT DATE ?, INTERVAL ? DAY FROM DUAL"},
    });
}

TEST(SqlFamilyText, NumbersBecomePlaceholdersButDigitsInNamesStay) {
    ExpectFamilyTexts({
        {"select c1, t2.col_3, x$y#4 from t1 where id = 42", "SELECT C1, T2.COL_3, X$Y#4 FROM T1 WHERE ID = ?"},
        {"where a = 1.5 and b = .5 and c = 7. and d = 1e10 and e = 2.5E-3 and f = 3e+2",
         "WHERE A = ? AND B = ? AND C = ? AND D = ? AND E = ? AND F = ?"},
        {"where a = 1.5f and b = 2D and c = 3 dx", "WHERE A = ? AND B = ? AND C = ? DX"},
        {"for i in 1..10 loop null; end loop;", "FOR I IN ?..? LOOP NULL; END LOOP;"},
        // A sign belongs to the number only where it cannot be an operator.
        {"where a = -5 and b=+2 and c - 1 > x-2 and d in (f(-1))",
         "WHERE A = ? AND B = ? AND C - ? > X - ? AND D IN (F(?))"},
        {"select -1, 2 - -3 from dual", "SELECT ?, ? - ? FROM DUAL"},
        {"select * from t where (a) - 1 = 0", "SELECT * FROM T WHERE (A) - ? = ?"},
    });
}

TEST(SqlFamilyText, BlanksCaseCommentsAndHints) {
    ExpectFamilyTexts({
        {"  select\t*\r\n  from   emp \n", "SELECT * FROM EMP"},
        {"select /* who */ a -- why\nfrom b", "SELECT A FROM B"},
        {"select/*x*/a/*y*/from b", "SELECT A FROM B"},
        {"select /*+  index(e   emp_i1) */ * from emp e", "SELECT /*+ index(e emp_i1) */ * FROM EMP E"},
        {"select --+ full(e)\n * from emp e", "SELECT /*+ full(e) */ * FROM EMP E"},
        {"select --+ a */ b\n 1 from dual", "SELECT /*+ a * / b */ ? FROM DUAL"},
        // Quoted names and bind variables keep their case; :: and := are operators.
        {"select \"MixedCase\" from \"My Tab\" where a = :b1 and b = :Name and c = :1 and d = :\"Q b\"",
         "SELECT \"MixedCase\" FROM \"My Tab\" WHERE A = :b1 AND B = :Name AND C = :1 AND D = :\"Q b\""},
        {"begin x := 1; end;", "BEGIN X := ?; END;"},
        // Letters beyond ASCII are upper-cased; literals keep nothing of theirs.
        {"select größe from straße where name = 'é'", "SELECT GRÖßE FROM STRAßE WHERE NAME = ?"},
    });
}

// Blanks are the family text's own: one between tokens, none inside brackets, before
// commas or around dots, and none before "(" after a name that is no keyword.
TEST(SqlFamilyText, SpacingAroundOperatorsAndPunctuationDoesNotPartAFamily) {
    const std::vector<std::vector<std::string>> spellings = {
        {"select * from emp where a=1", "select * from emp where a = 1", "select*from emp where a =1"},
        {"select a,b from t", "select a , b from t", "select a ,b from t"},
        {"select count(*) from t where x<>1 and y>=2 and s||t='a'",
         "select count ( * ) from t where x <> 1 and y >= 2 and s || t = 'a'"},
        {"insert into t (a, b) values(1,2)", "insert into t(a,b) values (3, 4)"},
        {"begin x:=1; end;", "begin x := 2 ; end ;"},
        {"select e.ename from emp e, dept@remote d where e.deptno=d.deptno(+) and e.sal > -1",
         "select e . ename from emp e,dept @ remote d where e.deptno = d.deptno (+) and e.sal>-1"},
        {"select * from (select a from t) where b in(1,2)", "select * from(select a from t)where b in (3)"},
    };
    for (const std::vector<std::string>& same : spellings)
        for (const std::string& sql : same)
            EXPECT_EQ(SqlFamilyText(sql), SqlFamilyText(same.front())) << "for: " << sql;
    ExpectFamilyTexts({
        {"select count(*) from t where x<>1 and y>=2 and s||t='a'",
         "SELECT COUNT(*) FROM T WHERE X <> ? AND Y >= ? AND S || T = ?"},
        {"select e.ename from emp e, dept@remote d where e.deptno=d.deptno(+) and e.sal > -1",
         "SELECT E.ENAME FROM EMP E, DEPT@REMOTE D WHERE E.DEPTNO = D.DEPTNO(+) AND E.SAL > ?"},
        {"select * from(select a from t)where b in(1,2)", "SELECT * FROM (SELECT A FROM T) WHERE B IN (?+)"},
        // Multi-character operators stay whole; a unary minus is an operator of its own.
        {"select a<=b, a=>b, x**2, -a from t", "SELECT A <= B, A => B, X ** ?, - A FROM T"},
    });
}

TEST(SqlFamilyText, LiteralListsOfAnyLengthShareOnePlaceholderList) {
    const std::string one = SqlFamilyText("select * from t where id in (1)");
    EXPECT_EQ(one, "SELECT * FROM T WHERE ID IN (?+)");
    EXPECT_EQ(SqlFamilyText("select * from t where id in (1, 2, 3)"), one);
    EXPECT_EQ(SqlFamilyText("select * from t where id IN ( -1 , 'x' /* c */, 2.5e3 )"), one);
    ExpectFamilyTexts({
        {"insert into t values (1, 'a', -2)", "INSERT INTO T VALUES (?+)"},
        {"insert into t(a,b) values(1,2)", "INSERT INTO T(A, B) VALUES (?+)"},
        {"where a = any (1, 2) and b not in ('x') and c = all (3)",
         "WHERE A = ANY (?+) AND B NOT IN (?+) AND C = ALL (?+)"},
        // Not literals only: each literal alone.
        {"insert into t values (1, sysdate, :b)", "INSERT INTO T VALUES (?, SYSDATE, :b)"},
        {"where id in (select 1 from dual)", "WHERE ID IN (SELECT ? FROM DUAL)"},
        {"where id in (1, 2", "WHERE ID IN (?, ?"},
        {"where id in ()", "WHERE ID IN ()"},
        // Other calls keep their arguments apart.
        {"select to_date('2024', 'yyyy'), substr(a, 1, 2) from t", "SELECT TO_DATE(?, ?), SUBSTR(A, ?, ?) FROM T"},
    });
}

TEST(SqlFamilyText, MalformedTextGivesAFamilyTextWithoutFailing) {
    ExpectFamilyTexts({
        {"", ""},
        {"   \n\t ", ""},
        {"select 'unterminated", "SELECT ?"},
        {"select q'[unterminated", "SELECT ?"},
        {"select q'", "SELECT ?"},
        {"select \"unterminated", "SELECT \"unterminated"},
        {"select a /* unterminated", "SELECT A"},
        {"select /*+ unterminated\n hint", "SELECT /*+ unterminated hint"},
        {"select a -- to the end", "SELECT A"},
        {"select :", "SELECT :"},
        {"where id in ('a', 'b", "WHERE ID IN (?, ?"},
    });
    const std::string withNul("select a\0b from t where x = 'a\0b'", 33);
    EXPECT_EQ(SqlFamilyText(withNul), std::string("SELECT A \0 B FROM T WHERE X = ?", 31));
    // Bytes that are not UTF-8 stay as they are; literals with them still vanish.
    EXPECT_EQ(SqlFamilyText("select \xff\xfe"
                            "ab from t where x = '\xc3'"),
              "SELECT \xff\xfe"
              "AB FROM T WHERE X = ?");
}

TEST(SqlFamilyText, LongTextsWithManyLiteralsKeepTheirShape) {
    std::string sql = "select * from t where id in (";
    std::string other = sql;
    for (int i = 0; i < 12000; ++i) {
        sql += (i ? ", " : "") + std::to_string(i);
        other += (i ? ",'" : "'") + std::to_string(i * 7) + "'";
    }
    sql += ")";
    other += ")";
    ASSERT_GT(sql.size(), 60000u);
    EXPECT_EQ(SqlFamilyText(sql), "SELECT * FROM T WHERE ID IN (?+)");
    EXPECT_EQ(SqlFamilyText(other), "SELECT * FROM T WHERE ID IN (?+)");

    std::string unterminated(60000, 'x');
    unterminated[0] = '\'';
    EXPECT_EQ(SqlFamilyText(unterminated), "?");
}

// Random bytes from an alphabet rich in quotes, comment starts, signs and digits:
// never a failure, and the family text is its own family text, so nothing that
// the text shows can read as a different statement.
TEST(SqlFamilyText, RandomTextsGiveStableFamilyTexts) {
    static const char kAlphabet[] =
        "'\"qQnN-+/*()[]{}<>!,.:=;eE019 \t\n\r\0\xc3\xa9\xff"
        "axIN";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    std::mt19937 rng(14);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<std::size_t> length(0, 40);
    for (int round = 0; round < 20000; ++round) {
        std::string sql;
        const std::size_t n = length(rng);
        for (std::size_t i = 0; i < n; ++i)
            sql += alphabet[pick(rng)];
        std::string family;
        ASSERT_NO_THROW(family = SqlFamilyText(sql)) << sql;
        ASSERT_EQ(SqlFamilyText(family), family) << "for: " << sql;
    }
}

TEST(SqlFamilyText, AppendsAfterWhatIsThere) {
    std::string out = "prefix:";
    AppendSqlFamilyText("  select 1 from dual", out);
    EXPECT_EQ(out, "prefix:SELECT ? FROM DUAL");
}

}  // namespace
}  // namespace corvid
