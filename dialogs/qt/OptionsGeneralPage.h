#pragma once

#include "dialogs/qt/PropertySheet.h"

class QCheckBox;
class QLineEdit;

namespace corvid {

class COptionsModel;

// "General options": analysis on load and the start-up warning about users.
class COptionsPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit COptionsPage(COptionsModel& model, QWidget* parent = nullptr);

    bool OnKillActive() override;

    QCheckBox* AnalyzeBox() const { return m_analyze; }
    QCheckBox* ExplainAllBox() const { return m_explainAll; }
    QCheckBox* WarnBox() const { return m_warn; }
    QCheckBox* CursorPlansBox() const { return m_cursorPlans; }
    QCheckBox* RecordHistoryBox() const { return m_recordHistory; }
    QLineEdit* HistoryLocationEdit() const { return m_historyLocation; }

protected:
    void OnInitPage() override;

private:
    COptionsModel& m_model;
    QCheckBox* m_analyze;
    QCheckBox* m_explainAll;
    QCheckBox* m_warn;
    QCheckBox* m_cursorPlans;
    QCheckBox* m_recordHistory;
    QLineEdit* m_historyLocation;
};

}  // namespace corvid
