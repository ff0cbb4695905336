#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "support/ReportSandbox.h"

namespace {

using corvid::testing::CountOf;
using corvid::testing::ReadWholeFile;
using corvid::testing::ShellQuote;

bool Exists(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// Runs corvid-report in a folder of its own, with an empty home (no user settings),
// the simulated client libraries on the library path and no terminal on stdin.
class ReportRun : public corvid::testing::CReportSandboxTest {
protected:
    ReportRun() : CReportSandboxTest("corvid-report-test") {}

    // Runs on the demo database with a pool of 600 statements unless the
    // environment names another scenario.
    int Run(const std::vector<std::string>& args, std::string environment = "") {
        if (environment.find("CORVID_SIM_SCENARIO=") == std::string::npos) {
            environment += " CORVID_SIM_SCENARIO=demo:600";
        }
        return RunReport(args, environment);
    }
    void WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
};

const std::vector<std::string> kLogon = {"-u", "SCOTT", "-p", "TIGER", "-s", "DEMO"};

std::vector<std::string> With(std::vector<std::string> args) {
    args.insert(args.begin(), kLogon.begin(), kLogon.end());
    return args;
}

TEST_F(ReportRun, XmlOfTheDemoIsValidAndCarriesPlans) {
    ASSERT_EQ(Run(With({"--format", "xml", "--output", "pool"})), 0) << m_err;
    ASSERT_TRUE(Exists(Path("pool.XML")));
    ASSERT_TRUE(Exists(Path("pool_XML.HTML")));
    const std::string xml = ReadWholeFile(Path("pool.XML"));
    const std::size_t rows = CountOf(xml, " <ROW>");
    EXPECT_GT(rows, 100u);
    EXPECT_EQ(CountOf(xml, "<SQL_Text>"), rows);
    EXPECT_NE(xml.find("<Status>analyzed</Status>"), std::string::npos);
    EXPECT_NE(xml.find("<Status>not&#32;analyzed</Status>"), std::string::npos);
    EXPECT_EQ(xml.find("<SQL_Text></SQL_Text>"), std::string::npos);  // every statement has its text
    EXPECT_EQ(xml.find("<Cost>0</Cost>") != std::string::npos && CountOf(xml, "<Cost>0</Cost>") == rows, false);
    EXPECT_NE(xml.find("<SQL_statements_in_the_Oracle_SGA>"), std::string::npos);
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("xmllint --valid --noout " + ShellQuote(Path("pool.XML"))).c_str()), 0);
    }
    // Nothing asked, nothing left behind: stderr is not a terminal, so no progress either.
    EXPECT_EQ(m_err, "");
    EXPECT_FALSE(Exists(Path("home/.config/Quarry Lane/Corvid.ini")));
}

TEST_F(ReportRun, CsvAndHtmlWithoutAnalysis) {
    ASSERT_EQ(Run(With({"--format", "csv", "--output", "out", "--no-analyze"})), 0) << m_err;
    const std::vector<std::string> csv = Lines(ReadWholeFile(Path("out.CSV")));
    ASSERT_GT(csv.size(), 100u);
    // The layout of a fresh profile, sorted by buffer gets per execution, descending.
    EXPECT_EQ(csv[0],
              "User,Exec,%  Disk,% Buff.,Cost,# FTS,Disk R./E,Buf Get/E,Sorts/E,Rows/E,SQL Text,First Load Time,"
              "Command,# Parses,Disk Rds,Buf Get,Sorts,Rows,Sharable Mem,Persist. Mem,Runtime Mem,Optimizer,Address,"
              "Status,Error Message,SQL ID,Elapsed/E (ms)");
    EXPECT_EQ(csv[1].find("\"analyzed\"") != std::string::npos, true);
    EXPECT_EQ(ReadWholeFile(Path("out.CSV")).find("not analyzed"), std::string::npos);

    ASSERT_EQ(Run(With({"--format=html", "--output=page", "--name", "Nightly pool", "--no-analyze"})), 0) << m_err;
    const std::string html = ReadWholeFile(Path("page.HTML"));
    EXPECT_NE(html.find("<TITLE>Nightly pool</TITLE>"), std::string::npos);
    EXPECT_GT(CountOf(html, "<TR>"), 100u);
}

