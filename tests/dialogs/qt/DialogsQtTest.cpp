#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "app/SessionScenario.h"
#include "work/RunWithProgress.h"
#include "dialogs/qt/ConnectDlg.h"
#include "dialogs/qt/ProgressDlg.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

// The dialogs connect to the small session database.
class CSessionScenarioEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(testing::InstallSessionScenario()); }
};
const ::testing::Environment* const kSessionScenario =
    ::testing::AddGlobalTestEnvironment(new CSessionScenarioEnvironment);

// Calls `action` on the user-interface thread once the progress dialog runs its loop.
void WhenRunning(CProgressDlg& dialog, std::function<void()> action) {
    auto* timer = new QTimer(&dialog);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, &dialog, [&dialog, timer, action] {
        if (!dialog.IsRunning() || !dialog.isVisible()) return;
        timer->stop();
        action();
    });
    timer->start();
}

class ProgressDlgTest : public ::testing::Test {
protected:
    void SetUp() override { SetPrompter(&prompter); }
    void TearDown() override { SetPrompter(nullptr); }

    // A job that reports progress until it is cancelled or `release` is set.
    ProgressWork PollingJob() {
        return [this](IProgress& progress) {
            for (int step = 0; !progress.IsCancelled(); ++step) {
                progress.SetProgress(step % 100, "Working");
                if (release.load()) return;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            sawCancel = true;
        };
    }

    CRecordingPrompter prompter;
    std::atomic<bool> release{false};
    std::atomic<bool> sawCancel{false};
};

TEST_F(ProgressDlgTest, WorkThatEndsBeforeTheDialogShowsStillClosesIt) {
    CProgressDlg dialog;
    const bool completed =
        RunWithProgress([](IProgress&) {}, "Processing", 3, "Press Ok to cancel the operation", dialog);
    EXPECT_TRUE(completed);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.windowTitle(), "Processing");
    EXPECT_TRUE(prompter.Prompts().empty());
}

TEST_F(ProgressDlgTest, ReportsReachTheControlsWhileTheWorkerRuns) {
    CProgressDlg dialog;
    std::atomic<bool> seen{false};
    auto* poll = new QTimer(&dialog);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&] {
        if (dialog.StatusLabel()->text() == "Reading statements" && dialog.Bar()->value() == 40) seen = true;
    });
    poll->start();
    const bool completed = RunWithProgress(
        [&](IProgress& progress) {
            // The job reports until the user-interface thread has shown it; that
            // thread never waits for the worker meanwhile.
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (!seen.load() && std::chrono::steady_clock::now() < end) {
                progress.SetProgress(40, "Reading statements");
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        },
        "Processing", 0, "", dialog);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(seen.load());
}

TEST_F(ProgressDlgTest, ReportsWaitForTheRefreshAndTheLastOneIsShownAtTheEnd) {
    CProgressDlg dialog;
    // Reports only publish: the controls change when the dialog refreshes, to the
    // latest report, not once per report.
    for (int i = 0; i < 500; ++i) {
        dialog.ShowText("Statement " + std::to_string(i));
        dialog.ShowPosition(i / 5);
    }
    EXPECT_EQ(dialog.StatusLabel()->text(), "Please wait");
    EXPECT_EQ(dialog.Bar()->value(), 0);
    dialog.ShowLatest();
    EXPECT_EQ(dialog.StatusLabel()->text(), "Statement 499");
    EXPECT_EQ(dialog.Bar()->value(), 99);
    dialog.ShowEstimate("1 second(s) remaining");
    dialog.ShowLatest();
    EXPECT_EQ(dialog.StatusLabel()->text(), "Statement 499");
    EXPECT_EQ(dialog.EstimateLabel()->text(), "1 second(s) remaining");

    // A job that reports far faster than the refresh: whatever was shown meanwhile,
    // its final report is on show when the run ends.
    const bool completed = RunWithProgress(
        [](IProgress& progress) {
            for (int i = 0; i < 20000; ++i)
                progress.SetProgress(i / 200, "Statement " + std::to_string(i));
            progress.SetProgress(100, "Sorting");
        },
        "Processing", 0, "", dialog);
    EXPECT_TRUE(completed);
    EXPECT_EQ(dialog.StatusLabel()->text(), "Sorting");
    EXPECT_EQ(dialog.Bar()->value(), 100);
}

