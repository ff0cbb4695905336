// corvid-report with the history store: separate runs record the simulated
// server, later runs read windows and comparisons back without a server.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ReportSandbox.h"

namespace {

using corvid::testing::ReadWholeFile;
using corvid::testing::ShellQuote;

// The lines of a CSV file without the quotes around its cells.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::erase(line, '"');
        lines.push_back(line);
    }
    return lines;
}

// One server state: the same statements (same addresses and first load times)
// with the counters they have at that time.
std::string Scenario(const std::string& clock, int heavyExecutions, int heavyGets, bool withNew) {
    std::string text = "database DEMO\nclock " + clock +
                       "\nuser SCOTT id=54 password=TIGER privileges=catalog,v-database,create-procedure plan-table\n"
                       "statement user=SCOTT executions=" +
                       std::to_string(heavyExecutions) + " buffer-gets=" + std::to_string(heavyGets) +
                       " disk-reads=5 rows=10 address=00000000000B0001 first-load=2024-03-11/09:00:00 "
                       "text=\"SELECT heavy FROM big\"\n"
                       "statement user=SCOTT executions=3 buffer-gets=30 address=00000000000B0002 "
                       "first-load=2024-03-11/09:00:00 text=\"SELECT quiet FROM small\"\n";
    if (withNew) {
        text += "statement user=SCOTT executions=2 buffer-gets=500 address=00000000000B0003 "
                "first-load=2024-03-11/12:30:00 text=\"SELECT fresh FROM new_table\"\n";
    }
    return text;
}

class HistoryReportRun : public corvid::testing::CReportSandboxTest {
protected:
    HistoryReportRun() : CReportSandboxTest("corvid-history-report") {}

    std::string Command(const std::vector<std::string>& args, const std::string& scenario) const {
        return ReportCommand(args, "CORVID_SIM_SCENARIO=" + ShellQuote(scenario));
    }
    int Run(const std::vector<std::string>& args, const std::string& scenario = "demo:50") {
        return RunReport(args, "CORVID_SIM_SCENARIO=" + ShellQuote(scenario));
    }
    // Records the server of that scenario text into the store.
    void RecordState(const std::string& scenarioText, const std::string& store = "hist.sqlite") {
        const std::string name = "state" + std::to_string(++m_states) + ".scn";
        std::ofstream(Path(name)) << scenarioText;
        ASSERT_EQ(Run({"-u", "SCOTT", "-p", "TIGER", "-s", "DEMO", "--no-analyze", "--store", store, "--format",
                       "none"},
                      Path(name)),
                  0)
            << m_err;
    }
    int m_states = 0;
};

TEST_F(HistoryReportRun, RecordedRunsGiveWindowsComparisonsAndLists) {
    RecordState(Scenario("2024-03-11/12:00:00", 10, 1000, false));
    EXPECT_NE(m_err.find("recorded snapshot 1 of DEMO at 2024-03-11/12:00:00 (2 of 2 statements changed)"),
              std::string::npos)
        << m_err;
    RecordState(Scenario("2024-03-11/13:00:00", 16, 1600, true));
    EXPECT_NE(m_err.find("(2 of 3 statements changed)"), std::string::npos) << m_err;
    RecordState(Scenario("2024-03-11/14:00:00", 40, 4000, true));

    // By ids, and by times: the nearest snapshots inside.
    for (const std::string& window : {std::string("1..2"), std::string("2024-03-11T11:30..2024-03-11T13:10")}) {
        SCOPED_TRACE(window);
        ASSERT_EQ(Run({"--store", "hist.sqlite", "--window", window, "--format", "csv", "--output", "win"}), 0)
            << m_err;
        EXPECT_NE(m_err.find("DEMO: Window 1 h 0 min 0 s (snapshot 1, 2024-03-11/12:00:00 to snapshot 2, "
                             "2024-03-11/13:00:00): 1 new, 1 changed"),
                  std::string::npos)
            << m_err;
        const std::vector<std::string> csv = Lines(ReadWholeFile(Path("win.CSV")));
        ASSERT_EQ(csv.size(), 3u) << ReadWholeFile(Path("win.CSV"));
        EXPECT_EQ(csv[0].rfind("User,Buf Get \u0394,Exec \u0394,Disk Rds \u0394,Rows \u0394", 0), 0u) << csv[0];
        EXPECT_EQ(csv[1].substr(0, 15), "SCOTT,600,6,0,0");  // sorted by buffer gets
        EXPECT_NE(csv[1].find("SELECT heavy FROM big"), std::string::npos);
        EXPECT_EQ(csv[2].substr(0, 15), "SCOTT,500,2,0,0");
        EXPECT_NE(csv[2].find("SELECT fresh FROM new_table"), std::string::npos);
    }
    ASSERT_EQ(Run({"--store", "hist.sqlite", "--window", "1..2", "--sort", "exec \u0394", "--format", "csv",
                   "--output", "sorted"}),
              0)
        << m_err;
    EXPECT_NE(Lines(ReadWholeFile(Path("sorted.CSV")))[1].find("heavy"), std::string::npos);

    ASSERT_EQ(Run({"--store", "hist.sqlite", "--compare", "1..2", "2..3", "--format", "csv", "--output", "cmp"}), 0)
        << m_err;
    const std::vector<std::string> compare = Lines(ReadWholeFile(Path("cmp.CSV")));
    ASSERT_EQ(compare.size(), 3u);
    EXPECT_EQ(compare[0], "SQL ID,User,Buffer Gets in A,Buffer Gets in B,Change,Buffer Gets/Exec in A,"
                          "Buffer Gets/Exec in B,Change/Exec,Where,SQL Text");
    EXPECT_NE(compare[1].find(",600,2400,1800,100.00,100.00,0.00,both,SELECT heavy FROM big"), std::string::npos)
        << compare[1];
    EXPECT_NE(compare[2].find(",500,0,-500,250.00,0.00,-250.00,gone in B,SELECT fresh"), std::string::npos)
        << compare[2];

    ASSERT_EQ(Run({"--store", "hist.sqlite", "--list-snapshots"}), 0) << m_err;
    EXPECT_NE(m_out.find("Database DEMO"), std::string::npos) << m_out;
    EXPECT_NE(m_out.find("3 snapshots"), std::string::npos) << m_out;
    ASSERT_EQ(Run({"--store", "hist.sqlite", "--list-snapshots", "--format", "json"}), 0) << m_err;
    EXPECT_NE(m_out.find("\"time\": \"2024-03-11/13:00:00\", \"startup_time\": \"2024-03-11/09:00:00\", \"statements\": 3, "
                         "\"recorded\": 2"),
              std::string::npos)
        << m_out;
}

