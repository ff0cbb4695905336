#include "app/qt/StatementCommandHandlers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "app/Session.h"
#include "app/SessionScenario.h"
#include "app/qt/CorvidApp.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "app/qt/SimilarSearchJob.h"
#include "app/qt/StatementCommands.h"
#include "collection/CorvidDoc.h"
#include "work/Progress.h"
#include "work/ProgressRunner.h"
#include "dialogs/qt/FindSqlIdDlg.h"
#include "dialogs/qt/OptionsDlg.h"
#include "dialogs/qt/OptionsFilterPage.h"
#include "dialogs/qt/OptionsGeneralPage.h"
#include "dialogs/qt/OptionsLayoutPage.h"
#include "dialogs/qt/SqlStmtDlg.h"
#include "dialogs/qt/SqlStmtDlgParaPage.h"
#include "dialogs/qt/SqlStmtDlgTestPage.h"
#include "dialogs/qt/ExportDlg.h"
#include "list/ExportSettings.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "dialogs/qt/SqlFindDlg.h"
#include "sqltext/EditDistance.h"
#include "sqltext/SqlTextCase.h"

namespace corvid {
namespace {

// Runs a job at once on the calling thread.
class CDirectRunner : public IProgressRunner {
public:
    bool Run(const ProgressWork& work, const std::string& title, int flags, const std::string&) override {
        titles.push_back(title);
        this->flags.push_back(flags);
        class : public IProgress {
            void SetProgress(int, const std::string&) override {}
            bool IsCancelled() override { return false; }
        } progress;
        work(progress);
        return true;
    }
    std::vector<std::string> titles;
    std::vector<int> flags;
};

// The main window, view and document of the program over the simulated server,
// with SCOTT connected and the shared pool loaded. Dialogs are shown without a
// modal loop and handed to the test's handler, which ends them.
class StatementCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrompter(&m_prompter);
        SetSettingsStore(&m_store);
        SetSimilarityProgressRunner(&m_runner);
        SetDialogRunner([this](QDialog& dialog) {
            ++m_dialogCount;
            dialog.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            if (m_onDialog) m_onDialog(dialog);
            const int result = dialog.result();
            dialog.hide();
            return result;
        });
        m_connection = testing::MakeSimConnection();
        m_session = std::make_unique<CSession>(*m_connection);
        ASSERT_TRUE(m_session->Connect("SCOTT", "TIGER", "TESTDB", EConnectMode::Normal));
        OpenWindow();
        m_prompter.Clear();
    }

    void OpenWindow() {
        m_document = std::make_unique<CCorvidDoc>(m_connection.get(), m_store, m_prompter, &m_loadRunner);
        m_document->SetSaveOnDestroy(false);
        m_frame = std::make_unique<CMainFrame>();
        m_view = new CCorvidView(*m_document, m_frame.get());
        m_frame->setCentralWidget(m_view);
        m_frame->SetStateQuery([this](ECommand command) {
            return GetCommandState(command, m_connection->IsConnected(), m_document->m_SimilarMode);
        });
        m_view->Refill(true);
        m_context = std::make_unique<SStatementCommandContext>(
            SStatementCommandContext{*m_frame, *m_view, *m_document, *m_session});
    }

    void CloseWindow() {
        m_context.reset();
        m_frame.reset();
        m_document.reset();
    }

    void TearDown() override {
        CloseWindow();
        m_session->Disconnect();
        SetDialogRunner({});
        SetSimilarityProgressRunner(nullptr);
        SetSettingsStore(nullptr);
        SetPrompter(nullptr);
    }

    void Run(ECommand command) { RunStatementCommand(command, *m_context); }

    CListCtrlEx& List() { return m_view->GetListCtrl(); }

    // Selects the rows showing the statements whose text contains the word.
    void SelectRowsWith(const std::string& word) {
        List().SelectNone();
        for (int row = 0; row < List().GetItemCount(); ++row) {
            const auto& entry = m_document->GetCollection()[List().GetItemData(row)];
            if (entry.m_SqlText.find(word) != std::string::npos) List().SetItemSelected(row, true);
        }
    }

    std::vector<std::string> ColumnTitles() {
        std::vector<std::string> titles;
        for (int i = 0; i < List().GetColumnCount(); ++i)
            titles.push_back(List().GetColumnTitle(i));
        return titles;
    }

    CRecordingPrompter m_prompter;
    CMemorySettingsStore m_store;
    CDirectRunner m_runner;
    CDirectRunner m_loadRunner;
    std::unique_ptr<COracleConnection> m_connection;
    std::unique_ptr<CSession> m_session;
    std::unique_ptr<CCorvidDoc> m_document;
    std::unique_ptr<CMainFrame> m_frame;
    CCorvidView* m_view = nullptr;
    std::unique_ptr<SStatementCommandContext> m_context;
    std::function<void(QDialog&)> m_onDialog;
    int m_dialogCount = 0;
};

const char* const kEmpStatement = "SELECT ename FROM emp WHERE empno = 7369";

TEST_F(StatementCommandsTest, CommandsNeedingOneStatementRefuseTwoSelectedRows) {
    ASSERT_GE(List().GetItemCount(), 3);
    SelectRowsWith("emp");
    const auto titles = ColumnTitles();
    Run(ECommand::ShowStatement);
    Run(ECommand::FindSimilar);
    EXPECT_EQ(m_dialogCount, 0);
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>(2, kSelectOneStatementMessage));
    EXPECT_FALSE(m_document->m_SimilarMode);
    EXPECT_EQ(ColumnTitles(), titles);
}

TEST_F(StatementCommandsTest, ShowStatementExplainsTheEditedTextOnTheConnectionAndChangesNothing) {
    SelectRowsWith("7369");
    const std::string before = CollectionDumpText(m_document->GetCollection());
    std::string plan, errorPlan;
    m_onDialog = [&](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidSqlStmtDlg&>(dialog);
        EXPECT_EQ(sheet.windowTitle(), "SQL statement and execution plan");
        sheet.SetActivePage(3);
        CSqlTestPage* page = sheet.TestPage();
        EXPECT_EQ(page->SqlEdit()->toPlainText().toStdString(), kEmpStatement);
        page->GoalList()->setCurrentIndex(1);  // CHOOSE
        QTest::mouseClick(page->ExecuteButton(), Qt::LeftButton);
        plan = page->PlanEdit()->toPlainText().toStdString();
        page->SqlEdit()->setPlainText("SELECT * FROM no_such_table");
        QTest::mouseClick(page->ExecuteButton(), Qt::LeftButton);
        errorPlan = page->PlanEdit()->toPlainText().toStdString();
        sheet.accept();
    };
    Run(ECommand::ShowStatement);
    EXPECT_EQ(m_dialogCount, 1);
    EXPECT_NE(plan.find("SELECT STATEMENT"), std::string::npos) << plan;
    EXPECT_NE(plan.find("EMP"), std::string::npos) << plan;
    EXPECT_EQ(errorPlan, "");
    ASSERT_EQ(m_prompter.Messages().size(), 1u);
    EXPECT_EQ(m_prompter.Messages()[0].rfind("A parse error has occurred!\nThe statement was not analyzed.\nORA-", 0),
              0u)
        << m_prompter.Messages()[0];
    EXPECT_EQ(CollectionDumpText(m_document->GetCollection()), before);
}

