#include "report/ReportWriter.h"

#include <cmath>
#include <cstdio>

#include "list/AtomicFile.h"
#include "platform/Prompter.h"
#include "platform/Services.h"
#include "report/HtmlText.h"
#include "report/SvgChart.h"
#include "sqltext/SqlStatementParser.h"

namespace corvid {

namespace {

// The page's only script: sorting by a click on a column's header and a filter
// box over each sortable table. Without it the page shows the same tables.
// Its SHA-256 (ScriptHash) is what the page's security policy allows: change
// both together (the browser test fails on a script the policy refuses).
constexpr std::string_view kScript =
    "(function(){"
    "function sortBy(t,i,th){"
    "var asc=th.getAttribute('aria-sort')!=='ascending';"
    "Array.prototype.forEach.call(t.tHead.rows[0].cells,function(c){c.removeAttribute('aria-sort');});"
    "th.setAttribute('aria-sort',asc?'ascending':'descending');"
    "var rows=Array.prototype.slice.call(t.tBodies[0].rows);"
    "rows.sort(function(a,b){var x=a.cells[i],y=b.cells[i];"
    "var vx=x.getAttribute('data-v'),vy=y.getAttribute('data-v');"
    "var r=(vx!==null&&vy!==null)?parseFloat(vx)-parseFloat(vy):x.textContent.localeCompare(y.textContent);"
    "return asc?r:-r;});"
    "rows.forEach(function(r){t.tBodies[0].appendChild(r);});}"
    "document.querySelectorAll('table.sortable').forEach(function(t){"
    "Array.prototype.forEach.call(t.tHead.rows[0].cells,function(th,i){"
    "var b=document.createElement('button');b.type='button';b.className='sort';"
    "while(th.firstChild)b.appendChild(th.firstChild);th.appendChild(b);"
    "b.addEventListener('click',function(){sortBy(t,i,th);});});"
    "var f=document.createElement('input');f.type='search';f.className='filter';"
    "f.placeholder='Filter rows';f.setAttribute('aria-label','Filter the rows of this table');"
    "f.addEventListener('input',function(){var q=f.value.toLowerCase();"
    "Array.prototype.forEach.call(t.tBodies[0].rows,function(r){"
    "r.hidden=q!==''&&r.textContent.toLowerCase().indexOf(q)<0;});});"
    "var w=t.parentNode;w.parentNode.insertBefore(f,w);});"
    "})();";

constexpr std::string_view kScriptHash = "sha256-l4ga7F3ouXCQ4MntE69rrWRrRqjBNL80Qc4G+U3/j24=";

constexpr std::string_view kStyle = R"css(
:root{color-scheme:light dark;--bg:#fff;--fg:#1a1a1a;--muted:#5a5a5a;--rule:#c8c8c8;--head:#eef1f5;
--bar:#3566a8;--line:#c0392b;--link:#1a4f9c;--kw:#0000ff;--num:#ff0000;--str:#ff0000;--com:#008000;
--s0:#3566a8;--s1:#c0392b;--s2:#2e7d32;--s3:#8e44ad}
@media (prefers-color-scheme:dark){:root{--bg:#16181c;--fg:#e4e4e4;--muted:#a8a8a8;--rule:#3c4048;
--head:#23272e;--bar:#6d9be0;--line:#ff7b6b;--link:#8ab4f8;--kw:#7fa7ff;--num:#ff8a80;--str:#ff8a80;
--com:#6fdc6f;--s0:#6d9be0;--s1:#ff7b6b;--s2:#74c77a;--s3:#c79be0}}
*{box-sizing:border-box}
body{margin:0 auto;padding:1rem;max-width:80rem;background:var(--bg);color:var(--fg);
font:15px/1.45 system-ui,-apple-system,"Segoe UI",sans-serif}
a{color:var(--link)}
h1{font-size:1.6rem;margin:.2rem 0 1rem}
h2{font-size:1.3rem;margin:2rem 0 .6rem;border-bottom:1px solid var(--rule)}
h3{font-size:1.1rem;margin:1.4rem 0 .4rem}
h4{font-size:1rem;margin:1rem 0 .3rem}
.muted,footer{color:var(--muted)}
nav ol{columns:2 18rem;padding-left:1.4rem}
.scroll{overflow-x:auto;max-width:100%}
table{border-collapse:collapse;margin:.4rem 0 1rem}
th,td{border:1px solid var(--rule);padding:.2rem .5rem;vertical-align:top;text-align:left}
thead th{background:var(--head)}
td.n,th.n{text-align:right;white-space:nowrap;font-variant-numeric:tabular-nums}
td.t{max-width:40rem;overflow-wrap:anywhere}
button.sort{font:inherit;font-weight:bold;color:inherit;background:none;border:0;padding:0;cursor:pointer;text-align:inherit}
th[aria-sort=ascending] button.sort::after{content:" \25B2"}
th[aria-sort=descending] button.sort::after{content:" \25BC"}
input.filter{font:inherit;margin:.2rem 0;padding:.2rem .4rem;width:16rem;max-width:100%}
pre{white-space:pre-wrap;overflow-wrap:anywhere;background:var(--head);padding:.5rem;margin:.3rem 0;
font:13px/1.4 ui-monospace,"DejaVu Sans Mono",monospace}
.sql-keyword{color:var(--kw)}.sql-number{color:var(--num)}.sql-string{color:var(--str)}.sql-comment{color:var(--com)}
svg.chart{width:100%;height:auto;max-width:720px;display:block;margin:.4rem 0}
svg .bar{fill:var(--bar)}svg a:hover .bar,svg a:focus .bar{fill:var(--line)}
svg .line{fill:none;stroke:var(--line);stroke-width:2}
svg .grid{stroke:var(--rule);stroke-width:1}
svg text{fill:var(--fg);font:11px system-ui,sans-serif}svg .label{font-weight:bold}
svg .series-0 .line{stroke:var(--s0)}svg .series-0 .bar{fill:var(--s0)}
svg .series-1 .line{stroke:var(--s1)}svg .series-1 .bar{fill:var(--s1)}
svg .series-2 .line{stroke:var(--s2)}svg .series-2 .bar{fill:var(--s2)}
svg .series-3 .line{stroke:var(--s3)}svg .series-3 .bar{fill:var(--s3)}
figure{margin:0 0 1rem}
article.statement{border-top:1px solid var(--rule);margin-top:1rem}
@media (max-width:40rem){body{padding:.5rem;font-size:14px}nav ol{columns:1}td.t{min-width:12rem}}
@media print{:root{--bg:#fff;--fg:#000;--muted:#444;--head:#eee;--rule:#999}
body{max-width:none;padding:0;font-size:10pt}nav,input.filter,.back{display:none}
section{break-before:page}section#summary{break-before:auto}
tr,figure,svg,pre,h2,h3,h4{break-inside:avoid}h2,h3,h4{break-after:avoid}
thead{display:table-header-group}.scroll{overflow:visible}a{color:inherit;text-decoration:none}}
)css";

// A sortable number cell: the value shown, the exact value kept for sorting.
void NumberCell(double value, int decimals, std::string& out) {
    char exact[40];
    std::snprintf(exact, sizeof exact, "%.17g", std::isfinite(value) ? value : 0.0);
    out += "<td class=\"n\" data-v=\"";
    out += exact;
    out += "\">";
    out += FormatReportNumber(value, decimals);
    out += "</td>";
}

// A table row's start with its rank as the row's header.
void RowStart(std::size_t rank, std::string& out) {
    const std::string number = std::to_string(rank);
    out += "<tr><th scope=\"row\" class=\"n\" data-v=\"" + number + "\">" + number + "</th>";
}

void TextCell(std::string_view text, std::string& out) {
    out += "<td class=\"t\">";
    AppendHtmlText(text, out);
    out += "</td>";
}

void HeaderCells(std::initializer_list<std::pair<std::string_view, bool>> columns, std::string& out) {
    out += "<thead><tr>";
    for (const auto& [title, numeric] : columns) {
        out += numeric ? "<th scope=\"col\" class=\"n\">" : "<th scope=\"col\">";
        AppendHtmlText(title, out);
        out += "</th>";
    }
    out += "</tr></thead>";
}

void OpenSection(std::string_view id, std::string_view title, std::string& out) {
    out += "<section id=\"";
    out += id;
    out += "\" aria-labelledby=\"";
    out += id;
    out += "-h\"><h2 id=\"";
    out += id;
    out += "-h\">";
    AppendHtmlText(title, out);
    out += "</h2>";
}

void CloseSection(std::string& out) {
    out += "<p class=\"back\"><a href=\"#contents\">Contents</a></p></section>\n";
}

void Paragraph(std::string_view text, std::string& out, std::string_view cls = {}) {
    if (text.empty()) return;
    out += cls.empty() ? "<p>" : "<p class=\"" + std::string(cls) + "\">";
    AppendHtmlText(text, out);
    out += "</p>";
}

const char* TokenCssClass(std::int32_t tokenClass) {
    switch (tokenClass) {
        case TokenKeyword:
            return "sql-keyword";
        case TokenComment:
            return "sql-comment";
        case TokenNumber:
            return "sql-number";
        case TokenString:
            return "sql-string";
        default:
            return nullptr;
    }
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::string_view CReportWriter::Script() {
    return kScript;
}

std::string_view CReportWriter::ScriptHash() {
    return kScriptHash;
}

void CReportWriter::AppendHighlightedSql(std::string_view sqlText, std::string& out) {
    std::string text(sqlText);
    CSqlStatementParser::NormalizeLineBreaks(text);
    const std::vector<ColorRecord> records = CSqlStatementParser::TokenizeSql(text);
    // The class of each stretch: the last record at a position decides, as in the
    // statement sheet. A switch inside a UTF-8 sequence moves to its end, so that
    // a character is never cut in two.
    std::size_t at = 0;
    const char* current = nullptr;
    std::size_t r = 0;
    while (at < text.size()) {
        while (r < records.size() && static_cast<std::size_t>(std::max(records[r].m_Position, 0)) <= at) {
            current = TokenCssClass(records[r].m_Class);
            ++r;
        }
        std::size_t next = r < records.size() ? static_cast<std::size_t>(records[r].m_Position) : text.size();
        next = std::min(next, text.size());
        while (next < text.size() && IsContinuationByte(text[next]))
            ++next;
        if (next <= at) next = at + 1;
        if (current) {
            out += "<span class=\"";
            out += current;
            out += "\">";
        }
        AppendHtmlText(std::string_view(text).substr(at, next - at), out);
        if (current) out += "</span>";
        at = next;
    }
}

std::vector<std::string> CReportWriter::SectionAnchors() const {
    std::vector<std::string> anchors = {"summary"};
    if (!m_model.charts.empty()) anchors.push_back("charts");
    if (m_model.timeline) anchors.push_back("timeline");
    for (const SReportRanking& ranking : m_model.rankings)
        anchors.push_back("by-" + ranking.id);
    if (m_model.families) anchors.push_back("families");
    if (m_model.regressions) anchors.push_back("regressions");
    if (!m_model.statements.empty()) anchors.push_back("statements");
    return anchors;
}

std::string CReportWriter::Page() const {
    std::string out;
    Write(out);
    return out;
}

void CReportWriter::Write(std::string& out) const {
    WriteHead(out);
    out += "<body>\n<header><h1 id=\"top\">";
    AppendHtmlText(m_model.summary.title, out);
    out += "</h1></header>\n";
    WriteContents(out);
    out += "<main>\n";
    WriteSummary(out);
    WriteCharts(out);
    WriteTimeline(out);
    for (const SReportRanking& ranking : m_model.rankings)
        WriteRanking(ranking, out);
    WriteFamilies(out);
    WriteRegressions(out);
    WriteStatements(out);
    out += "</main>\n<footer><p>";
    AppendHtmlText(m_model.generated, out);
    std::size_t start = 0;
    const std::string& ident = m_model.identification;
    while (start <= ident.size() && !ident.empty()) {
        const std::size_t end = std::min(ident.find('\n', start), ident.size());
        out += "<br>";
        AppendHtmlText(std::string_view(ident).substr(start, end - start), out);
        start = end + 1;
    }
    out += "</p></footer>\n<script>";
    out += kScript;
    out += "</script>\n</body>\n</html>\n";
}

void CReportWriter::WriteHead(std::string& out) const {
    out += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    out += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'; "
           "script-src '";
    out += kScriptHash;
    out += "'; base-uri 'none'; form-action 'none'\">\n";
    out += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    out += "<meta name=\"color-scheme\" content=\"light dark\">\n<meta name=\"generator\" content=\"Corvid\">\n<title>";
    AppendHtmlText(m_model.summary.title, out);
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n";
}

void CReportWriter::WriteContents(std::string& out) const {
    out += "<nav id=\"contents\" aria-labelledby=\"contents-h\"><h2 id=\"contents-h\">Contents</h2><ol>";
    auto item = [&out](std::string_view anchor, std::string_view title) {
        out += "<li><a href=\"#";
        out += anchor;
        out += "\">";
        AppendHtmlText(title, out);
        out += "</a></li>";
    };
    item("summary", "Summary");
    if (!m_model.charts.empty()) item("charts", "Charts");
    if (m_model.timeline) item("timeline", "Timeline");
    for (const SReportRanking& ranking : m_model.rankings)
        item("by-" + ranking.id, ranking.title);
    if (m_model.families) item("families", "Statement families by waste");
    if (m_model.regressions) item("regressions", "Regressions");
    if (!m_model.statements.empty()) item("statements", "Statement details");
    out += "</ol></nav>\n";
}

void CReportWriter::WriteSummary(std::string& out) const {
    const SReportSummary& summary = m_model.summary;
    OpenSection("summary", "Summary", out);
    out += "<div class=\"scroll\"><table class=\"facts\"><tbody>";
    auto row = [&out](std::string_view label, std::string_view value) {
        if (value.empty()) return;
        out += "<tr><th scope=\"row\">";
        AppendHtmlText(label, out);
        out += "</th><td>";
        AppendHtmlText(value, out);
        out += "</td></tr>";
    };
    row("Database", summary.database);
    row("Server", summary.server);
    row("Server version", summary.banner);
    row("User", summary.user);
    row("Period", summary.period);
    for (const auto& [label, value] : summary.facts)
        row(label, value);
    out += "</tbody></table></div>";
    if (!summary.concentration.empty()) {
        out += "<ul class=\"concentration\">";
        for (const std::string& line : summary.concentration) {
            out += "<li>";
            AppendHtmlText(line, out);
            out += "</li>";
        }
        out += "</ul>";
    }
    CloseSection(out);
}

void CReportWriter::WriteCharts(std::string& out) const {
    if (m_model.charts.empty()) return;
    OpenSection("charts", "Charts", out);
    for (const SReportChart& chart : m_model.charts) {
        out += "<figure id=\"chart-" + chart.id + "\"><h3>";
        AppendHtmlText(chart.title, out);
        out += "</h3>";
        AppendChartSvg(chart, out);
        if (!chart.summary.empty()) {
            out += "<figcaption>";
            AppendHtmlText(chart.summary, out);
            out += "</figcaption>";
        }
        out += "</figure>\n";
    }
    CloseSection(out);
}

void CReportWriter::WriteTimeline(std::string& out) const {
    if (!m_model.timeline) return;
    OpenSection("timeline", m_model.timeline->title.empty() ? "Timeline" : m_model.timeline->title, out);
    out += "<figure>";
    AppendTimelineSvg(*m_model.timeline, "timeline", out);
    out += "</figure>";
    CloseSection(out);
}

void CReportWriter::WriteStatementLink(std::size_t statement, std::string& out) const {
    if (statement >= m_model.statements.size()) {
        out += "<td class=\"t\"></td>";
        return;
    }
    const SReportStatement& s = m_model.statements[statement];
    out += "<td class=\"t\"><a href=\"#" + s.anchor + "\">";
    AppendHtmlText(s.label.empty() ? s.anchor : s.label, out);
    out += "</a></td>";
}

void CReportWriter::WriteRanking(const SReportRanking& ranking, std::string& out) const {
    const std::string id = "by-" + ranking.id;
    OpenSection(id, ranking.title, out);
    Paragraph(ranking.note, out, "muted");
    if (ranking.rows.empty()) {
        Paragraph("No statement has this figure.", out);
        CloseSection(out);
        return;
    }
    const bool compare = m_model.comparison.has_value();
    out += "<div class=\"scroll\"><table class=\"sortable ranking\" id=\"" + id + "-table\">";
    if (compare) {
        HeaderCells({{"#", true},
                     {m_model.comparison->beforeLabel, true},
                     {m_model.comparison->afterLabel, true},
                     {"Change (%)", true},
                     {"% of total", true},
                     {"SQL ID", false},
                     {"User", false},
                     {"Statement", false}},
                    out);
    } else {
        HeaderCells({{"#", true}, {ranking.figure, true}, {"% of total", true}, {"SQL ID", false}, {"User", false},
                     {"Statement", false}},
                    out);
    }
    out += "<tbody>";
    for (std::size_t i = 0; i < ranking.rows.size(); ++i) {
        const SRankedRow& row = ranking.rows[i];
        RowStart(i + 1, out);
        if (compare) {
            const double before = row.before.value_or(0);
            NumberCell(before, ranking.decimals, out);
            NumberCell(row.value, ranking.decimals, out);
            if (before != 0) {
                NumberCell((row.value - before) * 100 / before, 1, out);
            } else {
                out += "<td class=\"n\" data-v=\"1e308\">new</td>";
            }
        } else {
            NumberCell(row.value, ranking.decimals, out);
        }
        NumberCell(row.sharePercent, 1, out);
        const SReportStatement* s = row.statement < m_model.statements.size() ? &m_model.statements[row.statement] : nullptr;
        TextCell(s ? s->sqlId : "", out);
        TextCell(s ? s->user : "", out);
        WriteStatementLink(row.statement, out);
        out += "</tr>\n";
    }
    out += "</tbody></table></div>";
    Paragraph("Total of the figure: " + FormatReportNumber(ranking.total, ranking.decimals), out, "muted");
    CloseSection(out);
}

void CReportWriter::WriteFamilies(std::string& out) const {
    if (!m_model.families) return;
    OpenSection("families", "Statement families by waste", out);
    Paragraph("Statements that differ only in their literals, largest waste first: the sharable memory of every "
              "copy but one, which one statement with bind variables would not need.",
              out, "muted");
    if (m_model.families->empty()) {
        Paragraph("No family has more than one statement.", out);
        CloseSection(out);
        return;
    }
    out += "<div class=\"scroll\"><table class=\"sortable families\" id=\"families-table\">";
    HeaderCells({{"#", true},
                 {"Wasted memory", true},
                 {"Statements", true},
                 {"Sharable memory", true},
                 {"Parse calls", true},
                 {"Executions", true},
                 {"% Buf Get", true},
                 {"Command", false},
                 {"Users", false},
                 {"Family", false}},
                out);
    out += "<tbody>";
    for (std::size_t i = 0; i < m_model.families->size(); ++i) {
        const SReportFamily& family = (*m_model.families)[i];
        RowStart(i + 1, out);
        NumberCell(family.wastedMem, 0, out);
        NumberCell(family.statements, 0, out);
        NumberCell(family.sharableMem, 0, out);
        NumberCell(family.parseCalls, 0, out);
        NumberCell(family.executions, 0, out);
        NumberCell(family.percOfBufferGets, 2, out);
        TextCell(family.command, out);
        TextCell(family.users, out);
        out += "<td class=\"t\"><code>";
        AppendHighlightedSql(family.familyText, out);
        out += "</code>";
        for (std::size_t member : family.members) {
            if (member >= m_model.statements.size()) continue;
            out += " <a href=\"#" + m_model.statements[member].anchor + "\">";
            AppendHtmlText(m_model.statements[member].sqlId.empty() ? m_model.statements[member].anchor
                                                                  : m_model.statements[member].sqlId,
                           out);
            out += "</a>";
        }
        out += "</td></tr>\n";
    }
    out += "</tbody></table></div>";
    CloseSection(out);
}

void CReportWriter::WriteRegressions(std::string& out) const {
    if (!m_model.regressions) return;
    OpenSection("regressions", "Regressions", out);
    if (m_model.regressions->empty()) {
        Paragraph("No statement got worse.", out);
        CloseSection(out);
        return;
    }
    out += "<div class=\"scroll\"><table class=\"sortable regressions\" id=\"regressions-table\">";
    HeaderCells({{"#", true},
                 {"Figure", false},
                 {"Before", true},
                 {"After", true},
                 {"Factor", true},
                 {"SQL ID", false},
                 {"Statement", false},
                 {"Why", false}},
                out);
    out += "<tbody>";
    for (std::size_t i = 0; i < m_model.regressions->size(); ++i) {
        const SReportRegression& regression = (*m_model.regressions)[i];
        RowStart(i + 1, out);
        TextCell(regression.figure, out);
        NumberCell(regression.before, 2, out);
        NumberCell(regression.after, 2, out);
        if (regression.before > 0) {
            NumberCell(regression.after / regression.before, 1, out);
        } else {
            out += "<td class=\"n\" data-v=\"1e308\">new</td>";
        }
        const SReportStatement* s =
            regression.statement < m_model.statements.size() ? &m_model.statements[regression.statement] : nullptr;
        TextCell(s ? s->sqlId : "", out);
        WriteStatementLink(regression.statement, out);
        TextCell(regression.note, out);
        out += "</tr>\n";
    }
    out += "</tbody></table></div>";
    CloseSection(out);
}

void CReportWriter::WriteStatements(std::string& out) const {
    if (m_model.statements.empty()) return;
    OpenSection("statements", "Statement details", out);
    for (const SReportStatement& s : m_model.statements) {
        out += "<article class=\"statement\" id=\"" + s.anchor + "\" aria-labelledby=\"" + s.anchor + "-h\"><h3 id=\"" +
               s.anchor + "-h\">";
        std::string heading = s.sqlId.empty() ? "Address " + s.address : "SQL ID " + s.sqlId;
        if (!s.user.empty()) heading += ", " + s.user;
        if (!s.command.empty()) heading += ", " + s.command;
        AppendHtmlText(heading, out);
        out += "</h3><pre class=\"sql\"><code>";
        AppendHighlightedSql(s.sqlText, out);
        out += "</code></pre><h4>Plan</h4>";
        Paragraph(s.planSource, out, "muted");
        if (s.plan.empty()) {
            Paragraph("No plan.", out);
        } else {
            out += "<pre class=\"plan\">";
            AppendHtmlText(s.plan, out);
            out += "</pre>";
        }
        out += "<h4>Figures</h4><div class=\"scroll\"><table class=\"figures\"><tbody>";
        for (const auto& [title, value] : s.figures) {
            out += "<tr><th scope=\"row\">";
            AppendHtmlText(title, out);
            out += "</th><td>";
            AppendHtmlText(value, out);
            out += "</td></tr>";
        }
        out += "</tbody></table></div><p class=\"back\"><a href=\"#contents\">Contents</a></p></article>\n";
    }
    out += "</section>\n";
}

bool CReportWriter::Save(const std::string& fileName, CTraceContext* trace) const {
    CAtomicFile file(fileName);
    file.SetTrace(trace);
    const std::string failure = "Unable to create the file '" + fileName + "'";
    if (!file.Open()) {
        GetPrompter().Message(file.GetError().empty() ? failure : failure + ": " + file.GetError(),
                              IPrompter::Kind::Error);
        return false;
    }
    Write(file.Buffer());
    file.WroteBuffer();
    if (!file.Commit()) {
        GetPrompter().Message(failure, IPrompter::Kind::Error);
        return false;
    }
    return true;
}

}  // namespace corvid
