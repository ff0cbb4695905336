#include "dialogs/qt/OptionsGeneralPage.h"

#include <QCheckBox>
#include <QGroupBox>
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
      m_cursorPlans(new QCheckBox("Plans from the cursor cache when the server has them")) {
    auto* group = new QGroupBox("General options");
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_analyze);
    groupLayout->addWidget(m_cursorPlans);
    groupLayout->addWidget(m_explainAll);
    groupLayout->addWidget(m_warn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
}

void COptionsPage::OnInitPage() {
    m_analyze->setChecked(m_model.m_Settings.analyze != 0);
    m_explainAll->setChecked(m_model.m_Settings.explainAll != 0);
    m_warn->setChecked(m_model.m_Settings.warnIfNotAllUser != 0);
    m_cursorPlans->setChecked(m_model.m_Settings.cursorCachePlans != 0);
}

bool COptionsPage::OnKillActive() {
    m_model.m_Settings.analyze = m_analyze->isChecked() ? 1 : 0;
    m_model.m_Settings.explainAll = m_explainAll->isChecked() ? 1 : 0;
    m_model.m_Settings.warnIfNotAllUser = m_warn->isChecked() ? 1 : 0;
    m_model.m_Settings.cursorCachePlans = m_cursorPlans->isChecked() ? 1 : 0;
    return true;
}

}  // namespace corvid
