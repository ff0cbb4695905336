// The changes view and auto refresh of the main window, against a small
// database whose workload moves when a session sleeps.

#include <gtest/gtest.h>

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QDialog>
#include <QScrollBar>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "app/AppInfo.h"
#include "app/SessionScenario.h"
#include "app/qt/AutoRefresh.h"
#include "app/qt/CorvidApp.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "app/qt/StatusBarProgress.h"
#include "work/RunWithProgress.h"
#include "collection/CorvidDoc.h"
#include "list/ListLayout.h"
#include "oracle/OracleConnection.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

// The totals query fails at the fifth load with a server error that does not end the session.
const char* kScenario = R"SCN(database TESTDB
clock 2024-03-11/12:00:00
banner text="Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production"
user SCOTT id=54 password=TIGER privileges=catalog,v-database,alter-system,create-procedure plan-table
table SCOTT.EMP columns="EMPNO NUMBER(4) NOT NULL, ENAME VARCHAR2(10), SAL NUMBER(7,2)"
statement user=SCOTT executions=10 buffer-gets=1000 disk-reads=10 text="SELECT ename FROM emp WHERE empno = 7369"
statement user=SCOTT executions=2 buffer-gets=5000 disk-reads=400 text="SELECT ename, sal FROM emp WHERE sal > 1000"
statement user=SCOTT executions=5 buffer-gets=50 text="SELECT 1 FROM dual"
statement user=SCOTT executions=1 buffer-gets=70 after-sleep text="SELECT sal FROM emp"
run match="SELECT ename FROM emp%" executions=3 buffer-gets=300 disk-reads=3
run match="SELECT ename, sal%" executions=1 buffer-gets=2500 disk-reads=200
fault execute match="%SUM(buffer_gets)%" after=4 error=4031
)SCN";

class IntervalViewTest : public ::testing::Test {
protected:
    virtual std::string ScenarioText() const { return kScenario; }

    void SetUp() override {
        const char* previous = std::getenv("CORVID_SIM_SCENARIO");
        m_previousScenario = previous ? previous : "";
        // A file per test, so that each test gets a server of its own, and per process,
        // so that a second run of this program at the same time never removes it.
        const std::string path = ::testing::TempDir() + "corvid_interval_view_" + std::to_string(::getpid()) + "_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".scn";
        std::ofstream(path) << ScenarioText();
        setenv("CORVID_SIM_SCENARIO", path.c_str(), 1);
        m_scenarioPath = path;
        store.WriteProfileString("Version", "Version", kApplicationVersion);
        CListLayout::MakeDefaultLayout().Save(store);
        app = std::make_unique<CCorvidApp>();
        app->UseServices(&store, &prompter);
        app->SetLibraryFolders({testing::SimLibraryFolder()});
        CCorvidCommandLineInfo commandLine;
        commandLine.Parse({"-uSCOTT", "-pTIGER", "-sTESTDB"});
        ASSERT_TRUE(app->InitInstance(commandLine));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(app->MainFrame()));
    }
    void TearDown() override {
        if (!m_scenarioPath.empty()) std::remove(m_scenarioPath.c_str());
        if (app) app->ExitInstance();
        app.reset();
        SetPrompter(nullptr);
        SetSettingsStore(nullptr);
        if (m_previousScenario.empty()) {
            unsetenv("CORVID_SIM_SCENARIO");
        } else {
            setenv("CORVID_SIM_SCENARIO", m_previousScenario.c_str(), 1);
        }
    }

    void Sleep(int seconds) {
        app->Connection()->ExecuteStatement("/* $CORVID$ */ BEGIN DBMS_LOCK.SLEEP(" + std::to_string(seconds) +
                                            "); END;");
    }
    QAction* Action(ECommand command) const { return app->MainFrame()->Action(command); }
    CListCtrlEx& List() const { return app->View()->GetListCtrl(); }
    int Column(const std::string& title) const {
        for (int c = 0; c < List().GetColumnCount(); ++c)
            if (List().GetColumnTitle(c) == title) return c;
        return -1;
    }
    std::vector<std::string> ColumnTexts(const std::string& title) const {
        std::vector<std::string> texts;
        const int column = Column(title);
        for (int row = 0; row < List().GetItemCount(); ++row)
            texts.push_back(List().GetItemText(row, column));
        return texts;
    }

    int Row(const std::string& sqlText) const {
        const int sql = Column("SQL Text");
        for (int row = 0; row < List().GetItemCount(); ++row)
            if (List().GetItemText(row, sql) == sqlText) return row;
        return -1;
    }

    std::string m_previousScenario;
    std::string m_scenarioPath;
    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    std::unique_ptr<CCorvidApp> app;
};

