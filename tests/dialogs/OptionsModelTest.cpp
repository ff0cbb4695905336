#include "dialogs/OptionsModel.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

std::array<std::string, kFilterRowCount> TextsOf(const SOptionsSettings& s) {
    std::array<std::string, kFilterRowCount> texts;
    for (int row = 0; row < kFilterRowCount; ++row)
        texts[row] = FilterValueText(s, row);
    return texts;
}

TEST(OptionsModelTest, IntegerRowsTakeWholeNumbersWithinTheirBounds) {
    SOptionsSettings s;
    EXPECT_EQ(ReadFilterValue(s, kFilterExecs, " 42 "), "");
    EXPECT_EQ(s.filter.m_FiltExecsV, 42);
    EXPECT_EQ(ReadFilterValue(s, kFilterExecs, "999999999"), "");
    EXPECT_EQ(ReadFilterValue(s, kFilterExecs, "1000000000"), "Please enter an integer between 0 and 999999999.");
    EXPECT_EQ(ReadFilterValue(s, kFilterExecs, "-1"), "Please enter an integer between 0 and 999999999.");
    EXPECT_EQ(ReadFilterValue(s, kFilterExecs, "4.5"), "Please enter an integer.");
    EXPECT_EQ(ReadFilterValue(s, kFilterExecs, ""), "Please enter an integer.");
    EXPECT_EQ(ReadFilterValue(s, kFilterExecs, "99999999999999999999"), "Please enter an integer.");
    EXPECT_EQ(s.filter.m_FiltExecsV, 999999999) << "a refused text leaves the value as it was";
}

TEST(OptionsModelTest, TheBufferPlusDiskRowTakesANumberRoundedToTheStoredInteger) {
    SOptionsSettings s;
    EXPECT_EQ(ReadFilterValue(s, kFilterBufDsk, "2.5"), "");
    EXPECT_EQ(s.filter.m_FiltBufDskV, 3);
    EXPECT_EQ(ReadFilterValue(s, kFilterBufDsk, "1e9"), "");
    EXPECT_EQ(s.filter.m_FiltBufDskV, 1000000000);
    EXPECT_EQ(ReadFilterValue(s, kFilterBufDsk, "1000000000.5"), "Please enter a number between 0 and 1000000000.");
    EXPECT_EQ(ReadFilterValue(s, kFilterBufDsk, "abc"), "Please enter a number.");
    EXPECT_EQ(ReadFilterValue(s, kFilterBufDsk, "nan"), "Please enter a number.");
}

TEST(OptionsModelTest, TheElapsedRowTakesMillisecondsToTheHundredth) {
    SOptionsSettings s;
    EXPECT_EQ(FilterValueText(s, kFilterElapsed), "0");
    EXPECT_EQ(ReadFilterValue(s, kFilterElapsed, " 2.5 "), "");
    EXPECT_EQ(s.filter.m_FiltElapsedV, 250);
    EXPECT_EQ(FilterValueText(s, kFilterElapsed), "2.5");
    EXPECT_EQ(ReadFilterValue(s, kFilterElapsed, "0.005"), "");
    EXPECT_EQ(s.filter.m_FiltElapsedV, 1) << "rounded to the nearest hundredth";
    EXPECT_EQ(FilterValueText(s, kFilterElapsed), "0.01");
    EXPECT_EQ(ReadFilterValue(s, kFilterElapsed, "1200.07"), "");
    EXPECT_EQ(s.filter.m_FiltElapsedV, 120007);
    EXPECT_EQ(FilterValueText(s, kFilterElapsed), "1200.07");
    EXPECT_EQ(ReadFilterValue(s, kFilterElapsed, "9999999.99"), "");
    EXPECT_EQ(s.filter.m_FiltElapsedV, 999999999);
    EXPECT_EQ(ReadFilterValue(s, kFilterElapsed, "10000000"), "Please enter a number between 0 and 9999999.99.");
    EXPECT_EQ(ReadFilterValue(s, kFilterElapsed, "-0.1"), "Please enter a number between 0 and 9999999.99.");
    EXPECT_EQ(ReadFilterValue(s, kFilterElapsed, "2,5"), "Please enter a number.");
    EXPECT_EQ(s.filter.m_FiltElapsedV, 999999999) << "a refused text leaves the value as it was";
    // A value stored out of range is shown as it is.
    s.filter.m_FiltElapsedV = -250;
    EXPECT_EQ(FilterValueText(s, kFilterElapsed), "-2.5");
    EXPECT_NE(FilterRowSpec(kFilterElapsed).toolTip, nullptr);
    EXPECT_EQ(FilterRowSpec(kFilterExecs).toolTip, nullptr);
}

