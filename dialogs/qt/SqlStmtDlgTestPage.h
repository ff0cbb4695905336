#pragma once

#include "dialogs/StatementSheetModel.h"
#include "dialogs/qt/PropertySheet.h"

class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace corvid {

// "Test SQL": an editable copy of the statement's text, the plan of the last
// test, the optimizer goal, "Reload SQL" and "Execute SQL". A test asks the
// server for the plan of the edited text under the chosen goal; nothing on the
// page changes the collection.
class CSqlTestPage : public CPropertyPage {
    Q_OBJECT
public:
    CSqlTestPage(CSqlTestModel model, ExplainCall explain, QWidget* parent = nullptr);

    void OnSetActive() override;
    bool OnKillActive() override;

    // The two buttons.
    void ExecuteSql();
    void ReloadSql();

    const CSqlTestModel& Model() const { return m_model; }
    QPlainTextEdit* SqlEdit() const { return m_sql; }
    QPlainTextEdit* PlanEdit() const { return m_plan; }
    QComboBox* GoalList() const { return m_goal; }
    QPushButton* ReloadButton() const { return m_reload; }
    QPushButton* ExecuteButton() const { return m_execute; }

protected:
    void OnInitPage() override;

private:
    void MoveToControls();
    void ReadControls();

    CSqlTestModel m_model;
    ExplainCall m_explain;
    QPlainTextEdit* m_sql;
    QPlainTextEdit* m_plan;
    QComboBox* m_goal;
    QPushButton* m_reload;
    QPushButton* m_execute;
};

}  // namespace corvid
