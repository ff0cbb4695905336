// corvid-report writing the HTML report and the XML export's companion page on
// the simulated demo database, both opened in headless Chromium.
#ifdef CORVID_REPORT_EXE

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "PageCheck.h"
#include "support/ReportSandbox.h"

namespace corvid {
namespace {

using testing::CheckPage;
using testing::TestOutputDir;

using testing::CountOf;
using testing::ReadWholeFile;

// corvid-report as SCOTT on the demo database of 600 statements.
class ReportTool : public testing::CReportSandboxTest {
protected:
    ReportTool() : CReportSandboxTest("corvid-html-report") {}

    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"-u", "SCOTT", "-p", "TIGER", "-s", "DEMO"});
        return RunReport(args, "CORVID_SIM_SCENARIO=demo:600");
    }
};

constexpr const char* kReportFacts = R"js({
  sections: Array.from(document.querySelectorAll('main > section')).map(s => s.id),
  brokenLinks: Array.from(document.querySelectorAll('a[href^="#"]')).map(a => a.getAttribute('href'))
      .filter(h => !document.getElementById(h.slice(1))),
  paretoBars: document.querySelectorAll('#svg-pareto-gets rect.bar').length,
  rankingRows: document.querySelectorAll('#by-gets tbody tr').length,
  details: document.querySelectorAll('article.statement').length,
  coloured: document.querySelectorAll('pre.sql .sql-keyword').length,
  concentration: (document.querySelector('ul.concentration li') || {}).textContent,
})js";

TEST_F(ReportTool, CsvAndReportFromOneLoadAndTheReportReadsInABrowser) {
    ASSERT_EQ(Run({"--format", "csv,report", "--output", "pool", "--analyze"}), 0) << m_err;
    EXPECT_TRUE(std::filesystem::exists(Path("pool.CSV")));
    const std::string page = ReadWholeFile(Path("pool.report.html"));
    ASSERT_FALSE(page.empty());
    EXPECT_NE(page.find("<title>SQL statements in the Oracle SGA</title>"), std::string::npos);
    EXPECT_NE(page.find("DEMO"), std::string::npos);
    EXPECT_NE(page.find("<pre class=\"plan\">"), std::string::npos);  // analysed: plans in the details

    const std::string screenshot = TestOutputDir() + "/demo-report.png";
    const auto check = CheckPage(Path("pool.report.html"), screenshot, kReportFacts);
    if (check.skipped) GTEST_SKIP() << check.why;
    ASSERT_TRUE(check.ok) << check.why;
    std::filesystem::copy_file(Path("pool.report.html"), TestOutputDir() + "/demo-report.html",
                               std::filesystem::copy_options::overwrite_existing);
    const nlohmann::json& r = check.report;
    EXPECT_EQ(r["console_errors"].size(), 0u) << r["console_errors"].dump();
    EXPECT_EQ(r["exceptions"].size(), 0u) << r["exceptions"].dump();
    EXPECT_EQ(r["requests"].size(), 0u) << r["requests"].dump();
    const nlohmann::json& facts = r["result"];
    EXPECT_EQ(facts["sections"].get<std::vector<std::string>>(),
              (std::vector<std::string>{"summary", "charts", "by-elapsed-time", "by-cpu-time", "by-gets", "by-reads",
                                        "by-executions", "by-parse-calls", "by-sharable-memory", "by-version-count",
                                        "families", "statements"}));
    EXPECT_EQ(facts["brokenLinks"].size(), 0u) << facts["brokenLinks"].dump();
    EXPECT_EQ(facts["paretoBars"], 20);
    EXPECT_EQ(facts["rankingRows"], 20);
    EXPECT_GE(facts["details"].get<int>(), 20);
    EXPECT_GT(facts["coloured"].get<int>(), 20);
    EXPECT_EQ(facts["concentration"].get<std::string>().rfind("The top 5 statements do ", 0), 0u)
        << facts["concentration"];
}

TEST_F(ReportTool, AnIntervalReportAndTheTopOption) {
    ASSERT_EQ(Run({"--format", "report", "--output", "changes", "--interval", "0", "--no-analyze", "--top", "5"}), 0)
        << m_err;
    const std::string page = ReadWholeFile(Path("changes.report.html"));
    EXPECT_NE(page.find("<td>Interval "), std::string::npos);
    EXPECT_NE(page.find("Top statements by buffer gets in the interval"), std::string::npos);
    // Five rows at most in each ranking: the rank 6 never appears.
    EXPECT_EQ(page.find("data-v=\"6\">6</th>"), std::string::npos);

    EXPECT_EQ(Run({"--format", "report", "--families"}), 2);
    EXPECT_EQ(Run({"--format", "csv", "--top", "5"}), 2);
    EXPECT_EQ(Run({"--format", "report", "--output", "-"}), 2);
}

// The companion page of the XML export shows the XML's rows itself, in a
// browser of today, reading nothing else.
TEST_F(ReportTool, TheXmlCompanionPageShowsEveryRowInABrowser) {
    ASSERT_EQ(Run({"--format", "xml", "--output", "pool", "--no-analyze"}), 0) << m_err;
    const std::size_t rows = CountOf(ReadWholeFile(Path("pool.XML")), " <ROW>");
    ASSERT_GT(rows, 100u);
    const auto check = CheckPage(Path("pool_XML.HTML"), TestOutputDir() + "/xml-companion.png",
                                 "{rows: document.querySelectorAll('table[border=\"1\"] tbody tr').length, "
                                 "headers: document.querySelectorAll('th').length, "
                                 "firstRow: Array.from(document.querySelectorAll('table[border=\"1\"] tbody tr')[0]"
                                 ".cells).map(c => c.textContent.trim().length > 0).some(x => x)}");
    if (check.skipped) GTEST_SKIP() << check.why;
    ASSERT_TRUE(check.ok) << check.why;
    EXPECT_EQ(check.report["console_errors"].size(), 0u) << check.report["console_errors"].dump();
    EXPECT_EQ(check.report["requests"].size(), 0u) << check.report["requests"].dump();
    const nlohmann::json& facts = check.report["result"];
    EXPECT_EQ(facts["rows"].get<std::size_t>(), rows);
    EXPECT_GT(facts["headers"].get<int>(), 5);
    EXPECT_TRUE(facts["firstRow"].get<bool>());
}

}  // namespace
}  // namespace corvid

#endif
