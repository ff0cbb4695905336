// The changes view and auto refresh of the main window, against a small
// database whose workload moves when a session sleeps.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>

#include "app/AppInfo.h"
#include "app/SessionScenario.h"
#include "app/qt/AutoRefresh.h"
#include "app/qt/CorvidApp.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
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
    void SetUp() override {
        const char* previous = std::getenv("CORVID_SIM_SCENARIO");
        m_previousScenario = previous ? previous : "";
        // A file per test, so that each test gets a server of its own.
        const std::string path = ::testing::TempDir() + "corvid_interval_view_" +
                                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".scn";
        std::ofstream(path) << kScenario;
        setenv("CORVID_SIM_SCENARIO", path.c_str(), 1);
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

    std::string m_previousScenario;
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

}  // namespace
}  // namespace corvid
