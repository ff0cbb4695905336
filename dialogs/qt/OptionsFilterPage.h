#pragma once

#include <array>

#include "dialogs/OptionsModel.h"
#include "dialogs/qt/PropertySheet.h"

class QComboBox;
class QLineEdit;

namespace corvid {

// "Value Filter": rows of a comparison list and a value box. A value box is
// enabled only while its comparison is not "all"; leaving the page checks every
// value box whose row is active.
class CFilterPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CFilterPage(COptionsModel& model, QWidget* parent = nullptr);

    void OnSetActive() override;
    bool OnKillActive() override;

    QComboBox* ComparisonBox(int row) const { return m_comparisons.at(row); }
    QLineEdit* ValueBox(int row) const { return m_values.at(row); }

protected:
    void OnInitPage() override;

private:
    void EnableValueBoxes();

    COptionsModel& m_model;
    std::array<QComboBox*, kFilterRowCount> m_comparisons{};
    std::array<QLineEdit*, kFilterRowCount> m_values{};
};

}  // namespace corvid