TEST_F(ReportRun, SettingsFileDecidesFilterLayoutAndExport) {
    WriteFile("corvid.ini",
              "[Filter]\n"
              "Select=0\nInsert=1\nUpdate=0\nDelete=0\nOthers=0\nAnalyze=0\n"
              "ExportType=2\nExportName=\"Pool, \\\"nightly\\\"\"\nExportFileName=fromsettings\n"
              "\n[Version]\nVersion=1.7.2\n"
              "\n[ListLayout]\nColumn%23=2\n"
              "C000_I=18\nC000_N=Command\nC000_W=80\nC000_J=0\nC000_T=1\nC000_S=0\n"
              "C001_I=9\nC001_N=Exec\nC001_W=50\nC001_J=1\nC001_T=2\nC001_S=-1\n");
    ASSERT_EQ(Run(With({"--settings", "corvid.ini"})), 0) << m_err;
    const std::vector<std::string> csv = Lines(ReadWholeFile(Path("fromsettings.CSV")));
    ASSERT_GT(csv.size(), 1u);
    EXPECT_EQ(csv[0], "Command,Exec");
    long previous = -1;
    for (std::size_t i = 1; i < csv.size(); ++i) {
        EXPECT_EQ(csv[i].rfind("\"INSERT\",\"", 0), 0u) << csv[i];
        const long executions = std::atol(csv[i].c_str() + 10);
        if (previous >= 0) {
            EXPECT_LE(executions, previous);
        }
        previous = executions;
    }
    EXPECT_EQ(m_err, "");

    // The quoted export name reaches the file.
    ASSERT_EQ(Run(With({"--settings", "corvid.ini", "--format", "html"})), 0) << m_err;
    EXPECT_NE(ReadWholeFile(Path("fromsettings.HTML")).find("<TITLE>Pool, \"nightly\"</TITLE>"), std::string::npos);

    // The user's own settings file is found in the configuration folder.
    ASSERT_EQ(std::system(("mkdir -p " + ShellQuote(Path("home/.config/Quarry Lane")) + " && cp " +
                           ShellQuote(Path("corvid.ini")) + " " + ShellQuote(Path("home/.config/Quarry Lane/Corvid.ini")))
                              .c_str()),
              0);
    ASSERT_EQ(Run(kLogon), 0) << m_err;
    EXPECT_TRUE(Exists(Path("fromsettings.CSV")));
    EXPECT_EQ(Lines(ReadWholeFile(Path("fromsettings.CSV")))[0], "Command,Exec");
}

TEST_F(ReportRun, TheElapsedConditionOfTheSettingsFiltersTheReport) {
    // Only the SQL text and "Elapsed/E (ms)", sorted by neither.
    const std::string layout =
        "\n[Version]\nVersion=1.7.2\n"
        "\n[ListLayout]\nColumn%23=2\n"
        "C000_I=24\nC000_N=SQL Text\nC000_W=300\nC000_J=0\nC000_T=0\nC000_S=0\n"
        "C001_I=35\nC001_N=Elapsed/E (ms)\nC001_W=90\nC001_J=1\nC001_T=2\nC001_S=0\n";
    WriteFile("all.ini", "[Filter]\nAnalyze=0\nExportType=2\nExportFileName=all\n" + layout);
    WriteFile("slow.ini",
              "[Filter]\nAnalyze=0\nExportType=2\nExportFileName=slow\nFiltElapsedC=2\nFiltElapsedV=150\n" + layout);
    ASSERT_EQ(Run(With({"--settings", "all.ini"})), 0) << m_err;
    ASSERT_EQ(Run(With({"--settings", "slow.ini"})), 0) << m_err;
    auto elapsedOf = [](const std::string& line) { return std::atof(line.c_str() + line.rfind(",\"") + 2); };
    // The server's clock moves between the two runs, and with it the first load
    // times the demo gives relative to it: rows are compared without them.
    auto withoutLoadTime = [](std::string line) {
        const std::string shape = "\"dddd-dd-dd/dd:dd:dd\"";
        for (std::size_t at = 0; at + shape.size() <= line.size(); ++at) {
            bool matches = true;
            for (std::size_t i = 0; i < shape.size() && matches; ++i) {
                const char c = line[at + i];
                matches = shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(c)) != 0 : c == shape[i];
            }
            if (matches) line.replace(at, shape.size(), "\"\"");
        }
        return line;
    };
    ASSERT_EQ(withoutLoadTime("\"HR\",\"2026-12-07/15:33:27\",\"SELECT\""), "\"HR\",\"\",\"SELECT\"");
    std::multiset<std::string> expected, slow;
    const std::vector<std::string> all = Lines(ReadWholeFile(Path("all.CSV")));
    ASSERT_GT(all.size(), 2u);
    for (std::size_t i = 1; i < all.size(); ++i) {
        if (elapsedOf(all[i]) > 1.5) expected.insert(withoutLoadTime(all[i]));
    }
    const std::vector<std::string> filtered = Lines(ReadWholeFile(Path("slow.CSV")));
    for (std::size_t i = 1; i < filtered.size(); ++i)
        slow.insert(withoutLoadTime(filtered[i]));
    // The condition chose some statements, not all, and exactly those over 1.5 ms.
    EXPECT_GT(expected.size(), 0u);
    EXPECT_LT(expected.size(), all.size() - 1);
    EXPECT_EQ(slow, expected);
}