TEST_F(ProgressDlgTest, CancelConfirmedWithYesEndsTheRunCancelled) {
    CProgressDlg dialog;
    prompter.QueueAnswer(true);
    WhenRunning(dialog, [&] { QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton); });
    const bool completed = RunWithProgress(PollingJob(), "Processing", 3, "Press Ok to cancel the operation", dialog);
    EXPECT_FALSE(completed);
    EXPECT_TRUE(sawCancel.load());
    EXPECT_EQ(prompter.Questions(), (std::vector<std::string>{"Press Ok to cancel the operation"}));
    // The text asks for OK, so the buttons are OK and Cancel, not Yes and No.
    ASSERT_FALSE(prompter.Prompts().empty());
    EXPECT_EQ(prompter.Prompts().back().buttons, IPrompter::Buttons::OkCancel);
}

TEST_F(ProgressDlgTest, CancelAnsweredNoLetsTheWorkFinish) {
    CProgressDlg dialog;
    prompter.QueueAnswer(false);
    WhenRunning(dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        release = true;
    });
    const bool completed = RunWithProgress(PollingJob(), "Processing", 3, "Press Ok to cancel the operation", dialog);
    EXPECT_TRUE(completed);
    EXPECT_FALSE(sawCancel.load());
    EXPECT_EQ(prompter.Questions().size(), 1u);
}

TEST_F(ProgressDlgTest, CloseButtonCancelsWithoutConfirmationWhenNoneIsAsked) {
    CProgressDlg dialog;
    WhenRunning(dialog, [&] { dialog.close(); });
    const bool completed = RunWithProgress(PollingJob(), "", kProgressCanCancel, "", dialog);
    EXPECT_FALSE(completed);
    EXPECT_TRUE(prompter.Questions().empty());
    EXPECT_EQ(dialog.windowTitle(), "");  // an empty title leaves the dialog's own
}

TEST_F(ProgressDlgTest, EnterAndCancelWithoutPermissionDoNothing) {
    CProgressDlg dialog;
    WhenRunning(dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_Return);
        QTest::keyClick(&dialog, Qt::Key_Enter);
        QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible());
        release = true;
    });
    const bool completed = RunWithProgress(PollingJob(), "Processing", 0, "", dialog);
    EXPECT_TRUE(completed);
    EXPECT_FALSE(sawCancel.load());
    EXPECT_TRUE(prompter.Prompts().empty());
}

TEST_F(ProgressDlgTest, LayoutFollowsTheDialogUnits) {
    CProgressDlg dialog;
    EXPECT_EQ(dialog.StatusLabel()->text(), "Please wait");
    EXPECT_EQ(dialog.Bar()->minimum(), 0);
    EXPECT_EQ(dialog.Bar()->maximum(), 100);
    EXPECT_TRUE(dialog.EstimateLabel()->text().isEmpty());
    EXPECT_EQ(dialog.CancelButton()->text(), "Cancel");
    // Status, bar and estimate stack from top to bottom; Cancel sits right of the estimate.
    EXPECT_LT(dialog.StatusLabel()->geometry().bottom(), dialog.Bar()->geometry().top());
    EXPECT_LT(dialog.Bar()->geometry().bottom(), dialog.CancelButton()->geometry().top());
    EXPECT_LT(dialog.EstimateLabel()->geometry().right(), dialog.CancelButton()->geometry().left());
    EXPECT_LE(dialog.Bar()->geometry().right(), dialog.width());
    EXPECT_LE(dialog.CancelButton()->geometry().bottom(), dialog.height());
    EXPECT_FALSE(dialog.CancelButton()->isDefault());
}

class ConnectDlgTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPrompter(&prompter);
        connection = testing::MakeSimConnection();
    }
    void TearDown() override {
        connection->Logoff();
        SetPrompter(nullptr);
    }

    void Attempt(CConnectDlg& dialog, const QString& user, const QString& password, const QString& database) {
        dialog.UserEdit()->setText(user);
        dialog.PasswordEdit()->setText(password);
        dialog.DatabaseBox()->setCurrentText(database);
        dialog.OnConnect();
    }

    QStringList DatabaseItems(CConnectDlg& dialog) {
        QStringList items;
        for (int i = 0; i < dialog.DatabaseBox()->count(); ++i)
            items << dialog.DatabaseBox()->itemText(i);
        return items;
    }

    CRecordingPrompter prompter;
    CMemorySettingsStore store;
    std::unique_ptr<COracleConnection> connection;
};

