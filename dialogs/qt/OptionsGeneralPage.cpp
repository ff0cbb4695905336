#include "dialogs/qt/OptionsGeneralPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/OptionsModel.h"

namespace corvid {

COptionsPage::COptionsPage(COptionsModel& model, QWidget* parent)
    : CPropertyPage("General options", parent),
      m_model(model),
      m_analyze(
          new QCheckBox("Analyze all sql statements and generate the execution plan (more information but slower)")),
      m_explainAll(new QCheckBox("Explain again every statement at each load")),
      m_warn(new QCheckBox("Warn on startup if not all database users are part of the current selection")),
      m_cursorPlans(new QCheckBox("Plans from the cursor cache when the server has them")),
      m_recordHistory(new QCheckBox("Record each load in the history")),
      m_historyLocation(new QLineEdit) {
    auto* group = new QGroupBox("General options");
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_analyze);
    groupLayout->addWidget(m_cursorPlans);
    groupLayout->addWidget(m_explainAll);
    groupLayout->addWidget(m_warn);
    auto* history = new QGroupBox("History");
    auto* historyLayout = new QVBoxLayout(history);
    historyLayout->addWidget(m_recordHistory);
    m_historyLocation->setPlaceholderText(QString::fromStdString(SHistorySettings().Resolved()));
    m_historyLocation->setToolTip("An SQLite file, or a PostgreSQL URI (postgresql://user@host/db); the password "
                                  "from PGPASSWORD or ~/.pgpass");
    historyLayout->addWidget(m_historyLocation);
    connect(m_recordHistory, &QCheckBox::toggled, m_historyLocation, &QLineEdit::setEnabled);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(history);
    layout->addStretch();
}

void COptionsPage::OnInitPage() {
    m_analyze->setChecked(m_model.m_Settings.analyze != 0);
    m_explainAll->setChecked(m_model.m_Settings.explainAll != 0);
    m_warn->setChecked(m_model.m_Settings.warnIfNotAllUser != 0);
    m_cursorPlans->setChecked(m_model.m_Settings.cursorCachePlans != 0);
    m_recordHistory->setChecked(m_model.m_Settings.history.record);
    m_historyLocation->setText(QString::fromStdString(m_model.m_Settings.history.location));
    m_historyLocation->setEnabled(m_model.m_Settings.history.record);
}

bool COptionsPage::OnKillActive() {
    m_model.m_Settings.analyze = m_analyze->isChecked() ? 1 : 0;
    m_model.m_Settings.explainAll = m_explainAll->isChecked() ? 1 : 0;
    m_model.m_Settings.warnIfNotAllUser = m_warn->isChecked() ? 1 : 0;
    m_model.m_Settings.cursorCachePlans = m_cursorPlans->isChecked() ? 1 : 0;
    m_model.m_Settings.history.record = m_recordHistory->isChecked();
    m_model.m_Settings.history.location = m_historyLocation->text().trimmed().toStdString();
    return true;
}

}  // namespace corvid
