#include "dialogs/qt/OptionsDlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

#include "dialogs/OptionsModel.h"
#include "dialogs/qt/OptionsFilterPage.h"
#include "dialogs/qt/OptionsGeneralPage.h"
#include "dialogs/qt/OptionsLayoutPage.h"
#include "dialogs/qt/OptionsStmtPage.h"
#include "dialogs/qt/OptionsUserPage.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

class OptionsDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrompter(&m_prompter);
        m_users.Add({0, "SYS"});
        m_users.Add({5, "SCOTT", 0});
        m_users.Add({21, "DEMO"});
        CListLayout working;
        CListColLayout column;
        const CListLayout defaults = CListLayout::MakeDefaultLayout();
        for (StatementColumn id : {kColSqlText, kColExecutions, kColUserName}) {
            defaults.FindColumn(id, column);
            working.AddColumn(column);
        }
        m_settings.analyze = 0;
        m_settings.filter.m_FiltExecsC = 2;
        m_settings.filter.m_FiltExecsV = 100;
        m_settings.filter.m_FiltTextExclV = "%$CORVID%";
        m_model = std::make_unique<COptionsModel>(m_settings, m_users, defaults, working);
        m_sheet = std::make_unique<CCorvidOptionsDlg>(*m_model);
        m_sheet->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(m_sheet.get()));
    }
    void TearDown() override {
        m_sheet.reset();
        SetPrompter(nullptr);
    }

    Qt::CheckState LayoutState(int row) { return m_sheet->LayoutPage()->List()->item(row, 0)->checkState(); }

    CRecordingPrompter m_prompter;
    SOptionsSettings m_settings;
    CUserArray m_users;
    std::unique_ptr<COptionsModel> m_model;
    std::unique_ptr<CCorvidOptionsDlg> m_sheet;
};

