#include "report/ReportWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "PageCheck.h"
#include "platform/RecordingPrompter.h"
#include "platform/Services.h"
#include "report/HtmlText.h"

namespace corvid {
namespace {

using testing::CheckPage;
using testing::TestOutputDir;

// Texts that would break out of their place if written as they are: each one,
// if it ran, would set the page's title to "pwned".
const std::vector<std::string> kHostile = {
    "SELECT '</script><script>document.title=\"pwned\"</script>' FROM dual",
    "SELECT 1 FROM t <!-- x --> WHERE a = '<img src=x onerror=\"document.title=`pwned`\">'",
    "UPDATE t SET c = \"q\" || 'it''s' -- \xFF\xFE invalid \xC3 UTF-8",
    std::string("SELECT '\x01\x02\x1B[31m\x7F' FROM t WHERE b = '<svg onload=document.title=1>'") + '\0' + "x",
    "select 'caf\xC3\xA9' from \"T\xE2\x80\xA8\" where x = '&amp;' and y = ']]>'",
};

// A model with every optional part, its statements holding the hostile texts.
SReportModel FullModel() {
    SReportModel model;
    model.summary.title = "Pool of PROD <b>now</b>";
    model.summary.database = "PROD";
    model.summary.server = "prod.example";
    model.summary.banner = "Oracle Database 19c Enterprise Edition Release 19.0.0.0.0 - Production";
    model.summary.user = "PERFSTAT";
    model.summary.period = "Loaded Mon Dec 07 13:05:09 2026";
    model.summary.facts = {{"Statements", "5"}, {"Buffer gets of the shared pool", "123 456"}};
    model.summary.concentration = {"The top 5 statements do 51 % of the buffer gets"};
    for (std::size_t i = 0; i < kHostile.size(); ++i) {
        SReportStatement s;
        s.anchor = "stmt-" + std::to_string(i + 1);
        s.label = kHostile[i].substr(0, 40);
        s.sqlId = "abcd" + std::to_string(i);
        s.user = i % 2 ? "SCOTT" : "HR\"<x>";
        s.command = "SELECT";
        s.sqlText = kHostile[i];
        s.plan = i == 0 ? "" : "SELECT STATEMENT Cost=3\r\n  TABLE ACCESS FULL T </pre><script>document.title='pwned'</script>";
        s.figures = {{"Executions", "12"}, {"Module <i>", kHostile[i]}};
        model.statements.push_back(s);
    }
    SReportRanking gets{"gets", "SQL ordered by Gets", "Buffer gets", "", 0, 1000, {}};
    SReportRanking elapsed{"elapsed-time", "SQL ordered by Elapsed Time", "Elapsed (s)", "a note", 2, 10, {}};
    for (std::size_t i = 0; i < kHostile.size(); ++i) {
        gets.rows.push_back({i, 500.0 / static_cast<double>(i + 1), 50.0 / static_cast<double>(i + 1), 400.0 / static_cast<double>(i + 1)});
        elapsed.rows.push_back({kHostile.size() - 1 - i, 5.0 - static_cast<double>(i), 10.0, std::nullopt});
    }
    model.rankings = {elapsed, gets};
    model.comparison = SReportComparison{"Mon 09:00-10:00", "Tue 09:00-10:00 <script>"};
    SReportFamily family;
    family.familyText = "SELECT * FROM t WHERE id = :n </script>";
    family.command = "SELECT";
    family.users = "HR, SCOTT";
    family.statements = 40;
    family.sharableMem = 400000;
    family.wastedMem = 390000;
    family.members = {0, 3};
    model.families = std::vector<SReportFamily>{family};
    model.regressions = std::vector<SReportRegression>{{2, "Buffer gets per execution", 10, 250, "plan changed <b>"},
                                                      {4, "Elapsed per execution (ms)", 0, 3, ""}};
    SReportChart pareto{"pareto-gets", "Top statements by buffer gets", "buffer gets",
                        "The top 5 statements do 51 % of the buffer gets", true, {}};
    SReportChart users{"gets-by-user", "Buffer gets by user", "buffer gets", "", false, {}};
    for (std::size_t i = 0; i < kHostile.size(); ++i) {
        pareto.bars.push_back({kHostile[i], kHostile[i], 100.0 - static_cast<double>(i) * 10,
                               20.0 * static_cast<double>(i + 1), "stmt-" + std::to_string(i + 1)});
        users.bars.push_back({kHostile[i], "", 50.0 - static_cast<double>(i), std::nullopt, ""});
    }
    model.charts = {pareto, users, SReportChart{"empty", "No bars", "disk reads", "", true, {}}};
    SReportTimeline timeline{"Buffer gets per hour", "buffer gets", {"09:00", "10:00", "11:00", "12:00"}, {}};
    timeline.series = {{"SCOTT", {10, 50, 20, 80}}, {"HR <b>", {5, 5, 60, 0}}};
    model.timeline = timeline;
    model.generated = "Automatically generated Mon Dec 07 13:05:10 2026 with:";
    model.identification = "Corvid\nVersion 1.7.2";
    return model;
}

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

TEST(HtmlText, EscapesMarkupAndKeepsEveryTextReadable) {
    struct Case {
        std::string in;
        std::string out;
        const char* why;
    };
    const Case cases[] = {
        {"a<b>&\"c'", "a&lt;b&gt;&amp;&quot;c&#39;", "markup characters"},
        {"</script>", "&lt;/script&gt;", "no element can be closed or opened"},
        {"caf\xC3\xA9 \xF0\x9F\x98\x80", "caf\xC3\xA9 \xF0\x9F\x98\x80", "valid UTF-8 is copied"},
        {"a\xFF" "b\xC3", "a\xEF\xBF\xBD" "b\xEF\xBF\xBD", "invalid bytes become U+FFFD"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "a surrogate is no character"},
        {"a\tb\nc\r\nd\re", "a\tb\nc\nd\ne", "tab and line breaks stay, CR LF is one break"},
        {std::string("x\x01y") + '\0', "x\xE2\x90\x81y\xE2\x90\x80", "controls show as their pictures"},
        {"\x7F\xC2\x85", "\xE2\x90\xA1\xEF\xBF\xBD", "DEL and C1 controls are visible"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HtmlText(c.in), c.out) << c.why;
}

TEST(HtmlText, NumbersGroupTheirThousands) {
    EXPECT_EQ(FormatReportNumber(0), "0");
    EXPECT_EQ(FormatReportNumber(999), "999");
    EXPECT_EQ(FormatReportNumber(1234567), "1 234 567");
    EXPECT_EQ(FormatReportNumber(-1234.567, 2), "-1 234.57");
    EXPECT_EQ(FormatReportNumber(-0.001, 1), "0.0");
    EXPECT_EQ(FormatReportNumber(1e300 * 1e300), "-");
}

TEST(ReportWriter, SqlIsColouredByTheStatementSheetsTokenClasses) {
    std::string out;
    CReportWriter::AppendHighlightedSql("select a from b", out);
    EXPECT_EQ(out, "<span class=\"sql-keyword\">select</span> a <span class=\"sql-keyword\">from</span> b");
    out.clear();
    CReportWriter::AppendHighlightedSql("/* c */ SELECT 'x<y' , 42\r\n", out);
    EXPECT_EQ(out,
              "<span class=\"sql-comment\">/* c */</span> <span class=\"sql-keyword\">SELECT</span> "
              "<span class=\"sql-string\">&#39;x&lt;y&#39;</span> , <span class=\"sql-number\">42</span>\n");
    // A word of letters outside ASCII is never cut inside a character.
    out.clear();
    CReportWriter::AppendHighlightedSql("select \xC3\xA9t\xC3\xA9 from d\xC3\xA9", out);
    EXPECT_EQ(out.find("\xC3<"), std::string::npos) << out;
    EXPECT_NE(out.find("\xC3\xA9t\xC3\xA9"), std::string::npos) << out;
}

TEST(ReportWriter, EveryPartOfTheModelHasItsSectionAnchorAndContentsEntry) {
    const SReportModel model = FullModel();
    const CReportWriter writer(model);
    const std::string page = writer.Page();
    const std::vector<std::string> anchors = writer.SectionAnchors();
    EXPECT_EQ(anchors, (std::vector<std::string>{"summary", "charts", "timeline", "by-elapsed-time", "by-gets",
                                                 "families", "regressions", "statements"}));
    for (const std::string& anchor : anchors) {
        EXPECT_EQ(Count(page, "<section id=\"" + anchor + "\""), 1u) << anchor;
        EXPECT_EQ(Count(page, "<li><a href=\"#" + anchor + "\">"), 1u) << anchor;
    }
    for (const SReportStatement& s : model.statements)
        EXPECT_EQ(Count(page, "<article class=\"statement\" id=\"" + s.anchor + "\""), 1u);
    // Comparison columns in every ranking, a "new" change where there was nothing before.
    EXPECT_EQ(Count(page, "<th scope=\"col\" class=\"n\">Mon 09:00-10:00</th>"), 2u);
    EXPECT_EQ(Count(page, ">new</td>"), 5u + 1u);
    // Bars: five per bar chart, a marker per timeline point, and a legend box per series.
    EXPECT_EQ(Count(page, "<rect class=\"bar\""), 5u + 5u + 2u);
    EXPECT_EQ(Count(page, "<rect class=\"bar point\""), 8u);

    // A model without its optional parts has neither the sections nor their entries.
    SReportModel plain;
    plain.summary.title = "Plain";
    const std::string plainPage = CReportWriter(plain).Page();
    EXPECT_EQ(CReportWriter(plain).SectionAnchors(), std::vector<std::string>{"summary"});
    for (const char* absent : {"#charts", "#timeline", "#families", "#regressions", "#statements", "<svg"})
        EXPECT_EQ(plainPage.find(absent), std::string::npos) << absent;
}

TEST(ReportWriter, NoTextOfTheModelComesOutAsMarkup) {
    const std::string page = CReportWriter(FullModel()).Page();
    EXPECT_EQ(Count(page, "<script"), 1u);
    EXPECT_EQ(Count(page, "</script>"), 1u);
    EXPECT_EQ(page.find("<img"), std::string::npos);
    EXPECT_EQ(page.find("<svg onload"), std::string::npos);
    EXPECT_EQ(page.find("<!--"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    EXPECT_EQ(page.find("</pre><script"), std::string::npos);
    EXPECT_EQ(page.find('\0'), std::string::npos);
    EXPECT_EQ(page.find('\x1B'), std::string::npos);
    EXPECT_EQ(page.find("\xFF"), std::string::npos);
    EXPECT_NE(page.find("<title>Pool of PROD &lt;b&gt;now&lt;/b&gt;</title>"), std::string::npos);
}

TEST(ReportWriter, SaveReplacesTheFileOnlyWhenWrittenAndSaysWhyItCouldNot) {
    CRecordingPrompter prompter;
    SetPrompter(&prompter);
    const std::string dir = TestOutputDir();
    const std::string file = dir + "/save-test.html";
    std::filesystem::remove(file);
    EXPECT_TRUE(CReportWriter(FullModel()).Save(file));
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), CReportWriter(FullModel()).Page());
    EXPECT_FALSE(CReportWriter(FullModel()).Save(dir + "/no-such-folder/r.html"));
    EXPECT_EQ(prompter.Messages().size(), 1u);
    EXPECT_EQ(prompter.LastMessage().rfind("Unable to create the file '" + dir + "/no-such-folder/r.html'", 0), 0u)
        << prompter.LastMessage();
    SetPrompter(nullptr);
}

// What the browser test evaluates in the page: sections and anchors, bars,
// and whether any text got to be an element or ran.
constexpr const char* kPageFacts = R"js({
  sections: Array.from(document.querySelectorAll('main > section')).map(s => s.id),
  contents: Array.from(document.querySelectorAll('nav a')).map(a => a.getAttribute('href')),
  brokenLinks: Array.from(document.querySelectorAll('a[href^="#"]')).map(a => a.getAttribute('href'))
      .filter(h => !document.getElementById(h.slice(1))),
  barsPerChart: Array.from(document.querySelectorAll('svg.chart')).map(s => s.querySelectorAll('rect.bar').length),
  svgTitles: Array.from(document.querySelectorAll('svg.chart')).every(s => s.querySelector('title') &&
      s.querySelector('title').textContent.length > 0),
  headings: Array.from(document.querySelectorAll('h1,h2,h3,h4')).map(h => +h.tagName[1]),
  scripts: document.scripts.length,
  injected: document.querySelectorAll('img, main script, [onerror], [onload], b, i').length,
  sqlText: document.querySelector('#stmt-1 pre.sql').textContent,
  sortButtons: document.querySelectorAll('th button.sort').length,
  filters: document.querySelectorAll('input.filter').length,
  overflow: document.documentElement.scrollWidth - window.innerWidth,
})js";

TEST(ReportBrowser, AHostilePageLoadsCleanlyShowsEverySectionAndRunsNothingInjected) {
    const std::string dir = TestOutputDir();
    const std::string page = dir + "/hostile-report.html";
    ASSERT_TRUE(CReportWriter(FullModel()).Save(page));
    const auto check = CheckPage(page, dir + "/hostile-report.png", kPageFacts);
    if (check.skipped) GTEST_SKIP() << check.why;
    ASSERT_TRUE(check.ok) << check.why;
    const nlohmann::json& r = check.report;
    EXPECT_EQ(r["title"], "Pool of PROD <b>now</b>");
    EXPECT_EQ(r["console_errors"].size(), 0u) << r["console_errors"].dump();
    EXPECT_EQ(r["exceptions"].size(), 0u) << r["exceptions"].dump();
    EXPECT_EQ(r["requests"].size(), 0u) << r["requests"].dump();
    const nlohmann::json& facts = r["result"];
    const std::vector<std::string> anchors = CReportWriter(FullModel()).SectionAnchors();
    EXPECT_EQ(facts["sections"].get<std::vector<std::string>>(), anchors);
    std::vector<std::string> contents;
    for (const std::string& anchor : anchors)
        contents.push_back("#" + anchor);
    EXPECT_EQ(facts["contents"].get<std::vector<std::string>>(), contents);
    EXPECT_EQ(facts["brokenLinks"].size(), 0u) << facts["brokenLinks"].dump();
    EXPECT_EQ(facts["barsPerChart"].get<std::vector<int>>(), (std::vector<int>{5, 5, 0, 10}));
    EXPECT_TRUE(facts["svgTitles"].get<bool>());
    // Headings never skip a level on the way down.
    const auto headings = facts["headings"].get<std::vector<int>>();
    for (std::size_t i = 1; i < headings.size(); ++i)
        EXPECT_LE(headings[i], headings[i - 1] + 1) << "heading " << i;
    EXPECT_EQ(facts["scripts"], 1);
    EXPECT_EQ(facts["injected"], 0);
    EXPECT_EQ(facts["sqlText"], "SELECT '</script><script>document.title=\"pwned\"</script>' FROM dual");
    // The page's own script ran under its security policy: every table header sorts.
    EXPECT_GT(facts["sortButtons"].get<int>(), 0);
    EXPECT_EQ(facts["filters"], 4);
}

TEST(ReportBrowser, SortingAndFilteringWorkAndAPhoneNeedsNoSidewaysScrollOfThePage) {
    const std::string dir = TestOutputDir();
    const std::string page = dir + "/phone-report.html";
    ASSERT_TRUE(CReportWriter(FullModel()).Save(page));
    const char* expression = R"js((() => {
      const table = document.getElementById('by-gets-table');
      const firstSql = () => table.tBodies[0].rows[0].cells[5].textContent;
      const before = firstSql();
      table.tHead.rows[0].cells[2].querySelector('button').click();  // ascending by the later figure
      const ascending = firstSql();
      const filter = document.querySelector('#by-gets input.filter');
      filter.value = 'abcd3';
      filter.dispatchEvent(new Event('input'));
      const shown = Array.from(table.tBodies[0].rows).filter(r => !r.hidden).length;
      return {before, ascending, shown, overflow: document.documentElement.scrollWidth - window.innerWidth};
    })())js";
    const auto check = CheckPage(page, dir + "/phone-report.png", expression, 375);
    if (check.skipped) GTEST_SKIP() << check.why;
    ASSERT_TRUE(check.ok) << check.why;
    EXPECT_EQ(check.report["console_errors"].size(), 0u) << check.report["console_errors"].dump();
    const nlohmann::json& facts = check.report["result"];
    EXPECT_EQ(facts["before"], "abcd0");
    EXPECT_EQ(facts["ascending"], "abcd4");
    EXPECT_EQ(facts["shown"], 1);
    EXPECT_LE(facts["overflow"].get<int>(), 0);
}

}  // namespace
}  // namespace corvid