TEST_F(StatementCommandsTest, AStatementParsedUnderRuleExecutesOnTheTestPage) {
    SelectRowsWith("7369");
    for (auto& entry : m_document->GetCollection())
        entry.m_OptimizerMode = "RULE";
    std::string plan;
    m_onDialog = [&](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidSqlStmtDlg&>(dialog);
        sheet.SetActivePage(3);
        // With no goal chosen the server refused "ALTER SESSION SET OPTIMIZER_GOAL = " (ORA-00922).
        EXPECT_EQ(sheet.TestPage()->GoalList()->currentText(), "CHOOSE");
        QTest::mouseClick(sheet.TestPage()->ExecuteButton(), Qt::LeftButton);
        plan = sheet.TestPage()->PlanEdit()->toPlainText().toStdString();
    };
    Run(ECommand::ShowStatement);
    EXPECT_TRUE(m_prompter.Messages().empty()) << m_prompter.LastMessage();
    EXPECT_NE(plan.find("SELECT STATEMENT"), std::string::npos) << plan;
}

TEST_F(StatementCommandsTest, EnteringAndLeavingTheSimilarView) {
    const auto userTitles = ColumnTitles();
    // The statement of another command type is left out unless all types are compared.
    for (auto& entry : m_document->GetCollection()) {
        if (entry.m_SqlText.find("dual") != std::string::npos) entry.m_CommandType = 2;
    }
    SelectRowsWith("7369");
    m_onDialog = [](QDialog& dialog) {
        auto& find = dynamic_cast<CSqlFindDlg&>(dialog);
        QTest::mouseClick(find.OkButton(), Qt::LeftButton);
    };
    Run(ECommand::FindSimilar);
    EXPECT_TRUE(m_document->m_SimilarMode);
    EXPECT_EQ(m_runner.titles, std::vector<std::string>{"Processing"});
    EXPECT_EQ(m_runner.flags, std::vector<int>{kProgressCanCancel});
    EXPECT_EQ(ColumnTitles(), (std::vector<std::string>{"Distance", "User", "SQL Text"}));
    EXPECT_EQ(List().GetColumnWidth(2), 1500);
    const int count = static_cast<int>(m_document->GetCollection().GetSize());
    ASSERT_EQ(List().GetItemCount(), count - 1);
    EXPECT_EQ(List().GetItemText(0, 0), "0");
    EXPECT_EQ(List().GetItemText(0, 2), kEmpStatement);
    EXPECT_EQ(m_document->GetCollection()[List().GetItemData(0)].m_SqlText, kEmpStatement);
    EXPECT_NE(List().GetItemText(1, 0), "0");
    EXPECT_EQ(m_document->GetCollection()[List().GetItemData(1)].m_SqlText, List().GetItemText(1, 2));

    // The commands' states follow the view.
    m_frame->UpdateCommandStates();
    EXPECT_TRUE(m_frame->Action(ECommand::FindSimilar)->isChecked());
    EXPECT_FALSE(m_frame->Action(ECommand::Load)->isEnabled());
    EXPECT_FALSE(m_frame->Action(ECommand::FlushSharedPool)->isEnabled());
    EXPECT_FALSE(m_frame->Action(ECommand::Options)->isEnabled());

    // Show statement on a row of the similar view shows that row's statement.
    List().SelectNone();
    List().SetItemSelected(1, true);
    std::string shown;
    m_onDialog = [&](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidSqlStmtDlg&>(dialog);
        sheet.SetActivePage(2);
        shown = sheet.ParameterPage()->List()->item(23, 1)->text().toStdString();
    };
    Run(ECommand::ShowStatement);
    EXPECT_EQ(shown, List().GetItemText(1, 2));

    // Find similar again returns to the user's own columns and every statement.
    m_onDialog = nullptr;
    const int dialogs = m_dialogCount;
    Run(ECommand::FindSimilar);
    EXPECT_EQ(m_dialogCount, dialogs);
    EXPECT_FALSE(m_document->m_SimilarMode);
    EXPECT_EQ(ColumnTitles(), userTitles);
    EXPECT_EQ(List().GetItemCount(), count);
    m_frame->UpdateCommandStates();
    EXPECT_FALSE(m_frame->Action(ECommand::FindSimilar)->isChecked());
    EXPECT_TRUE(m_frame->Action(ECommand::Options)->isEnabled());
}

TEST_F(StatementCommandsTest, AllCommandTypesComparesEveryStatementAndCancelComparesNone) {
    for (auto& entry : m_document->GetCollection()) {
        if (entry.m_SqlText.find("dual") != std::string::npos) entry.m_CommandType = 2;
    }
    SelectRowsWith("7369");
    m_onDialog = [](QDialog& dialog) { dialog.reject(); };
    Run(ECommand::FindSimilar);
    EXPECT_FALSE(m_document->m_SimilarMode);
    EXPECT_TRUE(m_runner.titles.empty());

    m_onDialog = [](QDialog& dialog) {
        auto& find = dynamic_cast<CSqlFindDlg&>(dialog);
        find.AllCommandTypesBox()->setChecked(true);
        find.accept();
    };
    Run(ECommand::FindSimilar);
    EXPECT_EQ(List().GetItemCount(), m_document->GetCollection().GetSize());
    for (int row = 1; row < List().GetItemCount(); ++row) {
        EXPECT_LE(std::stoi(List().GetItemText(row - 1, 0)), std::stoi(List().GetItemText(row, 0)));
    }
}

// Holds the similar search on its thread right after its first screen until released.
class CFirstScreenGate {
public:
    CFirstScreenGate() {
        SetSimilarSearchFirstScreenHook([this] {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
        });
    }
    ~CFirstScreenGate() {
        Release();
        SetSimilarSearchFirstScreenHook({});
    }
    // The search reaches the gate just after handing its first screen over.
    bool WaitUntilHeld() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [this] { return m_held; });
    }
    void Release() {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_released = false;
};

