#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cstdlib>

#include "app/AppInfo.h"
#include "app/LoadSummary.h"
#include "app/Session.h"
#include "app/SessionScenario.h"
#include "app/qt/CorvidApp.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "charts/qt/ChartPanel.h"
#include "collection/CorvidDoc.h"
#include "dialogs/qt/ProgressDlg.h"
#include "dialogs/qt/SqlFindDlg.h"
#include "list/ListLayout.h"
#include "oracle/OracleConnection.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid {
namespace {

// The screenshots show the demo database; every other test its own small one.
class CScenarioEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("CORVID_SCREENSHOT_DIR")) {
            ASSERT_TRUE(testing::InstallSessionScenario());
        } else {
            setenv("CORVID_SIM_SCENARIO", "demo", 1);
        }
    }
};
const ::testing::Environment* const kScenario = ::testing::AddGlobalTestEnvironment(new CScenarioEnvironment);

const std::string kBanner = "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";

CCorvidCommandLineInfo CommandLine(std::vector<std::string> arguments) {
    CCorvidCommandLineInfo info;
    info.Parse(arguments);
    return info;
}

class AppQtTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A stored layout of this version, so that the document reads it quietly.
        store.WriteProfileString("Version", "Version", CCorvidDoc::kSettingsVersion);
        CListLayout::MakeDefaultLayout().Save(store);
        app = std::make_unique<CCorvidApp>();
        app->UseServices(&store, &prompter);
        app->SetLibraryFolders({testing::SimLibraryFolder()});
        app->SetConnectDialog([this](COracleConnection& connection) {
            ++dialogs;
            frameExistedAtDialog = app->MainFrame() != nullptr;
            return !dialogUser.empty() && connection.Logon(dialogUser, dialogUser, "TESTDB", EConnectMode::Normal);
        });
        app->SetUrlOpener([this](const std::string& url) {
            urls.push_back(url);
            return true;
        });
    }

    void TearDown() override {
        if (app) app->ExitInstance();
        app.reset();
        SetPrompter(nullptr);
        SetSettingsStore(nullptr);
    }

    bool Start(std::vector<std::string> arguments) {
        const bool started = app->InitInstance(CommandLine(std::move(arguments)));
        if (started) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(app->MainFrame()));
        }
        return started;
    }

    QString Caption() const { return app->MainFrame()->windowTitle(); }
    QAction* Action(ECommand command) const { return app->MainFrame()->Action(command); }
    CListCtrlEx& List() const { return app->View()->GetListCtrl(); }

    // Loads the list with F5 as the user would; the progress dialog runs meanwhile.
    void PressF5() {
        app->MainFrame()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(app->MainFrame()));
        QTest::keyClick(app->MainFrame(), Qt::Key_F5);
    }

    int Column(const std::string& title) const {
        for (int c = 0; c < List().GetColumnCount(); ++c) {
            if (List().GetColumnTitle(c) == title) return c;
        }
        return -1;
    }

    CMemorySettingsStore store;
    CRecordingPrompter prompter;
    std::unique_ptr<CCorvidApp> app;
    int dialogs = 0;
    bool frameExistedAtDialog = true;
    std::string dialogUser;
    std::vector<std::string> urls;
};

TEST(UsageBox, ShowsEachOptionOnItsOwnLineUnwrapped) {
    const std::unique_ptr<QMessageBox> box = CreateUsageBox();
    box->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
    auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->text().contains("Usage: corvid -u&lt;user&gt;"));
    // Seven lines, none broken inside an option: the box is as tall as seven lines of
    // its fixed-width font and as wide as the longest one.
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const QStringList lines = QString::fromUtf8(UsageText()).split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 7);
    int widest = 0;
    for (const QString& line : lines) widest = std::max(widest, fixed.horizontalAdvance(line));
    EXPECT_GE(label->width(), widest * 9 / 10);
    EXPECT_LE(label->height(), 9 * fixed.lineSpacing());
    box->hide();
}

