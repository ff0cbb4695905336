#include "dialogs/qt/SqlStmtDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextBlock>

#include "dialogs/qt/SqlStmtDlgParaPage.h"
#include "dialogs/qt/SqlStmtDlgRtfPage.h"
#include "dialogs/qt/SqlStmtDlgTestPage.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "platform/qt/RtfTextView.h"

namespace corvid {
namespace {

CObjectEntry Statement(const std::string& mode = "CHOOSE", const std::string& plan = "") {
    CObjectEntry e(12.5, 3.25, 100, 2000, 4, 10, 11, 50, 1024, 512, 256, 1, 3, mode, 5, 5, "SCOTT", "0A1B2C3D",
                   "select ename from emp where deptno = 10", "2024-01-02/03:04:05");
    e.SetSqlPlan(plan);
    return e;
}

class SqlStmtDlgTest : public ::testing::Test {
protected:
    void SetUp() override { SetPrompter(&m_prompter); }
    void TearDown() override { SetPrompter(nullptr); }

    // A sheet shown without a modal loop, over an explain that records its calls.
    std::unique_ptr<CCorvidSqlStmtDlg> Open(const CObjectEntry& statement) {
        auto sheet = std::make_unique<CCorvidSqlStmtDlg>(SStatementSheetData::FromStatement(statement),
                                                         [this](const std::string& sql, const std::string& goal) {
                                                             m_calls.emplace_back(sql, goal);
                                                             return m_answer;
                                                         });
        sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(sheet.get()));
        return sheet;
    }

    CRecordingPrompter m_prompter;
    std::vector<std::pair<std::string, std::string>> m_calls;
    SExplainOutcome m_answer{true, "SELECT STATEMENT   Cost = 1\r\n    TABLE ACCESS FULL EMP ", ""};
};

TEST_F(SqlStmtDlgTest, FourPagesInOrderUnderTheSheetTitle) {
    auto sheet = Open(Statement());
    EXPECT_EQ(sheet->windowTitle(), "SQL statement and execution plan");
    ASSERT_EQ(sheet->Tabs()->count(), 4);
    EXPECT_EQ(sheet->Tabs()->tabText(0), "SQL Statement");
    EXPECT_EQ(sheet->Tabs()->tabText(1), "Execution Plan");
    EXPECT_EQ(sheet->Tabs()->tabText(2), "SQL Parameter");
    EXPECT_EQ(sheet->Tabs()->tabText(3), "Test SQL");
}

TEST_F(SqlStmtDlgTest, TextPageShowsTheColouredTextWithoutFocus) {
    auto sheet = Open(Statement());
    CRtfTextView* view = sheet->TextPage()->TextView();
    EXPECT_EQ(view->toPlainText(), "select ename from emp where deptno = 10");
    EXPECT_TRUE(view->isReadOnly());
    QTextCursor cursor(view->document());
    cursor.setPosition(2);  // inside "select"
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(0, 0, 255));
    cursor.setPosition(view->toPlainText().size());  // on "10"
    EXPECT_EQ(cursor.charFormat().foreground().color(), QColor(255, 0, 0));
    view->setFocus();
    sheet->SetActivePage(1);
    sheet->SetActivePage(0);
    QApplication::processEvents();
    EXPECT_FALSE(view->hasFocus());
    EXPECT_EQ(sheet->focusWidget(), nullptr);
}

TEST_F(SqlStmtDlgTest, TextPageShowsRtfCharactersAndEightBitTextVerbatim) {
    CObjectEntry statement = Statement();
    statement.SetSqlText("SELECT '{a}\\b\\par' FROM dual WHERE name = 'Jos\xE9'");
    auto sheet = Open(statement);
    EXPECT_EQ(sheet->TextPage()->TextView()->toPlainText(),
              QString::fromUtf8("SELECT '{a}\\b\\par' FROM dual WHERE name = 'Jos\u00E9'"));
}

TEST(RtfTextViewTest, TextIsUtf8OnlyWhenEveryByteSequenceIsValid) {
    EXPECT_EQ(CRtfTextView::DecodeText("Jos\xC3\xA9"), QString::fromUtf8("Jos\u00E9"));
    EXPECT_EQ(CRtfTextView::DecodeText("Jos\xE9"), QString::fromUtf8("Jos\u00E9"));
    // An overlong form and a lone surrogate are not UTF-8: one character per byte.
    EXPECT_EQ(CRtfTextView::DecodeText("\xE0\x80\xAF").size(), 3);
    EXPECT_EQ(CRtfTextView::DecodeText("\xED\xA0\x80").size(), 3);
    EXPECT_EQ(CRtfTextView::DecodeText("\xC3").size(), 1);
    EXPECT_EQ(CRtfTextView::DecodeText("\xF0\x9F\x98\x80").size(), 2);  // one character, two UTF-16 units
}