class SimilarViewFillTest : public StatementCommandsTest {
protected:
    // Thousands of statements of spread lengths beside the loaded ones, so that the
    // nearest of a short one are known long before the last comparison.
    void AddStatements() {
        CObjectArray& collection = m_document->GetCollection();
        const CObjectEntry model = collection[0];
        for (int i = 0; i < 3000; ++i) {
            CObjectEntry entry = model;
            entry.m_CommandType = 3;
            entry.m_SqlText = "select /*N" + std::to_string(i) + "*/ " +
                              std::string(static_cast<std::size_t>((i * 37) % 900), 'x') + " from t";
            collection.Add(std::move(entry));
        }
        ASSERT_TRUE(m_view->Refill(false));
        SelectRowsWith("/*N0*/");
        m_chosen = m_view->GetSelectedPosition();
        ASSERT_GE(m_chosen, 0);
        m_onDialog = [](QDialog& dialog) { dialog.accept(); };
    }

    // The positions of the statements of the chosen one's type, nearest first, the
    // chosen one first among equals, else in collection order.
    std::vector<CObjectArray::Index> PlainOrder() const {
        const CObjectArray& collection = m_document->GetCollection();
        const std::string pattern = UpperCaseSqlText(collection[m_chosen].m_SqlText);
        std::vector<std::pair<int, CObjectArray::Index>> ranked;
        for (CObjectArray::Index i = 0; i < collection.GetSize(); ++i) {
            if (collection[i].m_CommandType != collection[m_chosen].m_CommandType) continue;
            ranked.emplace_back(EditDistance(pattern, UpperCaseSqlText(collection[i].m_SqlText)),
                                i == m_chosen ? -1 : i);
        }
        std::sort(ranked.begin(), ranked.end());
        std::vector<CObjectArray::Index> order;
        for (const auto& [distance, position] : ranked)
            order.push_back(position < 0 ? m_chosen : position);
        return order;
    }

    std::vector<CObjectArray::Index> Rows() {
        std::vector<CObjectArray::Index> rows;
        for (int row = 0; row < List().GetItemCount(); ++row)
            rows.push_back(static_cast<CObjectArray::Index>(List().GetItemData(row)));
        return rows;
    }

    CObjectArray::Index m_chosen = -1;
};

TEST_F(SimilarViewFillTest, TheNearestShowFirstAndTheRestFillsInToTheFullOrder) {
    AddStatements();
    const std::vector<CObjectArray::Index> expected = PlainOrder();
    CFirstScreenGate gate;
    Run(ECommand::FindSimilar);

    // The search is held after its first screen: the view shows it, and waits.
    ASSERT_TRUE(gate.WaitUntilHeld());
    EXPECT_TRUE(m_document->m_SimilarMode);
    EXPECT_TRUE(m_view->IsBusy());
    EXPECT_EQ(Rows(), std::vector<CObjectArray::Index>(expected.begin(), expected.begin() + 50));
    EXPECT_TRUE(m_frame->ProgressText()->text().startsWith("Comparing statements"));
    EXPECT_FALSE(m_frame->ProgressBar()->isHidden());
    // Commands wait for it: find similar neither leaves the view nor starts another search.
    const int dialogs = m_dialogCount;
    Run(ECommand::FindSimilar);
    EXPECT_EQ(m_dialogCount, dialogs);
    EXPECT_TRUE(m_document->m_SimilarMode);

    // What the user selects among the first screen stays selected.
    List().SelectNone();
    List().SetItemSelected(3, true);

    gate.Release();
    QTRY_VERIFY_WITH_TIMEOUT(!m_view->IsBusy(), 60000);
    EXPECT_EQ(Rows(), expected);
    EXPECT_EQ(List().GetSelectedItems(), std::vector<int>{3});
    EXPECT_TRUE(m_frame->ProgressBar()->isHidden());
    EXPECT_TRUE(m_frame->ProgressText()->isHidden());
    EXPECT_TRUE(m_prompter.Messages().empty()) << m_prompter.LastMessage();
}

TEST_F(SimilarViewFillTest, EscapeStopsTheFillAndKeepsTheNearest) {
    AddStatements();
    const std::vector<CObjectArray::Index> expected = PlainOrder();
    // On one thread, so that nothing is compared while the search is held.
    SetSimilarSearchThreads(1);
    CFirstScreenGate gate;
    Run(ECommand::FindSimilar);
    ASSERT_TRUE(gate.WaitUntilHeld());
    QTest::keyClick(m_view, Qt::Key_Escape);
    gate.Release();
    QTRY_VERIFY_WITH_TIMEOUT(!m_view->IsBusy(), 60000);
    SetSimilarSearchThreads(0);
    EXPECT_TRUE(m_document->m_SimilarMode);
    EXPECT_EQ(Rows(), std::vector<CObjectArray::Index>(expected.begin(), expected.begin() + 50));
    EXPECT_TRUE(m_frame->ProgressBar()->isHidden());

    // The view can be left as usual afterwards.
    Run(ECommand::FindSimilar);
    EXPECT_FALSE(m_document->m_SimilarMode);
    EXPECT_EQ(List().GetItemCount(), m_document->GetCollection().GetSize());
}

TEST_F(SimilarViewFillTest, ClosingTheWindowWhileTheRestFillsInStopsTheSearch) {
    AddStatements();
    CFirstScreenGate gate;
    Run(ECommand::FindSimilar);
    ASSERT_TRUE(gate.WaitUntilHeld());
    gate.Release();
    CloseWindow();  // the view joins the search before the document goes
}

TEST_F(StatementCommandsTest, ClosingInTheSimilarViewKeepsTheUsersLayout) {
    List().SetColumnWidth(0, 123);
    m_view->SaveLayout();
    m_document->WriteSettings();
    const auto saved = m_store.Sections().at("ListLayout");
    CloseWindow();
    OpenWindow();
    EXPECT_EQ(List().GetColumnWidth(0), 123);

    SelectRowsWith("7369");
    m_onDialog = [](QDialog& dialog) { dialog.accept(); };
    Run(ECommand::FindSimilar);
    ASSERT_TRUE(m_document->m_SimilarMode);
    CloseWindow();
    EXPECT_EQ(m_store.Sections().at("ListLayout"), saved);
    OpenWindow();
    EXPECT_EQ(List().GetColumnTitle(0), "User");
    EXPECT_EQ(List().GetColumnWidth(0), 123);
}

