#include "app/qt/MainFrame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include "app/WindowPlacement.h"
#include "app/qt/ToolbarIcons.h"
#include "platform/qt/X11KeyboardLocks.h"

namespace corvid {

QAction* CMainFrame::AddPanel(QDockWidget* dock) {
    addDockWidget(Qt::RightDockWidgetArea, dock);
    dock->hide();
    QAction* toggle = dock->toggleViewAction();
    m_viewMenu->addAction(toggle);
    return toggle;
}

QString PromptStatusText(const QString& prompt) {
    return prompt.section(QLatin1Char('\n'), 0, 0);
}

QString PromptToolTip(const QString& prompt) {
    return prompt.contains(QLatin1Char('\n')) ? prompt.section(QLatin1Char('\n'), 1) : QString();
}

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
    resize(1000, 700);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    AddCommand(file, ECommand::Connect, QStringLiteral("Connect...\tCtrl+L"), QKeySequence(Qt::CTRL | Qt::Key_L),
               QStringLiteral("Connect with server\nConnect"));
    AddCommand(file, ECommand::Disconnect, QStringLiteral("Disconnect"), QKeySequence(),
               QStringLiteral("Disconnect from server\nDisconnect"));
    file->addSeparator();
    AddCommand(file, ECommand::Load, QStringLiteral("Load SQL statements\tF5"), QKeySequence(Qt::Key_F5),
               QStringLiteral("Load SQL statements from server\nLoad SQL"));
    AddCommand(file, ECommand::Export, QStringLiteral("Export...\tCtrl+S"), QKeySequence(Qt::CTRL | Qt::Key_S),
               QStringLiteral("Export the table contents\nExport table"));
    AddCommand(file, ECommand::SaveReport, QStringLiteral("Save report..."), QKeySequence(),
               QStringLiteral("Save a report of the listed statements as one HTML page\nSave report"));
    AddCommand(file, ECommand::FlushSharedPool, QStringLiteral("Flush shared Pool"), QKeySequence(),
               QStringLiteral("Flush the shared pool\nFlush Shared Pool"));
    file->addSeparator();
    AddCommand(file, ECommand::ShowStatement, QStringLiteral("Show SQL statement..."), QKeySequence(),
               QStringLiteral("Show statement details and execution plan\nShow statement details"));
    AddCommand(file, ECommand::FindSimilar, QStringLiteral("Find similar SQL statements..."), QKeySequence(),
               QStringLiteral("Find similar SQL statements\nFind similar SQL statements"))
        ->setCheckable(true);
    file->addSeparator();
    AddCommand(file, ECommand::Options, QStringLiteral("&Options...\tCtrl+O"), QKeySequence(Qt::CTRL | Qt::Key_O),
               QStringLiteral("Change the application options\nOptions"));
    file->addSeparator();
    AddCommand(file, ECommand::Exit, QStringLiteral("Exit\tCtrl+F4"), QKeySequence(Qt::CTRL | Qt::Key_F4),
               QStringLiteral("Quit the application\nExit"));

    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    AddCommand(edit, ECommand::FindSqlId, QStringLiteral("Find SQL ID...\tCtrl+F"), QKeySequence(Qt::CTRL | Qt::Key_F),
               QStringLiteral("Select the statement with a given SQL ID\nFind SQL ID"));

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    m_viewMenu = view;
    m_toolbarToggle = view->addAction(QStringLiteral("&Toolbar"));
    m_toolbarToggle->setCheckable(true);
    m_toolbarToggle->setChecked(true);
    m_toolbarToggle->setStatusTip(QStringLiteral("Show or hide the toolbar"));
    m_statusBarToggle = view->addAction(QStringLiteral("&Status Bar"));
    m_statusBarToggle->setCheckable(true);
    m_statusBarToggle->setChecked(true);
    m_statusBarToggle->setStatusTip(QStringLiteral("Show or hide the status bar"));
    view->addSeparator();
    AddCommand(view, ECommand::StatementFamilies, QStringLiteral("Statement families"), QKeySequence(),
               QStringLiteral("Group the statements that differ only in their literals\nStatement families"))
        ->setCheckable(true);
    view->addSeparator();
    AddCommand(view, ECommand::ShowChanges, QStringLiteral("Show changes since previous load"), QKeySequence(),
               QStringLiteral("Show the statements that changed since the previous load\nShow changes"))
        ->setCheckable(true);
    QMenu* autoRefresh = view->addMenu(QStringLiteral("Auto refresh"));
    const std::pair<ECommand, QString> periods[] = {
        {ECommand::AutoRefreshOff, QStringLiteral("Off")},   {ECommand::AutoRefresh10s, QStringLiteral("10 s")},
        {ECommand::AutoRefresh30s, QStringLiteral("30 s")},  {ECommand::AutoRefresh1min, QStringLiteral("1 min")},
        {ECommand::AutoRefresh5min, QStringLiteral("5 min")},
    };
    for (const auto& [command, text] : periods) {
        AddCommand(autoRefresh, command, text, QKeySequence(),
                   QStringLiteral("Reload the statements on this period while connected\nAuto refresh"))
            ->setCheckable(true);
    }

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(help, ECommand::HelpTopics, QStringLiteral("Help Topics\tF1"), QKeySequence(Qt::Key_F1),
               QStringLiteral("Open the help page\nHelp Topics"));
    AddCommand(help, ECommand::HelpOnHelp, QStringLiteral("How to use help"), QKeySequence(),
               QStringLiteral("How to read and search the help page\nHelp"));
    help->addSeparator();
    AddCommand(help, ECommand::WebPage, QStringLiteral("Quarry Lane on the Web"), QKeySequence(),
               QStringLiteral("Open the product page in the web browser\nQuarry Lane on the Web"));
    help->addSeparator();
    AddCommand(help, ECommand::ConnectionInfo, QStringLiteral("Connection information ...\tShift+Ctrl+I"),
               QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_I),
               QStringLiteral("Connection Information\nConnection Information"));
    help->addSeparator();
    AddCommand(help, ECommand::About, QStringLiteral("About Corvid"), QKeySequence(),
               QStringLiteral("Show the program's name, version and build\nAbout"));

    for (QMenu* menu : {file, edit, view, autoRefresh, help})
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);

    m_toolbar = addToolBar(QStringLiteral("Standard"));
    m_toolbar->setObjectName(QStringLiteral("StandardToolBar"));
    m_toolbar->setIconSize(QSize(16, 16));
    m_toolbar->setMovable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar->toggleViewAction()->setVisible(false);
    for (ECommand command : {ECommand::Load, ECommand::Export, ECommand::FlushSharedPool}) {
        m_toolbar->addAction(Action(command));
    }
    m_toolbar->addSeparator();
    m_toolbar->addAction(Action(ECommand::ShowStatement));
    m_toolbar->addAction(Action(ECommand::FindSimilar));
    m_toolbar->addAction(Action(ECommand::StatementFamilies));
    m_toolbar->addSeparator();
    m_toolbar->addAction(Action(ECommand::Options));
    m_toolbar->addSeparator();
    m_toolbar->addAction(Action(ECommand::About));
    connect(m_toolbarToggle, &QAction::toggled, m_toolbar, &QToolBar::setVisible);

    m_messagePane = new QLabel(QStringLiteral("Ready"), this);
    statusBar()->addWidget(m_messagePane, 1);
    // A refresh in the background shows its progress here; the changes view its interval.
    m_progressText = new QLabel(this);
    m_progressText->hide();
    statusBar()->addPermanentWidget(m_progressText);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setRange(0, 100);
    m_progressBar->setTextVisible(false);
    m_progressBar->setMaximumWidth(120);
    m_progressBar->hide();
    statusBar()->addPermanentWidget(m_progressBar);
    m_intervalPane = new QLabel(this);
    m_intervalPane->hide();
    statusBar()->addPermanentWidget(m_intervalPane);
    const QString indicatorTexts[3] = {QStringLiteral("CAP"), QStringLiteral("NUM"), QStringLiteral("SCRL")};
    for (int i = 0; i < 3; ++i) {
        m_indicators[i] = new QLabel(indicatorTexts[i], this);
        m_indicators[i]->setAlignment(Qt::AlignCenter);
        m_indicators[i]->setMinimumWidth(m_indicators[i]->fontMetrics().horizontalAdvance(indicatorTexts[i]) + 12);
        m_indicators[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addPermanentWidget(m_indicators[i]);
    }
    connect(m_statusBarToggle, &QAction::toggled, statusBar(), &QStatusBar::setVisible);
    m_indicatorTimer = new QTimer(this);
    m_indicatorTimer->setInterval(500);
    connect(m_indicatorTimer, &QTimer::timeout, this, &CMainFrame::UpdateIndicators);
    m_indicatorTimer->start();
    UpdateIndicators();
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::AddCommand(QMenu* menu, ECommand command, const QString& text, const QKeySequence& shortcut,
                                const QString& prompt) {
    // The text carries its accelerator after a tab, as the menu shows it.
    QAction* action = menu->addAction(text);
    action->setIcon(ToolbarIcon(command));
    action->setIconVisibleInMenu(false);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WindowShortcut);
    }
    action->setStatusTip(PromptStatusText(prompt));
    const QString tip = PromptToolTip(prompt);
    if (!tip.isEmpty()) action->setToolTip(tip);
    connect(action, &QAction::triggered, this, [this, command, action] {
        // A checkable entry shows its state from the query, not from the click.
        if (action->isCheckable()) action->setChecked(!action->isChecked());
        RunCommand(command);
    });
    m_actions[command] = action;
    return action;
}