TEST_F(IntervalViewTest, ChangesViewListsWhatChangedSortedByBufferGets) {
    app->MainFrame()->UpdateCommandStates();
    EXPECT_FALSE(Action(ECommand::ShowChanges)->isEnabled());
    app->OnCommand(ECommand::Load);
    app->MainFrame()->UpdateCommandStates();
    EXPECT_FALSE(Action(ECommand::ShowChanges)->isEnabled());
    Sleep(90);
    app->OnCommand(ECommand::Load);
    app->MainFrame()->UpdateCommandStates();
    ASSERT_TRUE(Action(ECommand::ShowChanges)->isEnabled());
    EXPECT_EQ(List().GetItemCount(), 4);

    app->MainFrame()->RunCommand(ECommand::ShowChanges);
    EXPECT_TRUE(Action(ECommand::ShowChanges)->isChecked());
    EXPECT_EQ(ColumnTexts("SQL Text"), (std::vector<std::string>{"SELECT ename, sal FROM emp WHERE sal > 1000",
                                                                "SELECT ename FROM emp WHERE empno = 7369",
                                                                "SELECT sal FROM emp"}));
    EXPECT_EQ(ColumnTexts("Buf Get \u0394"), (std::vector<std::string>{"2500", "300", "70"}));
    EXPECT_EQ(ColumnTexts("Exec \u0394"), (std::vector<std::string>{"1", "3", "1"}));
    EXPECT_EQ(ColumnTexts("Disk Rds \u0394"), (std::vector<std::string>{"200", "3", "0"}));
    EXPECT_GE(Column("Exec/s"), 0);
    EXPECT_EQ(app->MainFrame()->IntervalPane()->text().toStdString(),
              "Interval 1 min 30 s (2024-03-11/12:00:00 to 2024-03-11/12:01:30): 1 new, 2 changed, 0 gone");

    // The user's own layout comes back, and the changes view's widths are kept apart.
    List().SetColumnWidth(Column("SQL Text"), 333);
    app->MainFrame()->RunCommand(ECommand::ShowChanges);
    EXPECT_FALSE(Action(ECommand::ShowChanges)->isChecked());
    EXPECT_EQ(Column("Buf Get \u0394"), -1);
    EXPECT_GE(Column("Buf Get/E"), 0);
    EXPECT_EQ(List().GetItemCount(), 4);
    EXPECT_TRUE(app->MainFrame()->IntervalPane()->text().isEmpty());
    CListColLayout text;
    ASSERT_TRUE(CListLayout::LoadIntervalLayout(store).FindColumn(24, text));
    EXPECT_EQ(text.m_Width, 333);
}