TEST(OptionsModelTest, TextRowsTakeAtMostAThousandCharacters) {
    SOptionsSettings s;
    EXPECT_EQ(ReadFilterValue(s, kFilterTextIncl, std::string(1000, 'x')), "");
    EXPECT_EQ(s.filter.m_FiltTextInclV.size(), 1000u);
    EXPECT_EQ(ReadFilterValue(s, kFilterTextExcl, std::string(1001, 'x')),
              "Please enter no more than 1000 characters.");
    EXPECT_EQ(s.filter.m_FiltTextExclV, "%");
    // Characters, not bytes: 1000 two-byte letters fit.
    std::string umlauts;
    for (int i = 0; i < 1000; ++i)
        umlauts += "\xC3\xA4";
    EXPECT_EQ(ReadFilterValue(s, kFilterTextExcl, umlauts), "");
}

TEST(OptionsModelTest, ReadingThePageStopsAtTheFirstActiveRowThatFails) {
    SOptionsSettings s;
    s.Comparison(kFilterSorts) = 2;
    auto texts = TextsOf(s);
    texts[kFilterBufGet] = '7';
    texts[kFilterSorts] = 'x';
    texts[kFilterRows] = "9";
    int failed = 0;
    EXPECT_EQ(ReadFilterValues(s, texts, failed), "Please enter an integer.");
    EXPECT_EQ(failed, kFilterSorts);
    EXPECT_EQ(s.filter.m_FiltBufGetV, 7);
    EXPECT_EQ(s.filter.m_FiltRowsV, 0) << "rows after the failing one are not read";
}

TEST(OptionsModelTest, ARowLeftAtAllKeepsItsStoredValueWhenItsTextCannotBeTaken) {
    SOptionsSettings s;
    s.filter.m_FiltExecsV = -5;  // stored out of range; its box is disabled
    auto texts = TextsOf(s);
    int failed = 0;
    EXPECT_EQ(ReadFilterValues(s, texts, failed), "");
    EXPECT_EQ(failed, -1);
    EXPECT_EQ(s.filter.m_FiltExecsV, -5);
    s.Comparison(kFilterExecs) = 1;
    EXPECT_EQ(ReadFilterValues(s, texts, failed), "Please enter an integer between 0 and 999999999.");
    // A stored choice the list does not have is off too.
    s.Comparison(kFilterExecs) = 4;
    EXPECT_FALSE(IsFilterRowActive(s, kFilterExecs));
    EXPECT_EQ(ReadFilterValues(s, texts, failed), "");
    s.Comparison(kFilterTextIncl) = 3;
    EXPECT_FALSE(IsFilterRowActive(s, kFilterTextIncl));
    s.Comparison(kFilterTextIncl) = 2;
    EXPECT_TRUE(IsFilterRowActive(s, kFilterTextIncl));
}

TEST(OptionsModelTest, ComparisonListsAndLabels) {
    EXPECT_EQ(FilterComparisonItems(kFilterRows), (std::vector<std::string>{"all", "less then", "more then", "equal"}));
    EXPECT_EQ(FilterComparisonItems(kFilterTextExcl), (std::vector<std::string>{"all", "case insens.", "case sens."}));
    EXPECT_STREQ(FilterRowSpec(kFilterRows).label, "Number of Rows per exeution");
    EXPECT_STREQ(FilterRowSpec(kFilterBufDsk).valueKey, "FiltBufDskV");
}

TEST(OptionsModelTest, UserSelection) {
    CUserArray users;
    users.Add({0, "SYS"});
    users.Add({5, "SCOTT"});
    SelectAllUsers(users, false);
    EXPECT_FALSE(HasSelectedUser(users));
    EXPECT_FALSE(HasSelectedUser(CUserArray()));
    users[1].SetSelected(1);
    EXPECT_TRUE(HasSelectedUser(users));
    CUserArray other = users;
    EXPECT_TRUE(UsersEqual(users, other));
    other[0].m_UserName = "sys";
    EXPECT_FALSE(UsersEqual(users, other));
    other = users;
    other.RemoveAt(1);
    EXPECT_FALSE(UsersEqual(users, other));
}