TEST_F(OptionsDlgTest, FivePagesWithTheirCaptionsAndTheSettingsShown) {
    EXPECT_EQ(m_sheet->windowTitle(), "Preferences");
    const QStringList captions = {"General options", "Value Filter", "Statement Filter", "User Filter",
                                  "Table layout optins"};
    ASSERT_EQ(m_sheet->Tabs()->count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(m_sheet->Tabs()->tabText(i), captions[i]);
    EXPECT_FALSE(m_sheet->GeneralPage()->AnalyzeBox()->isChecked());
    EXPECT_TRUE(m_sheet->GeneralPage()->WarnBox()->isChecked());
    m_sheet->SetActivePage(2);
    EXPECT_EQ(m_sheet->StatementPage()->KindBox(CSqlStmtPage::kUpdate)->text(), "Include \"U&pdate\" statements");
    EXPECT_TRUE(m_sheet->StatementPage()->KindBox(CSqlStmtPage::kUpdate)->isChecked());
}

TEST_F(OptionsDlgTest, AllDisablesTheValueBoxAndAnyOtherChoiceEnablesIt) {
    m_sheet->SetActivePage(1);
    CFilterPage* page = m_sheet->FilterPage();
    EXPECT_EQ(page->ComparisonBox(kFilterExecs)->currentText(), "more then");
    EXPECT_TRUE(page->ValueBox(kFilterExecs)->isEnabled());
    EXPECT_EQ(page->ValueBox(kFilterExecs)->text(), "100");
    EXPECT_FALSE(page->ValueBox(kFilterRows)->isEnabled());
    EXPECT_EQ(page->ValueBox(kFilterTextExcl)->text(), "%$CORVID%");
    page->ComparisonBox(kFilterExecs)->setCurrentIndex(0);
    EXPECT_FALSE(page->ValueBox(kFilterExecs)->isEnabled());
    page->ComparisonBox(kFilterRows)->setCurrentIndex(3);
    EXPECT_TRUE(page->ValueBox(kFilterRows)->isEnabled());
    page->ComparisonBox(kFilterTextIncl)->setCurrentIndex(2);
    EXPECT_TRUE(page->ValueBox(kFilterTextIncl)->isEnabled());
}

TEST_F(OptionsDlgTest, AnInvalidValueKeepsThePageAndTheSheetOpenWithTheMessage) {
    m_sheet->SetActivePage(1);
    CFilterPage* page = m_sheet->FilterPage();
    page->ValueBox(kFilterExecs)->setText("12x");
    EXPECT_FALSE(m_sheet->SetActivePage(2));
    EXPECT_EQ(m_sheet->Tabs()->currentIndex(), 1);
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_TRUE(m_sheet->isVisible());
    EXPECT_EQ(m_sheet->result(), 0);
    EXPECT_EQ(m_prompter.Messages(),
              (std::vector<std::string>{"Please enter an integer.", "Please enter an integer."}));

    page->ValueBox(kFilterExecs)->setText("1000000000");
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_EQ(m_prompter.LastMessage(), "Please enter an integer between 0 and 999999999.");
    page->ComparisonBox(kFilterBufDsk)->setCurrentIndex(1);
    page->ValueBox(kFilterBufDsk)->setText("-0.5");
    page->ValueBox(kFilterExecs)->setText("250");
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_EQ(m_prompter.LastMessage(), "Please enter a number between 0 and 1000000000.");

    page->ValueBox(kFilterBufDsk)->setText("7.6");
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_FALSE(m_sheet->isVisible());
    EXPECT_EQ(m_sheet->result(), QDialog::Accepted);
    EXPECT_EQ(m_model->m_Settings.filter.m_FiltExecsV, 250);
    EXPECT_EQ(m_model->m_Settings.filter.m_FiltBufDskC, 1);
    EXPECT_EQ(m_model->m_Settings.filter.m_FiltBufDskV, 8);
}

TEST_F(OptionsDlgTest, TheElapsedRowTakesADecimalNumberOfMilliseconds) {
    m_sheet.reset();
    m_settings.filter.m_FiltElapsedC = kCompareLess;
    m_settings.filter.m_FiltElapsedV = 1250;
    m_model = std::make_unique<COptionsModel>(m_settings, m_users, m_model->m_DefaultLayout, m_model->m_WorkingLayout);
    m_sheet = std::make_unique<CCorvidOptionsDlg>(*m_model);
    m_sheet->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_sheet.get()));
    m_sheet->SetActivePage(1);
    CFilterPage* page = m_sheet->FilterPage();
    QComboBox* comparison = page->ComparisonBox(kFilterElapsed);
    QLineEdit* value = page->ValueBox(kFilterElapsed);
    EXPECT_EQ(comparison->currentText(), "less then");
    EXPECT_EQ(value->text(), "12.5");
    EXPECT_TRUE(value->isEnabled());
    // It says that older servers do not report the time.
    EXPECT_TRUE(value->toolTip().contains("10g"));
    EXPECT_EQ(comparison->toolTip(), value->toolTip());
    EXPECT_TRUE(page->ValueBox(kFilterExecs)->toolTip().isEmpty());

    value->setText("twelve");
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_TRUE(m_sheet->isVisible());
    EXPECT_EQ(m_prompter.LastMessage(), "Please enter a number.");

    comparison->setCurrentIndex(3);
    value->setText("0.75");
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_EQ(m_sheet->result(), QDialog::Accepted);
    EXPECT_EQ(m_model->m_Settings.filter.m_FiltElapsedC, kCompareEqual);
    EXPECT_EQ(m_model->m_Settings.filter.m_FiltElapsedV, 75);
    EXPECT_TRUE(m_model->SettingsChanged(m_settings, m_users));
}

// Notes which page the sheet shows when each message comes up.
class CPageRecordingPrompter : public CRecordingPrompter {
public:
    void Message(const std::string& text, Kind kind) override {
        if (m_tabs) m_shownPages.push_back(m_tabs->currentIndex());
        CRecordingPrompter::Message(text, kind);
    }
    QTabWidget* m_tabs = nullptr;
    std::vector<int> m_shownPages;
};

TEST_F(OptionsDlgTest, ThePageBeingLeftStaysOnShowWhileItsMessageIsUp) {
    CPageRecordingPrompter prompter;
    prompter.m_tabs = m_sheet->Tabs();
    SetPrompter(&prompter);
    m_sheet->SetActivePage(1);
    m_sheet->FilterPage()->ValueBox(kFilterExecs)->setText("abc");
    QTabBar* bar = m_sheet->Tabs()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(2).center());
    EXPECT_EQ(prompter.m_shownPages, std::vector<int>{1});
    EXPECT_EQ(m_sheet->Tabs()->currentIndex(), 1);

    m_sheet->FilterPage()->ValueBox(kFilterExecs)->setText("7");
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(2).center());
    EXPECT_EQ(m_sheet->Tabs()->currentIndex(), 2);
    EXPECT_EQ(m_sheet->GetActiveIndex(), 2);
    SetPrompter(&m_prompter);
}