TEST_F(ConnectDlgTest, FirstStartShowsEmptyFieldsAndNormalMode) {
    CConnectDlg dialog(*connection, store);
    EXPECT_EQ(dialog.windowTitle(), "Connect to Oracle");
    EXPECT_TRUE(dialog.UserEdit()->text().isEmpty());
    EXPECT_TRUE(dialog.PasswordEdit()->text().isEmpty());
    EXPECT_EQ(dialog.PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(dialog.DatabaseBox()->currentText().isEmpty());
    EXPECT_EQ(dialog.DatabaseBox()->count(), 0);
    EXPECT_EQ(dialog.ConnectAsBox()->currentText(), "NORMAL");
    EXPECT_EQ(dialog.ConnectAsBox()->count(), 3);
    EXPECT_TRUE(dialog.StatusLine1()->text().isEmpty());
    EXPECT_TRUE(dialog.ConnectButton()->isDefault());
}

TEST_F(ConnectDlgTest, APresetReplacesTheRememberedValuesButNeverFillsThePassword) {
    // The last dialog user, as the store remembers it.
    store.WriteProfileString("Connect", "Usr", "SHOP");
    store.WriteProfileString("Connect", "Srv", "OTHERDB");
    store.WriteProfileString("Connect", "ConnectAs", "NORMAL");
    CConnectDlg dialog(*connection, store);
    EXPECT_EQ(dialog.UserEdit()->text(), "SHOP");
    dialog.Preset({"SCOTT", "TESTDB", EConnectMode::SysDba});
    EXPECT_EQ(dialog.UserEdit()->text(), "SCOTT");
    EXPECT_EQ(dialog.DatabaseBox()->currentText(), "TESTDB");
    EXPECT_EQ(dialog.ConnectAsBox()->currentText(), "SYSDBA");
    EXPECT_TRUE(dialog.PasswordEdit()->text().isEmpty());
}

TEST_F(ConnectDlgTest, FailedLogonStaysOpenRemembersTheDatabaseButNotTheUser) {
    CConnectDlg dialog(*connection, store);
    dialog.show();
    Attempt(dialog, "SCOTT", "WRONG", "TESTDB");
    EXPECT_FALSE(connection->IsConnected());
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_NE(prompter.Messages()[0].find("ORA-01017"), std::string::npos) << prompter.Messages()[0];
    EXPECT_EQ(dialog.StatusLine1()->text(), "Connecting to database");
    EXPECT_EQ(dialog.StatusLine2()->text(), "SCOTT@TESTDB");
    EXPECT_EQ(DatabaseItems(dialog), QStringList{"TESTDB"});
    EXPECT_EQ(store.GetProfileString("ServerList", "Item1", ""), "TESTDB");
    EXPECT_FALSE(store.HasKey("Connect", "Usr"));

    // The same dialog connects on the next try and remembers user, database and mode.
    dialog.ConnectAsBox()->setCurrentText("NORMAL");
    Attempt(dialog, "SCOTT", "TIGER", "TESTDB");
    EXPECT_TRUE(connection->IsConnected());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.StatusLine1()->text(), "Connected with database");
    EXPECT_EQ(dialog.StatusLine2()->text(), "TESTDB");
    EXPECT_EQ(store.GetProfileString("Connect", "Usr", ""), "SCOTT");
    EXPECT_EQ(store.GetProfileString("Connect", "Srv", ""), "TESTDB");
    EXPECT_EQ(store.GetProfileString("Connect", "ConnectAs", ""), "NORMAL");
    EXPECT_EQ(store.GetProfileInt("ServerList", "Items", 0), 1);
    for (const auto& [section, keys] : store.Sections()) {
        for (const auto& [key, value] : keys)
            EXPECT_EQ(value.find("TIGER"), std::string::npos) << section << key;
    }
}

TEST_F(ConnectDlgTest, HistoryGrowsByNewSpellingsOnlyAndStaysSorted) {
    CConnectDlg dialog(*connection, store);
    Attempt(dialog, "SCOTT", "WRONG", "testdb");
    Attempt(dialog, "SCOTT", "WRONG", "REMOTE");
    Attempt(dialog, "SCOTT", "WRONG", "testdb");
    Attempt(dialog, "SCOTT", "WRONG", "");
    Attempt(dialog, "SCOTT", "WRONG", "");
    EXPECT_EQ(store.GetProfileInt("ServerList", "Items", 0), 3);
    EXPECT_EQ(DatabaseItems(dialog), (QStringList{"", "REMOTE", "testdb"}));
    Attempt(dialog, "SCOTT", "TIGER", "TESTDB");  // another case, another entry
    EXPECT_TRUE(connection->IsConnected());
    EXPECT_EQ(store.GetProfileInt("ServerList", "Items", 0), 4);
    EXPECT_EQ(store.GetProfileString("ServerList", "Item4", ""), "TESTDB");

    // The next dialog lists the history and presets the remembered values.
    connection->Logoff();
    CConnectDlg next(*connection, store);
    EXPECT_EQ(DatabaseItems(next), (QStringList{"", "REMOTE", "testdb", "TESTDB"}));
    EXPECT_EQ(next.UserEdit()->text(), "SCOTT");
    EXPECT_EQ(next.DatabaseBox()->currentText(), "TESTDB");
    EXPECT_TRUE(next.PasswordEdit()->text().isEmpty());
}

