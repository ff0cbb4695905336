#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLineInfo.h"
#include "app/CommandStates.h"
#include "app/Session.h"
#include "diag/TraceContext.h"

class QApplication;
class QMessageBox;

namespace corvid {

class CChartPanel;

class CAutoRefresh;
class CCorvidDoc;
class CCorvidView;
class CLoadRecorder;
class CMainFrame;
class COracleConnection;
class CProgressDlgRunner;
class CQtPrompter;
class CQtSettingsStore;
class IPrompter;
class ISettingsStore;

// The usage message box: the usage text preformatted, one option a line.
std::unique_ptr<QMessageBox> CreateUsageBox();

// The application object: exactly one per process. Runs start-up (trace log,
// connection, connect, document, main window and view, window placement), the
// event loop, the session and help commands, and the exit sequence.
class CCorvidApp {
public:
    CCorvidApp();
    ~CCorvidApp();
    CCorvidApp(const CCorvidApp&) = delete;
    CCorvidApp& operator=(const CCorvidApp&) = delete;

    // Start-up, the event loop and exit; returns the process's exit status.
    int Run(int argc, char** argv);

    // Start-up in order; false ends the program. Needs the QApplication.
    bool InitInstance(const CCorvidCommandLineInfo& commandLine);
    int ExitInstance();

    // --- Seams for tests, set before InitInstance ---
    // The settings store and the prompter to use instead of the desktop's.
    void UseServices(ISettingsStore* store, IPrompter* prompter);
    // Folders searched for the client library instead of the ordinary search.
    void SetLibraryFolders(std::vector<std::string> folders) { m_libraryFolders = std::move(folders); }
    // Replaces the connect dialog (the test answers it without a window).
    void SetConnectDialog(CSession::ConnectDialog dialog) { m_connectDialog = std::move(dialog); }
    // Replaces the opening of help pages and web addresses.
    void SetUrlOpener(std::function<bool(const std::string&)> opener) { m_openUrl = std::move(opener); }

    // The handler of every menu command.
    void OnCommand(ECommand command);
    SCommandState GetCommandState(ECommand command) const;

    CTraceContext& Trace() { return m_trace; }
    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    CCorvidView* View() const { return m_view; }
    CChartPanel* ChartPanel() const { return m_chartPanel; }
    CAutoRefresh* AutoRefresh() const { return m_autoRefresh; }
    CCorvidDoc* Document() const { return m_document.get(); }
    CSession* Session() const { return m_session.get(); }
    COracleConnection* Connection() const { return m_connection.get(); }
    int TraceLevel() const { return m_traceLevel; }
    const std::string& Caption() const { return m_caption; }

    // Sets the main window's caption from the connection state.
    void UpdateTitle();

    // The help page beside the program, as a file address.
    static std::string HelpPageUrl(const std::string& anchor = std::string());

    static CCorvidApp* Instance() { return s_instance; }

private:
    // Shows the usage (standard error, and a message box when there is a display)
    // and ends the process: status 0 for -h, 2 for a bad option.
    [[noreturn]] void ShowUsageAndExit(CCorvidCommandLineInfo::Outcome outcome, int argc, char** argv);

    // The steps of InitInstance, in their order.
    void InstallServices();
    void OpenTraceLog(const CCorvidCommandLineInfo& commandLine);
    void CreateConnection(const CCorvidCommandLineInfo& commandLine);
    void ConnectFromCommandLine(const CCorvidCommandLineInfo& commandLine);
    void CreateDocumentAndWindows();
    void ShowMainWindow();

    void OpenUrl(const std::string& url);
    void OnLoad();
    void OnShowChanges();
    void OnFlushSharedPool();
    void OnConnect();
    void OnDisconnect();

    static CCorvidApp* s_instance;

    CTraceContext m_trace;
    int m_traceLevel = 0;
    std::string m_caption;
    std::vector<std::string> m_libraryFolders;
    CSession::ConnectDialog m_connectDialog;
    std::function<bool(const std::string&)> m_openUrl;
    ISettingsStore* m_storeOverride = nullptr;
    IPrompter* m_prompterOverride = nullptr;

    std::unique_ptr<CQtSettingsStore> m_settings;
    std::unique_ptr<CQtPrompter> m_prompter;
    std::unique_ptr<COracleConnection> m_connection;
    std::unique_ptr<CSession> m_session;
    // Records complete loads in the history store when the options ask for it.
    std::unique_ptr<CLoadRecorder> m_loadRecorder;
    std::unique_ptr<CProgressDlgRunner> m_runner;
    std::unique_ptr<CCorvidDoc> m_document;
    std::unique_ptr<CMainFrame> m_mainFrame;
    CCorvidView* m_view = nullptr;
    CChartPanel* m_chartPanel = nullptr;
    CAutoRefresh* m_autoRefresh = nullptr;  // owned by the main window
};

}  // namespace corvid
