#pragma once

namespace corvid {

class CCorvidSqlStmtDlg;
class CObjectEntry;
struct SStatementCommandContext;

// Adds "Save report..." to the statement sheet: the report of that one statement.
void AddStatementReportButton(CCorvidSqlStmtDlg& sheet, const CObjectEntry& statement,
                              SStatementCommandContext& context);

}  // namespace corvid