TEST_F(ReportRun, SimilarStatementsComeSortedByDistance) {
    ASSERT_EQ(Run(With({"--format", "csv", "--output", "all", "--no-analyze"})), 0) << m_err;
    const std::vector<std::string> all = Lines(ReadWholeFile(Path("all.CSV")));
    ASSERT_GT(all.size(), 2u);
    // The address is the next-to-last column of the default layout.
    const std::string row = all[1];
    const std::size_t statusStart = row.rfind(",\"analyzed\"");
    ASSERT_NE(statusStart, std::string::npos);
    const std::size_t addressStart = row.rfind(",\"", statusStart - 1);
    const std::string address = row.substr(addressStart + 2, statusStart - addressStart - 3);
    ASSERT_EQ(address.size(), 16u) << row;

    ASSERT_EQ(Run(With({"--format", "csv", "--output", "similar", "--no-analyze", "--similar-to", address})), 0)
        << m_err;
    const std::vector<std::string> similar = Lines(ReadWholeFile(Path("similar.CSV")));
    ASSERT_GT(similar.size(), 1u);
    EXPECT_EQ(similar[0], "Distance,User,SQL Text");
    EXPECT_EQ(similar[1].rfind("\"0\",", 0), 0u);
    long previous = 0;
    for (std::size_t i = 1; i < similar.size(); ++i) {
        const long distance = std::atol(similar[i].c_str() + 1);
        EXPECT_GE(distance, previous);
        previous = distance;
    }

    EXPECT_EQ(Run(With({"--output", "none", "--similar-to", "0000000000000000"})), 1);
    EXPECT_NE(m_err.find("no statement at address"), std::string::npos);
}

TEST_F(ReportRun, SqlIdExportsThatStatementAndWritesItsPlan) {
    ASSERT_EQ(Run(With({"--format", "csv", "--output", "all", "--no-analyze"})), 0) << m_err;
    const std::vector<std::string> all = Lines(ReadWholeFile(Path("all.CSV")));
    ASSERT_GT(all.size(), 2u);
    // A fresh profile ends with SQL ID and Elapsed/E (ms). The first query is taken.
    std::string row;
    for (std::size_t i = 1; i < all.size() && row.empty(); ++i) {
        if (all[i].find(",\"SELECT\",") != std::string::npos) row = all[i];
    }
    ASSERT_FALSE(row.empty());
    const std::size_t elapsedStart = row.rfind(",\"");
    const std::size_t idStart = row.rfind(",\"", elapsedStart - 1);
    const std::string id = row.substr(idStart + 2, elapsedStart - idStart - 3);
    ASSERT_EQ(id.size(), 13u) << row;

    std::string upper = id;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    ASSERT_EQ(Run(With({"--format", "csv", "--output", "one", "--no-analyze", "--sql-id", upper})), 0) << m_err;
    const std::vector<std::string> one = Lines(ReadWholeFile(Path("one.CSV")));
    ASSERT_EQ(one.size(), 2u);
    EXPECT_NE(one[1].find("\"" + id + "\""), std::string::npos);
    // The analysis runs for the plan, whatever --no-analyze said.
    EXPECT_NE(one[1].find("\"analyzed\""), std::string::npos);
    EXPECT_EQ(m_out.rfind("SQL ID " + id + ", plan from the cursor cache:\n", 0), 0u) << m_out;
    EXPECT_NE(m_out.find("Cost = "), std::string::npos);

    EXPECT_EQ(Run(With({"--output", "none", "--sql-id", "0000000000000"})), 1);
    EXPECT_NE(m_err.find("no statement with SQL ID 0000000000000"), std::string::npos);
    EXPECT_FALSE(Exists(Path("none.XML")));
    EXPECT_EQ(Run(With({"--output", "none", "--sql-id", "a5ks9fhw2v9s"})), 2);
    EXPECT_EQ(Run(With({"--output", "none", "--sql-id", "a5ks9fhw2v9si"})), 2);
    EXPECT_EQ(Run(With({"--sql-id", "a5ks9fhw2v9s1", "--similar-to", "00"})), 2);
}

TEST_F(ReportRun, PasswordFromTheEnvironmentAndNeverAPromptWithoutATerminal) {
    EXPECT_EQ(Run({"-u", "SCOTT", "-s", "DEMO", "--output", "env", "--no-analyze"}, "CORVID_PASSWORD=TIGER"), 0)
        << m_err;
    EXPECT_TRUE(Exists(Path("env.XML")));
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("xmllint --valid --noout " + ShellQuote(Path("env.XML"))).c_str()), 0);
    }
    EXPECT_EQ(Run({"-u", "SCOTT", "-s", "DEMO", "--output", "nopass"}), 2);
    EXPECT_NE(m_err.find("no password"), std::string::npos);
    EXPECT_FALSE(Exists(Path("nopass.XML")));
}

