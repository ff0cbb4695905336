#include "app/qt/CorvidApp.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "app/AboutInfo.h"
#include "app/AppInfo.h"
#include "app/CommandLinePassword.h"
#include "app/LoadSummary.h"
#include "app/Startup.h"
#include "app/qt/AutoRefresh.h"
#include "app/qt/CorvidView.h"
#include "app/qt/MainFrame.h"
#include "app/qt/StartupChecks.h"
#include "app/qt/StatementCommands.h"
#include "app/qt/ToolbarIcons.h"
#include "charts/qt/ChartPanel.h"
#include "collection/CorvidDoc.h"
#include "dialogs/qt/ConnectDlg.h"
#include "dialogs/qt/ProgressDlgRunner.h"
#include "oracle/OracleConnection.h"
#include "platform/Clock.h"
#include "platform/DynamicLibrary.h"
#include "platform/ProcessExit.h"
#include "history/HistoryRecorder.h"
#include "platform/Secret.h"
#include "platform/Services.h"
#include "platform/qt/QtPrompter.h"
#include "platform/qt/QtSettingsStore.h"

namespace corvid {

CCorvidApp* CCorvidApp::s_instance = nullptr;

namespace {

constexpr const char* kChartsSection = "Charts";
constexpr const char* kChartsVisibleKey = "Visible";

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

CCorvidApp::CCorvidApp() {
    s_instance = this;
}

CCorvidApp::~CCorvidApp() {
    m_view = nullptr;
    m_chartPanel = nullptr;
    m_autoRefresh = nullptr;
    m_mainFrame.reset();
    m_document.reset();
    m_session.reset();
    m_connection.reset();
    if (m_prompter) SetPrompter(nullptr);
    if (m_settings) SetSettingsStore(nullptr);
    if (s_instance == this) s_instance = nullptr;
}

void CCorvidApp::UseServices(ISettingsStore* store, IPrompter* prompter) {
    m_storeOverride = store;
    m_prompterOverride = prompter;
}

std::unique_ptr<QMessageBox> CreateUsageBox() {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Information, QStringLiteral("Corvid"), QString(),
                                             QMessageBox::Ok);
    // Preformatted: each option keeps its own line and its columns line up.
    box->setTextFormat(Qt::RichText);
    box->setText(QStringLiteral("<pre>") + QString::fromUtf8(UsageText()).toHtmlEscaped() + QStringLiteral("</pre>"));
    return box;
}

void CCorvidApp::ShowUsageAndExit(CCorvidCommandLineInfo::Outcome outcome, int argc, char** argv) {
    std::fprintf(stderr, "%s\n", UsageText());
    if (HasDisplay()) {
        QApplication application(argc, argv);
        // Where nobody can see the box (-platform offscreen), standard error is all.
        const QString platform = QGuiApplication::platformName();
        if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal")) CreateUsageBox()->exec();
    }
    EndProcess(outcome == CCorvidCommandLineInfo::Outcome::Help ? 0 : 2);
}

int CCorvidApp::Run(int argc, char** argv) {
    // The settings store lives under the company key.
    QCoreApplication::setOrganizationName(QString::fromUtf8(kCompanyKey));
    QCoreApplication::setApplicationName(QStringLiteral("Corvid"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(kApplicationVersion));

    // The command line is read before any window exists, so a bad option is
    // reported even where there is no display. The toolkit's own options
    // (-platform, -display, -style, ...) are left to the toolkit.
    CCorvidCommandLineInfo commandLine;
    std::vector<std::string> given(argv + 1, argv + argc);
    std::vector<std::string> arguments = WithoutToolkitOptions(given);
    commandLine.Parse(arguments);
    // The password leaves the visible command line before the toolkit copies it,
    // and the process is not dumpable while it is held.
    std::optional<CNotDumpable> holdingPassword;
    if (!commandLine.m_Password.empty()) holdingPassword.emplace();
    WipePasswordArguments(argc, argv, given, commandLine.m_Password);
    WipePasswordArguments(0, argv, arguments, commandLine.m_Password);
    CheckToolkitArguments(argc, argv);
    if (commandLine.GetOutcome() == CCorvidCommandLineInfo::Outcome::Version) {
        std::printf("corvid %s (build %d)\n", kApplicationVersion, kApplicationBuild);
        EndProcess(0);
    }
    if (commandLine.GetOutcome() != CCorvidCommandLineInfo::Outcome::Run) {
        ShowUsageAndExit(commandLine.GetOutcome(), argc, argv);
    }

    CheckToolkitStart(argc, argv);
    if (!m_storeOverride && !PrepareUserSettingsFile()) return 1;
    QApplication application(argc, argv);
    ToolkitStarted();
    application.setQuitOnLastWindowClosed(true);
    QApplication::setWindowIcon(ApplicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("corvid"));
    const bool started = InitInstance(commandLine);
    // The logon is behind us: the password is needed no more.
    WipeString(commandLine.m_Password);
    holdingPassword.reset();
    if (!started) {
        ExitInstance();
        return 1;
    }
    application.exec();
    return ExitInstance();
}

bool CCorvidApp::InitInstance(const CCorvidCommandLineInfo& commandLine) {
    InstallServices();
    OpenTraceLog(commandLine);
    CreateConnection(commandLine);
    ConnectFromCommandLine(commandLine);
    CreateDocumentAndWindows();
    UpdateTitle();
    m_mainFrame->UpdateCommandStates();
    ShowMainWindow();
    return true;
}

void CCorvidApp::InstallServices() {
    if (m_storeOverride) {
        SetSettingsStore(m_storeOverride);
    } else {
        m_settings = std::make_unique<CQtSettingsStore>();
        SetSettingsStore(m_settings.get());
    }
    if (m_prompterOverride) {
        SetPrompter(m_prompterOverride);
    } else {
        m_prompter = std::make_unique<CQtPrompter>();
        SetPrompter(m_prompter.get());
    }
}

void CCorvidApp::OpenTraceLog(const CCorvidCommandLineInfo& commandLine) {
    m_traceLevel = commandLine.m_TraceLevel;
    if (!StartTraceLog(m_trace, m_traceLevel)) {
        GetPrompter().Message(std::string("The trace file ") + kTraceFileName +
                                  " cannot be opened (a link, not a regular file, or in use by another program): "
                                  "the trace goes to standard error.",
                              IPrompter::Kind::Warning);
    }
}

void CCorvidApp::CreateConnection(const CCorvidCommandLineInfo& commandLine) {
    // Binding the client library happens here and ends the program when it fails.
    const int version = commandLine.m_OciVersion == 7 || commandLine.m_OciVersion == 8 ? commandLine.m_OciVersion : 0;
    std::unique_ptr<IDynamicLibraryLoader> loader;
    if (!m_libraryFolders.empty()) loader = std::make_unique<CDlLibraryLoader>(m_libraryFolders);
    m_connection = std::make_unique<COracleConnection>(&m_trace, version, std::move(loader));
}

void CCorvidApp::ConnectFromCommandLine(const CCorvidCommandLineInfo& commandLine) {
    // Before any window exists: the connect dialog, when needed, has no parent yet.
    m_session = std::make_unique<CSession>(*m_connection);
    m_session->SetTitleHandler([this](const std::string& caption) {
        m_caption = caption;
        if (m_mainFrame) m_mainFrame->setWindowTitle(QString::fromStdString(caption));
    });
    m_session->SetConnectDialog([this](COracleConnection& connection) {
        if (m_connectDialog) return m_connectDialog(connection);
        // After a refused command-line logon the dialog offers what the command line gave.
        const CSession::SLogonPreset* refused = m_session->GetRefusedLogon();
        SConnectPreset preset;
        if (refused) preset = SConnectPreset{refused->user, refused->server, refused->mode};
        return RunConnectDialog(connection, m_mainFrame.get(), [this] { OpenUrl(HelpPageUrl("connect")); },
                                refused ? &preset : nullptr);
    });
    m_session->Connect(commandLine.m_User, commandLine.m_Password, commandLine.m_Server, commandLine.m_ConnectMode);
}

void CCorvidApp::CreateDocumentAndWindows() {
    m_runner = std::make_unique<CProgressDlgRunner>();
    m_document = std::make_unique<CCorvidDoc>(m_connection.get(), GetSettingsStore(), GetPrompter(), m_runner.get());
    m_session->SetConnectionChangedHandler([this] {
        m_document->RefreshSettings();
        // Another connection has nothing to compare with: back to the regular list.
        if (m_view && m_document->m_ChangesMode) {
            m_view->SetChangesMode(false);
            m_view->Refill(false);
            if (m_autoRefresh) m_autoRefresh->UpdateIntervalPane();
        }
    });
    m_mainFrame = std::make_unique<CMainFrame>();
    m_runner->SetParent(m_mainFrame.get());
    if (m_prompter) m_prompter->SetParentWindow(m_mainFrame.get());
    m_view = new CCorvidView(*m_document, m_mainFrame.get());
    m_mainFrame->setCentralWidget(m_view);
    m_view->setFocus();
    // View > Charts: where the load of the listed statements sits, beside the list.
    auto* chartDock = new QDockWidget(QStringLiteral("Charts"), m_mainFrame.get());
    chartDock->setObjectName(QStringLiteral("charts"));
    m_chartPanel = new CChartPanel(*m_view, m_document->GetCollection(), chartDock);
    chartDock->setWidget(m_chartPanel);
    m_mainFrame->AddPanel(chartDock)->setStatusTip(
        QStringLiteral("Show or hide the charts of the listed statements' buffer gets and disk reads"));
    m_view->SetDispatcher([this](ECommand command) { m_mainFrame->RunCommand(command); });
    m_autoRefresh = new CAutoRefresh(*m_mainFrame, *m_view, *m_document, *m_session);
    // The charts read the collection: they wait while a refresh loads it anew.
    m_autoRefresh->SetHoldHandler([this](bool hold) {
        if (m_chartPanel) m_chartPanel->SetHeld(hold);
    });
    m_mainFrame->SetDispatcher([this](ECommand command) { OnCommand(command); });
    m_mainFrame->SetStateQuery([this](ECommand command) { return GetCommandState(command); });
    // A refresh in the background is cancelled first; the window closes once it has stopped.
    m_mainFrame->SetCloseGuard([this] { return !(m_autoRefresh && m_autoRefresh->CancelForClose()); });
    m_mainFrame->SetCloseHandler([this, chartDock] {
        m_mainFrame->SavePlacement(GetSettingsStore());
        if (m_view) m_view->SaveLayout();
        GetSettingsStore().WriteProfileInt(kChartsSection, kChartsVisibleKey, chartDock->isVisible() ? 1 : 0);
    });
}

void CCorvidApp::ShowMainWindow() {
    // The stored placement is used only when it meets the screen.
    const bool placed = m_mainFrame->RestorePlacement(GetSettingsStore());
    // The charts come back if they were open when the program last closed.
    if (GetSettingsStore().GetProfileInt(kChartsSection, kChartsVisibleKey, 0) == 1) {
        if (auto* chartDock = m_mainFrame->findChild<QDockWidget*>(QStringLiteral("charts"))) chartDock->show();
    }
    if (placed && m_mainFrame->RestoredMaximized()) {
        m_mainFrame->showMaximized();
    } else {
        m_mainFrame->show();
    }
}

int CCorvidApp::ExitInstance() {
    // The view saves its layout and the document its settings as they go.
    m_view = nullptr;
    m_chartPanel = nullptr;
    m_mainFrame.reset();
    m_document.reset();
    if (m_session) m_session->Disconnect();
    m_session.reset();
    m_connection.reset();
    m_trace.Flush();
    return 0;
}

void CCorvidApp::UpdateTitle() {
    if (m_session) {
        m_session->UpdateTitle();
        return;
    }
    m_caption = ComposeCaption(false, "", "", "", "");
    if (m_mainFrame) m_mainFrame->setWindowTitle(QString::fromStdString(m_caption));
}

SCommandState CCorvidApp::GetCommandState(ECommand command) const {
    // While a refresh loads in the background the document is the worker's: every
    // command waits for it (Esc cancels it).
    if (m_view && m_view->IsBusy()) return SCommandState{false, false};
    const bool connected = m_connection && m_connection->IsConnected();
    const bool similar = m_document && m_document->m_SimilarMode;
    const bool families = m_document && m_document->m_FamilyMode;
    const bool filtered = m_document && m_document->m_FamilyFilter >= 0;
    SIntervalViewState interval;
    if (m_document) {
        interval.hasInterval = m_document->HasInterval();
        interval.changesMode = m_document->m_ChangesMode;
    }
    if (m_autoRefresh) interval.autoRefreshSeconds = m_autoRefresh->GetPeriod();
    return corvid::GetCommandState(command, connected, similar, families, filtered, interval);
}

std::string CCorvidApp::HelpPageUrl(const std::string& anchor) {
    // Beside the program in the build tree; in the documentation folder once installed.
    const QString folder = QCoreApplication::applicationDirPath();
    QString path = folder + QLatin1Char('/') + QLatin1String(kHelpPageFileName);
    if (!QFileInfo::exists(path)) {
        const QString installed =
            QDir::cleanPath(folder + QLatin1String("/../share/doc/corvid/") + QLatin1String(kHelpPageFileName));
        if (QFileInfo::exists(installed)) path = installed;
    }
    QUrl url = QUrl::fromLocalFile(path);
    if (!anchor.empty()) url.setFragment(QString::fromStdString(anchor));
    return url.toString().toStdString();
}

void CCorvidApp::OpenUrl(const std::string& url) {
    const QUrl address(QString::fromStdString(url));
    if (address.isLocalFile() && !QFileInfo::exists(address.toLocalFile())) {
        GetPrompter().Message("The help page " + address.toLocalFile().toStdString() + " could not be found.",
                              IPrompter::Kind::Warning);
        return;
    }
    const bool opened = m_openUrl ? m_openUrl(url) : QDesktopServices::openUrl(address);
    if (!opened) GetPrompter().Message("Unable to open " + url + " in the web browser.", IPrompter::Kind::Warning);
}

void CCorvidApp::OnCommand(ECommand command) {
    if (m_view && m_view->IsBusy()) return;
    if (IsStatementCommand(command)) {
        if (!m_mainFrame || !m_view || !m_document || !m_session) return;
        SStatementCommandContext context{*m_mainFrame, *m_view, *m_document, *m_session};
        RunStatementCommand(command, context);
        return;
    }
    switch (command) {
        case ECommand::Connect:
            OnConnect();
            break;
        case ECommand::Disconnect:
            OnDisconnect();
            break;
        case ECommand::Load:
            OnLoad();
            break;
        case ECommand::FlushSharedPool:
            OnFlushSharedPool();
            break;
        case ECommand::ConnectionInfo:
            m_connection->ShowConnectionInfo();
            break;
        case ECommand::HelpTopics:
            OpenUrl(HelpPageUrl());
            break;
        case ECommand::HelpOnHelp:
            OpenUrl(HelpPageUrl("using-help"));
            break;
        case ECommand::WebPage:
            OpenUrl(kVendorWebPage);
            break;
        case ECommand::About:
            GetPrompter().Message(AboutText(), IPrompter::Kind::Information);
            break;
        case ECommand::Exit:
            if (m_mainFrame) m_mainFrame->close();
            break;
        case ECommand::ShowChanges:
            OnShowChanges();
            break;
        default:
            if (const int seconds = AutoRefreshSeconds(command); seconds >= 0 && m_autoRefresh) {
                m_autoRefresh->SetPeriod(seconds);
            }
            break;
    }
}

void CCorvidApp::OnShowChanges() {
    if (!m_view || !m_document || m_document->m_SimilarMode || m_document->m_FamilyMode) return;
    const bool on = !m_document->m_ChangesMode;
    if (on && (!m_document->HasInterval() || m_document->m_FamilyFilter >= 0)) return;
    // The selected statements stay selected when they are listed in the other view.
    const std::vector<CObjectArray::Index> selected = m_view->SelectedPositions();
    m_view->SetChangesMode(on);
    m_view->Refill(false, selected);
    if (m_autoRefresh) m_autoRefresh->UpdateIntervalPane();
    if (m_mainFrame) m_mainFrame->UpdateCommandStates();
}

void CCorvidApp::OnConnect() {
    m_session->Connect("", "", "", EConnectMode::Normal);
}

void CCorvidApp::OnDisconnect() {
    if (m_autoRefresh) m_autoRefresh->SetPeriod(0);
    m_session->Disconnect();
}

void CCorvidApp::OnLoad() {
    if (!m_session->EnsureConnected()) return;
    const std::uint64_t started = GetClock().TickMs();
    const bool completed = m_view->Refill(true);
    const std::uint64_t elapsed = GetClock().TickMs() - started;
    std::string summary = FormatLoadSummary(m_document->GetCollection(), m_document->m_Analyze != 0, completed, elapsed);
    if (completed) {
        // A load that cannot be recorded stays as it is; the status bar says why.
        if (!m_loadRecorder) m_loadRecorder = std::make_unique<CLoadRecorder>();
        const std::string note =
            m_loadRecorder->Record(SHistorySettings::Read(GetSettingsStore()), *m_connection, *m_document);
        if (!note.empty()) summary += " - " + note;
    }
    if (m_mainFrame) m_mainFrame->SetStatusText(QString::fromStdString(summary));
    if (m_autoRefresh) m_autoRefresh->UpdateIntervalPane();
    if (m_mainFrame) m_mainFrame->UpdateCommandStates();
}

void CCorvidApp::OnFlushSharedPool() {
    if (m_session->FlushSharedPool() == CSession::EFlushResult::Flushed && m_mainFrame)
        m_mainFrame->SetStatusText(QString::fromUtf8(kFlushedStatusText));
}

}  // namespace corvid
