#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <cstdlib>

#include "app/SessionScenario.h"
#include "app/qt/CorvidApp.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "charts/qt/ChartPanel.h"
#include "dialogs/qt/ConnectDlg.h"
#include "dialogs/qt/ProgressDlg.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

// Pictures of the main window, the connect dialog and the progress dialog on the
// demo database, for the documentation. They are taken only when
// CORVID_SCREENSHOT_DIR names the folder to write them to (and the scenario is
// then the demo); otherwise the tests are skipped.

namespace corvid {
namespace {

QString ShotFolder() {
    return QString::fromLocal8Bit(qgetenv("CORVID_SCREENSHOT_DIR"));
}

bool Save(QWidget* widget, const QString& name) {
    const QPixmap shot = widget->grab();
    return !shot.isNull() && shot.save(QDir(ShotFolder()).filePath(name));
}

TEST(Screenshots, MainWindowAndProgressDialogOnTheDemoDatabase) {
    if (ShotFolder().isEmpty()) GTEST_SKIP() << "CORVID_SCREENSHOT_DIR is not set";
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

        bool progressSaved = false;
        QTimer watch;
        watch.setInterval(20);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<CProgressDlg*>(QApplication::activeModalWidget());
            if (progressSaved || !dialog || dialog->StatusLabel()->text() == "Please wait") return;
            if (dialog->EstimateLabel()->text().isEmpty() && dialog->Bar()->value() < 40) return;
            progressSaved = Save(dialog, "progress-dialog.png");
        });
        watch.start();
        app.OnCommand(ECommand::Load);
        watch.stop();
        EXPECT_TRUE(progressSaved);

        app.View()->selectRow(2);
        app.View()->setFocus();
        QTest::qWait(50);
        EXPECT_TRUE(Save(frame, "main-window.png"));
        app.ExitInstance();
    }
    SetPrompter(nullptr);
    SetSettingsStore(nullptr);
}

TEST(Screenshots, ChartPanelBesideTheList) {
    if (ShotFolder().isEmpty()) GTEST_SKIP() << "CORVID_SCREENSHOT_DIR is not set";
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
        frame->setGeometry(40, 40, 1400, 900);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        app.OnCommand(ECommand::Load);
        auto* dock = qobject_cast<QDockWidget*>(app.ChartPanel()->parentWidget());
        ASSERT_NE(dock, nullptr);
        dock->show();
        frame->resizeDocks({dock}, {560}, Qt::Horizontal);
        QTRY_VERIFY(!app.ChartPanel()->Data().bufferGets.bars.empty());
        ASSERT_TRUE(app.ChartPanel()->SelectBar(CChartPanel::EChart::BufferGets, 0));
        QTest::qWait(200);
        EXPECT_TRUE(Save(frame, "charts.png"));
        EXPECT_TRUE(app.ChartPanel()->SaveImage(QDir(ShotFolder()).filePath("charts-panel.png")));
        app.ExitInstance();
    }
    SetPrompter(nullptr);
    SetSettingsStore(nullptr);
}

TEST(Screenshots, ConnectDialog) {
    if (ShotFolder().isEmpty()) GTEST_SKIP() << "CORVID_SCREENSHOT_DIR is not set";
    CMemorySettingsStore store;
    store.WriteProfileString("Connect", "Usr", "SCOTT");
    store.WriteProfileString("Connect", "Srv", "DEMO");
    store.WriteProfileString("Connect", "ConnectAs", "NORMAL");
    for (const char* name : {"DEMO", "PROD", "TEST"}) {
        const int n = store.GetProfileInt("ServerList", "Items", 0) + 1;
        store.WriteProfileInt("ServerList", "Items", n);
        store.WriteProfileString("ServerList", "Item" + std::to_string(n), name);
    }
    COracleConnection connection(
        nullptr, 0, std::make_unique<CDlLibraryLoader>(std::vector<std::string>{testing::SimLibraryFolder()}));
    CConnectDlg dialog(connection, store);
    dialog.PasswordEdit()->setText("TIGER");
    dialog.StatusLine1()->setText("Connecting to database");
    dialog.StatusLine2()->setText("SCOTT@DEMO");
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(Save(&dialog, "connect-dialog.png"));
}

}  // namespace
}  // namespace corvid
