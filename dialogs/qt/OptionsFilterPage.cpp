#include "dialogs/qt/OptionsFilterPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/Services.h"

namespace corvid {

CFilterPage::CFilterPage(COptionsModel& model, QWidget* parent)
    : CPropertyPage("Value Filter", parent), m_model(model) {
    auto* group = new QGroupBox("Value Filter");
    auto* grid = new QGridLayout(group);
    for (int row = 0; row < kFilterRowCount; ++row) {
        auto* label = new QLabel(FilterRowSpec(row).label);
        m_comparisons[row] = new QComboBox;
        for (const std::string& item : FilterComparisonItems(row)) {
            m_comparisons[row]->addItem(QString::fromStdString(item));
        }
        m_values[row] = new QLineEdit;
        m_values[row]->setMinimumWidth(FilterRowSpec(row).kind == EFilterValueKind::Text ? 220 : 120);
        label->setBuddy(m_comparisons[row]);
        if (const char* tip = FilterRowSpec(row).toolTip) {
            for (QWidget* widget : {static_cast<QWidget*>(label), static_cast<QWidget*>(m_comparisons[row]),
                                    static_cast<QWidget*>(m_values[row])}) {
                widget->setToolTip(QString::fromUtf8(tip));
            }
        }
        grid->addWidget(label, row, 0);
        grid->addWidget(m_comparisons[row], row, 1);
        grid->addWidget(m_values[row], row, 2);
        connect(m_comparisons[row], &QComboBox::currentIndexChanged, this, [this] { EnableValueBoxes(); });
    }
    grid->setColumnStretch(2, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addStretch();
}

void CFilterPage::OnInitPage() {
    for (int row = 0; row < kFilterRowCount; ++row) {
        const int comparison = m_model.m_Settings.Comparison(row);
        // A stored choice the list does not have shows no item.
        m_comparisons[row]->setCurrentIndex(comparison >= 0 && comparison < m_comparisons[row]->count() ? comparison
                                                                                                        : -1);
        const QString value = QString::fromStdString(FilterValueText(m_model.m_Settings, row));
        // A text box takes at most the limit, except that a stored text that is
        // already longer is shown whole (leaving the page then names the limit).
        if (FilterRowSpec(row).kind == EFilterValueKind::Text) {
            m_values[row]->setMaxLength(std::max<int>(kFilterTextMaxChars, static_cast<int>(value.size())));
        }
        m_values[row]->setText(value);
    }
    EnableValueBoxes();
}

void CFilterPage::OnSetActive() {
    EnableValueBoxes();
}

void CFilterPage::EnableValueBoxes() {
    for (int row = 0; row < kFilterRowCount; ++row)
        m_values[row]->setEnabled(m_comparisons[row]->currentIndex() > 0);
}

bool CFilterPage::OnKillActive() {
    SOptionsSettings read = m_model.m_Settings;
    std::array<std::string, kFilterRowCount> texts;
    for (int row = 0; row < kFilterRowCount; ++row) {
        // A list without a selection keeps the stored choice.
        if (const int index = m_comparisons[row]->currentIndex(); index >= 0) read.Comparison(row) = index;
        texts[row] = m_values[row]->text().toStdString();
    }
    int failedRow = -1;
    const std::string message = ReadFilterValues(read, texts, failedRow);
    if (!message.empty()) {
        GetPrompter().Message(message, IPrompter::Kind::Warning);
        m_values[failedRow]->setFocus();
        m_values[failedRow]->selectAll();
        return false;
    }
    m_model.m_Settings = read;
    return true;
}

}  // namespace corvid
