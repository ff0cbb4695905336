#pragma once

#include <string>
#include <string_view>

#include "report/ReportModel.h"

namespace corvid {

class CTraceContext;

// Writes a report as one HTML page that stands alone: inline style sheet (print,
// narrow screens, light and dark schemes), charts as inline SVG, a table of
// contents with an anchor on every section, and a small inline script that only
// adds sorting and filtering to the tables. The page's security policy lets it
// load nothing and run no script but its own; every text of the model is written
// as text.
class CReportWriter {
public:
    explicit CReportWriter(const SReportModel& model) : m_model(model) {}

    // Appends the whole page.
    void Write(std::string& out) const;
    std::string Page() const;

    // Writes the page to `fileName`, replacing it only when complete. A failure
    // is shown to the user ("Unable to create the file '...'"); false then.
    bool Save(const std::string& fileName, CTraceContext* trace = nullptr) const;

    // The section anchors, in page order: "summary", "charts", "timeline",
    // "by-<ranking id>", "families", "regressions", "statements" (those the model fills).
    std::vector<std::string> SectionAnchors() const;

    // The script the page carries, and the hash its security policy allows it by.
    static std::string_view Script();
    static std::string_view ScriptHash();

    // The SQL text coloured as the statement sheet colours it: spans of the token
    // classes, every character escaped.
    static void AppendHighlightedSql(std::string_view sqlText, std::string& out);

private:
    void WriteHead(std::string& out) const;
    void WriteContents(std::string& out) const;
    void WriteSummary(std::string& out) const;
    void WriteCharts(std::string& out) const;
    void WriteTimeline(std::string& out) const;
    void WriteRanking(const SReportRanking& ranking, std::string& out) const;
    void WriteFamilies(std::string& out) const;
    void WriteRegressions(std::string& out) const;
    void WriteStatements(std::string& out) const;
    void WriteStatementLink(std::size_t statement, std::string& out) const;

    const SReportModel& m_model;
};

}  // namespace corvid
