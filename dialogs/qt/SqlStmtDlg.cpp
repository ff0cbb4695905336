#include "dialogs/qt/SqlStmtDlg.h"

#include "dialogs/qt/SqlStmtDlgParaPage.h"
#include "dialogs/qt/SqlStmtDlgRtfPage.h"
#include "dialogs/qt/SqlStmtDlgTestPage.h"

namespace corvid {

CCorvidSqlStmtDlg::CCorvidSqlStmtDlg(SStatementSheetData data, ExplainCall explain, QWidget* parent)
    : CPropertySheet("SQL statement and execution plan", parent),
      m_text(new CSqlTextPage(std::move(data.sqlRtf))),
      m_plan(new CSqlPlanPage(std::move(data.planRtf), QString::fromStdString(data.planSource))),
      m_parameters(new CSqlParaPage(data.statement, FamilyParameterRows(data.familyText, data.familyStatements))),
      m_test(new CSqlTestPage(std::move(data.test), std::move(explain))) {
    AddPage(m_text);
    AddPage(m_plan);
    AddPage(m_parameters);
    AddPage(m_test);
    resize(720, 520);
}

}  // namespace corvid