// Ctrl+C at the password prompt, while the echo is off, must leave the terminal
// as it was.
TEST_F(ReportRun, InterruptAtThePasswordPromptRestoresTheEcho) {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) GTEST_SKIP() << "no pseudo-terminal here";
    termios before{};
    ASSERT_EQ(::tcgetattr(slave, &before), 0);
    ASSERT_NE(before.c_lflag & ECHO, 0u);
    const std::string home = Path("home");
    const pid_t child = ::fork();
    if (child == 0) {
        ::setsid();
        ::ioctl(slave, TIOCSCTTY, 0);
        ::dup2(slave, 0);
        ::dup2(slave, 1);
        ::dup2(slave, 2);
        ::close(master);
        if (::chdir(m_dir.c_str()) != 0) ::_exit(126);
        ::unsetenv("CORVID_PASSWORD");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("LD_LIBRARY_PATH", m_libDir.c_str(), 1);
        ::setenv("CORVID_SIM_SCENARIO", "demo:50", 1);
        ::execl(CORVID_REPORT_EXE, "corvid-report", "-u", "SCOTT", "-s", "DEMO", "--output", "x",
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    struct SReap {
        pid_t pid;
        ~SReap() {
            if (pid <= 0) return;
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reap{child};
    std::string shown;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (shown.find("Password for SCOTT") == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd wait{master, POLLIN, 0};
        if (::poll(&wait, 1, 100) <= 0) continue;
        char buffer[256];
        const ssize_t got = ::read(master, buffer, sizeof buffer);
        if (got > 0) shown.append(buffer, static_cast<std::size_t>(got));
    }
    ASSERT_NE(shown.find("Password for SCOTT"), std::string::npos) << shown;
    termios during{};
    while (std::chrono::steady_clock::now() < deadline) {
        ASSERT_EQ(::tcgetattr(slave, &during), 0);
        if ((during.c_lflag & ECHO) == 0) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(during.c_lflag & ECHO, 0u) << "the prompt never turned the echo off";
    ASSERT_EQ(::write(master, "\x03", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    reap.pid = -1;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    termios after{};
    ASSERT_EQ(::tcgetattr(slave, &after), 0);
    EXPECT_NE(after.c_lflag & ECHO, 0u);
    ::close(master);
    ::close(slave);
}

// Two loads a second apart with the pool moving in between: the export lists only
// the statements that changed, with the interval columns, sorted by buffer gets.
TEST_F(ReportRun, IntervalExportsWhatChangedBetweenTwoLoads) {
    std::string scenario =
        "database DEMO\n"
        "user SCOTT id=54 password=TIGER privileges=catalog,v-database,create-procedure plan-table\n";
    for (int i = 0; i < 40; ++i) {
        scenario += "statement user=SCOTT executions=10 buffer-gets=" + std::to_string(100 + i) +
                    " text=\"SELECT " + std::to_string(i) + " FROM dual\"\n";
    }
    scenario += "workload touched=3 new=2\n";
    WriteFile("moving.scn", scenario);
    ASSERT_EQ(Run(With({"--interval", "1", "--format", "csv", "--output", "changes", "--no-analyze"}),
                  "CORVID_SIM_SCENARIO=" + ShellQuote(Path("moving.scn"))),
              0)
        << m_err;
    const std::vector<std::string> csv = Lines(ReadWholeFile(Path("changes.CSV")));
    ASSERT_GE(csv.size(), 3u);
    EXPECT_LE(csv.size(), 1u + 40u);  // never the whole pool
    EXPECT_EQ(csv[0],
              "User,Buf Get \u0394,Exec \u0394,Disk Rds \u0394,Rows \u0394,Exec/s,Buf Get/s,% Buff. \u0394,"
              "%  Disk \u0394,SQL Text,First Load Time,Address");
    double previous = 1e300;
    for (std::size_t i = 1; i < csv.size(); ++i) {
        const std::size_t comma = csv[i].find(',');
        const double gets = std::atof(csv[i].c_str() + comma + 1 + (csv[i][comma + 1] == '"' ? 1 : 0));
        EXPECT_LE(gets, previous) << csv[i];
        previous = gets;
    }
    EXPECT_NE(m_err.find("corvid-report: Interval "), std::string::npos) << m_err;

    EXPECT_EQ(Run(With({"--interval", "-1"})), 2);
    EXPECT_EQ(Run(With({"--interval", "10", "--similar-to", "00"})), 2);
}

TEST_F(ReportRun, ExitStatuses) {
    EXPECT_EQ(Run({"--help"}), 0);
    EXPECT_NE(m_out.find("Usage: corvid-report"), std::string::npos);
    EXPECT_EQ(Run({"--version"}), 0);
    EXPECT_NE(m_out.find("1.7.2"), std::string::npos);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"-p", "TIGER"}, With({"--format", "pdf"}), With({"--oci", "9"}),
          With({"--connect-as", "SYSADMIN"}), With({"--bogus"}), With({"stray"}), With({"--trace", "x"}),
          With({"--all-types"}), With({"--output"}), With({"--output", ""}), With({"--output", "reports/"})}) {
        EXPECT_EQ(Run(bad), 2) << bad.back();
        EXPECT_NE(m_err.find("corvid-report: "), std::string::npos);
    }

    // A saved export file name that names no file would write a hidden ".XML".
    WriteFile("nofile.ini", "[Filter]\nExportFileName=\n");
    EXPECT_EQ(Run(With({"--settings", "nofile.ini", "--no-analyze"})), 2);
    EXPECT_NE(m_err.find("names no file: use --output"), std::string::npos) << m_err;
    EXPECT_FALSE(Exists(Path(".XML")));

    // A refused logon is an Oracle error.
    EXPECT_EQ(Run({"-u", "SCOTT", "-p", "WRONG", "-s", "DEMO", "--output", "x"}), 1);
    EXPECT_NE(m_err.find("unable to log on as SCOTT to DEMO"), std::string::npos);
    EXPECT_FALSE(Exists(Path("x.XML")));

    // A folder that does not exist is a file error.
    EXPECT_EQ(Run(With({"--no-analyze", "--output", "missing/dir/pool"})), 1);
    EXPECT_NE(m_err.find("Unable to create the file 'missing/dir/pool.XML': No such file or directory"),
              std::string::npos)
        << m_err;

    // An unreadable settings file too.
    EXPECT_EQ(Run(With({"--settings", "nowhere.ini"})), 1);
    EXPECT_NE(m_err.find("cannot read the settings file"), std::string::npos);
}

// Anything but a regular settings file of a sensible size is refused before it is
// read: a device would read until memory runs out, a FIFO would never end.
TEST_F(ReportRun, SettingsThatAreNoRegularFileOrTooLargeAreRefused) {
    ASSERT_EQ(std::system(("mkdir " + ShellQuote(Path("folder.ini")) + " && mkfifo " + ShellQuote(Path("fifo.ini")) +
                           " && truncate -s 9M " + ShellQuote(Path("huge.ini")))
                              .c_str()),
              0);
    for (const char* settings : {"/dev/zero", "folder.ini", "fifo.ini", "huge.ini"}) {
        EXPECT_EQ(Run(With({"--settings", settings, "--output", "none"})), 1) << settings;
        EXPECT_NE(m_err.find("cannot read the settings file '" + std::string(settings) + "'"), std::string::npos)
            << settings << ": " << m_err;
        EXPECT_FALSE(Exists(Path("none.XML")));
    }
}

TEST_F(ReportRun, OracleErrorsEndWithStatusOne) {
    const std::string base =
        "database DEMO\n"
        "user SYS id=0 password=SYS privileges=sysdba,dba plan-table\n"
        "user SCOTT id=54 password=TIGER privileges=catalog,create-procedure plan-table\n"
        "user NOSEE id=60 password=NOSEE privileges=create-procedure plan-table\n"
        "statement user=SCOTT text=\"SELECT 1 FROM dual\"\n"
        "statement user=SCOTT text=\"SELECT 2 FROM dual\"\n";
    // A fetch from the shared pool fails.
    WriteFile("fault.scn", base + "fault fetch error=3113 match=\"%v_$sqlarea%\"\n");
    EXPECT_EQ(Run(With({"--no-analyze", "--output", "fault"}), "CORVID_SIM_SCENARIO=fault.scn"), 1);
    EXPECT_NE(m_err.find("ORACLE Error #3113"), std::string::npos) << m_err;
    EXPECT_FALSE(Exists(Path("fault.XML")));

    // A user who may not read the shared pool.
    WriteFile("nosee.scn", base);
    EXPECT_EQ(Run({"-u", "NOSEE", "-p", "NOSEE", "-s", "DEMO", "--no-analyze", "--output", "nosee"},
                  "CORVID_SIM_SCENARIO=nosee.scn"),
              1);
    EXPECT_NE(m_err.find("ORACLE Error #942"), std::string::npos) << m_err;
    EXPECT_FALSE(Exists(Path("nosee.XML")));

    // Without a plan table there is no analysis: the desktop's message, status 1.
    WriteFile("noplan.scn", "database DEMO\nuser SCOTT id=54 password=TIGER privileges=catalog,create-procedure\n");
    EXPECT_EQ(Run(With({"--output", "noplan"}), "CORVID_SIM_SCENARIO=noplan.scn"), 1);
    EXPECT_NE(m_err.find("The table PLAN_TABLE seems not to exist"), std::string::npos) << m_err;
    // A lost connection during the analysis ends the run with the error; no export.
    // (An old release, so that every statement goes through the explain procedure.)
    std::string many = "release 8i\n" + base;
    for (int i = 0; i < 30; ++i)
        many += "statement user=SCOTT text=\"SELECT " + std::to_string(i + 10) + " FROM dual\"\n";
    for (const char* error : {"3113", "28", "1012"}) {
        WriteFile("lost.scn", many + "fault execute error=" + error + " after=10 fatal match=\"%CorvidExplainPlan%\"\n");
        EXPECT_EQ(Run(With({"--output", "lost"}), "CORVID_SIM_SCENARIO=lost.scn"), 1) << error << ": " << m_err;
        EXPECT_NE(m_err.find("the session ended during the analysis: ORA-"), std::string::npos) << m_err;
        EXPECT_FALSE(Exists(Path("lost.XML")));
    }
    // Any other explain error marks the statement and the run goes on.
    WriteFile("other.scn", many + "fault execute error=1031 after=10 times=1 match=\"%CorvidExplainPlan%\"\n");
    EXPECT_EQ(Run(With({"--output", "other"}), "CORVID_SIM_SCENARIO=other.scn"), 0) << m_err;
    EXPECT_TRUE(Exists(Path("other.XML")));

    // ... which the analysis does not need when it is off.
    EXPECT_EQ(Run(With({"--output", "noplan", "--no-analyze"}), "CORVID_SIM_SCENARIO=noplan.scn"), 0) << m_err;
}

TEST_F(ReportRun, TraceLevelWritesTheLogInTheCurrentFolder) {
    ASSERT_EQ(Run(With({"--no-analyze", "--output", "traced", "--trace", "15"}), "CORVID_SIM_SCENARIO=demo:50"), 0)
        << m_err;
    const std::string log = ReadWholeFile(Path("Corvid.log"));
    EXPECT_NE(log.find("Application name = [Corvid - The Oracle Shared Pool Profiler]\r\n"), std::string::npos);
    EXPECT_NE(log.find("Logon user = [SCOTT]\r\n"), std::string::npos);
    EXPECT_NE(log.find("INSERTING NEW OBJECT:\r\n"), std::string::npos);
    EXPECT_NE(log.find("Dumping content of m_ObjectList with "), std::string::npos);
    EXPECT_EQ(log.find("TIGER"), std::string::npos);  // never the password

    ASSERT_EQ(Run(With({"--no-analyze", "--output", "quiet"}), "CORVID_SIM_SCENARIO=demo:50"), 0) << m_err;
    EXPECT_EQ(ReadWholeFile(Path("Corvid.log")), log);  // no trace level: the log is left alone

    // A link at the log's name is never written through.
    ASSERT_EQ(std::rename(Path("Corvid.log").c_str(), Path("victim.txt").c_str()), 0);
    ASSERT_EQ(::symlink("victim.txt", Path("Corvid.log").c_str()), 0);
    ASSERT_EQ(Run(With({"--no-analyze", "--output", "linked", "--trace", "1"}), "CORVID_SIM_SCENARIO=demo:50"), 0)
        << m_err;
    EXPECT_EQ(ReadWholeFile(Path("victim.txt")), log);
    EXPECT_NE(m_err.find("cannot open the trace file 'Corvid.log'"), std::string::npos) << m_err;
}

TEST_F(ReportRun, BothClientGenerations) {
    for (const char* version : {"7", "8"}) {
        const std::string base = std::string("oci") + version;
        ASSERT_EQ(Run(With({"--oci", version, "--format", "csv", "--output", base, "--no-analyze"}),
                      "CORVID_SIM_SCENARIO=demo"),
                  0)
            << m_err;
        EXPECT_GT(Lines(ReadWholeFile(Path(base + ".CSV"))).size(), 5000u);
        EXPECT_GT(Lines(ReadWholeFile(Path(base + ".CSV"))).size(), 100u);
    }
    EXPECT_EQ(Lines(ReadWholeFile(Path("oci7.CSV"))).size(), Lines(ReadWholeFile(Path("oci8.CSV"))).size());
}

// Standard output takes one JSON form and nothing else; no file is left behind.
TEST_F(ReportRun, JsonFormsGoToStandardOutput) {
    EXPECT_EQ(Run(With({"--format", "yaml"})), 2);
    EXPECT_NE(m_err.find("--format takes csv, html, xml, json, ndjson or report"), std::string::npos) << m_err;
    EXPECT_EQ(Run(With({"--format", "xml", "--output", "-"})), 2);
    EXPECT_EQ(Run(With({"--format", "json,csv", "--output", "-"})), 2);

    ASSERT_EQ(Run(With({"--format", "ndjson", "--output", "-", "--no-analyze"}), "CORVID_SIM_SCENARIO=demo:50"), 0)
        << m_err;
    // One object a line, at least one per generated statement.
    std::istringstream lines(m_out);
    int rows = 0;
    for (std::string line; std::getline(lines, line); ++rows) {
        ASSERT_TRUE(line.size() > 2 && line.front() == '{' && line.back() == '}') << line;
    }
    EXPECT_GE(rows, 50);
    EXPECT_FALSE(Exists(Path("-.NDJSON")));
    EXPECT_EQ(m_err, "");
}

TEST_F(ReportRun, FamiliesGroupTheStatementsThatDifferOnlyInLiterals) {
    WriteFile("families.scn",
              "database DEMO\n"
              "user SCOTT id=54 password=TIGER privileges=catalog,create-procedure plan-table\n"
              "user HR id=60 password=HR privileges=catalog plan-table\n"
              "statement user=SCOTT buffer-gets=100 disk-reads=10 executions=1 parse-calls=1 sharable-mem=1000 "
              "text=\"SELECT ename FROM emp WHERE empno = 7369\"\n"
              "statement user=HR buffer-gets=50 disk-reads=30 executions=2 parse-calls=2 sharable-mem=2000 "
              "text=\"select ename from emp where empno = 7499\"\n"
              "statement user=SCOTT buffer-gets=25 executions=3 parse-calls=1 sharable-mem=500 "
              "text=\"SELECT ename FROM emp WHERE empno = 7521\"\n"
              "statement user=SCOTT buffer-gets=900 text=\"SELECT * FROM dept WHERE deptno IN (10, 20)\"\n"
              "statement user=SCOTT buffer-gets=1 text=\"SELECT * FROM dept WHERE deptno IN (30)\"\n"
              "statement user=SCOTT buffer-gets=5000 text=\"SELECT COUNT(*) FROM salgrade\"\n");
    const std::string scenario = "CORVID_SIM_SCENARIO=families.scn";
    ASSERT_EQ(Run(With({"--families", "--format", "csv", "--output", "fam", "--no-analyze"}), scenario), 0) << m_err;
    const std::vector<std::string> csv = Lines(ReadWholeFile(Path("fam.CSV")));
    ASSERT_EQ(csv.size(), 4u) << ReadWholeFile(Path("fam.CSV"));
    EXPECT_EQ(csv[0], "Statements,Executions,Parses,Buf Get,Disk Rds,% Buff.,%  Disk,Sharable Mem,Users,Family");
    // Statements first, then buffer gets; percentages of the whole pool's totals.
    EXPECT_EQ(csv[1].rfind("\"3\",\"6\",\"4\",\"175\",\"40\",\"2.88\",\"100.00\",\"3500\",\"HR, SCOTT\","
                           "\"SELECT ENAME FROM EMP WHERE EMPNO = ?\"",
                           0),
              0u)
        << csv[1];
    EXPECT_NE(csv[2].find("\"SELECT * FROM DEPT WHERE DEPTNO IN (?+)\""), std::string::npos) << csv[2];
    EXPECT_EQ(csv[2].rfind("\"2\",", 0), 0u) << csv[2];
    EXPECT_NE(csv[3].find("\"SELECT COUNT(*) FROM SALGRADE\""), std::string::npos) << csv[3];

    ASSERT_EQ(Run(With({"--families", "--min-statements", "2", "--format", "xml", "--output", "big", "--no-analyze"}),
                  scenario),
              0)
        << m_err;
    const std::string xml = ReadWholeFile(Path("big.XML"));
    EXPECT_EQ(CountOf(xml, " <ROW>"), 2u);
    EXPECT_NE(xml.find("<Family>SELECT&#32;ENAME"), std::string::npos) << xml.substr(0, 2000);
    if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("xmllint --valid --noout " + ShellQuote(Path("big.XML"))).c_str()), 0);
    }

    for (const std::vector<std::string>& bad :
         {With({"--min-statements", "2"}), With({"--families", "--min-statements", "0"}),
          With({"--families", "--min-statements", "x"}), With({"--families", "--similar-to", "00"})}) {
        EXPECT_EQ(Run(bad, scenario), 2) << bad.back();
        EXPECT_NE(m_err.find("corvid-report: "), std::string::npos);
    }
}

