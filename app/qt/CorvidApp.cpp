#include "app/qt/CorvidApp.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/AppInfo.h"
#include "app/Startup.h"
#include "app/qt/MainFrame.h"
#include "platform/ProcessExit.h"
#include "platform/Services.h"
#include "platform/qt/QtPrompter.h"
#include "platform/qt/QtSettingsStore.h"

namespace corvid {

CCorvidApp* CCorvidApp::s_instance = nullptr;

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

bool HasDisplay() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM"); }

}  // namespace

CCorvidApp::CCorvidApp() { s_instance = this; }

CCorvidApp::~CCorvidApp() {
    m_mainFrame.reset();
    SetPrompter(nullptr);
    SetSettingsStore(nullptr);
    if (s_instance == this) s_instance = nullptr;
}

void CCorvidApp::ShowUsageAndExit(CCorvidCommandLineInfo::Outcome outcome, int argc, char** argv) {
    std::fprintf(stderr, "%s\n", UsageText());
    if (HasDisplay()) {
        QApplication application(argc, argv);
        CQtPrompter prompter;
        prompter.Message(UsageText(), IPrompter::Kind::Information);
    }
    EndProcess(outcome == CCorvidCommandLineInfo::Outcome::Help ? 0 : 2);
}

int CCorvidApp::Run(int argc, char** argv) {
    // The settings store lives under the company key.
    QCoreApplication::setOrganizationName(QString::fromUtf8(kCompanyKey));
    QCoreApplication::setApplicationName(QStringLiteral("Corvid"));
    QCoreApplication::setApplicationVersion(QString::fromUtf8(kApplicationVersion));

    // The command line is read before any window exists, so a bad option is
    // reported even where there is no display.
    CCorvidCommandLineInfo commandLine;
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (commandLine.Parse(arguments) != CCorvidCommandLineInfo::Outcome::Run) {
        ShowUsageAndExit(commandLine.GetOutcome(), argc, argv);
    }

    QApplication application(argc, argv);
    if (!InitInstance(commandLine)) return ExitInstance() == 0 ? 1 : 1;
    application.exec();
    return ExitInstance();
}

bool CCorvidApp::InitInstance(const CCorvidCommandLineInfo& commandLine) {
    m_settings = std::make_unique<CQtSettingsStore>();
    SetSettingsStore(m_settings.get());
    m_prompter = std::make_unique<CQtPrompter>();
    SetPrompter(m_prompter.get());

    m_traceLevel = commandLine.m_TraceLevel;
    StartTraceLog(m_trace, m_traceLevel);

    m_mainFrame = std::make_unique<CMainFrame>();
    m_prompter->SetParentWindow(m_mainFrame.get());
    UpdateTitle();
    m_mainFrame->show();
    return true;
}

int CCorvidApp::ExitInstance() {
    m_mainFrame.reset();
    m_trace.Flush();
    return 0;
}

void CCorvidApp::UpdateTitle() {
    const QString caption = QStringLiteral("Corvid - Disconnected");
    if (m_mainFrame) m_mainFrame->setWindowTitle(caption);
}

}  // namespace corvid
