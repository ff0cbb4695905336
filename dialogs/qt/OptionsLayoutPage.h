#pragma once

#include "dialogs/qt/PropertySheet.h"

class QPushButton;
class QTableWidget;

namespace corvid {

class COptionsModel;

// "Table layout optins": every column the list can show, checked when it is
// shown; "Default" brings back the default layout. Leaving the page rebuilds the
// working layout from the checked rows in list order.
class CLayoutPage : public CPropertyPage {
    Q_OBJECT
public:
    explicit CLayoutPage(COptionsModel& model, QWidget* parent = nullptr);

    bool OnKillActive() override;

    QTableWidget* List() const { return m_list; }
    QPushButton* DefaultButton() const { return m_default; }

protected:
    void OnInitPage() override;

private:
    void FillList();

    COptionsModel& m_model;
    QTableWidget* m_list;
    QPushButton* m_default;
};

}  // namespace corvid