// The XML and its page are one export: when the page cannot be written the run
// fails and writes neither.
TEST_F(ReportRun, CompanionPageFailureFailsTheRun) {
    ASSERT_EQ(::mkdir(Path("pool_XML.HTML").c_str(), 0755), 0);
    EXPECT_EQ(Run(With({"--no-analyze", "--format", "xml", "--output", "pool"}), "CORVID_SIM_SCENARIO=demo:50"), 1);
    EXPECT_NE(m_err.find("Unable to create the file 'pool_XML.HTML': 'pool_XML.HTML' is not a regular file"),
              std::string::npos)
        << m_err;
    EXPECT_FALSE(Exists(Path("pool.XML")));
}

TEST_F(ReportRun, TraceLevelsOutsideTheDocumentedOnesAreRefused) {
    for (const char* level : {"-5", "99999", "16", "-1"}) {
        EXPECT_EQ(Run(With({"--trace", level, "--output", "x"})), 2) << level;
        EXPECT_NE(m_err.find("--trace takes a level from 0 to 15"), std::string::npos) << m_err;
        EXPECT_FALSE(Exists(Path("Corvid.log")));
    }
}

// Text from the user or the server reaches the terminal only as visible
// characters: no escape sequence of it clears the screen or sets the title.
TEST_F(ReportRun, ControlCharactersReachTheTerminalVisibly) {
    EXPECT_EQ(Run({"-u", "SC\x1b[2J\x1b]0;owned\x07OTT", "-p", "x", "-s", "DEMO", "--output", "x"}), 1);
    EXPECT_EQ(m_err.find('\x1b'), std::string::npos) << m_err;
    EXPECT_EQ(m_err.find('\x07'), std::string::npos) << m_err;
    EXPECT_NE(m_err.find("unable to log on as SC\\x1b[2J\\x1b]0;owned\\x07OTT"), std::string::npos) << m_err;
}