TEST_F(AppQtTest, WithoutArgumentsTheDialogComesFirstAndCancelLeavesTheProgramDisconnected) {
    ASSERT_TRUE(Start({}));
    EXPECT_EQ(dialogs, 1);
    EXPECT_FALSE(frameExistedAtDialog);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kLoginAbortedMessage}));
    EXPECT_EQ(Caption(), "Corvid - Disconnected");
    EXPECT_TRUE(app->MainFrame()->isVisible());
}

TEST_F(AppQtTest, CtrlLConnectsOnlyWhileDisconnected) {
    ASSERT_TRUE(Start({}));
    ASSERT_EQ(dialogs, 1);
    dialogUser = "SHOP";
    app->MainFrame()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->MainFrame()));
    QTest::keyClick(app->MainFrame(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(app->Connection()->IsConnected());
    EXPECT_EQ(Caption().toStdString(), "Corvid - User SHOP connected with TESTDB (TESTDB) - " + kBanner);

    QTest::keyClick(app->MainFrame(), Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(dialogs, 2);
}

TEST_F(AppQtTest, CommandLineLogonGivesTheExactCaption) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(Caption().toStdString(), "Corvid - User SCOTT connected with TESTDB (TESTDB) - " + kBanner);
    EXPECT_TRUE(prompter.Prompts().empty());
    EXPECT_FALSE(app->Document()->GetUserList().IsEmpty());
}

TEST_F(AppQtTest, ATraceFileThatCannotBeOpenedIsReportedAndWhatItNamesIsLeftAlone) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString victim = folder.filePath(QStringLiteral("victim.txt"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("keep me");
    }
    ASSERT_TRUE(QFile::link(victim, folder.filePath(QString::fromLatin1(kTraceFileName))));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    const bool started = Start({"-d1", "-uSCOTT", "-pTIGER", "-sTESTDB"});
    QDir::setCurrent(before);
    ASSERT_TRUE(started);
    EXPECT_EQ(prompter.LastMessage(),
              "The trace file Corvid.log cannot be opened (a link, not a regular file, or in use by another program): "
              "the trace goes to standard error.");
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("keep me"));
}

TEST_F(AppQtTest, LocalLogonNamesTheLocalDatabase) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER"}));
    EXPECT_EQ(Caption().toStdString(), "Corvid - User SCOTT connected with local database (TESTDB) - " + kBanner);
}

TEST_F(AppQtTest, UserWithoutPlanTableEndsDisconnected) {
    ASSERT_TRUE(Start({"-uNOPLAN", "-pNOPLAN", "-sTESTDB"}));
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kNoPlanTableMessage}));
    EXPECT_EQ(Caption(), "Corvid - Disconnected");
    EXPECT_FALSE(app->Connection()->IsConnected());
}

TEST_F(AppQtTest, InvalidProcedureEndsDisconnected) {
    ASSERT_TRUE(Start({"-uOLDPLAN", "-pOLDPLAN", "-sTESTDB"}));
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kInvalidProcedureMessage}));
    EXPECT_EQ(Caption(), "Corvid - Disconnected");
}