TEST_F(ConnectDlgTest, TypedDatabaseIsTakenAsTypedNotCompletedFromTheHistory) {
    store.WriteProfileInt("ServerList", "Items", 1);
    store.WriteProfileString("ServerList", "Item1", "TESTDB");
    CConnectDlg dialog(*connection, store);
    dialog.show();
    dialog.activateWindow();
    (void)QTest::qWaitForWindowActive(&dialog);
    dialog.UserEdit()->setText("SCOTT");
    dialog.PasswordEdit()->setText("WRONG");
    QLineEdit* database = dialog.DatabaseBox()->lineEdit();
    database->setFocus();
    database->clear();
    // A prefix of a stored name, then Enter for the default button.
    QTest::keyClicks(database, "TEST");
    QTest::keyClick(database, Qt::Key_Return);
    EXPECT_EQ(dialog.DatabaseBox()->currentText(), "TEST");
    EXPECT_EQ(dialog.StatusLine2()->text(), "SCOTT@TEST");
    EXPECT_EQ(store.GetProfileString("ServerList", "Item2", ""), "TEST");
    // The refused logon leaves the dialog open.
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
}

TEST_F(ConnectDlgTest, RememberedModeSelectsItsItemAndAnUnknownOneNothing) {
    store.WriteProfileString("Connect", "ConnectAs", "sysoper");
    CConnectDlg sysoper(*connection, store);
    EXPECT_EQ(sysoper.ConnectAsBox()->currentText(), "SYSOPER");
    store.WriteProfileString("Connect", "ConnectAs", "SYSASM");
    CConnectDlg unknown(*connection, store);
    EXPECT_EQ(unknown.ConnectAsBox()->currentIndex(), -1);
}

TEST_F(ConnectDlgTest, TooLongAFieldIsRefusedBeforeAnythingHappens) {
    store.WriteProfileString("Connect", "Usr", std::string(31, 'U'));
    CConnectDlg dialog(*connection, store);
    EXPECT_EQ(dialog.UserEdit()->text().size(), 31);  // a remembered value is not cut
    dialog.PasswordEdit()->setText("TIGER");
    dialog.DatabaseBox()->setCurrentText("TESTDB");
    dialog.OnConnect();
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"Please enter no more than 30 characters."}));
    EXPECT_FALSE(store.HasKey("ServerList", "Items"));
    EXPECT_TRUE(dialog.StatusLine1()->text().isEmpty());
    EXPECT_FALSE(connection->IsConnected());
}

TEST_F(ConnectDlgTest, MessagesWaitForTheUserUnderTheNormalCursor) {
    struct CCursorPrompter : CRecordingPrompter {
        void Message(const std::string& text, Kind kind = Kind::Warning) override {
            busyAtMessage.push_back(QApplication::overrideCursor() != nullptr);
            CRecordingPrompter::Message(text, kind);
        }
        std::vector<bool> busyAtMessage;
    } cursorPrompter;
    SetPrompter(&cursorPrompter);
    store.WriteProfileString("Connect", "Usr", std::string(31, 'U'));
    CConnectDlg dialog(*connection, store);
    dialog.OnConnect();  // the remembered user is too long
    Attempt(dialog, "SCOTT", "WRONG", "TESTDB");
    EXPECT_EQ(cursorPrompter.Messages().size(), 2u);
    EXPECT_EQ(cursorPrompter.busyAtMessage, (std::vector<bool>{false, false}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    SetPrompter(&prompter);
}

TEST_F(ConnectDlgTest, RunConnectDialogReportsCancel) {
    SetSettingsStore(&store);
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) static_cast<QDialog*>(modal)->reject();
    });
    EXPECT_FALSE(RunConnectDialog(*connection));
    EXPECT_FALSE(connection->IsConnected());
    EXPECT_FALSE(store.HasKey("Connect", "Usr"));
    SetSettingsStore(nullptr);
}

}  // namespace
}  // namespace corvid