TEST_F(IntervalViewTest, AutoRefreshKeepsSelectionAndStopsWithAMessageWhenARefreshFails) {
    app->OnCommand(ECommand::Load);
    app->MainFrame()->RunCommand(ECommand::AutoRefresh30s);
    EXPECT_TRUE(Action(ECommand::AutoRefresh30s)->isChecked());
    EXPECT_FALSE(Action(ECommand::AutoRefreshOff)->isChecked());
    EXPECT_EQ(app->AutoRefresh()->Timer()->interval(), 30000);
    EXPECT_TRUE(app->AutoRefresh()->Timer()->isActive());

    const int sql = Column("SQL Text");
    int chosen = -1;
    for (int row = 0; row < List().GetItemCount(); ++row)
        if (List().GetItemText(row, sql) == "SELECT 1 FROM dual") chosen = row;
    ASSERT_GE(chosen, 0);
    List().SetItemSelected(chosen, true);

    // Refreshes in the background: no dialog, the sort and the selected statement stay.
    for (int i = 0; i < 3; ++i) {
        Sleep(30);
        app->AutoRefresh()->RefreshNow();
        EXPECT_TRUE(prompter.Prompts().empty());
        ASSERT_EQ(List().GetSelectedCount(), 1);
        EXPECT_EQ(List().GetItemText(List().GetSelectedItems()[0], sql), "SELECT 1 FROM dual");
        EXPECT_EQ(List().GetItemText(0, sql), "SELECT ename, sal FROM emp WHERE sal > 1000");
        EXPECT_FALSE(app->MainFrame()->ProgressBar()->isVisible());
        EXPECT_EQ(app->AutoRefresh()->GetPeriod(), 30);
    }
    EXPECT_TRUE(app->Document()->HasInterval());

    // The fifth load fails: auto refresh stops and says why; the program goes on.
    app->AutoRefresh()->RefreshNow();
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_NE(prompter.Messages()[0].find("Auto refresh stopped"), std::string::npos);
    EXPECT_NE(prompter.Messages()[0].find("ORA-04031"), std::string::npos);
    EXPECT_TRUE(prompter.OracleErrors().empty());
    EXPECT_EQ(app->AutoRefresh()->GetPeriod(), 0);
    EXPECT_FALSE(app->AutoRefresh()->Timer()->isActive());
    EXPECT_TRUE(Action(ECommand::AutoRefreshOff)->isChecked());
    EXPECT_TRUE(app->Connection()->IsConnected());
    EXPECT_FALSE(app->Connection()->AreErrorsRecoverable());
}

TEST_F(IntervalViewTest, AutoRefreshStopsAtDisconnect) {
    app->MainFrame()->RunCommand(ECommand::AutoRefresh10s);
    EXPECT_EQ(app->AutoRefresh()->GetPeriod(), 10);
    app->MainFrame()->RunCommand(ECommand::Disconnect);
    EXPECT_EQ(app->AutoRefresh()->GetPeriod(), 0);
    app->MainFrame()->UpdateCommandStates();
    EXPECT_FALSE(Action(ECommand::AutoRefresh10s)->isEnabled());
    EXPECT_TRUE(Action(ECommand::AutoRefreshOff)->isEnabled());
}

TEST_F(IntervalViewTest, ChangesViewFollowsTheLoadsAndGivesWayToTheOtherViews) {
    app->OnCommand(ECommand::Load);
    Sleep(60);
    app->OnCommand(ECommand::Load);
    app->MainFrame()->RunCommand(ECommand::ShowChanges);
    ASSERT_TRUE(app->Document()->m_ChangesMode);
    EXPECT_EQ(List().GetItemCount(), 3);

    EXPECT_GE(Column("Buf Get \u0394"), 0);

    // A load under another filter has nothing to compare with: the user's list comes back.
    app->Document()->GetFilter().m_FiltExecsC = 1;
    app->Document()->GetFilter().m_FiltExecsV = 1;
    app->OnCommand(ECommand::Load);
    EXPECT_FALSE(app->Document()->m_ChangesMode);
    EXPECT_EQ(Column("Buf Get \u0394"), -1);
    EXPECT_GE(Column("Buf Get/E"), 0);
    EXPECT_TRUE(app->MainFrame()->IntervalPane()->text().isEmpty());
    app->MainFrame()->UpdateCommandStates();
    EXPECT_FALSE(Action(ECommand::ShowChanges)->isEnabled());

    // The family view is entered from the statement list only.
    app->OnCommand(ECommand::Load);
    app->MainFrame()->RunCommand(ECommand::ShowChanges);
    ASSERT_TRUE(app->Document()->m_ChangesMode);
    app->MainFrame()->RunCommand(ECommand::StatementFamilies);
    EXPECT_TRUE(app->Document()->m_FamilyMode);
    EXPECT_FALSE(app->Document()->m_ChangesMode);
    app->MainFrame()->UpdateCommandStates();
    EXPECT_FALSE(Action(ECommand::ShowChanges)->isEnabled());
    app->MainFrame()->RunCommand(ECommand::StatementFamilies);
    EXPECT_FALSE(app->Document()->m_FamilyMode);
    EXPECT_FALSE(app->Document()->m_ChangesMode);
    EXPECT_GE(Column("Buf Get/E"), 0);
    EXPECT_EQ(List().GetItemCount(), static_cast<int>(app->Document()->GetCollection().GetSize()));
}

