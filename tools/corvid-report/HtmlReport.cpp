#include "HtmlReport.h"

#include "collection/CorvidDoc.h"
#include "list/ListCtrlEx.h"
#include "report/ReportWriter.h"
#include "report/StatementReport.h"

namespace corvid {

std::string HtmlReportFileName(const std::string& base) {
    return base + ".report.html";
}

bool WriteHtmlReport(const CListCtrlEx& list, const CCorvidDoc& doc, const SHtmlReportRequest& request,
                     CTraceContext& trace) {
    const CObjectArray& collection = doc.GetCollection();
    SStatementReportSource source;
    source.collection = &collection;
    source.title = request.title;
    if (request.context != nullptr) {
        source.database = request.context->database;
        source.server = request.context->server;
        source.banner = request.context->banner;
        source.user = request.context->user;
        source.loadTime = request.context->loadTime;
    }
    source.poolBufferGets = doc.GetTotalBufferGets();
    source.poolDiskReads = doc.GetTotalDiskReads();
    source.topCount = request.topCount;
    if (request.interval) source.interval = &doc.GetIntervalSummary();
    SReportModel model;
    const CObjectArray::Index one = request.sqlId.empty() ? -1 : FindStatementBySqlId(collection, request.sqlId);
    if (one >= 0) {
        model = BuildOneStatementReport(collection[one], source);
    } else {
        source.positions = ListedPositions(list, collection);
        model = BuildStatementReport(source);
    }
    return CReportWriter(model).Save(HtmlReportFileName(request.base), &trace);
}

}  // namespace corvid