TEST_F(AppQtTest, MenusToolbarAndStatusBarCarryTheirTexts) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    QStringList menus;
    for (QAction* menu : app->MainFrame()->menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Help"}));
    EXPECT_EQ(Action(ECommand::FindSqlId)->text(), "Find SQL ID...\tCtrl+F");
    EXPECT_EQ(Action(ECommand::FindSqlId)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
    // The not-connected message names Ctrl+L: the menu shows it beside Connect.
    EXPECT_EQ(Action(ECommand::Connect)->text(), "Connect...\tCtrl+L");
    EXPECT_EQ(Action(ECommand::Connect)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    EXPECT_EQ(Action(ECommand::Load)->text(), "Load SQL statements\tF5");
    EXPECT_EQ(Action(ECommand::Load)->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(Action(ECommand::Export)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(Action(ECommand::Options)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    EXPECT_EQ(Action(ECommand::Exit)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F4));
    EXPECT_EQ(Action(ECommand::ConnectionInfo)->text(), "Connection information ...\tShift+Ctrl+I");
    EXPECT_EQ(Action(ECommand::ConnectionInfo)->shortcut(), QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(Action(ECommand::FlushSharedPool)->text(), "Flush shared Pool");
    EXPECT_EQ(Action(ECommand::FlushSharedPool)->statusTip(), "Flush the shared pool");
    EXPECT_EQ(Action(ECommand::FlushSharedPool)->toolTip(), "Flush Shared Pool");
    EXPECT_EQ(Action(ECommand::ShowStatement)->statusTip(), "Show statement details and execution plan");
    // The find-similar note names the menu entry that leaves the similar view.
    EXPECT_TRUE(QString::fromUtf8(CSqlFindDlg::kNote).contains("'" + Action(ECommand::FindSimilar)->text() + "'"));
    EXPECT_EQ(Action(ECommand::Load)->toolTip(), "Load SQL");

    // Toolbar: the buttons in order, separators as null.
    std::vector<QAction*> expected{Action(ECommand::Load),
                                   Action(ECommand::Export),
                                   Action(ECommand::FlushSharedPool),
                                   nullptr,
                                   Action(ECommand::ShowStatement),
                                   Action(ECommand::FindSimilar),
                                   Action(ECommand::StatementFamilies),
                                   nullptr,
                                   Action(ECommand::Options),
                                   nullptr,
                                   Action(ECommand::About)};
    std::vector<QAction*> actual;
    for (QAction* action : app->MainFrame()->MainToolBar()->actions()) {
        actual.push_back(action->isSeparator() ? nullptr : action);
        if (!action->isSeparator()) {
            const QPixmap pixmap = action->icon().pixmap(16, 16);
            EXPECT_EQ(pixmap.size(), QSize(16, 16));
            EXPECT_FALSE(pixmap.toImage().allGray()) << action->text().toStdString();
        }
    }
    EXPECT_EQ(actual, expected);

    EXPECT_EQ(app->MainFrame()->MessagePane()->text(), "Ready");
    EXPECT_EQ(app->MainFrame()->Indicator(0)->text(), "CAP");
    EXPECT_EQ(app->MainFrame()->Indicator(1)->text(), "NUM");
    EXPECT_EQ(app->MainFrame()->Indicator(2)->text(), "SCRL");
}

TEST_F(AppQtTest, CommandStatesFollowConnectionAndView) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    CMainFrame* frame = app->MainFrame();
    auto enabled = [&](ECommand command) { return Action(command)->isEnabled(); };
    EXPECT_FALSE(enabled(ECommand::Connect));
    EXPECT_TRUE(enabled(ECommand::Disconnect));
    EXPECT_TRUE(enabled(ECommand::Load));
    EXPECT_TRUE(enabled(ECommand::FlushSharedPool));
    EXPECT_TRUE(enabled(ECommand::Options));
    EXPECT_FALSE(Action(ECommand::FindSimilar)->isChecked());

    app->Document()->m_SimilarMode = true;
    frame->UpdateCommandStates();
    EXPECT_FALSE(enabled(ECommand::Load));
    EXPECT_FALSE(enabled(ECommand::FlushSharedPool));
    EXPECT_FALSE(enabled(ECommand::Options));
    EXPECT_TRUE(enabled(ECommand::FindSimilar));
    EXPECT_TRUE(Action(ECommand::FindSimilar)->isChecked());
    auto* button = qobject_cast<QToolButton*>(frame->MainToolBar()->widgetForAction(Action(ECommand::FindSimilar)));
    ASSERT_NE(button, nullptr);
    EXPECT_TRUE(button->isChecked());
    app->Document()->m_SimilarMode = false;

    frame->RunCommand(ECommand::Disconnect);
    EXPECT_EQ(Caption(), "Corvid - Disconnected");
    EXPECT_TRUE(enabled(ECommand::Connect));
    EXPECT_FALSE(enabled(ECommand::Disconnect));
    EXPECT_FALSE(enabled(ECommand::Load));
    EXPECT_FALSE(enabled(ECommand::FlushSharedPool));
    EXPECT_TRUE(enabled(ECommand::Options));
    EXPECT_TRUE(enabled(ECommand::Export));
    EXPECT_TRUE(enabled(ECommand::ShowStatement));

    // Connect runs the dialog; its logon refreshes the document's users.
    dialogUser = "SHOP";
    frame->RunCommand(ECommand::Connect);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Caption().toStdString(), "Corvid - User SHOP connected with TESTDB (TESTDB) - " + kBanner);
    EXPECT_FALSE(app->Document()->GetUserList().IsEmpty());
    EXPECT_FALSE(enabled(ECommand::Connect));
}

TEST_F(AppQtTest, F5FillsTheListSortedByBufferGetsPerExecution) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_EQ(app->View()->PlaceholderText().toStdString(), kEmptyListHint);
    bool dialogSeen = false;
    bool busyMeanwhile = false;
    QTimer watch;
    watch.setInterval(2);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (qobject_cast<CProgressDlg*>(QApplication::activeModalWidget())) {
            dialogSeen = true;
            busyMeanwhile = app->View()->IsBusy();
            // A second load while the first runs is ignored.
            app->OnCommand(ECommand::Load);
        }
    });
    watch.start();
    PressF5();
    watch.stop();
    EXPECT_TRUE(prompter.Prompts().empty()) << prompter.Prompts()[0].text;
    EXPECT_FALSE(app->View()->IsBusy());
    if (dialogSeen) {
        EXPECT_TRUE(busyMeanwhile);
    }

    ASSERT_GE(List().GetItemCount(), 3);
    const int sql = Column("SQL Text");
    const int perExec = Column("Buf Get/E");
    ASSERT_GE(sql, 0);
    ASSERT_GE(perExec, 0);
    EXPECT_EQ(List().GetItemText(0, sql), "SELECT ename, sal FROM emp WHERE sal > 1000");
    for (int row = 1; row < List().GetItemCount(); ++row) {
        EXPECT_GE(std::atof(List().GetItemText(row - 1, perExec).c_str()),
                  std::atof(List().GetItemText(row, perExec).c_str()));
        EXPECT_EQ(List().GetItemText(row, sql).find("$CORVID$"), std::string::npos);
    }
    // Every row points at its statement in the collection.
    const CObjectArray& collection = app->Document()->GetCollection();
    for (int row = 0; row < List().GetItemCount(); ++row) {
        const auto position = List().GetItemData(row);
        ASSERT_LT(position, collection.GetSize());
        EXPECT_EQ(collection[position].m_SqlText, List().GetItemText(row, sql));
    }
    bool ascending = true;
    EXPECT_TRUE(List().GetHeader().HasSortArrow(perExec, &ascending));
    EXPECT_FALSE(ascending);
    EXPECT_EQ(app->View()->model()->rowCount(), List().GetItemCount());

    // The status bar keeps the load's summary; the hint is gone.
    const std::string summary = app->MainFrame()->MessagePane()->text().toStdString();
    EXPECT_EQ(summary.rfind(std::to_string(List().GetItemCount()) + " statements listed, ", 0), 0u) << summary;
    EXPECT_NE(summary.find(" analysed, "), std::string::npos) << summary;
    EXPECT_NE(summary.find("; loaded in "), std::string::npos) << summary;
    EXPECT_TRUE(app->View()->PlaceholderText().isEmpty());
}

