#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collection/StatementFamilies.h"
#include "list/FamilyColumn.h"
#include "list/ListCtrlEx.h"
#include "list/ListLayout.h"

namespace corvid {
namespace {

CObjectEntry Statement(const std::string& sql, std::int32_t commandType, double bufferGets, std::int32_t userId,
                       const std::string& user, const std::string& loaded = "2026-12-01/10:00:00") {
    CObjectEntry e;
    e.m_SqlText = sql;
    e.m_CommandType = commandType;
    e.m_BufferGets = bufferGets;
    e.m_DiskReads = bufferGets / 10;
    e.m_Executions = 2;
    e.m_ParseCalls = 3;
    e.m_RowsProcessed = 5;
    e.m_Sorts = 1;
    e.m_SharableMem = 1000;
    e.m_PercOfBufferGets = bufferGets / 100;
    e.m_PercOfDiskReads = bufferGets / 200;
    e.m_ParsingUserId = userId;
    e.m_UserName = user;
    e.m_FirstLoadTime = loaded;
    return e;
}

CObjectArray Pool() {
    CObjectArray pool;
    pool.Add(Statement("select * from emp where id = 1", 3, 100, 5, "SCOTT", "2026-12-01/10:00:00"));
    pool.Add(Statement("select * from dept", 3, 7, 5, "SCOTT"));
    // Case and blanks, around operators too, do not part a family.
    pool.Add(Statement("SELECT *  FROM emp WHERE id=22", 3, 50, 7, "HR", ""));
    pool.Add(Statement("select * from emp where id = 'x'", 3, 25, 5, "SCOTT", "2026-11-30/23:59:59"));
    // The same text under another command type is another family.
    pool.Add(Statement("select * from emp where id = 3", 2, 1, 5, "SCOTT"));
    pool.Add(Statement("insert into t values (1, 2)", 2, 3, 9, "APP"));
    pool.Add(Statement("insert into t values (4)", 2, 4, 8, "ADMIN"));
    return pool;
}

TEST(StatementFamilies, GroupsByFamilyTextAndCommandTypeWithSummedFigures) {
    const CObjectArray pool = Pool();
    const CStatementFamilies families(pool);
    ASSERT_EQ(families.GetCount(), 4);
    const std::vector<CFamilyEntry>& f = families.GetFamilies();

    const CFamilyEntry& emp = f[0];
    EXPECT_EQ(emp.m_FamilyText, "SELECT * FROM EMP WHERE ID = ?");
    EXPECT_EQ(emp.m_CommandType, 3);
    EXPECT_EQ(emp.m_Statements, 3);
    EXPECT_EQ(emp.m_BufferGets, 175);
    EXPECT_EQ(emp.m_DiskReads, 17.5);
    EXPECT_EQ(emp.m_Executions, 6);
    EXPECT_EQ(emp.m_ParseCalls, 9);
    EXPECT_EQ(emp.m_RowsProcessed, 15);
    EXPECT_EQ(emp.m_Sorts, 3);
    EXPECT_EQ(emp.m_SharableMem, 3000);
    EXPECT_DOUBLE_EQ(emp.m_PercOfBufferGets, 1.75);
    EXPECT_DOUBLE_EQ(emp.m_PercOfDiskReads, 0.875);
    EXPECT_EQ(emp.m_Users, (std::vector<std::string>{"HR", "SCOTT"}));
    // The oldest member's time; a member without one does not make it empty.
    EXPECT_EQ(emp.m_FirstLoadTime, "2026-11-30/23:59:59");
    EXPECT_EQ(emp.m_Members, (std::vector<CObjectArray::Index>{0, 2, 3}));

    EXPECT_EQ(f[1].m_FamilyText, "SELECT * FROM DEPT");
    EXPECT_EQ(f[2].m_FamilyText, "SELECT * FROM EMP WHERE ID = ?");
    EXPECT_EQ(f[2].m_CommandType, 2);
    // Value lists of different lengths share one family.
    EXPECT_EQ(f[3].m_FamilyText, "INSERT INTO T VALUES (?+)");
    EXPECT_EQ(f[3].m_Statements, 2);
    EXPECT_EQ(f[3].GetUsersText(), "ADMIN, APP");

    EXPECT_EQ(families.FamilyOf(0), 0);
    EXPECT_EQ(families.FamilyOf(3), 0);
    EXPECT_EQ(families.FamilyOf(4), 2);
    EXPECT_EQ(families.FamilyOf(6), 3);
    EXPECT_EQ(families.FamilyOf(7), -1);
    EXPECT_EQ(families.FamilyOf(-1), -1);

    const std::vector<CFamilyEntry> big = families.WithAtLeast(2);
    ASSERT_EQ(big.size(), 2u);
    EXPECT_EQ(big[0].m_FamilyText, emp.m_FamilyText);
    EXPECT_EQ(big[1].m_FamilyText, "INSERT INTO T VALUES (?+)");
}

TEST(StatementFamilies, RebuildingReplacesAndAnEmptyPoolHasNoFamilies) {
    CStatementFamilies families(Pool());
    families.Build(CObjectArray());
    EXPECT_EQ(families.GetCount(), 0);
    EXPECT_EQ(families.FamilyOf(0), -1);
}

TEST(StatementFamilies, TheFamilyLayoutShowsAndSortsTheFamilies) {
    CObjectArray pool = Pool();
    // A second one-statement family with more buffer gets than "dept".
    pool.Add(Statement("select 1 from dual", 3, 900, 5, "SCOTT"));
    const CStatementFamilies families(pool);
    const CListLayout layout = CListLayout::MakeFamilyLayout();

    CListCtrlEx list;
    layout.CreateColumns(list);
    layout.ApplySortKeys(list);
    const std::vector<CFamilyEntry>& f = families.GetFamilies();
    for (int i = 0; i < static_cast<int>(f.size()); ++i) {
        layout.FillRow(list, i, f[static_cast<std::size_t>(i)]);
        list.SetItemData(i, i);
    }
    list.Sort();

    std::vector<std::string> titles;
    for (int c = 0; c < list.GetColumnCount(); ++c)
        titles.push_back(list.GetColumnTitle(c));
    EXPECT_EQ(titles, (std::vector<std::string>{"Statements", "Executions", "Parses", "Buf Get", "Disk Rds", "% Buff.",
                                                "%  Disk", "Sharable Mem", "Users", "Family"}));
    // Statements descending, then buffer gets descending (numbers, not texts).
    std::vector<std::string> order;
    for (int r = 0; r < list.GetItemCount(); ++r)
        order.push_back(list.GetItemText(r, 0) + " " + list.GetItemText(r, 3));
    EXPECT_EQ(order, (std::vector<std::string>{"3 175", "2 7", "1 900", "1 7", "1 1"}));
    EXPECT_EQ(list.GetItemText(0, 5), "1.75");
    EXPECT_EQ(list.GetItemText(0, 6), "0.88");
    EXPECT_EQ(list.GetItemText(0, 8), "HR, SCOTT");
    EXPECT_EQ(list.GetItemText(0, 9), "SELECT * FROM EMP WHERE ID = ?");
    EXPECT_EQ(list.GetItemData(0), 0);
}

}  // namespace
}  // namespace corvid
