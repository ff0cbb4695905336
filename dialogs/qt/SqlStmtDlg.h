#pragma once

#include "dialogs/StatementSheetModel.h"
#include "dialogs/qt/PropertySheet.h"

namespace corvid {

class CSqlTextPage;
class CSqlPlanPage;
class CSqlParaPage;
class CSqlTestPage;

// "SQL statement and execution plan": one statement's coloured text, its plan,
// its figures and a test explain, on four pages. The sheet works on its own copy
// of the statement and returns nothing.
class CCorvidSqlStmtDlg : public CPropertySheet {
    Q_OBJECT
public:
    CCorvidSqlStmtDlg(SStatementSheetData data, ExplainCall explain, QWidget* parent = nullptr);

    CSqlTextPage* TextPage() const { return m_text; }
    CSqlPlanPage* PlanPage() const { return m_plan; }
    CSqlParaPage* ParameterPage() const { return m_parameters; }
    CSqlTestPage* TestPage() const { return m_test; }

private:
    CSqlTextPage* m_text;
    CSqlPlanPage* m_plan;
    CSqlParaPage* m_parameters;
    CSqlTestPage* m_test;
};

}  // namespace corvid