TEST_F(IntervalViewTest, ClosingInTheChangesViewSavesBothLayouts) {
    app->OnCommand(ECommand::Load);
    Sleep(60);
    app->OnCommand(ECommand::Load);
    List().SetColumnWidth(Column("Buf Get/E"), 123);
    app->MainFrame()->RunCommand(ECommand::ShowChanges);
    List().SetColumnWidth(Column("Exec \u0394"), 77);
    app->MainFrame()->close();

    CListLayout user;
    ASSERT_TRUE(user.Load(store));
    CListColLayout column;
    EXPECT_FALSE(user.FindColumn(kColBufferGetsDelta, column));
    ASSERT_TRUE(user.FindColumn(kColBufferGetsPerExec, column));
    EXPECT_EQ(column.m_Width, 123);
    ASSERT_TRUE(CListLayout::LoadIntervalLayout(store).FindColumn(kColExecutionsDelta, column));
    EXPECT_EQ(column.m_Width, 77);
}

TEST_F(IntervalViewTest, ATickWaitsWhileAnotherViewOrADialogIsUp) {
    app->OnCommand(ECommand::Load);
    app->MainFrame()->RunCommand(ECommand::AutoRefresh10s);
    const std::size_t loaded = static_cast<std::size_t>(List().GetItemCount());

    app->MainFrame()->RunCommand(ECommand::StatementFamilies);
    ASSERT_TRUE(app->Document()->m_FamilyMode);
    EXPECT_FALSE(app->AutoRefresh()->RefreshNow());
    app->MainFrame()->RunCommand(ECommand::StatementFamilies);
    ASSERT_FALSE(app->Document()->m_FamilyMode);

    QDialog dialog(app->MainFrame());
    dialog.setModal(true);
    dialog.show();
    ASSERT_EQ(QApplication::activeModalWidget(), &dialog);
    EXPECT_FALSE(app->AutoRefresh()->RefreshNow());
    dialog.hide();

    // Still on, and the next tick refreshes.
    EXPECT_EQ(app->AutoRefresh()->GetPeriod(), 10);
    Sleep(10);
    EXPECT_TRUE(app->AutoRefresh()->RefreshNow());
    EXPECT_EQ(static_cast<std::size_t>(List().GetItemCount()), loaded + 1);
    EXPECT_TRUE(prompter.Prompts().empty());
    EXPECT_TRUE(app->AutoRefresh()->Timer()->isActive());
}