// View > Charts shows the chart panel, hidden at first, drawn from the loaded list.
TEST_F(AppQtTest, ViewChartsShowsThePanelOfTheLoadedList) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    QAction* charts = nullptr;
    for (QAction* menu : app->MainFrame()->menuBar()->actions()) {
        if (menu->text() != "&View") continue;
        for (QAction* entry : menu->menu()->actions())
            if (entry->text() == "Charts") charts = entry;
    }
    ASSERT_NE(charts, nullptr);
    CChartPanel* panel = app->ChartPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isVisible());
    charts->trigger();
    EXPECT_TRUE(panel->isVisible());
    PressF5();
    ASSERT_GE(List().GetItemCount(), 3);
    QTRY_COMPARE(panel->Data().bufferGets.statementCount, List().GetItemCount());

    // Open when the program closes, open at the next start; closed, closed.
    app->MainFrame()->close();
    app->ExitInstance();
    EXPECT_EQ(store.GetProfileInt("Charts", "Visible", -1), 1);
    app = std::make_unique<CCorvidApp>();
    app->UseServices(&store, &prompter);
    app->SetLibraryFolders({testing::SimLibraryFolder()});
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    EXPECT_TRUE(app->ChartPanel()->isVisible());
    app->ChartPanel()->parentWidget()->hide();
    app->MainFrame()->close();
    EXPECT_EQ(store.GetProfileInt("Charts", "Visible", -1), 0);
}

