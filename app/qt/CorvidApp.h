#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/CommandLineInfo.h"
#include "diag/TraceContext.h"

class QApplication;

namespace corvid {

class CMainFrame;
class CQtPrompter;
class CQtSettingsStore;

// The application object: exactly one per process. Runs start-up, the event loop
// and the exit sequence.
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

    CTraceContext& Trace() { return m_trace; }
    CMainFrame* MainFrame() const { return m_mainFrame.get(); }
    int TraceLevel() const { return m_traceLevel; }

    // Sets the main window's caption from the connection state.
    void UpdateTitle();

    static CCorvidApp* Instance() { return s_instance; }

private:
    // Shows the usage (standard error, and a message box when there is a display)
    // and ends the process: status 0 for -h, 2 for a bad option.
    [[noreturn]] void ShowUsageAndExit(CCorvidCommandLineInfo::Outcome outcome, int argc, char** argv);

    static CCorvidApp* s_instance;

    CTraceContext m_trace;
    int m_traceLevel = 0;
    std::string m_serverBanner;
    std::string m_databaseName;
    std::unique_ptr<CQtSettingsStore> m_settings;
    std::unique_ptr<CQtPrompter> m_prompter;
    std::unique_ptr<CMainFrame> m_mainFrame;
};

}  // namespace corvid