QAction* CMainFrame::Action(ECommand command) const {
    auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::RunCommand(ECommand command) {
    UpdateCommandStates();
    QAction* action = Action(command);
    if (action && !action->isEnabled()) return;
    if (command == ECommand::Exit) {
        close();
        return;
    }
    if (m_dispatch) m_dispatch(command);
    UpdateCommandStates();
}

void CMainFrame::UpdateCommandStates() {
    if (!m_stateQuery) return;
    for (auto& [command, action] : m_actions) {
        const SCommandState state = m_stateQuery(command);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) action->setChecked(state.checked);
    }
}

void CMainFrame::SetStatusText(const QString& text) {
    m_messagePane->setText(text);
}

void CMainFrame::UpdateIndicators() {
    // The X server knows the locks of the display the user sees; the kernel's LEDs
    // only those of a local keyboard.
    const LockStates states = ReadKeyboardLocks();
    for (int i = 0; i < 3; ++i)
        m_indicators[i]->setEnabled(states[i]);
}

bool CMainFrame::RestorePlacement(ISettingsStore& store) {
    CWindowPlacement placement;
    placement.Load(store);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return false;
    const QRect area = screen->geometry();
    if (!placement.IntersectsScreen(area.left(), area.top(), area.width(), area.height())) return false;
    setGeometry(
        QRect(QPoint(placement.m_Left, placement.m_Top), QPoint(placement.m_Right - 1, placement.m_Bottom - 1)));
    // A program that was closed minimised opens normal: a window the user cannot
    // see would look as if it had not started.
    m_restoredMaximized = placement.m_ShowCmd == CWindowPlacement::kShowMaximized;
    return true;
}

void CMainFrame::SavePlacement(ISettingsStore& store) const {
    CWindowPlacement placement;
    const QRect normal = (isMaximized() || isMinimized()) && normalGeometry().isValid() ? normalGeometry() : geometry();
    placement.m_Left = normal.left();
    placement.m_Top = normal.top();
    placement.m_Right = normal.right() + 1;
    placement.m_Bottom = normal.bottom() + 1;
    placement.m_ShowCmd = isMinimized()   ? CWindowPlacement::kShowMinimized
                          : isMaximized() ? CWindowPlacement::kShowMaximized
                                          : CWindowPlacement::kShowNormal;
    placement.Save(store);
}

void CMainFrame::SetIntervalText(const QString& text) {
    m_intervalPane->setText(text);
    m_intervalPane->setVisible(!text.isEmpty());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_closeGuard && !m_closeGuard()) {
        event->ignore();
        return;
    }
    if (m_closeHandler) m_closeHandler();
    QMainWindow::closeEvent(event);
}

}  // namespace corvid