CListLayout WorkingLayout() {
    // Two default columns in another order, one of them narrowed and sorted.
    CListLayout defaults = CListLayout::MakeDefaultLayout();
    CListLayout working;
    CListColLayout sql, exec;
    defaults.FindColumn(kColSqlText, sql);
    defaults.FindColumn(kColExecutions, exec);
    sql.m_Width = 250;
    sql.m_Sort = -2;
    working.AddColumn(sql);
    working.AddColumn(exec);
    return working;
}

TEST(OptionsModelTest, LayoutRowsListTheWorkingColumnsCheckedThenTheOthersUnchecked) {
    const CListLayout defaults = CListLayout::MakeDefaultLayout();
    const auto rows = BuildLayoutPageRows(WorkingLayout(), defaults);
    ASSERT_EQ(rows.size(), 35u);
    EXPECT_EQ(rows[0].id, kColSqlText);
    EXPECT_TRUE(rows[0].checked);
    EXPECT_EQ(rows[0].title, "SQL Text");
    EXPECT_EQ(rows[0].width, "250");
    EXPECT_EQ(rows[0].alignment, "Left");
    EXPECT_EQ(rows[0].format, "Text");
    EXPECT_EQ(rows[0].sortPosition, "2");
    EXPECT_EQ(rows[0].sortOrder, "dec");
    EXPECT_EQ(rows[1].id, kColExecutions);
    EXPECT_EQ(rows[1].sortPosition, "");
    EXPECT_EQ(rows[2].id, kColUserName);
    EXPECT_FALSE(rows[2].checked);
    // The default sort key of an unchecked column is not shown.
    for (const auto& row : rows) {
        if (row.id == kColBufferGetsPerExec) {
            EXPECT_FALSE(row.checked);
            EXPECT_EQ(row.sortPosition, "");
            EXPECT_EQ(row.format, "Number");
            EXPECT_EQ(row.alignment, "Right");
        }
    }
}

TEST(OptionsModelTest, RebuildingKeepsWorkingColumnsAndAppendsNewlyCheckedOnes) {
    const CListLayout defaults = CListLayout::MakeDefaultLayout();
    const CListLayout working = WorkingLayout();
    const CListLayout rebuilt = RebuildWorkingLayout(
        {{kColSqlText, false}, {kColExecutions, true}, {kColUserName, false}, {kColStatus, true}}, working, defaults);
    ASSERT_EQ(rebuilt.GetCount(), 2);
    EXPECT_EQ(rebuilt.GetColumns()[0].m_Id, kColExecutions);
    EXPECT_EQ(rebuilt.GetColumns()[1].m_Id, kColStatus);
    EXPECT_EQ(rebuilt.GetColumns()[1].m_Alignment, 2);
    EXPECT_EQ(rebuilt.GetName(), "ListLayout");

    // A column kept from the working layout keeps its own width and sort.
    const CListLayout kept = RebuildWorkingLayout({{kColSqlText, true}}, working, defaults);
    EXPECT_EQ(kept.GetColumns()[0].m_Width, 250);
    EXPECT_EQ(kept.GetColumns()[0].m_Sort, -2);

    EXPECT_EQ(RebuildWorkingLayout({{kColSqlText, false}}, working, defaults).GetCount(), 0);
}

TEST(OptionsModelTest, OkDecisions) {
    SOptionsSettings original;
    CUserArray users;
    users.Add({0, "SYS"});
    const CListLayout layout = WorkingLayout();
    COptionsModel model(original, users, CListLayout::MakeDefaultLayout(), layout);
    EXPECT_FALSE(model.SettingsChanged(original, users));
    EXPECT_FALSE(model.LayoutChanged(layout));

    model.m_Settings.filter.m_FiltTextExclV = "%x%";
    EXPECT_TRUE(model.SettingsChanged(original, users));
    model.m_Settings = original;
    model.m_Users[0].SetSelected(0);
    EXPECT_TRUE(model.SettingsChanged(original, users));

    // "Default" gives the columns of a fresh profile.
    model.ResetLayoutToDefault();
    EXPECT_TRUE(model.LayoutChanged(layout));
    EXPECT_FALSE(model.LayoutChanged(CListLayout::MakeFreshLayout()));
}

}  // namespace
}  // namespace corvid