TEST_F(HistoryReportRun, TheDefaultStoreIsInTheUsersDataFolder) {
    std::ofstream(Path("one.scn")) << Scenario("2024-03-11/12:00:00", 10, 1000, false);
    ASSERT_EQ(Run({"-u", "SCOTT", "-p", "TIGER", "-s", "DEMO", "--no-analyze", "--store", "--format", "none"},
                  Path("one.scn")),
              0)
        << m_err;
    EXPECT_EQ(::access(Path("home/.local/share/corvid/history.sqlite").c_str(), F_OK), 0);
    // Besides an export.
    ASSERT_EQ(Run({"-u", "SCOTT", "-p", "TIGER", "-s", "DEMO", "--no-analyze", "--store", "--format", "csv",
                   "--output", "pool"},
                  Path("one.scn")),
              0)
        << m_err;
    EXPECT_EQ(::access(Path("pool.CSV").c_str(), F_OK), 0);
    EXPECT_NE(m_err.find("recorded snapshot 2"), std::string::npos) << m_err;
}

// Input the store cannot take: a message, the status, and nothing changed.
TEST_F(HistoryReportRun, BadInputGivesAMessageAndChangesNothing) {
    RecordState(Scenario("2024-03-11/12:00:00", 10, 1000, false));
    std::ofstream(Path("notes.txt")) << "not a database\n";
    const std::string before = ReadWholeFile(Path("hist.sqlite"));
    struct SCase {
        std::vector<std::string> args;
        int status;
        const char* message;
    };
    const std::vector<SCase> cases = {
        {{"--store", "notes.txt", "--list-snapshots"}, 1, "not an SQLite database"},
        {{"--store", "hist.sqlite", "--window", "5..9"}, 1, "no snapshot 5"},
        {{"--store", "hist.sqlite", "--window", "2030-01-01..2030-01-02"}, 1, "holds no two snapshots"},
        {{"--store", "hist.sqlite", "--window", "yesterday..now"}, 2, "a window is FROM..TO"},
        {{"--store", "hist.sqlite", "--compare", "1..2"}, 2, "takes two windows"},
        {{"--store", "hist.sqlite", "--window", "1..2", "--database", "NOSUCH"}, 1, "no database NOSUCH"},
        {{"--store", "hist.sqlite", "--window", "1..2", "--sort", "Nothing"}, 2, "no column 'Nothing'"},
        {{"--store", "postgresql://corvid@127.0.0.1:1/none?connect_timeout=5", "--list-snapshots"}, 1,
         "cannot connect to the history store"},
        {{"--store", "hist.sqlite", "--keep-days", "0"}, 2, "--keep-days takes"},
        {{"-u", "SCOTT", "--format", "none"}, 2, "--format none goes with --store"},
        {{"-u", "SCOTT", "--every", "60"}, 2, "--every records into the history"},
        {{"--window", "1..2", "-u", "SCOTT"}, 2, "go without --user"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        EXPECT_EQ(Run(c.args), c.status) << m_err;
        EXPECT_NE(m_err.find(c.message), std::string::npos) << m_err;
    }
    EXPECT_EQ(ReadWholeFile(Path("notes.txt")), "not a database\n");
    EXPECT_EQ(ReadWholeFile(Path("hist.sqlite")), before);
}

// The collector records every period on one connection and stops on SIGTERM.
TEST_F(HistoryReportRun, CollectorRecordsEveryPeriodAndStopsOnSigterm) {
    std::ofstream(Path("busy.scn")) << "database DEMO\n"
                                       "user SCOTT id=54 password=TIGER privileges=catalog,v-database plan-table\n"
                                       "statement user=SCOTT executions=1 buffer-gets=10 text=\"SELECT 1 FROM a\"\n"
                                       "statement user=SCOTT executions=1 buffer-gets=10 text=\"SELECT 2 FROM b\"\n"
                                       "workload touched=1 new=1\n";
    const std::string command =
        Command({"-u", "SCOTT", "-p", "TIGER", "-s", "DEMO", "--no-analyze", "--store", "c.sqlite", "--format",
                 "none", "--every", "1"},
                Path("busy.scn"));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    // Waits (at most two minutes) until the third snapshot is in.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (ReadWholeFile(Path("err.txt")).find("recorded snapshot 3") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string err = ReadWholeFile(Path("err.txt"));
    ASSERT_TRUE(WIFEXITED(status)) << err;
    EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    EXPECT_NE(err.find("recorded snapshot 3"), std::string::npos) << err;
    EXPECT_NE(err.find("corvid-report: stopped"), std::string::npos) << err;
    ASSERT_EQ(Run({"--store", "c.sqlite", "--list-snapshots", "--format", "json"}), 0) << m_err;
    EXPECT_NE(m_out.find("\"id\": 3"), std::string::npos) << m_out;
}

}  // namespace