TEST_F(AppQtTest, LoadAndFlushWhileNotConnectedOnlySayWhy) {
    ASSERT_TRUE(Start({}));
    prompter.Clear();
    app->OnCommand(ECommand::Load);
    app->OnCommand(ECommand::FlushSharedPool);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kNotConnectedMessage, kNotConnectedMessage}));
    EXPECT_EQ(List().GetItemCount(), 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(AppQtTest, FlushAsksFirstAndThenSaysTheListShowsTheOldState) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    PressF5();
    const QString summary = app->MainFrame()->MessagePane()->text();
    prompter.Clear();
    prompter.QueueAnswer(false);
    app->MainFrame()->RunCommand(ECommand::FlushSharedPool);
    ASSERT_EQ(prompter.Questions().size(), 1u);
    EXPECT_EQ(prompter.Prompts()[0].buttons, IPrompter::Buttons::YesNoDefaultNo);
    EXPECT_EQ(app->MainFrame()->MessagePane()->text(), summary);

    prompter.QueueAnswer(true);
    app->MainFrame()->RunCommand(ECommand::FlushSharedPool);
    EXPECT_EQ(app->MainFrame()->MessagePane()->text().toStdString(), kFlushedStatusText);
    EXPECT_TRUE(prompter.Messages().empty());
}

TEST_F(AppQtTest, FlushWithoutThePrivilegeKeepsProgramAndList) {
    ASSERT_TRUE(Start({"-uSHOP", "-pSHOP", "-sTESTDB"}));
    PressF5();
    const int rows = List().GetItemCount();
    ASSERT_GT(rows, 0);
    const std::string first = List().GetItemText(0, 0);
    prompter.Clear();
    app->MainFrame()->RunCommand(ECommand::FlushSharedPool);
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{"ORA-01031: insufficient privileges"}));
    EXPECT_TRUE(prompter.OracleErrors().empty());
    EXPECT_TRUE(app->Connection()->IsConnected());
    EXPECT_EQ(List().GetItemCount(), rows);
    EXPECT_EQ(List().GetItemText(0, 0), first);
}

TEST_F(AppQtTest, SelectedStatementNeedsExactlyOneRow) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    CObjectEntry entry;
    EXPECT_FALSE(app->View()->GetSelectedStatement(entry));  // empty list
    PressF5();
    ASSERT_GE(List().GetItemCount(), 2);
    app->View()->selectAll();
    EXPECT_FALSE(app->View()->GetSelectedStatement(entry));
    EXPECT_EQ(prompter.Messages(), (std::vector<std::string>{kSelectOneStatementMessage, kSelectOneStatementMessage}));
    app->View()->selectRow(1);
    ASSERT_TRUE(app->View()->GetSelectedStatement(entry));
    EXPECT_EQ(entry.m_SqlText, List().GetItemText(1, Column("SQL Text")));
}

TEST_F(AppQtTest, HeaderClicksResortTheLoadedList) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    PressF5();
    const int execs = Column("Exec");
    const int user = Column("User");
    QHeaderView* header = app->View()->horizontalHeader();
    auto click = [&](int column, Qt::KeyboardModifiers modifiers) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, modifiers, QPoint(x, header->height() / 2));
    };
    app->View()->scrollTo(app->View()->model()->index(0, user));
    click(user, Qt::NoModifier);
    app->View()->scrollTo(app->View()->model()->index(0, execs));
    click(execs, Qt::ControlModifier);
    int position = 0;
    bool ascending = true;
    ASSERT_TRUE(List().GetSortKey(user, position, ascending));
    EXPECT_EQ(position, 1);
    EXPECT_FALSE(ascending);
    ASSERT_TRUE(List().GetSortKey(execs, position, ascending));
    EXPECT_EQ(position, 2);
    EXPECT_FALSE(List().GetSortKey(Column("Buf Get/E"), position, ascending));
    for (int row = 1; row < List().GetItemCount(); ++row) {
        const std::string a = List().GetItemText(row - 1, user);
        const std::string b = List().GetItemText(row, user);
        EXPECT_GE(strcasecmp(a.c_str(), b.c_str()), 0);
        if (strcasecmp(a.c_str(), b.c_str()) == 0) {
            EXPECT_GE(std::atof(List().GetItemText(row - 1, execs).c_str()),
                      std::atof(List().GetItemText(row, execs).c_str()));
        }
    }
}