TEST_F(IntervalViewTest, ClosingTheWindowDuringARefreshStopsItFirst) {
    app->OnCommand(ECommand::Load);
    app->MainFrame()->RunCommand(ECommand::AutoRefresh30s);
    // Posted before the refresh, so it arrives while the refresh waits in its loop.
    QTimer::singleShot(0, app->MainFrame(), [this] { app->MainFrame()->close(); });
    EXPECT_TRUE(app->AutoRefresh()->RefreshNow());
    EXPECT_TRUE(app->MainFrame()->isVisible());
    EXPECT_EQ(app->AutoRefresh()->GetPeriod(), 0);
    QCoreApplication::processEvents();
    EXPECT_FALSE(app->MainFrame()->isVisible());
    EXPECT_TRUE(prompter.Prompts().empty());
    EXPECT_FALSE(app->AutoRefresh()->CancelForClose());
}

// Enough statements that the list scrolls.
class IntervalScrollTest : public IntervalViewTest {
protected:
    std::string ScenarioText() const override {
        std::string text = kScenario;
        for (int i = 0; i < 200; ++i)
            text += "statement user=SCOTT executions=1 buffer-gets=" + std::to_string(10 + i) +
                    " text=\"SELECT sal FROM emp WHERE empno = " + std::to_string(i) + "\"\n";
        return text;
    }
};

TEST_F(IntervalScrollTest, ARefreshKeepsTheScrollPositionTheSelectionAndTheSort) {
    app->MainFrame()->resize(800, 400);
    app->OnCommand(ECommand::Load);
    ASSERT_EQ(List().GetItemCount(), 203);
    QCoreApplication::processEvents();
    QScrollBar* bar = app->View()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 20);
    const int chosen = Row("SELECT sal FROM emp WHERE empno = 57");
    ASSERT_GE(chosen, 0);
    app->View()->SelectPosition(static_cast<CObjectArray::Index>(List().GetItemData(chosen)));
    bar->setValue(bar->maximum() / 2);
    const int scrolled = bar->value();
    const std::string first = List().GetItemText(0, Column("SQL Text"));

    app->MainFrame()->RunCommand(ECommand::AutoRefresh1min);
    Sleep(60);
    ASSERT_TRUE(app->AutoRefresh()->RefreshNow());
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompter.Prompts().empty());
    EXPECT_EQ(List().GetItemCount(), 204);
    EXPECT_EQ(bar->value(), scrolled);
    ASSERT_EQ(List().GetSelectedCount(), 1);
    EXPECT_EQ(List().GetItemText(List().GetSelectedItems()[0], Column("SQL Text")), "SELECT sal FROM emp WHERE empno = 57");
    EXPECT_EQ(app->View()->currentIndex().row(), List().GetSelectedItems()[0]);
    EXPECT_EQ(List().GetItemText(0, Column("SQL Text")), first);
}

// The status-bar display on its own: a job that runs until it is cancelled ends
// with Esc on the window, and the bar shows only while it runs.
TEST_F(IntervalViewTest, EscOnTheWindowCancelsARefreshInTheBackground) {
    CStatusBarProgress& display = app->AutoRefresh()->Display();
    std::atomic<int> steps{0};
    QTimer escape;
    bool barShown = false;
    QObject::connect(&escape, &QTimer::timeout, [&] {
        if (!display.IsRunning() || steps.load() == 0) return;
        barShown = app->MainFrame()->ProgressBar()->isVisible();
        QTest::keyClick(app->MainFrame(), Qt::Key_Escape);
    });
    escape.start(1);
    const bool completed = RunWithProgress(
        [&steps](IProgress& progress) {
            while (!progress.IsCancelled()) {
                progress.SetProgress(steps % 100, "Loading statements");
                ++steps;
            }
        },
        "Processing", kProgressCanCancel | kProgressConfirmCancel, "Press Ok to cancel the operation", display);
    escape.stop();
    EXPECT_FALSE(completed);
    EXPECT_TRUE(barShown);
    EXPECT_FALSE(app->MainFrame()->ProgressBar()->isVisible());
    EXPECT_FALSE(display.IsRunning());
    EXPECT_TRUE(prompter.Prompts().empty());
}

}  // namespace
}  // namespace corvid
