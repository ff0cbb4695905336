#pragma once

#include <string>

#include "list/JsonExporter.h"

namespace corvid {

class CCorvidDoc;
class CListCtrlEx;
class CTraceContext;

// What the HTML report of corvid-report is made of beside the list.
struct SHtmlReportRequest {
    const CJsonExporter::SContext* context = nullptr;  // database, server, banner, user, load time
    std::string base;      // the report goes to base + ".report.html"
    std::string title;     // the export name
    int topCount = 20;
    bool interval = false;  // the list shows the changes of --interval
    std::string sqlId;      // --sql-id: the report of that one statement
};

// The file name of the report for an export base name.
std::string HtmlReportFileName(const std::string& base);

// Writes the report of what the list shows; false (after the message) when the
// file could not be written.
bool WriteHtmlReport(const CListCtrlEx& list, const CCorvidDoc& doc, const SHtmlReportRequest& request,
                     CTraceContext& trace);

}  // namespace corvid