TEST_F(OptionsDlgTest, TextBoxesTakeAThousandCharactersUnlessTheStoredTextIsLonger) {
    m_sheet->SetActivePage(1);
    QLineEdit* box = m_sheet->FilterPage()->ValueBox(kFilterTextExcl);
    box->setText(QString(1005, 'x'));
    EXPECT_EQ(box->text().size(), 1000);

    // A longer text from the settings store is shown whole and refused on leaving.
    m_sheet.reset();
    m_settings.filter.m_FiltTextInclC = 1;
    m_settings.filter.m_FiltTextInclV = std::string(1200, 'y');
    COptionsModel model(m_settings, m_users, CListLayout::MakeDefaultLayout(), CListLayout::MakeDefaultLayout());
    CCorvidOptionsDlg sheet(model);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    sheet.SetActivePage(1);
    EXPECT_EQ(sheet.FilterPage()->ValueBox(kFilterTextIncl)->text().size(), 1200);
    EXPECT_FALSE(sheet.SetActivePage(2));
    EXPECT_EQ(m_prompter.Messages(), (std::vector<std::string>{"Please enter no more than 1000 characters."}));
}

TEST_F(OptionsDlgTest, NoneThenOkOnTheUserPageShowsTheMessageAndKeepsTheSheetOpen) {
    m_sheet->SetActivePage(3);
    QTableWidget* list = m_sheet->UserPage()->List();
    ASSERT_EQ(list->rowCount(), 3);
    EXPECT_EQ(list->item(1, 0)->text(), "SCOTT");
    EXPECT_EQ(list->item(1, 0)->data(Qt::UserRole).toInt(), 5);
    EXPECT_EQ(list->item(1, 0)->checkState(), Qt::Unchecked);
    EXPECT_EQ(list->columnWidth(0), 300);

    QTest::mouseClick(m_sheet->UserPage()->NoneButton(), Qt::LeftButton);
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_TRUE(m_sheet->isVisible());
    EXPECT_EQ(m_prompter.Messages(),
              std::vector<std::string>{"No users have been selected!\nPlease select at least une user"});
    EXPECT_FALSE(m_sheet->SetActivePage(0));

    QTest::mouseClick(m_sheet->UserPage()->AllButton(), Qt::LeftButton);
    list->item(0, 0)->setCheckState(Qt::Unchecked);
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_EQ(m_sheet->result(), QDialog::Accepted);
    EXPECT_EQ(m_model->m_Users[0].m_Selected, 0);
    EXPECT_EQ(m_model->m_Users[1].m_Selected, 1);
    EXPECT_TRUE(m_model->SettingsChanged(m_settings, m_users));
}

TEST_F(OptionsDlgTest, LayoutPageShowsVisibleColumnsCheckedFirst) {
    m_sheet->SetActivePage(4);
    QTableWidget* list = m_sheet->LayoutPage()->List();
    ASSERT_EQ(list->rowCount(), 35);
    ASSERT_EQ(list->columnCount(), 6);
    const QStringList titles = {"Column", "Width", "Alignment", "Format", "Sort position", "Sort order"};
    const int widths[] = {150, 50, 60, 50, 80, 60};
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(list->horizontalHeaderItem(c)->text(), titles[c]);
        EXPECT_GE(list->columnWidth(c), widths[c]);
        // Titles and texts are shown whole, whatever the font.
        const QFontMetrics metrics(list->font());
        EXPECT_GT(list->columnWidth(c), metrics.horizontalAdvance(titles[c])) << c;
        for (int r = 0; r < list->rowCount(); ++r)
            EXPECT_GT(list->columnWidth(c), metrics.horizontalAdvance(list->item(r, c)->text())) << r << "," << c;
    }
    EXPECT_EQ(list->item(0, 0)->text(), "SQL Text");
    EXPECT_EQ(LayoutState(0), Qt::Checked);
    EXPECT_EQ(list->item(1, 1)->text(), "50");
    EXPECT_EQ(list->item(1, 2)->text(), "Right");
    EXPECT_EQ(list->item(1, 3)->text(), "Number");
    EXPECT_EQ(LayoutState(3), Qt::Unchecked);
    EXPECT_EQ(list->item(3, 0)->text(), "%  Disk");
}

TEST_F(OptionsDlgTest, UncheckingRemovesAColumnAndCheckingAppendsIt) {
    m_sheet->SetActivePage(4);
    QTableWidget* list = m_sheet->LayoutPage()->List();
    list->item(1, 0)->setCheckState(Qt::Unchecked);  // "Exec"
    ASSERT_EQ(list->item(6, 0)->text(), "# FTS");
    list->item(6, 0)->setCheckState(Qt::Checked);
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    ASSERT_EQ(m_sheet->result(), QDialog::Accepted);
    const auto& columns = m_model->m_WorkingLayout.GetColumns();
    ASSERT_EQ(columns.size(), 3u);
    EXPECT_EQ(columns[0].m_Id, kColSqlText);
    EXPECT_EQ(columns[1].m_Id, kColUserName);
    EXPECT_EQ(columns[2].m_Id, kColFullTableScans);
}

