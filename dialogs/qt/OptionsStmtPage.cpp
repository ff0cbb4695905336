#include "dialogs/qt/OptionsStmtPage.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "dialogs/OptionsModel.h"

namespace corvid {

CSqlStmtPage::CSqlStmtPage(COptionsModel& model, QWidget* parent)
    : CPropertyPage("Statement Filter", parent), m_model(model) {
    const char* const labels[kKindCount] = {"Include \"&Select\" statements", "Include \"&Insert\" statements",
                                            "Include \"U&pdate\" statements", "Include \"&Delete\" statements",
                                            "Include all &other statements"};
    auto* group = new QGroupBox("Statement Filter");
    auto* groupLayout = new QVBoxLayout(group);
    for (int kind = 0; kind < kKindCount; ++kind) {
        m_boxes[kind] = new QCheckBox(labels[kind]);
        groupLayout->addWidget(m_boxes[kind]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
}

std::int32_t& CSqlStmtPage::Setting(int kind) const {
    CStatementFilter& filter = m_model.m_Settings.filter;
    switch (kind) {
        case kSelect:
            return filter.m_Select;
        case kInsert:
            return filter.m_Insert;
        case kUpdate:
            return filter.m_Update;
        case kDelete:
            return filter.m_Delete;
        default:
            return filter.m_Others;
    }
}

void CSqlStmtPage::OnInitPage() {
    for (int kind = 0; kind < kKindCount; ++kind)
        m_boxes[kind]->setChecked(Setting(kind) != 0);
}

bool CSqlStmtPage::OnKillActive() {
    for (int kind = 0; kind < kKindCount; ++kind)
        Setting(kind) = m_boxes[kind]->isChecked() ? 1 : 0;
    return true;
}

}  // namespace corvid