class ExportCommandTest : public StatementCommandsTest {
protected:
    void SetUp() override {
        StatementCommandsTest::SetUp();
        ASSERT_TRUE(m_dir.isValid());
        m_previous = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void TearDown() override {
        QDir::setCurrent(m_previous);
        StatementCommandsTest::TearDown();
    }
    bool Exists(const QString& name) const { return QFile::exists(m_dir.filePath(name)); }
    QByteArray Read(const QString& name) const {
        QFile file(m_dir.filePath(name));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

    QTemporaryDir m_dir;
    QString m_previous;
};

TEST_F(ExportCommandTest, TheFirstExportEverWritesXmlUnderTheDefaultName) {
    m_onDialog = [](QDialog& dialog) {
        auto& export_ = dynamic_cast<CExportDlg&>(dialog);
        EXPECT_TRUE(export_.FormatButton(1)->isChecked());
        EXPECT_EQ(export_.NameEdit()->text(), "SQL statements in the Oracle SGA");
        EXPECT_EQ(export_.FileEdit()->text(), "Corvid");
        QTest::mouseClick(export_.OkButton(), Qt::LeftButton);
    };
    Run(ECommand::Export);
    EXPECT_TRUE(Exists("Corvid.XML"));
    EXPECT_TRUE(Exists("Corvid_XML.HTML"));
    EXPECT_TRUE(Read("Corvid.XML").contains("<User>SCOTT</User>"));
    EXPECT_TRUE(Read("Corvid_XML.HTML").contains("Corvid.XML"));
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system("xmllint --valid --noout Corvid.XML"), 0);
    }
    EXPECT_EQ(m_store.GetProfileInt("Filter", "ExportType", -5), 1);
    EXPECT_EQ(m_store.GetProfileString("Filter", "ExportFileName", ""), "Corvid");
    EXPECT_TRUE(m_prompter.Prompts().empty());
}

TEST_F(ExportCommandTest, AStoredIndexOfSevenChoosesNoFormatAndWritesNothing) {
    m_document->m_ExportType = 7;
    m_onDialog = [](QDialog& dialog) {
        auto& export_ = dynamic_cast<CExportDlg&>(dialog);
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(export_.FormatButton(i)->isChecked());
        export_.accept();
    };
    Run(ECommand::Export);
    EXPECT_EQ(m_store.GetProfileInt("Filter", "ExportType", 5), -1);
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(ExportCommandTest, AnEmptyFileFieldIsRefusedAndTheSimilarViewExportsItsColumns) {
    SelectRowsWith("7369");
    m_onDialog = [](QDialog& dialog) { dialog.accept(); };
    Run(ECommand::FindSimilar);
    m_onDialog = [this](QDialog& dialog) {
        auto& export_ = dynamic_cast<CExportDlg&>(dialog);
        export_.FormatButton(2)->click();
        export_.FileEdit()->clear();
        export_.accept();
        // Refused: a hidden ".CSV" is no file anybody asked for.
        EXPECT_TRUE(export_.isVisible());
        EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{kNoExportFileNameMessage});
        export_.FileEdit()->setText("similar");
        export_.accept();
    };
    Run(ECommand::Export);
    EXPECT_FALSE(Exists(".CSV"));
    ASSERT_TRUE(Exists("similar.CSV"));
    EXPECT_TRUE(Read("similar.CSV").startsWith("Distance,User,SQL Text\r\n\"0\",\"SCOTT\""));
    // The status bar says how many rows went to which file.
    const QString status = m_frame->MessagePane()->text();
    EXPECT_TRUE(status.startsWith(QStringLiteral("Exported %1 row").arg(List().GetItemCount()))) << status.toStdString();
    EXPECT_TRUE(status.endsWith(QStringLiteral("/similar.CSV"))) << status.toStdString();
    EXPECT_TRUE(QFileInfo(status.section(QStringLiteral(" to "), 1)).isAbsolute()) << status.toStdString();
}

TEST_F(ExportCommandTest, TheChoicesAreSavedEvenWhenTheExportFails) {
    m_onDialog = [](QDialog& dialog) {
        auto& export_ = dynamic_cast<CExportDlg&>(dialog);
        export_.FormatButton(0)->click();
        export_.FileEdit()->setText("no/such/folder/list");
        export_.accept();
    };
    Run(ECommand::Export);
    EXPECT_EQ(m_prompter.Messages(),
              std::vector<std::string>{"Unable to create the file 'no/such/folder/list.HTML': No such file or directory"});
    EXPECT_TRUE(m_frame->MessagePane()->text().startsWith("Export failed: "));
    EXPECT_EQ(m_store.GetProfileInt("Filter", "ExportType", -5), 0);
    EXPECT_EQ(m_store.GetProfileString("Filter", "ExportFileName", ""), "no/such/folder/list");
}

TEST_F(ExportCommandTest, CancelSavesAndWritesNothing) {
    const int writes = m_store.WriteCount();
    m_onDialog = [](QDialog& dialog) { dialog.reject(); };
    Run(ECommand::Export);
    EXPECT_EQ(m_store.WriteCount(), writes);
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(StatementCommandsTest, OptionsConfirmedWithoutChangesSavesNothingAndDoesNotRefill) {
    const int writes = m_store.WriteCount();
    List().SetItemText(0, 0, "MARK");
    m_onDialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
        for (int page = 0; page < 5; ++page)
            sheet.SetActivePage(page);
        sheet.accept();
    };
    Run(ECommand::Options);
    EXPECT_EQ(m_dialogCount, 1);
    EXPECT_EQ(m_store.WriteCount(), writes);
    EXPECT_EQ(List().GetItemText(0, 0), "MARK");
}

TEST_F(StatementCommandsTest, AChangedSettingIsSavedWithoutRefillingTheList) {
    List().SetItemText(0, 0, "MARK");
    m_onDialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
        sheet.GeneralPage()->AnalyzeBox()->setChecked(false);
        sheet.accept();
    };
    Run(ECommand::Options);
    EXPECT_EQ(m_document->m_Analyze, 0);
    EXPECT_EQ(m_store.GetProfileInt("Filter", "Analyze", -1), 0);
    EXPECT_EQ(List().GetItemText(0, 0), "MARK");
}