TEST_F(ReportRun, PasswordFileMustBeTheOwnersAlone) {
    WriteFile("password", "TIGER\n");
    ASSERT_EQ(::chmod(Path("password").c_str(), 0644), 0);
    const std::vector<std::string> args = {"-u", "SCOTT", "-s", "DEMO", "--password-file", "password",
                                           "--no-analyze", "--format", "csv", "--output", "pool"};
    EXPECT_EQ(Run(args, "CORVID_SIM_SCENARIO=demo:50"), 1);
    EXPECT_NE(m_err.find("the password file 'password' may be read by others"), std::string::npos) << m_err;
    EXPECT_FALSE(Exists(Path("pool.CSV")));
    ASSERT_EQ(::chmod(Path("password").c_str(), 0600), 0);
    EXPECT_EQ(Run(args, "CORVID_SIM_SCENARIO=demo:50"), 0) << m_err;
    EXPECT_TRUE(Exists(Path("pool.CSV")));
    // Not both ways at once.
    EXPECT_EQ(Run(With({"--password-file", "password", "--output", "x"})), 2);
}

// A password given with -p or --password is gone from /proc/PID/cmdline while
// the report runs; the rest of the command line stays.
TEST_F(ReportRun, PasswordArgumentIsWipedFromTheCommandLine) {
    for (const std::vector<std::string>& logon : std::vector<std::vector<std::string>>{
             {"-p", "TIGER"}, {"-pTIGER"}, {"--password=TIGER"}, {"--password", "TIGER"}}) {
        std::vector<std::string> args = {"corvid-report", "-u", "SCOTT", "-s", "DEMO"};
        args.insert(args.end(), logon.begin(), logon.end());
        for (const char* more : {"--no-analyze", "--trace", "1", "--interval", "600", "--output", "slow"})
            args.push_back(more);
        ::unlink(Path("Corvid.log").c_str());
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(m_dir.c_str()) != 0) ::_exit(126);
            const int null = ::open("/dev/null", O_RDWR);
            ::dup2(null, 0);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::unsetenv("CORVID_PASSWORD");
            ::setenv("HOME", (m_dir + "/home").c_str(), 1);
            ::setenv("LD_LIBRARY_PATH", m_libDir.c_str(), 1);
            ::setenv("CORVID_SIM_SCENARIO", "demo:50", 1);
            std::vector<char*> argv;
            for (std::string& arg : args)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(CORVID_REPORT_EXE, argv.data());
            ::_exit(127);
        }
        struct SReap {
            pid_t pid;
            ~SReap() {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
            }
        } reap{child};
        // Once the logon is in the log, the report is between its two loads.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (ReadWholeFile(Path("Corvid.log")).find("Logon error code = [0]") == std::string::npos) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no logon in the trace";
            ASSERT_EQ(::waitpid(child, nullptr, WNOHANG), 0) << "the report ended early";
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const std::string cmdline = ReadWholeFile("/proc/" + std::to_string(child) + "/cmdline");
        EXPECT_EQ(cmdline.find("TIGER"), std::string::npos) << logon[0];
        EXPECT_NE(cmdline.find("SCOTT"), std::string::npos) << logon[0];
        EXPECT_NE(cmdline.find("--interval"), std::string::npos) << logon[0];
    }
}

}  // namespace
