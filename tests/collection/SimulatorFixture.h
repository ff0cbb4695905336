#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/Session.h"
#include "collection/CorvidDoc.h"
#include "diag/TraceContext.h"
#include "work/Progress.h"
#include "work/ProgressRunner.h"
#include "list/ListLayout.h"
#include "oracle/OracleConnection.h"
#include "platform/DynamicLibrary.h"
#include "platform/MemorySettingsStore.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"

namespace corvid::testing {

// A progress that records every report and cancels once a chosen text was shown.
class CScriptedProgress : public IProgress {
public:
    struct SReport {
        int percent;
        std::string text;
    };

    std::string cancelAfter;  // the text after which the user cancels
    std::vector<SReport> reports;
    bool cancelled = false;

    void SetProgress(int percent, const std::string& text) override {
        reports.push_back({percent, text});
        if (!cancelAfter.empty() && text == cancelAfter) cancelled = true;
    }
    bool IsCancelled() override { return cancelled; }

    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const SReport& report : reports)
            texts.push_back(report.text);
        return texts;
    }
    int CountStartingWith(const std::string& prefix) const {
        int count = 0;
        for (const SReport& report : reports)
            count += report.text.rfind(prefix, 0) == 0 ? 1 : 0;
        return count;
    }
};

// Runs the document's jobs at once on the calling thread with a scripted progress.
class CInlineProgressRunner : public IProgressRunner {
public:
    CScriptedProgress progress;
    std::vector<std::string> titles;
    std::vector<int> flags;

    bool Run(const ProgressWork& work, const std::string& title, int runFlags, const std::string&) override {
        titles.push_back(title);
        flags.push_back(runFlags);
        work(progress);
        return !progress.cancelled;
    }
};

// The lines of a trace log that start with the prefix.
inline int CountLines(const std::string& path, const std::string& prefix) {
    std::ifstream in(path, std::ios::binary);
    int count = 0;
    for (std::string line; std::getline(in, line);)
        count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    return count;
}

// The simulated server: logs on as SCOTT to DEMO through the chosen generation,
// on a scenario given by name or as a file this fixture writes.
class CSimulatorTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        SetPrompter(&m_prompter);
        // Settings as the program leaves them, so that the document starts without messages.
        m_store.WriteProfileString("Version", "Version", "1.7.2");
        CListLayout::MakeDefaultLayout().Save(m_store);
        m_libDir = std::getenv("CORVID_SIM_LIBDIR") ? std::getenv("CORVID_SIM_LIBDIR") : CORVID_SIM_LIBDIR;
    }
    void TearDown() override {
        Disconnect();
        m_trace.reset();
        SetPrompter(nullptr);
        unsetenv("CORVID_SIM_SCENARIO");
        for (const std::string& path : m_files) std::remove(path.c_str());
    }

    // A file of this test in the temporary folder, named for this process, so that
    // two test programs running at once never share it; removed after the test.
    std::string TestFile(const std::string& name) {
        m_files.push_back(::testing::TempDir() + "corvid_" + std::to_string(::getpid()) + "_" + name);
        return m_files.back();
    }

    // A scenario file written for this test; the server is rebuilt from it.
    void UseScenarioText(const std::string& text, const std::string& suffix = "") {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name() + suffix;
        for (char& c : name) {
            if (c == '/') c = '_';
        }
        const std::string path = TestFile("scenario_" + name + ".txt");
        FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
        UseScenario(path);
    }
    void UseScenario(const std::string& nameOrPath) { setenv("CORVID_SIM_SCENARIO", nameOrPath.c_str(), 1); }

    // The trace log of the next connection, at that level; returns its path.
    std::string OpenTrace(int level) {
        Disconnect();
        m_tracePath = TestFile("trace.log");
        m_trace = std::make_unique<CTraceContext>();
        m_trace->Open(m_tracePath, level);
        return m_tracePath;
    }

    // Ends the document and the connection of an earlier step of the test.
    void Disconnect() {
        m_doc.reset();
        if (m_session && m_connection && m_connection->IsConnected()) m_session->Disconnect();
        m_session.reset();
        m_connection.reset();
    }

    void Connect(const std::string& user = "SCOTT", const std::string& password = "TIGER") {
        Disconnect();
        m_connection = std::make_unique<COracleConnection>(
            m_trace.get(), GetParam(), std::make_unique<CDlLibraryLoader>(std::vector<std::string>{m_libDir}));
        ASSERT_TRUE(m_connection->Logon(user, password, "DEMO", EConnectMode::Normal)) << m_connection->GetErrorText();
        m_session = std::make_unique<CSession>(*m_connection);
    }
    void InstallExplainProcedure() {
        ASSERT_TRUE(m_session->CheckPlanTable());
        ASSERT_TRUE(m_session->CreateExplainProcedure());
    }
    // A document on the connection with the settings of m_store.
    CCorvidDoc& MakeDoc(bool analyze) {
        m_doc = std::make_unique<CCorvidDoc>(m_connection.get(), m_store, m_prompter, &m_runner);
        m_doc->SetSaveOnDestroy(false);
        m_doc->m_Analyze = analyze ? 1 : 0;
        return *m_doc;
    }

    std::string m_libDir;
    std::vector<std::string> m_files;
    CMemorySettingsStore m_store;
    CRecordingPrompter m_prompter;
    CInlineProgressRunner m_runner;
    std::unique_ptr<CTraceContext> m_trace;
    std::string m_tracePath;
    std::unique_ptr<COracleConnection> m_connection;
    std::unique_ptr<CSession> m_session;
    std::unique_ptr<CCorvidDoc> m_doc;
};

}  // namespace corvid::testing