TEST_F(StatementCommandsTest, TheCursorCacheBoxSwitchesTheDocumentsPlanSource) {
    ASSERT_EQ(m_document->m_CursorCachePlans, 1);
    auto setBox = [this](bool checked, bool expectedShown) {
        m_onDialog = [checked, expectedShown](QDialog& dialog) {
            auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
            QCheckBox* box = sheet.GeneralPage()->CursorPlansBox();
            EXPECT_EQ(box->isChecked(), expectedShown);
            EXPECT_TRUE(box->isEnabled());
            box->setChecked(checked);
            sheet.accept();
        };
        Run(ECommand::Options);
    };
    setBox(false, true);
    EXPECT_EQ(m_document->m_CursorCachePlans, 0);
    EXPECT_EQ(m_store.GetProfileInt("Filter", "CursorCachePlans", -1), 0);
    setBox(true, false);
    EXPECT_EQ(m_document->m_CursorCachePlans, 1);
    EXPECT_EQ(m_store.GetProfileInt("Filter", "CursorCachePlans", -1), 1);
}

TEST_F(StatementCommandsTest, TheElapsedConditionGoesFromTheFilterPageToTheDocumentAndTheSettings) {
    m_onDialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
        sheet.SetActivePage(1);
        sheet.FilterPage()->ComparisonBox(kFilterElapsed)->setCurrentIndex(2);
        sheet.FilterPage()->ValueBox(kFilterElapsed)->setText("2.5");
        sheet.accept();
    };
    Run(ECommand::Options);
    EXPECT_EQ(m_document->GetFilter().m_FiltElapsedC, kCompareGreater);
    EXPECT_EQ(m_document->GetFilter().m_FiltElapsedV, 250);
    EXPECT_EQ(m_store.GetProfileInt("Filter", "FiltElapsedC", -1), kCompareGreater);
    EXPECT_EQ(m_store.GetProfileInt("Filter", "FiltElapsedV", -1), 250);
    m_onDialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
        sheet.SetActivePage(1);
        EXPECT_EQ(sheet.FilterPage()->ValueBox(kFilterElapsed)->text(), "2.5");
        sheet.reject();
    };
    Run(ECommand::Options);
}

TEST_F(StatementCommandsTest, TheSimilarViewStartsAtTheLeftAndTheRoundTripKeepsTheSortAndSelection) {
    // The user sorts by the first column and scrolls the wide list to the right.
    List().OnHeaderClick(0, false);
    int position = 0;
    bool ascending = false;
    ASSERT_TRUE(List().GetSortKey(0, position, ascending));
    const bool userAscending = ascending;
    m_frame->resize(500, 400);
    m_frame->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame.get()));
    m_view->horizontalScrollBar()->setValue(m_view->horizontalScrollBar()->maximum());
    ASSERT_GT(m_view->horizontalScrollBar()->value(), 0);

    SelectRowsWith("7369");
    const std::vector<CObjectArray::Index> chosen = m_view->SelectedPositions();
    ASSERT_EQ(chosen.size(), 1u);
    m_onDialog = [](QDialog& dialog) { dialog.accept(); };
    Run(ECommand::FindSimilar);
    ASSERT_TRUE(m_document->m_SimilarMode);
    EXPECT_EQ(m_view->horizontalScrollBar()->value(), 0) << "the Distance column is in sight";

    // Back in the full list: the user's sort, and the statement selected in the similar view.
    m_view->horizontalScrollBar()->setValue(m_view->horizontalScrollBar()->maximum());
    List().SelectNone();
    List().SetItemSelected(0, true);  // the chosen statement heads the similar view
    Run(ECommand::FindSimilar);
    ASSERT_FALSE(m_document->m_SimilarMode);
    EXPECT_EQ(m_view->horizontalScrollBar()->value(), 0);
    ASSERT_TRUE(List().GetSortKey(0, position, ascending));
    EXPECT_EQ(position, 1);
    EXPECT_EQ(ascending, userAscending);
    EXPECT_TRUE(List().GetHeader().HasSortArrow(0, &ascending));
    EXPECT_EQ(m_view->SelectedPositions(), chosen);
    EXPECT_EQ(m_view->selectionModel()->selectedRows().size(), 1);
}

TEST_F(StatementCommandsTest, DefaultWidthsFitAddressesAndSortedTitlesButSavedWidthsStay) {
    auto column = [this](const std::string& title) {
        for (int c = 0; c < List().GetColumnCount(); ++c) {
            if (List().GetColumnTitle(c) == title) return c;
        }
        return -1;
    };
    const int address = column("Address");
    ASSERT_GE(address, 0);
    // 70 pixels showed "000000..." of a 16-digit address.
    EXPECT_GE(List().GetColumnWidth(address),
              m_view->fontMetrics().horizontalAdvance(QStringLiteral("0000000000000000")) + 12);
    EXPECT_EQ(m_view->horizontalHeader()->sectionSize(address), List().GetColumnWidth(address));
    const int sorted = column("Buf Get/E");
    EXPECT_GE(List().GetColumnWidth(sorted), m_view->HeaderFitWidth(sorted, true));

    // Sorting by another column makes room for its title beside the arrow.
    const int exec = column("Exec");
    List().SetColumnWidth(exec, 40);
    emit m_view->horizontalHeader()->sectionClicked(exec);  // a click on the header
    bool ascending = true;
    ASSERT_TRUE(List().GetHeader().HasSortArrow(exec, &ascending));
    EXPECT_GE(List().GetColumnWidth(exec), m_view->HeaderFitWidth(exec, true));

    // A layout the user saved keeps its widths, narrow or not.
    CListLayout narrow;
    for (CListColLayout c : m_document->GetDefaultLayout().GetColumns()) {
        if (c.m_Id == kColAddress) c.m_Width = 70;
        if (c.m_Id == kColErrorMessage) c.m_Width = 30;
        narrow.AddColumn(c);
    }
    m_document->GetListLayout() = narrow;
    m_view->ApplyLayout();
    EXPECT_EQ(List().GetColumnWidth(column("Address")), 70);
    EXPECT_EQ(List().GetColumnWidth(column("Error Message")), 30);
}

TEST_F(StatementCommandsTest, ALayoutChangeKeepsTheSelectedStatements) {
    SelectRowsWith("7369");
    const std::vector<CObjectArray::Index> chosen = m_view->SelectedPositions();
    ASSERT_EQ(chosen.size(), 1u);
    const int columns = List().GetColumnCount();
    m_onDialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
        sheet.SetActivePage(4);
        QTableWidget* list = sheet.LayoutPage()->List();
        for (int row = 0; row < list->rowCount(); ++row) {
            if (list->item(row, 0)->text() == "User") list->item(row, 0)->setCheckState(Qt::Unchecked);
        }
        sheet.accept();
    };
    Run(ECommand::Options);
    ASSERT_EQ(List().GetColumnCount(), columns - 1);
    EXPECT_EQ(m_view->SelectedPositions(), chosen);
    ASSERT_EQ(m_view->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(m_view->selectionModel()->selectedRows()[0].row(), List().GetSelectedItems()[0]);
}