TEST_F(SqlStmtDlgTest, PlanPageShowsThePlanOrNothingForAStatementNeverAnalysed) {
    auto analysed = Open(Statement("CHOOSE", "SELECT STATEMENT   Cost = 3\r\n    TABLE ACCESS FULL EMP "));
    analysed->SetActivePage(1);
    EXPECT_EQ(analysed->PlanPage()->TextView()->toPlainText(),
              "SELECT STATEMENT   Cost = 3\n    TABLE ACCESS FULL EMP ");
    auto never = Open(Statement());
    never->SetActivePage(1);
    EXPECT_EQ(never->PlanPage()->TextView()->toPlainText(), "");
}

TEST_F(SqlStmtDlgTest, ParameterPageListsTwentyFiveRowsWithLongTitles) {
    auto sheet = Open(Statement());
    sheet->SetActivePage(2);
    QTableWidget* list = sheet->ParameterPage()->List();
    ASSERT_EQ(list->rowCount(), 25);
    EXPECT_EQ(list->horizontalHeaderItem(0)->text(), "Title");
    EXPECT_EQ(list->horizontalHeaderItem(1)->text(), "Value");
    EXPECT_EQ(list->columnWidth(0), 200);
    EXPECT_EQ(list->columnWidth(1), 400);
    EXPECT_EQ(list->item(0, 0)->text(), "Username");
    EXPECT_EQ(list->item(0, 1)->text(), "SCOTT");
    EXPECT_EQ(list->item(1, 0)->text(), "# of executions");
    EXPECT_EQ(list->item(23, 0)->text(), "SQL Text");
    EXPECT_EQ(list->item(23, 1)->text(), "select ename from emp where deptno = 10");
    EXPECT_EQ(list->item(24, 0)->text(), "Status");
}

TEST_F(SqlStmtDlgTest, AStatementParsedUnderRuleOpensOnAGoalThatExecutes) {
    // With no goal selected Execute SQL sent an empty goal and the server answered ORA-00922.
    auto sheet = Open(Statement("RULE"));
    sheet->SetActivePage(3);
    CSqlTestPage* page = sheet->TestPage();
    EXPECT_EQ(page->GoalList()->currentText(), "CHOOSE");
    ASSERT_EQ(page->GoalList()->count(), 3);
    EXPECT_EQ(page->GoalList()->itemText(0), "ALL_ROWS");
    EXPECT_EQ(page->GoalList()->itemText(1), "CHOOSE");
    EXPECT_EQ(page->GoalList()->itemText(2), "FIRST_ROWS");
    QTest::mouseClick(page->ExecuteButton(), Qt::LeftButton);
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0].second, "CHOOSE");
}

TEST_F(SqlStmtDlgTest, EditingExecutingAndReloading) {
    const CObjectEntry statement = Statement("FIRST_ROWS", "OLD PLAN");
    auto sheet = Open(statement);
    sheet->SetActivePage(3);
    CSqlTestPage* page = sheet->TestPage();
    EXPECT_EQ(page->GoalList()->currentText(), "FIRST_ROWS");
    EXPECT_EQ(page->PlanEdit()->toPlainText(), "OLD PLAN");
    EXPECT_TRUE(page->PlanEdit()->isReadOnly());
    EXPECT_TRUE(page->ExecuteButton()->isDefault());

    page->SqlEdit()->setPlainText("select * from dept");
    page->GoalList()->setCurrentIndex(0);
    QTest::mouseClick(page->ExecuteButton(), Qt::LeftButton);
    ASSERT_EQ(m_calls.size(), 1u);
    EXPECT_EQ(m_calls[0], (std::pair<std::string, std::string>("select * from dept", "ALL_ROWS")));
    EXPECT_EQ(page->PlanEdit()->toPlainText(), "SELECT STATEMENT   Cost = 1\n    TABLE ACCESS FULL EMP ");
    EXPECT_EQ(page->SqlEdit()->toPlainText(), "select * from dept");

    QTest::mouseClick(page->ReloadButton(), Qt::LeftButton);
    ASSERT_EQ(m_calls.size(), 2u);
    EXPECT_EQ(m_calls[1].first, statement.m_SqlText);
    EXPECT_EQ(page->SqlEdit()->toPlainText().toStdString(), statement.m_SqlText);
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(SqlStmtDlgTest, AParseErrorShowsItsMessageAndAnEmptyPlan) {
    m_answer = {true, "", "ORA-00942: table or view does not exist"};
    auto sheet = Open(Statement("CHOOSE", "OLD PLAN"));
    sheet->SetActivePage(3);
    QTest::mouseClick(sheet->TestPage()->ExecuteButton(), Qt::LeftButton);
    EXPECT_EQ(sheet->TestPage()->PlanEdit()->toPlainText(), "");
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{"A parse error has occurred!\nThe statement was not "
                                                              "analyzed.\nORA-00942: table or view does not exist"});
}

}  // namespace
}  // namespace corvid

// The test program's entry, unless another of its files brings one.