TEST_F(OptionsDlgTest, DefaultThenOkRestoresTheDefaultColumns) {
    m_sheet->SetActivePage(4);
    QTest::mouseClick(m_sheet->LayoutPage()->DefaultButton(), Qt::LeftButton);
    QTableWidget* list = m_sheet->LayoutPage()->List();
    EXPECT_EQ(list->item(0, 0)->text(), "User");
    EXPECT_EQ(list->item(7, 4)->text(), "1");
    EXPECT_EQ(list->item(7, 5)->text(), "dec");
    // The columns of a fresh profile are checked, the other figures of today's
    // servers are offered unchecked.
    ASSERT_EQ(list->rowCount(), 35);
    for (int r = 0; r < list->rowCount(); ++r)
        EXPECT_EQ(LayoutState(r), r < 27 ? Qt::Checked : Qt::Unchecked) << r;
    EXPECT_EQ(list->item(25, 0)->text(), "SQL ID");
    EXPECT_EQ(list->item(26, 0)->text(), "Elapsed/E (ms)");
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    EXPECT_TRUE(m_model->m_WorkingLayout.IsEqual(CListLayout::MakeFreshLayout()));
}

TEST_F(OptionsDlgTest, ConfirmingWithoutChangesChangesNothing) {
    const CListLayout before = m_model->m_WorkingLayout;
    for (int page = 0; page < 5; ++page)
        ASSERT_TRUE(m_sheet->SetActivePage(page));
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    ASSERT_EQ(m_sheet->result(), QDialog::Accepted);
    EXPECT_FALSE(m_model->SettingsChanged(m_settings, m_users));
    EXPECT_FALSE(m_model->LayoutChanged(before));
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(OptionsDlgTest, ExplainEveryLoadBoxRoundTrip) {
    QCheckBox* box = m_sheet->GeneralPage()->ExplainAllBox();
    EXPECT_EQ(box->text(), "Explain again every statement at each load");
    EXPECT_FALSE(box->isChecked());
    box->setChecked(true);
    QTest::mouseClick(m_sheet->OkButton(), Qt::LeftButton);
    ASSERT_EQ(m_sheet->result(), QDialog::Accepted);
    EXPECT_EQ(m_model->m_Settings.explainAll, 1);
    EXPECT_TRUE(m_model->SettingsChanged(m_settings, m_users));
    // The other general options are left as they were.
    EXPECT_EQ(m_model->m_Settings.analyze, 0);
    EXPECT_EQ(m_model->m_Settings.cursorCachePlans, 1);

    // A stored "on" shows checked, and unchecking it is read back.
    SOptionsSettings stored = m_settings;
    stored.explainAll = 1;
    COptionsModel model(stored, m_users, CListLayout::MakeDefaultLayout(), m_model->m_WorkingLayout);
    CCorvidOptionsDlg sheet(model);
    sheet.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
    ASSERT_TRUE(sheet.GeneralPage()->ExplainAllBox()->isChecked());
    sheet.GeneralPage()->ExplainAllBox()->setChecked(false);
    QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    EXPECT_EQ(model.m_Settings.explainAll, 0);
}

TEST(OptionsDlgIntervalLayoutTest, TheColumnPageOffersTheIntervalColumnsAndDefaultRestoresThem) {
    CRecordingPrompter prompter;
    SetPrompter(&prompter);
    const CListLayout defaults = CListLayout::MakeIntervalLayout();
    CListLayout working = defaults;
    working.RemoveAll();
    CListColLayout column;
    for (StatementColumn id : {kColSqlText, kColBufferGetsDelta}) {
        ASSERT_TRUE(defaults.FindColumn(id, column));
        working.AddColumn(column);
    }
    COptionsModel model(SOptionsSettings(), CUserArray(), defaults, working);
    model.m_ResetLayout = defaults;
    {
        CCorvidOptionsDlg sheet(model);
        sheet.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
        sheet.SetActivePage(4);
        QTableWidget* list = sheet.LayoutPage()->List();
        ASSERT_EQ(list->rowCount(), defaults.GetCount());
        EXPECT_EQ(list->item(1, 0)->text().toStdString(), "Buf Get \u0394");
        QTest::mouseClick(sheet.LayoutPage()->DefaultButton(), Qt::LeftButton);
        QTest::mouseClick(sheet.OkButton(), Qt::LeftButton);
    }
    EXPECT_TRUE(model.m_WorkingLayout.IsEqual(defaults));
    EXPECT_EQ(model.m_WorkingLayout.GetName(), CListLayout::kIntervalName);
    SetPrompter(nullptr);
}

}  // namespace
}  // namespace corvid