TEST_F(AppQtTest, PlacementOffTheScreenIsIgnoredAndClosingSavesPlacementAndLayout) {
    store.WriteProfileInt("Settings", "left", 20000);
    store.WriteProfileInt("Settings", "right", 20800);
    store.WriteProfileInt("Settings", "top", 20000);
    store.WriteProfileInt("Settings", "bottom", 20600);
    store.WriteProfileInt("Settings", "showcmd", 1);
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    EXPECT_LT(app->MainFrame()->geometry().left(), 20000);
    EXPECT_FALSE(app->MainFrame()->RestorePlacement(store));

    // The user narrows the SQL text column and moves it to the front.
    QHeaderView* header = app->View()->horizontalHeader();
    const int sql = Column("SQL Text");
    header->resizeSection(sql, 321);
    header->moveSection(header->visualIndex(sql), 0);
    app->MainFrame()->setGeometry(QRect(40, 50, 700, 500));
    app->MainFrame()->close();
    EXPECT_EQ(store.GetProfileInt("Settings", "left", -1), 40);
    EXPECT_EQ(store.GetProfileInt("Settings", "top", -1), 50);
    EXPECT_EQ(store.GetProfileInt("Settings", "right", -1), 740);
    EXPECT_EQ(store.GetProfileInt("Settings", "bottom", -1), 550);
    EXPECT_EQ(store.GetProfileInt("Settings", "showcmd", -1), 1);
    EXPECT_EQ(store.GetProfileString("ListLayout", "C000_N", ""), "SQL Text");
    EXPECT_EQ(store.GetProfileInt("ListLayout", "C000_W", 0), 321);

    // The saved placement meets the screen and is applied by the next start.
    app->ExitInstance();
    app = std::make_unique<CCorvidApp>();
    app->UseServices(&store, &prompter);
    app->SetLibraryFolders({testing::SimLibraryFolder()});
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    EXPECT_EQ(app->MainFrame()->geometry(), QRect(40, 50, 700, 500));
    EXPECT_EQ(List().GetColumnTitle(List().GetColumnOrderArray()[0]), "SQL Text");
}

TEST_F(AppQtTest, ClosingInTheSimilarViewSavesNoLayout) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    store.RemoveSection("ListLayout");
    app->Document()->m_SimilarMode = true;
    app->MainFrame()->close();
    app->ExitInstance();
    EXPECT_FALSE(store.HasKey("ListLayout", "Column#"));
    EXPECT_TRUE(store.HasKey("Settings", "left"));
}

TEST_F(AppQtTest, HelpWebPageAboutAndConnectionInformation) {
    ASSERT_TRUE(Start({"-uSCOTT", "-pTIGER", "-sTESTDB"}));
    prompter.Clear();
    app->OnCommand(ECommand::WebPage);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], kVendorWebPage);

    // The help page is installed beside the program; the tests run elsewhere.
    app->OnCommand(ECommand::HelpTopics);
    const std::string help = CCorvidApp::HelpPageUrl();
    EXPECT_NE(help.find("corvid-help.html"), std::string::npos);
    if (urls.size() == 1) {
        ASSERT_EQ(prompter.Messages().size(), 1u);
        EXPECT_NE(prompter.Messages()[0].find("corvid-help.html"), std::string::npos);
        prompter.Clear();
    } else {
        EXPECT_EQ(urls[1], help);
    }

    app->OnCommand(ECommand::About);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_NE(prompter.Messages()[0].find("Version 1.7.2"), std::string::npos);
    EXPECT_NE(prompter.Messages()[0].find("Build 144"), std::string::npos);

    prompter.Clear();
    app->OnCommand(ECommand::ConnectionInfo);
    ASSERT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.Messages()[0].rfind("You are successfully connected!", 0), 0u);
}

}  // namespace
}  // namespace corvid