TEST_F(StatementCommandsTest, UncheckingAColumnRemovesItAndCheckingItAgainAppendsIt) {
    auto toggle = [this](const QString& title, Qt::CheckState state) {
        m_onDialog = [title, state](QDialog& dialog) {
            auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
            sheet.SetActivePage(4);
            QTableWidget* list = sheet.LayoutPage()->List();
            for (int row = 0; row < list->rowCount(); ++row) {
                if (list->item(row, 0)->text() == title) list->item(row, 0)->setCheckState(state);
            }
            sheet.accept();
        };
        Run(ECommand::Options);
    };
    toggle("User", Qt::Unchecked);
    EXPECT_EQ(List().GetColumnCount(), 26);
    EXPECT_EQ(List().GetColumnTitle(0), "Exec");
    EXPECT_EQ(List().GetItemCount(), m_document->GetCollection().GetSize());
    EXPECT_EQ(m_store.GetProfileInt("ListLayout", "Column#", 0), 26);
    toggle("User", Qt::Checked);
    EXPECT_EQ(List().GetColumnCount(), 27);
    EXPECT_EQ(List().GetColumnTitle(26), "User");
    // A figure of today's servers that a fresh profile does not show can be chosen.
    toggle("CPU/E (ms)", Qt::Checked);
    EXPECT_EQ(List().GetColumnCount(), 28);
    EXPECT_EQ(List().GetColumnTitle(27), "CPU/E (ms)");
}

TEST_F(StatementCommandsTest, FindSqlIdSelectsThatStatementAlone) {
    const CObjectArray& collection = m_document->GetCollection();
    ASSERT_GE(collection.GetSize(), 3);
    const CObjectEntry& wanted = collection[collection.GetSize() / 2];
    ASSERT_EQ(wanted.m_SqlId.size(), 13u);
    List().SelectNone();
    std::string typed = " ";
    wanted.m_SqlId.AppendTo(typed);
    typed += ' ';
    typed[3] = static_cast<char>(std::toupper(static_cast<unsigned char>(typed[3])));
    m_onDialog = [typed](QDialog& dialog) {
        auto& find = dynamic_cast<CFindSqlIdDlg&>(dialog);
        find.SqlIdEdit()->setText(QString::fromStdString(typed));
        find.accept();
    };
    Run(ECommand::FindSqlId);
    ASSERT_EQ(List().GetSelectedItems().size(), 1u);
    EXPECT_EQ(List().GetItemData(List().GetSelectedItems()[0]), collection.GetSize() / 2);
    EXPECT_TRUE(m_prompter.Messages().empty());

    m_onDialog = [](QDialog& dialog) {
        auto& find = dynamic_cast<CFindSqlIdDlg&>(dialog);
        find.SqlIdEdit()->setText("0000000000000");
        find.accept();
    };
    Run(ECommand::FindSqlId);
    EXPECT_EQ(m_prompter.Messages(),
              std::vector<std::string>{"No statement with the SQL ID 0000000000000 in the list."});
    EXPECT_EQ(List().GetSelectedItems().size(), 1u) << "the selection stays";
}

TEST_F(StatementCommandsTest, DefaultThenOkRestoresTheDefaultColumns) {
    CListLayout narrow;
    narrow.AddColumn(kColSqlText, "SQL Text", 300, kAlignLeft, kFormatText, 0, true);
    m_document->GetListLayout() = narrow;
    m_view->ApplyLayout();
    m_view->Refill(false);
    ASSERT_EQ(List().GetColumnCount(), 1);
    m_onDialog = [](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidOptionsDlg&>(dialog);
        sheet.SetActivePage(4);
        QTest::mouseClick(sheet.LayoutPage()->DefaultButton(), Qt::LeftButton);
        sheet.accept();
    };
    Run(ECommand::Options);
    EXPECT_EQ(List().GetColumnCount(), 27);
    EXPECT_EQ(List().GetColumnTitle(0), "User");
    EXPECT_TRUE(m_document->GetListLayout().IsEqual(CListLayout::MakeFreshLayout()));
}

TEST_F(StatementCommandsTest, OptionsWhileNotConnectedAsksToConnectAndOpensNothing) {
    m_session->Disconnect();
    Run(ECommand::Options);
    EXPECT_EQ(m_dialogCount, 0);
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{kNotConnectedMessage});
}

// Pictures of the four dialogs and the similar view on the demo database, for the
// documentation; taken only when CORVID_SCREENSHOT_DIR names the folder to write
// them to (the test program then runs on the demo database).
TEST(StatementScreenshots, DialogsOnTheDemoDatabase) {
    const QString folder = QString::fromLocal8Bit(qgetenv("CORVID_SCREENSHOT_DIR"));
    if (folder.isEmpty()) GTEST_SKIP() << "CORVID_SCREENSHOT_DIR is not set";
    auto save = [&folder](QWidget& widget, const char* name) {
        QApplication::processEvents();
        QTest::qWait(50);
        EXPECT_TRUE(widget.grab().save(QDir(folder).filePath(name))) << name;
    };
    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    {
        CCorvidApp app;
        app.UseServices(&store, &prompter);
        app.SetLibraryFolders({testing::SimLibraryFolder()});
        CCorvidCommandLineInfo commandLine;
        commandLine.Parse({"-uSCOTT", "-pTIGER", "-sDEMO"});
        ASSERT_TRUE(app.InitInstance(commandLine));
        CMainFrame* frame = app.MainFrame();
        frame->showNormal();
        frame->setGeometry(60, 60, 1180, 640);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        app.OnCommand(ECommand::Load);
        CListCtrlEx& list = app.View()->GetListCtrl();
        ASSERT_GT(list.GetItemCount(), 10);
        // A statement with a plan: the first of the list that was explained.
        int row = 0;
        while (row < list.GetItemCount() && app.Document()->GetCollection()[list.GetItemData(row)].SqlPlan().empty()) {
            ++row;
        }
        app.View()->selectRow(row < list.GetItemCount() ? row : 0);

        SetDialogRunner([&](QDialog& dialog) {
            dialog.resize(dialog.sizeHint().expandedTo(dialog.size()));
            dialog.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            if (auto* sheet = dynamic_cast<CCorvidSqlStmtDlg*>(&dialog)) {
                save(*sheet, "statement-sheet.png");
                sheet->SetActivePage(1);
                save(*sheet, "statement-plan.png");
                sheet->SetActivePage(2);
                save(*sheet, "statement-parameters.png");
                sheet->SetActivePage(3);
                sheet->TestPage()->GoalList()->setCurrentIndex(2);
                sheet->TestPage()->ExecuteSql();
                save(*sheet, "statement-test.png");
            } else if (auto* options = dynamic_cast<CCorvidOptionsDlg*>(&dialog)) {
                options->SetActivePage(1);
                options->FilterPage()->ComparisonBox(kFilterExecs)->setCurrentIndex(2);
                save(*options, "options-filter.png");
                options->SetActivePage(4);
                save(*options, "options-layout.png");
            } else if (dynamic_cast<CExportDlg*>(&dialog)) {
                save(dialog, "export-dialog.png");
            } else if (dynamic_cast<CSqlFindDlg*>(&dialog)) {
                save(dialog, "find-similar-dialog.png");
                dialog.accept();
                return static_cast<int>(QDialog::Accepted);
            }
            dialog.reject();
            return static_cast<int>(QDialog::Rejected);
        });
        app.OnCommand(ECommand::ShowStatement);
        app.OnCommand(ECommand::Options);
        app.OnCommand(ECommand::Export);
        app.OnCommand(ECommand::FindSimilar);
        app.View()->selectRow(1);
        save(*frame, "similar-view.png");
        app.OnCommand(ECommand::FindSimilar);
        SetDialogRunner({});
        app.ExitInstance();
    }
    SetPrompter(nullptr);
    SetSettingsStore(nullptr);
}

// The family view over the test pool with two more copies of the empno lookup
// that differ only in their literals.
class FamilyViewTest : public ExportCommandTest {
protected:
    void SetUp() override {
        ExportCommandTest::SetUp();
        CObjectArray& collection = m_document->GetCollection();
        CObjectEntry copy;
        for (const CObjectEntry& entry : collection)
            if (entry.m_SqlText == kEmpStatement) copy = entry;
        ASSERT_FALSE(copy.m_SqlText.empty());
        for (const char* literal : {"7499", "'7521'"}) {
            copy.m_SqlText = std::string("select ENAME from EMP where EMPNO = ") + literal;
            copy.m_BufferGets = 10;
            copy.m_UserName = "SHOP";
            copy.m_ParsingUserId = 61;
            collection.Add(copy);
        }
        m_view->Refill(false);
        m_frame->SetStateQuery([this](ECommand command) {
            return GetCommandState(command, m_connection->IsConnected(), m_document->m_SimilarMode,
                                   m_document->m_FamilyMode, m_document->m_FamilyFilter >= 0);
        });
        m_frame->SetDispatcher([this](ECommand command) { Run(command); });
        m_view->SetDispatcher([this](ECommand command) { m_frame->RunCommand(command); });
        m_frame->UpdateCommandStates();
    }

    int RowOfFamily(const std::string& text) {
        for (int row = 0; row < List().GetItemCount(); ++row)
            if (List().GetItemText(row, 9) == text) return row;
        return -1;
    }

    static constexpr const char* kEmpFamily = "SELECT ENAME FROM EMP WHERE EMPNO = ?";
};

TEST_F(FamilyViewTest, TheFamilyViewListsTheFamiliesAndLocksLoadFlushAndOptionsUntilLeft) {
    const auto userTitles = ColumnTitles();
    m_frame->RunCommand(ECommand::StatementFamilies);
    ASSERT_TRUE(m_document->m_FamilyMode);
    EXPECT_EQ(ColumnTitles(), (std::vector<std::string>{"Statements", "Executions", "Parses", "Buf Get", "Disk Rds",
                                                        "% Buff.", "%  Disk", "Sharable Mem", "Users", "Family"}));
    ASSERT_EQ(List().GetItemCount(), 3);
    // Sorted by statements, descending.
    EXPECT_EQ(List().GetItemText(0, 9), kEmpFamily);
    EXPECT_EQ(List().GetItemText(0, 0), "3");
    EXPECT_EQ(List().GetItemText(0, 3), "1020");
    EXPECT_EQ(List().GetItemText(0, 8), "SCOTT, SHOP");

    EXPECT_TRUE(m_frame->Action(ECommand::StatementFamilies)->isChecked());
    EXPECT_FALSE(m_frame->Action(ECommand::Load)->isEnabled());
    EXPECT_FALSE(m_frame->Action(ECommand::FlushSharedPool)->isEnabled());
    EXPECT_FALSE(m_frame->Action(ECommand::Options)->isEnabled());
    EXPECT_FALSE(m_frame->Action(ECommand::FindSimilar)->isEnabled());
    EXPECT_TRUE(m_frame->Action(ECommand::Export)->isEnabled());
    m_frame->RunCommand(ECommand::Options);
    EXPECT_EQ(m_dialogCount, 0);

    // A header click sorts the families like the statement list.
    List().OnHeaderClick(3, false);
    EXPECT_EQ(List().GetItemText(0, 3), "50");

    // Export writes what the view shows.
    m_onDialog = [](QDialog& dialog) {
        auto& export_ = dynamic_cast<CExportDlg&>(dialog);
        export_.FormatButton(2)->click();
        export_.FileEdit()->setText("families");
        export_.accept();
    };
    m_frame->RunCommand(ECommand::Export);
    const QByteArray csv = Read("families.CSV");
    EXPECT_TRUE(
        csv.startsWith("Statements,Executions,Parses,Buf Get,Disk Rds,% Buff.,%  Disk,Sharable Mem,Users,Family"
                       "\r\n\"1\",\"5\","))
        << csv.toStdString();
    EXPECT_TRUE(csv.contains(kEmpFamily));

    // The same command leaves it for the whole statement list.
    m_frame->RunCommand(ECommand::StatementFamilies);
    EXPECT_FALSE(m_document->m_FamilyMode);
    EXPECT_EQ(ColumnTitles(), userTitles);
    EXPECT_EQ(List().GetItemCount(), 5);
    EXPECT_TRUE(m_frame->Action(ECommand::Load)->isEnabled());
    EXPECT_FALSE(m_frame->Action(ECommand::StatementFamilies)->isChecked());
}

TEST_F(FamilyViewTest, OpeningAFamilyShowsItsMembersUnderANoteUntilEscape) {
    m_frame->RunCommand(ECommand::StatementFamilies);
    // Enter without a selected family says so and stays.
    QTest::keyClick(m_view, Qt::Key_Return);
    EXPECT_EQ(m_prompter.Messages(), std::vector<std::string>{kSelectOneFamilyMessage});
    EXPECT_TRUE(m_document->m_FamilyMode);

    List().SetItemSelected(RowOfFamily(kEmpFamily), true);
    QTest::keyClick(m_view, Qt::Key_Return);
    ASSERT_FALSE(m_document->m_FamilyMode);
    ASSERT_EQ(List().GetItemCount(), 3);
    for (int row = 0; row < 3; ++row) {
        const std::string& text = m_document->GetCollection()[List().GetItemData(row)].m_SqlText;
        EXPECT_TRUE(text.find("empno = ") != std::string::npos || text.find("EMPNO = ") != std::string::npos) << text;
        EXPECT_EQ(text.find("sal"), std::string::npos) << text;
    }
    EXPECT_TRUE(m_view->Note()->isVisibleTo(m_view));
    EXPECT_EQ(m_view->Note()->text(), "Family: 3 statements (press Esc or the family button to show all)");
    EXPECT_TRUE(m_frame->Action(ECommand::StatementFamilies)->isChecked());
    EXPECT_TRUE(m_frame->Action(ECommand::Load)->isEnabled());

    // The members' statements open as usual, with their family on the figures page.
    std::vector<std::string> familyRows;
    m_onDialog = [&](QDialog& dialog) {
        auto& sheet = dynamic_cast<CCorvidSqlStmtDlg&>(dialog);
        sheet.SetActivePage(2);
        QTableWidget* rows = sheet.ParameterPage()->List();
        for (int r = rows->rowCount() - 2; r < rows->rowCount(); ++r)
            familyRows.push_back(rows->item(r, 0)->text().toStdString() + "=" + rows->item(r, 1)->text().toStdString());
        sheet.accept();
    };
    List().SelectNone();
    List().SetItemSelected(0, true);
    m_frame->RunCommand(ECommand::ShowStatement);
    EXPECT_EQ(familyRows, (std::vector<std::string>{std::string("Family=") + kEmpFamily, "Statements in family=3"}));

    // A refill (after the options) keeps the filter; Esc shows all again.
    m_view->Refill(false);
    EXPECT_EQ(List().GetItemCount(), 3);
    QTest::keyClick(m_view, Qt::Key_Escape);
    EXPECT_EQ(m_document->m_FamilyFilter, -1);
    EXPECT_EQ(List().GetItemCount(), 5);
    EXPECT_FALSE(m_view->Note()->isVisibleTo(m_view));
    EXPECT_FALSE(m_frame->Action(ECommand::StatementFamilies)->isChecked());

    // The family button leaves the filtered list too; a load drops the filter.
    m_frame->RunCommand(ECommand::StatementFamilies);
    List().SetItemSelected(RowOfFamily(kEmpFamily), true);
    m_frame->RunCommand(ECommand::ShowStatement);
    ASSERT_EQ(List().GetItemCount(), 3);
    m_frame->RunCommand(ECommand::StatementFamilies);
    EXPECT_EQ(List().GetItemCount(), 5);
    EXPECT_FALSE(m_document->m_FamilyMode);
    m_frame->RunCommand(ECommand::StatementFamilies);
    List().SetItemSelected(RowOfFamily(kEmpFamily), true);
    m_frame->RunCommand(ECommand::ShowStatement);
    m_view->Refill(true);
    EXPECT_EQ(m_document->m_FamilyFilter, -1);
    EXPECT_EQ(List().GetItemCount(), 3);  // the server's pool, without the test's copies
    EXPECT_FALSE(m_view->Note()->isVisibleTo(m_view));
}

TEST_F(FamilyViewTest, ClosingInTheFamilyViewKeepsTheUsersLayout) {
    m_document->WriteSettings();
    List().SetColumnWidth(0, 123);
    m_frame->RunCommand(ECommand::StatementFamilies);
    ASSERT_TRUE(m_document->m_FamilyMode);
    CloseWindow();
    OpenWindow();
    EXPECT_EQ(List().GetColumnTitle(0), "User");
    EXPECT_EQ(List().GetColumnWidth(0), 123);
}

// File > Save report...: the file dialog names the page; the report holds what
// the list shows, and the statement sheet saves the report of its one statement.
TEST_F(ExportCommandTest, SaveReportWritesThePageOfTheListedStatementsAndTheSheetOneStatementsPage) {
    const QString listPage = m_dir.filePath("pool.html");
    const QString sheetPage = m_dir.filePath("one.html");
    QString suggested;
    m_onDialog = [&](QDialog& dialog) {
        auto& files = dynamic_cast<QFileDialog&>(dialog);
        suggested = files.selectedFiles().value(0);
        auto* name = files.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(listPage);
        static_cast<QDialog&>(files).accept();
    };
    Run(ECommand::SaveReport);
    EXPECT_TRUE(suggested.endsWith("Corvid.html")) << suggested.toStdString();
    const QByteArray page = Read("pool.html");
    EXPECT_TRUE(page.contains("<title>SQL statements in the Oracle SGA</title>"));
    EXPECT_TRUE(page.contains("<section id=\"by-gets\""));
    EXPECT_TRUE(page.contains("empno"));
    const QString status = "Report of " + QString::number(List().GetItemCount()) + " statements saved to " + listPage;
    EXPECT_EQ(m_frame->MessagePane()->text().toStdString(), status.toStdString());

    SelectRowsWith("empno = 7369");
    int dialogs = 0;
    m_onDialog = [&](QDialog& dialog) {
        ++dialogs;
        if (auto* sheet = dynamic_cast<CCorvidSqlStmtDlg*>(&dialog)) {
            auto* save = sheet->findChild<QPushButton*>("saveReport");
            ASSERT_NE(save, nullptr);
            QTest::mouseClick(save, Qt::LeftButton);
            sheet->reject();
            return;
        }
        auto& files = dynamic_cast<QFileDialog&>(dialog);
        auto* name = files.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(sheetPage);
        static_cast<QDialog&>(files).accept();
    };
    Run(ECommand::ShowStatement);
    EXPECT_EQ(dialogs, 2);
    const QByteArray one = Read("one.html");
    EXPECT_TRUE(one.contains("empno"));
    EXPECT_EQ(one.count("<article class=\"statement\""), 1);
    EXPECT_FALSE(one.contains("<section id=\"by-gets\""));
    EXPECT_TRUE(m_prompter.Messages().empty());
}

}  // namespace
}  // namespace corvid

// The test program's entry, unless another of its files brings one.
